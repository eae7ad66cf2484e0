#include "http/http_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "util/stop_request.h"

namespace dusk {

namespace {

/// Milliseconds poll may wait: |idle|, but not past |deadline|; 0 once the
/// deadline has passed.
int WaitMs(std::chrono::milliseconds idle, HttpClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - HttpClock::now());
  auto wait = std::clamp(std::min(idle, left), std::chrono::milliseconds(0),
                         std::chrono::milliseconds(24LL * 3600 * 1000));
  return static_cast<int>(wait.count());
}

/// Waits for |events| on |fd|. True when they came; false on time-out,
/// failure, or a stop request, which is looked at at least once a second.
/// Other signals do not cut the wait short.
bool WaitFor(int fd, short events, std::chrono::milliseconds idle,
             HttpClock::time_point deadline) {
  HttpClock::time_point idle_end = HttpClock::now() + idle;
  for (;;) {
    if (StopRequested()) return false;
    int wait = WaitMs(std::chrono::duration_cast<std::chrono::milliseconds>(
                          idle_end - HttpClock::now()),
                      deadline);
    const bool last = wait <= kStopCheckIntervalMs;
    struct pollfd entry = {fd, events, 0};
    int ready = poll(&entry, 1, last ? wait : kStopCheckIntervalMs);
    if (ready > 0) return true;
    if (ready == 0 && last) return false;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

bool SetNonBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool ConnectWithin(int fd, const struct sockaddr_in& address,
                   std::chrono::milliseconds timeout) {
  if (connect(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof address) == 0)
    return true;
  if (errno != EINPROGRESS && errno != EINTR) return false;
  if (!WaitFor(fd, POLLOUT, timeout, HttpClock::now() + timeout)) return false;
  int error = 0;
  socklen_t size = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

size_t WriteWithin(int fd, std::string_view data, std::chrono::milliseconds idle,
                   HttpClock::time_point deadline) {
  size_t written = 0;
  while (written < data.size()) {
    ssize_t n = send(fd, data.data() + written, data.size() - written, MSG_NOSIGNAL);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        WaitFor(fd, POLLOUT, idle, deadline))
      continue;
    break;
  }
  return written;
}

IoStatus ReadWithin(int fd, void* buffer, size_t size, std::chrono::milliseconds idle,
                    HttpClock::time_point deadline, size_t* got) {
  *got = 0;
  for (;;) {
    ssize_t n = recv(fd, buffer, size, 0);
    if (n > 0) {
      *got = static_cast<size_t>(n);
      return IoStatus::kData;
    }
    if (n == 0) return IoStatus::kEnd;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return IoStatus::kError;
    if (HttpClock::now() >= deadline || !WaitFor(fd, POLLIN, idle, deadline))
      return IoStatus::kTimeout;
  }
}

}  // namespace dusk
