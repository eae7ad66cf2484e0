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
#include "support/test_util.h"

namespace dusk {
namespace {

constexpr int kOwnPid = 100;

/// A /proc of entries named as given, each with the given cmdline content,
/// or without a cmdline file (a process that ended during the scan).
void MakeProc(const std::string& root,
              const std::map<std::string, std::optional<std::string>>& entries) {
  for (const auto& [name, cmdline] : entries) {
    std::string dir = root + "/" + name;
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0) << dir;
    if (cmdline) test::WriteFile(dir + "/cmdline", *cmdline);
  }
}

TEST(FindProcessTest, MatchesArgvZeroByTheRules) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::map<std::string, std::optional<std::string>> entries;
    std::string searched;
    int pid;
  };
  const std::string long_dir = "/" + std::string(4089, 'a');  // + "/dusk" = 4095 bytes
  const std::vector<Case> cases = {
      {"installed path", {{"200", "/opt/kesta/dusk/dusk\0-instagent\0"s}}, "dusk", 200},
      {"bare name", {{"200", "dusk\0"s}}, "dusk", 200},
      {"a script named like it", {{"200", "/opt/kesta/dusk/dusk.sh\0"s}}, "dusk", 0},
      {"letter case counts", {{"200", "/opt/kesta/dusk/Dusk\0"s}}, "dusk", 0},
      {"an argument is not the command", {{"200", "/bin/sh\0dusk\0"s}}, "dusk", 0},
      {"a directory named like it", {{"200", "/opt/dusk/\0"s}}, "dusk", 0},
      {"absolute name needs the whole path", {{"200", "dusk\0"s}}, "/opt/kesta/dusk/dusk", 0},
      {"absolute name", {{"200", "/opt/kesta/dusk/dusk\0"s}}, "/opt/kesta/dusk/dusk", 200},
      {"own process skipped", {{"100", "dusk\0"s}}, "dusk", 0},
      {"own process skipped, another found", {{"100", "dusk\0"s}, {"300", "dusk\0"s}},
       "dusk", 300},
      {"entries that are no process, ended, or kernel threads",
       {{"self", "dusk\0"s}, {"12ab", "dusk\0"s}, {".7", "dusk\0"s}, {"99999999999", "dusk\0"s},
        {"400", std::nullopt}, {"401", ""}, {"402", "dusk\0"s}},
       "dusk", 402},
      {"empty name", {{"200", "\0"s}, {"201", "dusk\0"s}}, "", 0},
      {"argv[0] within the bytes read", {{"200", long_dir + "/dusk"}}, "dusk", 200},
      {"argv[0] beyond the bytes read", {{"200", long_dir + "a/dusk"}}, "dusk", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir proc;
    MakeProc(proc.path(), c.entries);
    EXPECT_EQ(FindProcessIn(proc.path(), c.searched, kOwnPid), c.pid);
  }
}

TEST(FindProcessTest, UnreadableProcFindsNothing) {
  test::LogCapture log;
  EXPECT_EQ(FindProcessIn("/nonexistent/proc", "dusk", kOwnPid), 0);
  EXPECT_TRUE(log.Has(kLogWarn, "Failed to open /nonexistent/proc"));
}

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
    int event;
    int signal_number;
  };
  const std::vector<Case> cases = {{kEventStop, SIGTERM},
                                   {kEventPause, SIGUSR1},
                                   {kEventResume, SIGUSR2},
                                   {kEventInterrupt, SIGHUP}};
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
  for (int event : {static_cast<int>(kEventNone), 5, -1}) EXPECT_EQ(EventSignalNumber(event), -1) << event;
}

TEST(ServiceEventTest, NoServiceRunning) {
  struct Case {
    int event;
    int exit_code;
    int level;
  };
  const std::vector<Case> cases = {{kEventStop, 0, kLogInfo},
                                   {kEventPause, 1, kLogError},
                                   {kEventResume, 1, kLogError},
                                   {kEventInterrupt, 1, kLogError}};
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
  EXPECT_EQ(SendServiceEventTo(kEventPause, child), 1);
  EXPECT_TRUE(log.Has(kLogInfo, "Failed to send Pause Command to KESTA-DUSK Service - pid " +
                                    std::to_string(child) + " - Error (3): No such process"));
}

TEST(ServiceStartTest, NoServiceWithoutALogFile) {
  test::LogCapture log;
  EXPECT_EQ(StartService(false), 1);
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace dusk
