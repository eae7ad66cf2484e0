#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstring>

#include "util/strings.h"
#include "support/test_util.h"

namespace dusk::test {

UniqueFd AdoptSocketPair(HttpSession& session) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return UniqueFd();
  HttpAdoptConnection(session, UniqueFd(fds[0]), "pair", 1);
  return UniqueFd(fds[1]);
}

CannedHttpServer::CannedHttpServer(std::string answer, bool stall)
    : answer_(std::move(answer)), stall_(stall) {
  listener_ = ListenOnLoopback(4, &port_);
  if (!listener_) return;
  thread_ = std::thread([this] { Run(); });
}

CannedHttpServer::~CannedHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

std::string CannedHttpServer::request() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return request_;
}

void CannedHttpServer::Run() {
  while (!stopping_) {
    struct pollfd entry = {listener_.get(), POLLIN, 0};
    if (poll(&entry, 1, 50) <= 0) continue;
    UniqueFd connection(accept(listener_.get(), nullptr, nullptr));
    if (!connection) continue;
    std::string received;
    size_t head_end = std::string::npos;
    size_t wanted = 0;
    char buffer[4096];
    while (head_end == std::string::npos || received.size() < head_end + wanted) {
      ssize_t got = read(connection.get(), buffer, sizeof buffer);
      if (got <= 0) break;
      received.append(buffer, got);
      if (head_end == std::string::npos &&
          (head_end = received.find("\r\n\r\n")) != std::string::npos) {
        head_end += 4;
        std::string lower = strLowerCopy(received.substr(0, head_end));
        size_t at = lower.find("\r\ncontent-length:");
        if (at != std::string::npos) wanted = strToInt(lower.substr(at + 17));
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      request_ = received;
    }
    if (stall_) {
      // Hold the connection, answering nothing, until the client leaves.
      while (!stopping_) {
        struct pollfd wait = {connection.get(), POLLIN, 0};
        if (poll(&wait, 1, 50) > 0 && read(connection.get(), buffer, sizeof buffer) <= 0)
          break;
      }
    } else {
      send(connection.get(), answer_.data(), answer_.size(), MSG_NOSIGNAL);
    }
    ++served_;
  }
}

}  // namespace dusk::test
