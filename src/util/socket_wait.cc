#include "util/socket_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "util/stop_request.h"

namespace dusk {

SocketWaitEnd WaitForSocket(int fd, short events, std::chrono::milliseconds idle,
                            SocketClock::time_point deadline) {
  const SocketClock::time_point start = SocketClock::now();
  // Whichever bound comes first ends the wait; comparing durations keeps
  // start + idle from overflowing next to a deadline of time_point::max().
  const bool idle_first = idle < deadline - start;
  const SocketClock::time_point end = idle_first ? start + idle : deadline;
  for (;;) {
    if (StopRequested()) return SocketWaitEnd::kStopped;
    const SocketClock::time_point now = SocketClock::now();
    if (now >= end) return idle_first ? SocketWaitEnd::kIdle : SocketWaitEnd::kDeadline;
    // Rounded up, so that a slice never ends just short of the bound and
    // leaves a last poll of 0 ms spinning.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now);
    const int slice = static_cast<int>(
        std::min<std::chrono::milliseconds::rep>(left.count(), kStopCheckIntervalMs));
    struct pollfd entry = {fd, events, 0};
    const int ready = poll(&entry, 1, slice);
    if (ready > 0) return SocketWaitEnd::kReady;
    // EINTR: a signal that is not a stop; the loop looks at the stop and
    // waits out the rest.
    if (ready < 0 && errno != EINTR) return SocketWaitEnd::kFailed;
  }
}

bool SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && ((flags & O_NONBLOCK) != 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0);
}

bool ConnectWithin(int fd, const struct sockaddr_in& address,
                   std::chrono::milliseconds timeout) {
  if (!SetNonBlocking(fd)) return false;
  if (connect(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == 0)
    return true;
  // An interrupted connect goes on by itself, like one in progress.
  if (errno != EINPROGRESS && errno != EINTR && errno != EAGAIN) return false;
  switch (WaitForSocket(fd, POLLOUT, timeout, SocketClock::time_point::max())) {
    case SocketWaitEnd::kReady:
      break;
    case SocketWaitEnd::kFailed:
      return false;
    default:
      errno = ETIMEDOUT;
      return false;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return false;
  if (error != 0) {
    errno = error;
    return false;
  }
  // A connect that never started (EAGAIN) leaves a socket that is writable
  // at once without a peer; only a peer's address proves the connection.
  struct sockaddr_in peer;
  socklen_t peer_size = sizeof peer;
  return getpeername(fd, reinterpret_cast<struct sockaddr*>(&peer), &peer_size) == 0;
}

}  // namespace dusk
