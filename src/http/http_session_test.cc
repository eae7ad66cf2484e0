#include "http/http_session.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "log/log.h"
#include "support/http_pair.h"
#include "support/loopback_peer.h"
#include "support/short_timings.h"
#include "support/test_util.h"
#include "util/stop_request.h"

namespace dusk {
namespace {

using std::chrono::milliseconds;

/// Short waits so time-outs show within a test; restored afterwards.
Timings ShortHttpTimings(milliseconds idle, milliseconds head = milliseconds(10'000),
                         milliseconds body_grace = milliseconds(10'000),
                         uint64_t body_min_rate = 1024) {
  Timings timings;
  timings.http_connect = idle;
  timings.http_idle = idle;
  timings.http_head = head;
  timings.http_body_grace = body_grace;
  timings.http_body_min_rate = body_min_rate;
  return timings;
}

/// The whole body read with HttpReadLine.
std::vector<std::string> ReadLines(HttpSession& session) {
  std::vector<std::string> lines;
  std::string line;
  while (HttpReadLine(session, &line)) lines.push_back(line);
  return lines;
}

/// The whole body read with HttpReadData in pieces of |piece| bytes.
std::string ReadData(HttpSession& session, size_t piece) {
  std::string data;
  std::string buffer(piece, '\0');
  while (size_t got = HttpReadData(session, buffer.data(), buffer.size()))
    data.append(buffer.data(), got);
  return data;
}

TEST(HttpSessionTest, AnswersOfTheServer) {
  struct Row {
    const char* name;
    std::string answer;  // everything the server sends before it closes
    int status;
    int content_length;
    bool open;  // the connection stays open after the head
    std::vector<std::string> lines;  // what HttpReadLine still finds
  } rows[] = {
      {"404 reads no header", "HTTP/1.1 404 Not Found\r\nContent-Length: 5\r\n\r\nnope\n", 404,
       0, true, {"Content-Length: 5", "", "nope"}},
      {"200 with a body", "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nfirst\r\nsecond\n",
       200, 12, true, {"first", "second"}},
      {"200 without Content-Length", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nignored\n", 200, 0,
       false, {}},
      {"upper case, no blank", "HTTP/1.0 200 OK\r\nCONTENT-LENGTH:42\r\n\r\nx", 200, 42, true,
       {"x"}},
      {"later length wins", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\ncontent-length: 7\r\n\r\n",
       200, 7, true, {}},
      {"negative length", "HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nbody\n", 200, 0, false,
       {}},
      {"huge length", "HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\nbody", 200,
       2147483647, true, {"body"}},
      {"header line of 10,000 bytes",
       "HTTP/1.0 200 OK\r\nX-Long: " + std::string(10'000, 'a') +
           "\r\nContent-Length: 3\r\n\r\nabc",
       200, 3, true, {"abc"}},
      {"body of CRs only", "HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" +
                               std::string(5000, '\r'),
       200, 5000, true, {"", "", "", "", ""}},
      {"ICY answer", "ICY 200 OK\r\n\r\n", -7, 0, false, {}},
      {"status without a number", "HTTP/1.0 OK\r\n\r\n", -7, 0, false, {}},
      {"closed after the status", "HTTP/1.0 200", -6, 0, false, {}},
      {"closed inside the headers", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n", -6, 0, false,
       {}},
      {"nothing at all", "", -6, 0, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HttpSession session;
    UniqueFd server = test::AdoptSocketPair(session);
    ASSERT_EQ(send(server.get(), row.answer.data(), row.answer.size(), 0),
              static_cast<ssize_t>(row.answer.size()));
    shutdown(server.get(), SHUT_WR);
    EXPECT_TRUE(HttpSendRequest(session, kHttpGet, "/x"));
    EXPECT_EQ(HttpGetStatus(session), row.status);
    EXPECT_EQ(HttpGetContentLength(session), row.content_length);
    EXPECT_EQ(HttpSessionValid(session), row.open);
    EXPECT_EQ(ReadLines(session), row.lines);
    HttpClose(session);
    EXPECT_EQ(HttpGetStatus(session), kHttpInvalidSession);
  }
}

TEST(HttpSessionTest, RequestOnTheWire) {
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  shutdown(server.get(), SHUT_WR);
  HttpAddHeaders(session, "Accept: text/*\r\n");
  HttpAddHeaders(session, "Content-type: application/x-tcl-list\r\n");
  EXPECT_TRUE(HttpSendRequest(session, kHttpPost, "/proc/vmp/register", "a {b c}"));
  HttpClose(session);
  EXPECT_EQ(test::ReadUntilClosed(server.get()),
            "POST /proc/vmp/register HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\nAccept: text/*\r\n"
            "Content-type: application/x-tcl-list\r\nContent-length: 7\r\n\r\na {b c}");
}

TEST(HttpSessionTest, LogsStatusAndHeadersAtDebug) {
  LogLevel(kLogDebug);
  test::LogCapture log;
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
  send(server.get(), answer.data(), answer.size(), 0);
  HttpSendRequest(session, kHttpGet, "/");
  EXPECT_EQ(log.messages(), (std::vector<std::string>{
                                "HttpSendRequest: header=HTTP/1.0 200 OK",
                                "HttpSendRequest: received header=Content-Length: 2",
                                "HttpSendRequest: received header=",
                            }));
}

TEST(HttpSessionTest, RefusedRequestsSendNothing) {
  struct Row {
    const char* name;
    bool connected;
    int verb;
    const char* url;
    int status;
  } rows[] = {
      {"no connection", false, kHttpGet, "/", kHttpInvalidSession},
      {"verb 2", true, 2, "/", kHttpInvalidVerb},
      {"empty URL", true, kHttpPost, "", kHttpInvalidUrl},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HttpSession session;
    UniqueFd server;
    if (row.connected) server = test::AdoptSocketPair(session);
    EXPECT_FALSE(HttpSendRequest(session, row.verb, row.url, "body"));
    EXPECT_EQ(HttpGetStatus(session), row.status);
    EXPECT_EQ(HttpSessionValid(session), row.connected);  // the caller closes
    HttpClose(session);
    if (row.connected) {
      EXPECT_EQ(test::ReadUntilClosed(server.get()), "");
    }
  }
}

TEST(HttpSessionTest, ServerGoneBeforeTheRequest) {
  HttpSession session;
  test::AdoptSocketPair(session);  // the server's end closes at once
  EXPECT_TRUE(HttpSendRequest(session, kHttpGet, "/"));
  EXPECT_EQ(HttpGetStatus(session), kHttpHeaderWriteError);
  EXPECT_FALSE(HttpSessionValid(session));
  std::string line;
  EXPECT_FALSE(HttpReadLine(session, &line));
  char buffer[8];
  EXPECT_EQ(HttpReadData(session, buffer, sizeof buffer), 0u);
}

TEST(HttpSessionTest, BodyRunsToTheEndOfTheConnection) {
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  std::string body(5000, 'b');
  body[4999] = 'e';
  std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n" + body;
  send(server.get(), answer.data(), answer.size(), 0);
  shutdown(server.get(), SHUT_WR);
  HttpSendRequest(session, kHttpGet, "/media/file");
  EXPECT_EQ(HttpGetContentLength(session), 3);
  EXPECT_EQ(ReadData(session, 2047), body);
}

TEST(HttpSessionTest, LongBodyLinesComeInPiecesOf1024Bytes) {
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\n" +
                       std::string(1023, 'a') + "\r" + std::string(1500, 'b') + "\nend";
  send(server.get(), answer.data(), answer.size(), 0);
  shutdown(server.get(), SHUT_WR);
  HttpSendRequest(session, kHttpGet, "/");
  EXPECT_EQ(ReadLines(session),
            (std::vector<std::string>{std::string(1023, 'a'), std::string(1024, 'b'),
                                      std::string(476, 'b'), "end"}));
}

TEST(HttpSessionTest, ConnectRefusesBadTargets) {
  struct Row {
    const char* name;
    std::string host;
    int port;
    int result;
  } rows[] = {
      {"empty host", "", 80, kHttpBadHost},
      {"port 0", "127.0.0.1", 0, kHttpBadHost},
      {"port above 65535", "127.0.0.1", 65536, kHttpBadHost},
      {"host of 256 characters", std::string(256, 'h'), 80, kHttpBadHost},
      {"unknown name", "no-such-host.invalid", 80, kHttpBadHost},
      {"nobody listening", "127.0.0.1", 1, kHttpCannotConnect},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    HttpSession session;
    EXPECT_EQ(HttpConnect(session, row.host, row.port), row.result);
    EXPECT_FALSE(HttpSessionValid(session));
    EXPECT_EQ(session.host(), "");
  }
}

TEST(HttpSessionTest, ConnectAndAnswerOverLoopback) {
  test::TempDir media;
  test::WriteFile(media / "hi", "hello\n");
  test::LoopbackPeer server(media.path());
  HttpSession session;
  ASSERT_EQ(HttpConnect(session, "localhost", server.port()), 0);
  EXPECT_EQ(session.host(), "localhost");
  EXPECT_EQ(session.port(), server.port());
  EXPECT_EQ(ntohl(session.address().sin_addr.s_addr), INADDR_LOOPBACK);
  EXPECT_TRUE(HttpSendRequest(session, kHttpGet, "/hi"));
  EXPECT_EQ(ReadLines(session), (std::vector<std::string>{"hello"}));
  HttpClose(session);
  EXPECT_EQ(server.requests(),
            std::vector<std::string>{"GET /hi HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n\r\n"});
}

TEST(HttpSessionTest, MovedSessionKeepsTheConnection) {
  HttpSession first;
  UniqueFd server = test::AdoptSocketPair(first);
  std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
  send(server.get(), answer.data(), answer.size(), 0);
  shutdown(server.get(), SHUT_WR);
  HttpSession second = std::move(first);
  EXPECT_TRUE(HttpSendRequest(second, kHttpGet, "/"));
  EXPECT_EQ(ReadLines(second), (std::vector<std::string>{"ok"}));
}

// A listener whose queue is full drops further SYNs, so a connect to it
// waits until the client gives up.
TEST(HttpSessionTest, ConnectGivesUpOnASilentHost) {
  test::ScopedTimings timings(ShortHttpTimings(milliseconds(300)));
  int port = 0;
  UniqueFd listener = test::ListenOnLoopback(0, &port);
  ASSERT_TRUE(listener);
  std::vector<HttpSession> queued;
  int result = 0;
  for (int attempt = 0; attempt < 8 && result == 0; ++attempt) {
    queued.emplace_back();
    result = HttpConnect(queued.back(), "127.0.0.1", port);
  }
  EXPECT_EQ(result, kHttpCannotConnect);
}

TEST(HttpSessionTest, SilentServerEndsTheHead) {
  test::ScopedTimings timings(ShortHttpTimings(milliseconds(200)));
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  EXPECT_TRUE(HttpSendRequest(session, kHttpGet, "/"));
  EXPECT_EQ(HttpGetStatus(session), kHttpHeaderReadError);
  EXPECT_FALSE(HttpSessionValid(session));
}

TEST(HttpSessionTest, ServerThatReadsNothingEndsTheWrite) {
  test::ScopedTimings timings(ShortHttpTimings(milliseconds(200)));
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  std::string body(8 << 20, 'b');  // far more than the socket buffers hold
  EXPECT_TRUE(HttpSendRequest(session, kHttpPost, "/proc/vmp/register", body));
  EXPECT_EQ(HttpGetStatus(session), kHttpDataWriteError);
  EXPECT_FALSE(HttpSessionValid(session));
}

/// Sends |pattern| one byte at a time, |gap| apart, |count| bytes in all,
/// then |tail|, unless the client goes away first. Bounded, so a client
/// that fails to give up still sees an end.
void Trickle(int fd, std::string pattern, size_t count, milliseconds gap, std::string tail) {
  for (size_t i = 0; i < count; ++i) {
    if (send(fd, &pattern[i % pattern.size()], 1, MSG_NOSIGNAL) != 1) return;
    std::this_thread::sleep_for(gap);
  }
  send(fd, tail.data(), tail.size(), MSG_NOSIGNAL);
  shutdown(fd, SHUT_WR);
}

// Each byte comes well within the idle wait, so only the overall limit of
// the head can end it; without that limit the head would complete.
TEST(HttpSessionTest, TricklingServerCannotStretchTheHead) {
  test::ScopedTimings timings(ShortHttpTimings(milliseconds(5'000), milliseconds(300)));
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  send(server.get(), "HTTP/1.0 200 OK\r\n", 17, 0);
  std::thread trickle(Trickle, server.get(), "X: y\r\n", 300, milliseconds(10),
                      "Content-Length: 2\r\n\r\nok");
  EXPECT_TRUE(HttpSendRequest(session, kHttpGet, "/"));
  EXPECT_EQ(HttpGetStatus(session), kHttpHeaderReadError);
  HttpClose(session);
  trickle.join();
}

TEST(HttpSessionTest, StalledBodyEndsTheBody) {
  test::ScopedTimings timings(ShortHttpTimings(milliseconds(200)));
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npartial";
  send(server.get(), answer.data(), answer.size(), 0);
  HttpSendRequest(session, kHttpGet, "/");
  EXPECT_EQ(ReadData(session, 2047), "partial");
  EXPECT_FALSE(HttpSessionValid(session));
  EXPECT_EQ(HttpGetStatus(session), kHttpOk);
}

// A body that keeps coming, but slower than the useful rate (here 1000
// bytes a second against one byte every 20 ms), is cut off once its
// deadline passes; the bytes so far are delivered.
TEST(HttpSessionTest, TricklingBodyIsCutOff) {
  test::ScopedTimings timings(ShortHttpTimings(milliseconds(5'000), milliseconds(5'000),
                                               milliseconds(300), /*body_min_rate=*/1000));
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n";
  send(server.get(), answer.data(), answer.size(), 0);
  HttpSendRequest(session, kHttpGet, "/");
  std::thread trickle(Trickle, server.get(), "x", 300, milliseconds(20), "");
  std::string body = ReadData(session, 2047);
  HttpClose(session);
  trickle.join();
  EXPECT_GT(body.size(), 0u);
  EXPECT_LT(body.size(), 300u);
  EXPECT_EQ(body, std::string(body.size(), 'x'));
}

// A stop of the service ends a wait that the time-outs would let run for
// a minute.
TEST(HttpSessionTest, StopEndsAWaitWithinASecond) {
  test::ScopedTimings timings(ShortHttpTimings(milliseconds(60'000), milliseconds(60'000)));
  HttpSession session;
  UniqueFd server = test::AdoptSocketPair(session);
  std::thread stopper([] {
    std::this_thread::sleep_for(milliseconds(200));
    RequestStop();
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(HttpSendRequest(session, kHttpGet, "/"));
  const auto waited = std::chrono::steady_clock::now() - started;
  stopper.join();
  ClearStopRequest();
  EXPECT_EQ(HttpGetStatus(session), kHttpHeaderReadError);
  EXPECT_LT(waited, milliseconds(3'000));
}

// A server that answers fast and never stops is ended by the limit of the
// whole exchange, which the body's rate rule alone would never reach.
TEST(HttpSessionTest, ExchangeLimitEndsAnEndlessBody) {
  int port = 0;
  UniqueFd listener = test::ListenOnLoopback(1, &port);
  ASSERT_TRUE(listener);
  std::thread endless([&listener] {
    UniqueFd connection(accept(listener.get(), nullptr, nullptr));
    char request[4096];
    recv(connection.get(), request, sizeof request, 0);
    std::string data = "HTTP/1.0 200 OK\r\nContent-Length: 2000000000\r\n\r\n";
    while (send(connection.get(), data.data(), data.size(), MSG_NOSIGNAL) > 0)
      data.assign(65536, '\n');
  });
  HttpSession session;
  ASSERT_EQ(HttpConnect(session, "127.0.0.1", port, milliseconds(500)), 0);
  const auto started = std::chrono::steady_clock::now();
  HttpSendRequest(session, kHttpGet, "/");
  const std::string body = ReadData(session, 2047);
  const auto took = std::chrono::steady_clock::now() - started;
  HttpClose(session);
  endless.join();
  EXPECT_GT(body.size(), 0u);
  EXPECT_LT(took, milliseconds(5'000));
}

/// Threads that spin while it lives: a machine busy beside the test.
class BusyLoops {
 public:
  explicit BusyLoops(int count) {
    for (int i = 0; i < count; ++i)
      threads_.emplace_back([this] {
        while (!done_.load(std::memory_order_relaxed)) {
        }
      });
  }
  ~BusyLoops() {
    done_ = true;
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::vector<std::thread> threads_;
};

// A server that answers at once and then sends as fast as the socket takes
// it, to a reader slower than the sender (a download written to a slow
// disk) on a loaded machine: bytes wait at every read, so neither the wait
// without progress nor the body's rate rule ever ends the body. Only the
// limit of the exchange or a stop can, and each must do so on time.
TEST(HttpSessionTest, FastEndlessBodyEndsOnTimeUnderLoad) {
  constexpr milliseconds kNever = milliseconds::max();
  // The server gives up after this, so a client that never does still
  // ends, late.
  static constexpr milliseconds kServerGivesUp(10'000);
  struct Row {
    const char* name;
    milliseconds limit;
    milliseconds stop_after;  // kNever: no stop
    milliseconds earliest, latest;
  } rows[] = {
      {"exchange limit", milliseconds(1'000), kNever, milliseconds(1'000), milliseconds(1'500)},
      {"stop", milliseconds(60'000), milliseconds(300), milliseconds(300),
       milliseconds(300 + kStopCheckIntervalMs)},
  };
  BusyLoops busy(2);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int port = 0;
    UniqueFd listener = test::ListenOnLoopback(1, &port);
    ASSERT_TRUE(listener);
    const auto started = std::chrono::steady_clock::now();
    std::thread endless([&listener, started] {
      UniqueFd connection(accept(listener.get(), nullptr, nullptr));
      char request[4096];
      recv(connection.get(), request, sizeof request, 0);
      std::string data = "HTTP/1.0 200 OK\r\nContent-Length: 2000000000\r\n\r\n";
      while (std::chrono::steady_clock::now() < started + kServerGivesUp &&
             send(connection.get(), data.data(), data.size(), MSG_NOSIGNAL) > 0)
        data.assign(65536, '\n');
    });
    HttpSession session;
    ASSERT_EQ(HttpConnect(session, "127.0.0.1", port, row.limit), 0);
    std::thread stopper;
    if (row.stop_after != kNever)
      stopper = std::thread([&] {
        std::this_thread::sleep_until(started + row.stop_after);
        RequestStop();
      });
    HttpSendRequest(session, kHttpGet, "/");
    EXPECT_EQ(HttpGetStatus(session), kHttpOk);
    uint64_t received = 0;
    char buffer[2047];
    while (size_t got = HttpReadData(session, buffer, sizeof buffer)) {
      received += got;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    const auto took =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - started);
    HttpClose(session);
    endless.join();
    if (stopper.joinable()) stopper.join();
    ClearStopRequest();
    EXPECT_GT(received, 0u);
    EXPECT_GE(took, row.earliest);
    EXPECT_LT(took, row.latest);
  }
}

}  // namespace
}  // namespace dusk
