#include "util/socket_wait.h"

#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_util.h"
#include "util/stop_request.h"

namespace dusk {
namespace {

using std::chrono::milliseconds;

/// Milliseconds since |start|.
long long MsSince(SocketClock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(SocketClock::now() - start).count();
}

/// The loopback address with |port|.
struct sockaddr_in Loopback(int port) {
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

/// A blocking TCP socket, as a caller might hand one in.
UniqueFd BlockingSocket() { return UniqueFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }

class SocketWaitTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearStopRequest(); }
  void TearDown() override { ClearStopRequest(); }
};

TEST_F(SocketWaitTest, EndsForItsReason) {
  const auto far = SocketClock::time_point::max();
  struct Case {
    const char* name;
    short events;
    std::function<void(int peer)> peer_does;
    milliseconds idle;
    milliseconds deadline_in;  // from now; milliseconds::max() for none
    bool stop;
    SocketWaitEnd end;
    long long min_ms, max_ms;
  };
  const auto send_byte = [](int peer) { ASSERT_EQ(send(peer, "x", 1, 0), 1); };
  const auto nothing = [](int) {};
  const std::vector<Case> cases = {
      {"a byte waits", POLLIN, send_byte, milliseconds(10'000), milliseconds::max(), false,
       SocketWaitEnd::kReady, 0, 500},
      {"the peer stops sending, only a hang-up awaited", POLLRDHUP,
       [](int peer) { shutdown(peer, SHUT_WR); }, milliseconds(10'000), milliseconds::max(),
       false, SocketWaitEnd::kReady, 0, 500},
      {"nothing within the idle wait", POLLIN, nothing, milliseconds(150), milliseconds::max(),
       false, SocketWaitEnd::kIdle, 150, 1'000},
      {"the deadline before the idle wait ends", POLLIN, nothing, milliseconds(10'000),
       milliseconds(150), false, SocketWaitEnd::kDeadline, 150, 1'000},
      {"a deadline passed ends it though a byte waits", POLLIN, send_byte,
       milliseconds(10'000), milliseconds(-1), false, SocketWaitEnd::kDeadline, 0, 500},
      {"a pending stop ends it though a byte waits", POLLIN, send_byte, milliseconds(10'000),
       milliseconds::max(), true, SocketWaitEnd::kStopped, 0, 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    UniqueFd mine(pair[0]), peer(pair[1]);
    c.peer_does(peer.get());
    if (c.stop) RequestStop();
    const auto start = SocketClock::now();
    const auto deadline = c.deadline_in == milliseconds::max() ? far : start + c.deadline_in;
    EXPECT_EQ(WaitForSocket(mine.get(), c.events, c.idle, deadline), c.end);
    const long long took = MsSince(start);
    EXPECT_GE(took, c.min_ms);
    EXPECT_LT(took, c.max_ms);
    ClearStopRequest();
  }
}

void Ignore(int) {}

// Signals that are not a stop come and go during the wait without ending
// it; the stop that follows ends it within the stop interval.
TEST_F(SocketWaitTest, OnlyAStopCutsAWaitShort) {
  struct sigaction ignore = {}, saved = {};
  ignore.sa_handler = Ignore;  // no SA_RESTART: poll sees EINTR
  ASSERT_EQ(sigaction(SIGUSR1, &ignore, &saved), 0);
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd mine(pair[0]), peer(pair[1]);
  const pthread_t waiter = pthread_self();
  SocketClock::time_point stopped_at;
  std::thread signaller([waiter, &stopped_at] {
    for (int i = 0; i < 4; ++i) {
      std::this_thread::sleep_for(milliseconds(100));
      pthread_kill(waiter, SIGUSR1);
    }
    stopped_at = SocketClock::now();
    RequestStop();
  });
  const SocketWaitEnd end =
      WaitForSocket(mine.get(), POLLIN, milliseconds(60'000), SocketClock::time_point::max());
  const SocketClock::time_point ended_at = SocketClock::now();
  signaller.join();
  sigaction(SIGUSR1, &saved, nullptr);
  EXPECT_EQ(end, SocketWaitEnd::kStopped);
  EXPECT_GE(ended_at, stopped_at);
  EXPECT_LT(ended_at - stopped_at, milliseconds(kStopCheckIntervalMs + 500));
}

TEST_F(SocketWaitTest, ConnectOutcomes) {
  int open_port = 0, closed_port = 0, silent_port = 0;
  UniqueFd open = test::ListenOnLoopback(8, &open_port);
  UniqueFd closed = test::ListenOnLoopback(-1, &closed_port);  // bound, not listening
  // A listener whose queue is full drops further SYNs: nobody answers.
  UniqueFd silent = test::ListenOnLoopback(0, &silent_port);
  ASSERT_TRUE(open && closed && silent);
  {
    SCOPED_TRACE("someone listens");
    UniqueFd fd = BlockingSocket();
    EXPECT_TRUE(ConnectWithin(fd.get(), Loopback(open_port), milliseconds(5'000)));
  }
  {
    SCOPED_TRACE("refused");
    UniqueFd fd = BlockingSocket();
    errno = 0;
    EXPECT_FALSE(ConnectWithin(fd.get(), Loopback(closed_port), milliseconds(5'000)));
    EXPECT_EQ(errno, ECONNREFUSED);
  }
  {
    SCOPED_TRACE("nobody answers");
    std::vector<UniqueFd> queued;
    bool connected = true;
    long long took = 0;
    for (int attempt = 0; attempt < 8 && connected; ++attempt) {
      queued.push_back(BlockingSocket());
      const auto start = SocketClock::now();
      connected = ConnectWithin(queued.back().get(), Loopback(silent_port), milliseconds(300));
      took = MsSince(start);
    }
    ASSERT_FALSE(connected);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_GE(took, 300);
    EXPECT_LT(took, 1'000);
  }
  {
    SCOPED_TRACE("nobody answers, and a stop is pending");
    UniqueFd fd = BlockingSocket();
    RequestStop();
    const auto start = SocketClock::now();
    errno = 0;
    EXPECT_FALSE(ConnectWithin(fd.get(), Loopback(silent_port), milliseconds(60'000)));
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_LT(MsSince(start), 500);
  }
}

}  // namespace
}  // namespace dusk
