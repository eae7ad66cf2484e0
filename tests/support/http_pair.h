#ifndef DUSK_TESTS_SUPPORT_HTTP_TEST_SERVER_H_
#define DUSK_TESTS_SUPPORT_HTTP_TEST_SERVER_H_

// Servers that the HTTP tests talk to: a socketpair handed to a session,
// and a loopback listener in a thread of its own that answers with canned
// bytes and keeps what it received.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "http/http_session.h"
#include "util/unique_fd.h"

namespace dusk::test {

/// Connects |session| to a fresh socketpair and returns the server's end.
UniqueFd AdoptSocketPair(HttpSession& session);

/// A loopback HTTP server for one connection at a time. Each connection:
/// read the request (its head and as many body bytes as Content-length
/// names), write |answer| (unless stalling), then close. A stalling server
/// answers nothing and waits until the client goes away.
class CannedHttpServer {
 public:
  explicit CannedHttpServer(std::string answer, bool stall = false);
  ~CannedHttpServer();
  CannedHttpServer(const CannedHttpServer&) = delete;
  CannedHttpServer& operator=(const CannedHttpServer&) = delete;

  /// The listening port on 127.0.0.1.
  int port() const { return port_; }
  /// The bytes of the last request served (head and body).
  std::string request() const;
  /// Number of connections finished.
  int served() const { return served_; }

 private:
  void Run();

  std::string answer_;
  bool stall_;
  UniqueFd listener_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> served_{0};
  mutable std::mutex mutex_;
  std::string request_;
  std::thread thread_;
};

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_HTTP_TEST_SERVER_H_
