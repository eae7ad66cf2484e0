#ifndef DUSK_TESTS_SUPPORT_MEDIA_TEST_SERVER_H_
#define DUSK_TESTS_SUPPORT_MEDIA_TEST_SERVER_H_

// A loopback web server for the media download tests: it serves the files
// of a directory, one connection at a time, in a thread of its own, and can
// be told to misbehave on given paths (a status, a body shorter or longer
// than its Content-Length, a stall in the middle of a body).

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "util/unique_fd.h"

namespace dusk::test {

class MediaTestServer {
 public:
  /// How a path is answered.
  enum class Misbehave {
    kNone,
    kStatus,      ///< |arg| as the status, no body
    kShortBody,   ///< Content-Length |arg| bytes more than the body sent
    kLongBody,    ///< |arg| bytes more than the Content-Length names
    kStallHalfway ///< half the body, then silence until the client leaves
  };

  /// Serves the files below |root|: a request for /a/b gets |root|/a/b.
  explicit MediaTestServer(std::string root);
  ~MediaTestServer();
  MediaTestServer(const MediaTestServer&) = delete;
  MediaTestServer& operator=(const MediaTestServer&) = delete;

  /// The listening port on 127.0.0.1; 0 when listening failed.
  int port() const { return port_; }
  /// Answers requests for |path| as |how| says from now on.
  void Set(const std::string& path, Misbehave how, int arg = 0);
  /// The request heads received so far, in order.
  std::vector<std::string> requests() const;

 private:
  struct Rule {
    Misbehave how = Misbehave::kNone;
    int arg = 0;
  };
  void Run();
  void Serve(int fd, const std::string& path);

  std::string root_;
  UniqueFd listener_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Rule> rules_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_MEDIA_TEST_SERVER_H_
