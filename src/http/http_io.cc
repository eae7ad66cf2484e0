#include "http/http_io.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "util/stop_request.h"

namespace dusk {

namespace {

/// True once the exchange must end whatever the socket holds: a sender
/// that keeps the socket full would otherwise never meet a wait, and so
/// never the deadline or the stop that only a wait looks at.
bool OutOfTime(HttpClock::time_point deadline) {
  return StopRequested() || HttpClock::now() >= deadline;
}

}  // namespace

size_t WriteWithin(int fd, std::string_view data, std::chrono::milliseconds idle,
                   HttpClock::time_point deadline) {
  size_t written = 0;
  while (written < data.size() && !OutOfTime(deadline)) {
    ssize_t n = send(fd, data.data() + written, data.size() - written,
                     MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        WaitForSocket(fd, POLLOUT, idle, deadline) == SocketWaitEnd::kReady)
      continue;
    break;
  }
  return written;
}

IoStatus ReadWithin(int fd, void* buffer, size_t size, std::chrono::milliseconds idle,
                    HttpClock::time_point deadline, size_t* got) {
  *got = 0;
  for (;;) {
    if (OutOfTime(deadline)) return IoStatus::kTimeout;
    ssize_t n = recv(fd, buffer, size, MSG_DONTWAIT);
    if (n > 0) {
      *got = static_cast<size_t>(n);
      return IoStatus::kData;
    }
    if (n == 0) return IoStatus::kEnd;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return IoStatus::kError;
    switch (WaitForSocket(fd, POLLIN, idle, deadline)) {
      case SocketWaitEnd::kReady:
        break;
      case SocketWaitEnd::kFailed:
        return IoStatus::kError;
      default:
        return IoStatus::kTimeout;
    }
  }
}

}  // namespace dusk
