#ifndef DUSK_HTTP_HTTP_TIMEOUTS_H_
#define DUSK_HTTP_HTTP_TIMEOUTS_H_

// How long the HTTP client waits. A request is made of waits, and none may
// last forever, or a silent server would freeze the service for good:
//
//   - connect, every write and every read wait at most kHttpIdleTimeout
//     (kHttpConnectTimeout for the connect) without any progress;
//   - the whole head of a request, from the first byte written to the blank
//     line that ends the server's headers, must be done within
//     kHttpHeadLimit, so a server that trickles one byte a minute cannot
//     stretch it;
//   - a body may run as long as its bytes keep coming at a useful rate: it
//     must end by its start + kHttpBodyGrace + one second for every
//     kHttpBodyMinRate bytes received so far. A server that keeps up that
//     average is never cut off, however large the file; one that trickles
//     slower is cut off, and the caller's size check sees the short body;
//   - a session may also be given a limit for the whole exchange, from the
//     connect to the last byte, which no phase may pass (the small answers
//     of the server's own requests have one; a download has none);
//   - a stop request of the service ends any wait within a second.
//
// The values are process-wide and read when a session connects; tests set
// short ones instead of waiting for the real ones.

#include <chrono>
#include <cstdint>

namespace dusk {

inline constexpr std::chrono::milliseconds kHttpConnectTimeout{60'000};
inline constexpr std::chrono::milliseconds kHttpIdleTimeout{60'000};
inline constexpr std::chrono::milliseconds kHttpHeadLimit{120'000};
inline constexpr std::chrono::milliseconds kHttpBodyGrace{60'000};
/// Bytes per second a body must average to never hit its deadline.
inline constexpr uint64_t kHttpBodyMinRate = 1024;

/// The waits of one session.
struct HttpTimeouts {
  std::chrono::milliseconds connect = kHttpConnectTimeout;
  std::chrono::milliseconds idle = kHttpIdleTimeout;
  std::chrono::milliseconds head = kHttpHeadLimit;
  std::chrono::milliseconds body_grace = kHttpBodyGrace;
  uint64_t body_min_rate = kHttpBodyMinRate;  ///< bytes per second, above 0
  /// The whole exchange, from the connect on; 0 = no limit.
  std::chrono::milliseconds exchange{0};
};

/// Sets the waits of sessions connected from now on.
void HttpSetTimeouts(const HttpTimeouts& timeouts);
/// The waits new sessions get (the constants above unless set).
const HttpTimeouts& HttpGetTimeouts();

/// The moment a body that began at |start| and has brought |received|
/// bytes must end by.
std::chrono::steady_clock::time_point HttpBodyDeadline(
    std::chrono::steady_clock::time_point start, uint64_t received,
    const HttpTimeouts& timeouts);

}  // namespace dusk

#endif  // DUSK_HTTP_HTTP_TIMEOUTS_H_
