#include "app/service_control.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "log/log.h"
#include "service/service_event.h"
#include "support/test_layout.h"
#include "support/test_util.h"

namespace dusk {
namespace {

/// A child that waits for any signal with the default dispositions.
pid_t StartWaitingChild() {
  pid_t pid = fork();
  if (pid == 0) {
    for (;;) pause();
  }
  return pid;
}

TEST(ServiceEventTest, SignalReachesTheServiceWithItsLines) {
  struct Case {
    ServiceEvent event;
    int signal_number;
  };
  const std::vector<Case> cases = {{ServiceEvent::kStop, SIGTERM},
                                   {ServiceEvent::kPause, SIGUSR1},
                                   {ServiceEvent::kResume, SIGUSR2},
                                   {ServiceEvent::kInterrupt, SIGHUP}};
  LogLevel(kLogDebug);
  for (const Case& c : cases) {
    SCOPED_TRACE(EventName(c.event));
    EXPECT_EQ(EventSignalNumber(c.event), c.signal_number);
    pid_t child = StartWaitingChild();
    ASSERT_GT(child, 0);
    test::LogCapture log;
    EXPECT_EQ(SendServiceEventTo(c.event, child), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number);
    const std::vector<std::pair<int, std::string>> expected = {
        {kLogInfo, std::string("Sending ") + EventName(c.event) +
                       " Command to the KESTA-DUSK Service - pid " + std::to_string(child)},
        {kLogDebug, "Sending signal " + std::to_string(c.signal_number) + " to process " +
                        std::to_string(child)}};
    EXPECT_EQ(log.lines(), expected);
  }
  for (int event : {0, 5, -1})
    EXPECT_EQ(EventSignalNumber(static_cast<ServiceEvent>(event)), -1) << event;
}

TEST(ServiceEventTest, NoServiceRunning) {
  struct Case {
    ServiceEvent event;
    int exit_code;
    int level;
  };
  const std::vector<Case> cases = {{ServiceEvent::kStop, 0, kLogInfo},
                                   {ServiceEvent::kPause, 1, kLogError},
                                   {ServiceEvent::kResume, 1, kLogError},
                                   {ServiceEvent::kInterrupt, 1, kLogError}};
  for (const Case& c : cases) {
    SCOPED_TRACE(EventName(c.event));
    test::LogCapture log;
    EXPECT_EQ(SendServiceEventTo(c.event, 0), c.exit_code);
    const std::vector<std::pair<int, std::string>> expected = {
        {c.level, "The KESTA-DUSK Service is not currently running"}};
    EXPECT_EQ(log.lines(), expected);
  }
}

TEST(ServiceEventTest, ServiceThatEndedBeforeTheSignal) {
  pid_t child = StartWaitingChild();
  ASSERT_GT(child, 0);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  test::LogCapture log;
  EXPECT_EQ(SendServiceEventTo(ServiceEvent::kPause, child), 1);
  EXPECT_TRUE(log.Has(kLogInfo, "Failed to send Pause Command to KESTA-DUSK Service - pid " +
                                    std::to_string(child) + " - Error (3): No such process"));
}

TEST(ServiceStartTest, NoServiceWithoutALogFileOrBesideARunningOne) {
  test::TestLayout layout;
  {
    test::LogCapture log;
    EXPECT_EQ(StartService(layout, false, "", ""), 1);
    EXPECT_EQ(log.messages(), std::vector<std::string>{"The KESTA-DUSK Service was not started: "
                                                       "its log file cannot be opened"});
  }
  layout.AddProcess(4242, std::string("/opt/kesta/dusk/dusk\0", 21));
  test::LogCapture log;
  EXPECT_EQ(StartService(layout, true, "", ""), 1);
  EXPECT_EQ(log.messages(),
            std::vector<std::string>{"The KESTA-DUSK Service is already running - pid 4242"});
}

}  // namespace
}  // namespace dusk
