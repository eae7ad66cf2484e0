#include "service/service_signals.h"

#include <signal.h>

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

TEST(ServiceSignalsTest, OtherSignalsAreNoEvent) {
  for (int signal_number : {0, SIGQUIT, SIGALRM, SIGCHLD, 64})
    EXPECT_EQ(SignalEvent(signal_number), ServiceEvent::kNone) << signal_number;
}

}  // namespace
}  // namespace dusk
