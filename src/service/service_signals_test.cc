#include "service/service_signals.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "log/log.h"
#include "service/service_event.h"
#include "support/test_util.h"
#include "util/stop_request.h"

namespace dusk {
namespace {

TEST(ServiceSignalsTest, EachControlSignalRecordsItsEvent) {
  struct Case {
    int signal_number;
    ServiceEvent event;
  };
  const std::vector<Case> cases = {{SIGTERM, ServiceEvent::kStop}, {SIGINT, ServiceEvent::kStop},
                                   {SIGUSR1, ServiceEvent::kPause}, {SIGUSR2, ServiceEvent::kResume},
                                   {SIGHUP, ServiceEvent::kInterrupt}};
  InstallSignalHandlers();
  LogLevel(kLogTrace);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.signal_number);
    ClearStopRequest();
    ASSERT_EQ(raise(c.signal_number), 0);  // the handler runs before raise returns
    EXPECT_TRUE(ServiceEventPending());
    // A stop also ends the waits of the pass under way.
    EXPECT_EQ(StopRequested(), c.event == ServiceEvent::kStop);
    test::LogCapture log;
    EXPECT_EQ(TakeServiceEvent(), c.event);
    EXPECT_EQ(log.messages(), std::vector<std::string>{
                                  "ServiceSignal: signal=" + std::to_string(c.signal_number)});
    // A stop stays pending until the shutdown forgets it.
    if (c.event == ServiceEvent::kStop) {
      EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kStop);
      ClearStopRequest();
    }
    EXPECT_FALSE(ServiceEventPending());
    EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kNone);
  }
  ClearStopRequest();
}

TEST(ServiceSignalsTest, LastSignalBeforeTheLoopActsWins) {
  InstallSignalHandlers();
  ASSERT_EQ(raise(SIGUSR1), 0);
  ASSERT_EQ(raise(SIGUSR2), 0);
  EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kResume);
  EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kNone);
}

// Signals that arrive together are handled lowest number last: a SIGHUP
// with a SIGTERM must not turn the stop into an interrupt, whatever the order.
TEST(ServiceSignalsTest, StopIsNeverReplaced) {
  InstallSignalHandlers();
  for (const std::vector<int>& signals : std::vector<std::vector<int>>{
           {SIGTERM, SIGHUP}, {SIGHUP, SIGTERM}, {SIGINT, SIGUSR1, SIGUSR2}}) {
    for (int signal_number : signals) ASSERT_EQ(raise(signal_number), 0);
    EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kStop);
    ClearStopRequest();
    EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kNone);
  }
}

// The pause between passes ends as soon as a signal is there, also one
// that arrived while the loop was looking whether one had (here: held back
// by the mask, as it would be caught between the look and the pause).
TEST(ServiceSignalsTest, SignalEndsThePauseBetweenPasses) {
  using std::chrono::milliseconds;
  InstallSignalHandlers();
  ClearServiceEvent();
  const auto seconds_of = [](auto wait) {
    const auto start = std::chrono::steady_clock::now();
    WaitForServiceEvent(wait);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  EXPECT_GE(seconds_of(milliseconds(150)), 0.15);

  ASSERT_EQ(raise(SIGUSR1), 0);
  EXPECT_LT(seconds_of(milliseconds(5000)), 0.5);
  EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kPause);

  sigset_t resume, previous;
  sigemptyset(&resume);
  sigaddset(&resume, SIGUSR2);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &resume, &previous), 0);
  ASSERT_EQ(raise(SIGUSR2), 0);
  EXPECT_FALSE(ServiceEventPending());
  EXPECT_LT(seconds_of(milliseconds(5000)), 0.5);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kResume);

  const pthread_t loop = pthread_self();
  std::thread sender([loop] {
    std::this_thread::sleep_for(milliseconds(100));
    pthread_kill(loop, SIGHUP);
  });
  EXPECT_LT(seconds_of(milliseconds(5000)), 1.0);
  sender.join();
  EXPECT_EQ(TakeServiceEvent(), ServiceEvent::kInterrupt);
}

TEST(ServiceSignalsTest, OtherSignalsAreNoEvent) {
  for (int signal_number : {0, SIGQUIT, SIGALRM, SIGCHLD, 64})
    EXPECT_EQ(SignalEvent(signal_number), ServiceEvent::kNone) << signal_number;
}

}  // namespace
}  // namespace dusk
