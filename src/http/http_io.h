#ifndef DUSK_HTTP_HTTP_IO_H_
#define DUSK_HTTP_HTTP_IO_H_

// The HTTP client's edge to the network: connect, write and read on a
// non-blocking socket, each bounded by a wait without progress and by a
// deadline. Everything above this file is plain logic over bytes.

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <string_view>

namespace dusk {

using HttpClock = std::chrono::steady_clock;

/// How one read ended.
enum class IoStatus {
  kData,     ///< bytes arrived
  kEnd,      ///< the peer closed its side
  kTimeout,  ///< no byte within the wait, or the deadline passed
  kError,    ///< the socket failed
};

/// Puts |fd| into non-blocking mode; false when fcntl fails.
bool SetNonBlocking(int fd);

/// Connects the non-blocking |fd| to |address| within |timeout|.
bool ConnectWithin(int fd, const struct sockaddr_in& address,
                   std::chrono::milliseconds timeout);

/// Writes all of |data|, waiting at most |idle| for room each time and
/// never past |deadline|. Returns the number of bytes written, which is
/// short on failure or time-out. Never raises SIGPIPE.
size_t WriteWithin(int fd, std::string_view data, std::chrono::milliseconds idle,
                   HttpClock::time_point deadline);

/// One read of up to |size| bytes, waiting at most |idle| and never past
/// |deadline|. |*got| is the byte count for kData.
IoStatus ReadWithin(int fd, void* buffer, size_t size, std::chrono::milliseconds idle,
                    HttpClock::time_point deadline, size_t* got);

}  // namespace dusk

#endif  // DUSK_HTTP_HTTP_IO_H_
