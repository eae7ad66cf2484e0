#include "install/exec_command.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/short_timings.h"
#include "support/test_util.h"
#include "util/stop_request.h"
#include "util/timings.h"
#include "util/unique_fd.h"

namespace dusk {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool ProcessExists(pid_t pid) { return access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0; }

TEST(ExecCommandTest, ShellLineRedirections) {
  struct {
    const char* output;
    const char* error;
    bool append;
    const char* line;
  } cases[] = {
      {"", "", false, "cmd -x 2>&1"},
      {"", "", true, "cmd -x 2>&1"},
      {"/tmp/out.log", "", false, "cmd -x>/tmp/out.log 2>&1"},
      {"/tmp/out.log", "", true, "cmd -x>>/tmp/out.log 2>&1"},
      {"/tmp/out.log", "/tmp/err.log", false, "cmd -x>/tmp/out.log 2>/tmp/err.log"},
      {"/tmp/out.log", "/tmp/err.log", true, "cmd -x>>/tmp/out.log 2>>/tmp/err.log"},
      {"", "/tmp/err.log", false, "cmd -x 2>/tmp/err.log"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(ExecShellLine("cmd -x", c.output, c.error, c.append), c.line);
  }
}

TEST(ExecCommandTest, ACommandEndingInANumberKeepsItsLastArgument) {
  struct {
    const char* command;
    const char* line;
  } cases[] = {
      {"install.sh --exit 1", "install.sh --exit 1 >/tmp/log 2>&1"},
      {"run -n 42", "run -n 42 >/tmp/log 2>&1"},
      {"run;7", "run;7 >/tmp/log 2>&1"},
      {"7", "7 >/tmp/log 2>&1"},
      {"dpkg -i agent.deb", "dpkg -i agent.deb>/tmp/log 2>&1"},
      {"run -x1", "run -x1>/tmp/log 2>&1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(ExecShellLine(c.command, "/tmp/log", "", false), c.line);
  }
  // The shell gets the argument, and the output goes to the file.
  test::TempDir dir;
  ExecResult result = -99;
  EXPECT_TRUE(ExecCommand("echo 1", dir / "out", "", false, seconds(5), &result));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(test::ReadFile(dir / "out"), "1\n");
}

TEST(ExecCommandTest, ResultTexts) {
  struct {
    ExecResult code;
    const char* text;
  } cases[] = {{0, "No Error"},
               {-1, "Exec Error"},
               {-2, "Could not create child process"},
               {-3, "Bad command specified"},
               {-4, "Command specified timed out"},
               {-5, "Command was terminated"},
               {-6, "Command interrupted - the KESTA-DUSK service is stopping"},
               {3, "Exit Code: 3"},
               {-7, "Exit Code: -7"},
               {255, "Exit Code: 255"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(ExecResultText(c.code), c.text);
  }
}

TEST(ExecCommandTest, OutcomesOfCommands) {
  struct {
    const char* command;
    bool ok;
    ExecResult result;
  } cases[] = {
      {"true", true, 0},
      {"exit 3", true, 3},
      {"/nonexistent/installer", true, 127},
      {"kill -TERM $$", false, kExecTerminated},
      {"kill -KILL $$", false, kExecTerminated},
      {"", false, kExecBadCommand},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    ExecResult result = 99;
    EXPECT_EQ(ExecCommand(c.command, "", "", false, seconds(10), &result), c.ok);
    EXPECT_EQ(result, c.result);
  }
  // A null result is allowed.
  EXPECT_TRUE(ExecCommand("true", "", "", false, seconds(0), nullptr));
}

TEST(ExecCommandTest, TooLongLineIsRefusedWhole) {
  test::TempDir dir;
  std::string marker = dir / "ran";
  // The line with its " 2>&1" just fits; one more character does not.
  std::string fits = "touch " + marker + " #";
  fits.append(kExecLineCapacity - 1 - fits.size() - 5, 'x');
  ExecResult result = 0;
  EXPECT_FALSE(ExecCommand(fits + "x", "", "", false, seconds(10), &result));
  EXPECT_EQ(result, kExecBadCommand);
  EXPECT_NE(access(marker.c_str(), F_OK), 0);
  EXPECT_TRUE(ExecCommand(fits, "", "", false, seconds(10), &result));
  EXPECT_EQ(access(marker.c_str(), F_OK), 0);
}

TEST(ExecCommandTest, OutputAndErrorFiles) {
  test::TempDir dir;
  const std::string out = dir / "out.log", err = dir / "err.log";
  const char* kBoth = "(echo to-out; echo to-err >&2)";

  // Both streams into the replaced output file.
  test::WriteFile(out, "old\n");
  EXPECT_TRUE(ExecCommand(kBoth, out, "", false, seconds(10), nullptr));
  EXPECT_EQ(test::ReadFile(out), "to-out\nto-err\n");
  // Appended.
  EXPECT_TRUE(ExecCommand(kBoth, out, "", true, seconds(10), nullptr));
  EXPECT_EQ(test::ReadFile(out), "to-out\nto-err\nto-out\nto-err\n");
  // Separate files.
  EXPECT_TRUE(ExecCommand(kBoth, out, err, false, seconds(10), nullptr));
  EXPECT_EQ(test::ReadFile(out), "to-out\n");
  EXPECT_EQ(test::ReadFile(err), "to-err\n");
  // An output file that cannot be made fails the command, not the execution.
  ExecResult result = 0;
  EXPECT_TRUE(ExecCommand("true", dir / "missing/out.log", "", false, seconds(10), &result));
  EXPECT_NE(result, 0);
}

TEST(ExecCommandTest, CommandInheritsNoDescriptorOfTheService) {
  // A listening socket and a plain descriptor, both without close-on-exec.
  UniqueFd listener(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_TRUE(listener);
  ASSERT_EQ(listen(listener.get(), 1), 0);
  UniqueFd file(open("/dev/null", O_RDONLY));
  ASSERT_TRUE(file);
  for (int fd : {listener.get(), file.get()}) {
    SCOPED_TRACE(fd);
    ExecResult result = -9;
    // "test" is the shell's own, so /proc/self is the command's process.
    EXPECT_TRUE(ExecCommand("test ! -e /proc/self/fd/" + std::to_string(fd), "", "", false,
                            seconds(10), &result));
    EXPECT_EQ(result, 0);
  }
  // Standard input and output are still there.
  ExecResult result = -9;
  EXPECT_TRUE(ExecCommand("test -e /proc/self/fd/0 && test -e /proc/self/fd/1", "", "",
                          false, seconds(10), &result));
  EXPECT_EQ(result, 0);
}

TEST(ExecCommandTest, IgnoredSignalsAreNotPassedOn) {
  auto previous = signal(SIGPIPE, SIG_IGN);
  // A shell that starts with SIGPIPE ignored could never be ended by it.
  ExecResult result = 0;
  EXPECT_FALSE(ExecCommand("kill -PIPE $$", "", "", false, seconds(10), &result));
  EXPECT_EQ(result, kExecTerminated);
  signal(SIGPIPE, previous);
}

TEST(ExecCommandTest, TimedOutCommandIsAbandonedThenCollected) {
  ASSERT_FALSE(AbandonedCommandRunning());
  test::TempDir dir;
  const std::string done = dir / "done";
  // Abandoned once the time-out and one poll interval have passed.
  Timings quick;
  quick.command_poll = milliseconds(200);
  Clock::time_point start = Clock::now();
  ExecResult result = 0;
  {
    test::ScopedTimings timings(quick);
    EXPECT_FALSE(ExecCommand("sleep 2; touch " + done, "", "", false, milliseconds(300),
                             &result));
  }
  double waited = SecondsSince(start);
  EXPECT_EQ(result, kExecTimedOut);
  EXPECT_GE(waited, 0.5);
  EXPECT_LT(waited, 1.5);

  std::vector<pid_t> pids = AbandonedCommands();
  ASSERT_EQ(pids.size(), 1u);
  EXPECT_TRUE(AbandonedCommandRunning());
  // It keeps running to its end.
  for (int i = 0; i < 50 && access(done.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(access(done.c_str(), F_OK), 0);
  // Its exit is collected: no zombie stays.
  for (int i = 0; i < 50 && AbandonedCommandRunning(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(AbandonedCommandRunning());
  EXPECT_FALSE(ProcessExists(pids[0]));
}

// The end of a command is an event: it is seen at once, not at the next
// look a poll interval later.
TEST(ExecCommandTest, EndIsSeenAtOnce) {
  ASSERT_EQ(CurrentTimings().command_poll, seconds(1));
  Clock::time_point start = Clock::now();
  ExecResult result = -9;
  EXPECT_TRUE(ExecCommand("sleep 0.2", "", "", false, seconds(10), &result));
  EXPECT_EQ(result, 0);
  EXPECT_LT(SecondsSince(start), 0.8);
}

void StopOnSignal(int) { RequestStop(); }

// A stop that comes while the command runs ends the wait when its signal
// does, long before the one-second cap.
TEST(ExecCommandTest, StopSignalEndsTheWaitAtOnce) {
  struct sigaction action = {}, previous = {};
  action.sa_handler = StopOnSignal;
  action.sa_flags = SA_RESTART;
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  const pthread_t waiter = pthread_self();
  std::thread stopper([waiter] {
    std::this_thread::sleep_for(milliseconds(200));
    pthread_kill(waiter, SIGUSR1);
  });
  Clock::time_point start = Clock::now();
  ExecResult result = 0;
  bool ok = ExecCommand("sleep 1", "", "", false, seconds(120), &result);
  const double waited = SecondsSince(start);
  stopper.join();
  ClearStopRequest();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_FALSE(ok);
  EXPECT_EQ(result, kExecStopped);
  EXPECT_LT(waited, 0.8);
  for (int i = 0; i < 50 && AbandonedCommandRunning(); ++i)
    std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(AbandonedCommandRunning());
}

TEST(ExecCommandTest, PendingStopEndsTheWaitAtOnce) {
  RequestStop();
  Clock::time_point start = Clock::now();
  ExecResult result = 0;
  bool ok = ExecCommand("sleep 1", "", "", false, seconds(120), &result);
  ClearStopRequest();
  EXPECT_FALSE(ok);
  EXPECT_EQ(result, kExecStopped);
  EXPECT_LT(SecondsSince(start), 0.9);
  ASSERT_EQ(AbandonedCommands().size(), 1u);
  pid_t pid = AbandonedCommands()[0];
  for (int i = 0; i < 50 && AbandonedCommandRunning(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(AbandonedCommandRunning());
  EXPECT_FALSE(ProcessExists(pid));
}

TEST(ExecCommandTest, ChildWritesExecLineToTheLog) {
  test::TempDir log_dir;
  ASSERT_TRUE(LogFileOpen(kLogFileName, log_dir.path()));
  LogLevel(kLogDebug);
  test::TempDir dir;
  EXPECT_TRUE(ExecCommand("echo hi", dir / "out", "", false, seconds(10), nullptr));
  LogLevel(kLogInfo);
  LogFileClose();
  std::string log = test::ReadFile(log_dir / kLogFileName);
  EXPECT_NE(log.find(" Debug: KESTA-DUSK: Exec: /bin/sh -c \"echo hi>" + (dir / "out") +
                     " 2>&1\"\n"),
            std::string::npos)
      << log;
  // The command itself could not write to the log.
  EXPECT_EQ(test::ReadFile(dir / "out"), "hi\n");
}

}  // namespace
}  // namespace dusk
