#include "http/http_timeouts.h"

#include <algorithm>

namespace dusk {

namespace {

HttpTimeouts& CurrentTimeouts() {
  static HttpTimeouts timeouts;
  return timeouts;
}

}  // namespace

void HttpSetTimeouts(const HttpTimeouts& timeouts) { CurrentTimeouts() = timeouts; }

const HttpTimeouts& HttpGetTimeouts() { return CurrentTimeouts(); }

std::chrono::steady_clock::time_point HttpBodyDeadline(
    std::chrono::steady_clock::time_point start, uint64_t received,
    const HttpTimeouts& timeouts) {
  // Credit is capped far beyond any real download so the sum cannot wrap.
  constexpr uint64_t kMaxCreditMs = uint64_t{1} << 40;
  uint64_t rate = std::max<uint64_t>(timeouts.body_min_rate, 1);
  uint64_t seconds = received / rate;
  uint64_t credit_ms = seconds >= kMaxCreditMs / 1000
                           ? kMaxCreditMs
                           : seconds * 1000 + (received % rate) * 1000 / rate;
  return start + timeouts.body_grace +
         std::chrono::milliseconds(static_cast<int64_t>(credit_ms));
}

}  // namespace dusk
