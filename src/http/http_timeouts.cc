#include "http/http_timeouts.h"

#include <algorithm>

namespace dusk {

std::chrono::steady_clock::time_point HttpBodyDeadline(
    std::chrono::steady_clock::time_point start, uint64_t received, const Timings& timings) {
  // Credit is capped far beyond any real download so the sum cannot wrap.
  constexpr uint64_t kMaxCreditMs = uint64_t{1} << 40;
  uint64_t rate = std::max<uint64_t>(timings.http_body_min_rate, 1);
  uint64_t seconds = received / rate;
  uint64_t credit_ms = seconds >= kMaxCreditMs / 1000
                           ? kMaxCreditMs
                           : seconds * 1000 + (received % rate) * 1000 / rate;
  return start + timings.http_body_grace +
         std::chrono::milliseconds(static_cast<int64_t>(credit_ms));
}

}  // namespace dusk
