#ifndef DUSK_HTTP_HTTP_TIMEOUTS_H_
#define DUSK_HTTP_HTTP_TIMEOUTS_H_

// How long the HTTP client waits. A request is made of waits, and none may
// last forever, or a silent server would freeze the service for good:
//
//   - connect, every write and every read wait at most http_idle
//     (http_connect for the connect) without any progress;
//   - the whole head of a request, from the first byte written to the blank
//     line that ends the server's headers, must be done within http_head,
//     so a server that trickles one byte a minute cannot stretch it;
//   - a body may run as long as its bytes keep coming at a useful rate: it
//     must end by its start + http_body_grace + one second for every
//     http_body_min_rate bytes received so far. A server that keeps up that
//     average is never cut off, however large the file; one that trickles
//     slower is cut off, and the caller's size check sees the short body;
//   - a session may also be given a limit for the whole exchange, from the
//     connect to the last byte, which no phase may pass (the small answers
//     of the server's own requests have one; a media file has what is left
//     of the media download's own limit);
//   - a stop request of the service ends any wait within a second.
//
// The values are those of util/timings.h, taken when a session connects.

#include <chrono>
#include <cstdint>

#include "util/timings.h"

namespace dusk {

/// The moment a body that began at |start| and has brought |received|
/// bytes must end by, under |timings|.
std::chrono::steady_clock::time_point HttpBodyDeadline(
    std::chrono::steady_clock::time_point start, uint64_t received, const Timings& timings);

}  // namespace dusk

#endif  // DUSK_HTTP_HTTP_TIMEOUTS_H_
