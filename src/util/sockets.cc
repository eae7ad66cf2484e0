#include "util/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "util/report.h"
#include "util/socket_wait.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {

bool ResolveIPv4(const std::string& host, struct in_addr* out) {
  if (inet_aton(host.c_str(), out) != 0) return true;
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* result = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
    return false;
  *out = reinterpret_cast<struct sockaddr_in*>(result->ai_addr)->sin_addr;
  freeaddrinfo(result);
  return true;
}

bool ResolveHostAddress(const std::string& host, const std::string& port,
                        struct sockaddr_in* address) {
  if (host.empty() || port.empty()) {
    Report(kLogError, "Must specify a host and port for attempting to connect");
    return false;
  }
  memset(address, 0, sizeof *address);
  if (!ResolveIPv4(host, &address->sin_addr)) {
    Report(kLogError, "Unknown host %s", host.c_str());
    return false;
  }
  address->sin_family = AF_INET;
  address->sin_port = htons(static_cast<uint16_t>(strToInt(port)));
  return true;
}

void CloseSocket(int socket_fd) {
  if (socket_fd < 0) return;
  shutdown(socket_fd, SHUT_RDWR);
  close(socket_fd);
}

long SocketWrite(int socket_fd, const void* data, size_t size) {
  return static_cast<long>(send(socket_fd, data, size, MSG_NOSIGNAL));
}

bool SocketWriteAll(int socket_fd, std::string_view data) {
  const std::chrono::milliseconds idle = CurrentTimings().socket_write_idle;
  // The wait without progress runs from the last byte that went out, over
  // however many waits for room it takes.
  SocketClock::time_point stalled_until = SocketClock::now() + idle;
  while (!data.empty()) {
    ssize_t put = send(socket_fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put > 0) {
      data.remove_prefix(static_cast<size_t>(put));
      stalled_until = SocketClock::now() + idle;
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    // No room: wait for some; a stop ends the wait, never a write with room.
    switch (WaitForSocket(socket_fd, POLLOUT, idle, stalled_until)) {
      case SocketWaitEnd::kReady:
        break;
      case SocketWaitEnd::kFailed:
        return false;
      default:
        errno = ETIMEDOUT;
        return false;
    }
  }
  return true;
}

bool GetPeerHost(int socket_fd, std::string* host) {
  struct sockaddr_in address;
  socklen_t size = sizeof address;
  if (getpeername(socket_fd, reinterpret_cast<struct sockaddr*>(&address), &size) != 0)
    return false;
  char text[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return false;
  *host = strCut(text, 255);
  return true;
}

}  // namespace dusk
