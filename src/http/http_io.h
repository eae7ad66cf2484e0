#ifndef DUSK_HTTP_HTTP_IO_H_
#define DUSK_HTTP_HTTP_IO_H_

// The HTTP client's edge to the network: write and read on a non-blocking
// socket, each bounded by a wait without progress and by a deadline that
// holds even while bytes keep flowing. Everything above this file is plain
// logic over bytes.

#include <chrono>
#include <cstddef>
#include <string_view>

#include "util/socket_wait.h"

namespace dusk {

using HttpClock = SocketClock;

/// How one read ended.
enum class IoStatus {
  kData,     ///< bytes arrived
  kEnd,      ///< the peer closed its side
  kTimeout,  ///< no byte within the wait, the deadline passed, or a stop
  kError,    ///< the socket failed
};

/// Writes all of |data|, waiting at most |idle| for room each time. Gives
/// up once |deadline| has passed or a stop is requested, even while the
/// peer takes every byte. Returns the number of bytes written, which is
/// short on failure or time-out. Never raises SIGPIPE.
size_t WriteWithin(int fd, std::string_view data, std::chrono::milliseconds idle,
                   HttpClock::time_point deadline);

/// One read of up to |size| bytes, waiting at most |idle| for them. Gives
/// up (kTimeout) once |deadline| has passed or a stop is requested, even
/// when bytes are waiting. |*got| is the byte count for kData.
IoStatus ReadWithin(int fd, void* buffer, size_t size, std::chrono::milliseconds idle,
                    HttpClock::time_point deadline, size_t* got);

}  // namespace dusk

#endif  // DUSK_HTTP_HTTP_IO_H_
