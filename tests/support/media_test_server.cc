#include "support/media_test_server.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include "util/files.h"
#include "util/strings.h"
#include "support/test_util.h"

namespace dusk::test {

namespace {

void SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return;
    data.remove_prefix(static_cast<size_t>(n));
  }
}

std::string Head(int status, size_t length) {
  return strFormat("HTTP/1.0 %d X\r\nServer: media-test\r\nContent-Length: %zu\r\n\r\n", status,
                   length);
}

}  // namespace

MediaTestServer::MediaTestServer(std::string root) : root_(std::move(root)) {
  listener_ = ListenOnLoopback(8, &port_);
  if (!listener_) return;
  thread_ = std::thread([this] { Run(); });
}

MediaTestServer::~MediaTestServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void MediaTestServer::Set(const std::string& path, Misbehave how, int arg) {
  std::lock_guard<std::mutex> lock(mutex_);
  rules_[path] = Rule{how, arg};
}

std::vector<std::string> MediaTestServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void MediaTestServer::Run() {
  while (!stopping_) {
    struct pollfd entry = {listener_.get(), POLLIN, 0};
    if (poll(&entry, 1, 50) <= 0) continue;
    UniqueFd connection(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!connection) continue;
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      ssize_t got = read(connection.get(), buffer, sizeof buffer);
      if (got <= 0) break;
      head.append(buffer, static_cast<size_t>(got));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head);
    }
    // "GET PATH HTTP/1.0"
    size_t start = head.find(' ');
    size_t end = start == std::string::npos ? start : head.find(' ', start + 1);
    if (end == std::string::npos) continue;
    Serve(connection.get(), head.substr(start + 1, end - start - 1));
    shutdown(connection.get(), SHUT_WR);
  }
}

void MediaTestServer::Serve(int fd, const std::string& path) {
  Rule rule;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = rules_.find(path);
    if (found != rules_.end()) rule = found->second;
  }
  if (rule.how == Misbehave::kStatus) {
    SendAll(fd, Head(rule.arg, 0));
    return;
  }
  std::string body;
  if (path.find("..") != std::string::npos || !ReadWholeFile(root_ + path, &body)) {
    SendAll(fd, Head(404, 0));
    return;
  }
  switch (rule.how) {
    case Misbehave::kShortBody:
      SendAll(fd, Head(200, body.size() + static_cast<size_t>(rule.arg)) + body);
      return;
    case Misbehave::kLongBody:
      SendAll(fd, Head(200, body.size()) + body + std::string(static_cast<size_t>(rule.arg), '+'));
      return;
    case Misbehave::kStallHalfway: {
      SendAll(fd, Head(200, body.size()) + body.substr(0, body.size() / 2));
      char buffer[256];
      while (!stopping_) {
        struct pollfd wait = {fd, POLLIN, 0};
        if (poll(&wait, 1, 50) > 0 && read(fd, buffer, sizeof buffer) <= 0) return;
      }
      return;
    }
    default:
      SendAll(fd, Head(200, body.size()) + body);
  }
}

}  // namespace dusk::test
