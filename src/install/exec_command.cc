#include "install/exec_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>

#include "log/log.h"
#include "util/stop_request.h"
#include "util/strings.h"
#include "util/timings.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

/// Descriptors looked at one by one when the kernel cannot mark a whole
/// range close-on-exec; a limit far above what the program ever opens.
constexpr long kDescriptorScanMax = 65536;

/// The install lock's descriptors while it is held (SetCommandLock).
struct CommandLock {
  int held_fd = -1;
  int commands_fd = -1;
};
CommandLock command_lock;

/// Commands given up on after their time-out, until their exit is
/// collected. Only the parent's polling loop adds to it.
std::vector<pid_t>& Abandoned() {
  static std::vector<pid_t> pids;
  return pids;
}

/// Owner of a forked child until its exit is collected. A child still
/// running when its owner goes away is abandoned, never forgotten, so that
/// every exit is collected and no zombie stays behind.
class ChildProcess {
 public:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, 0)) {}
  ChildProcess& operator=(ChildProcess&&) = delete;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { Abandon(); }

  pid_t pid() const { return pid_; }
  /// The exit has been collected; nothing is left to own.
  void Collected() { pid_ = 0; }
  /// Leaves the running child to ReapAbandonedCommands.
  void Abandon() {
    if (pid_ > 0) Abandoned().push_back(pid_);
    pid_ = 0;
  }

 private:
  pid_t pid_;
};

/// Makes every descriptor above standard error close at the exec: the
/// listening socket and a request's connections must not live on in an
/// installer that may run for a long time after the service gave up on it.
/// The log file stays usable until the exec, for the child's own line.
void CloseInheritedOnExec() {
#ifdef SYS_close_range
  constexpr unsigned kCloseRangeCloexec = 1U << 2;  // CLOSE_RANGE_CLOEXEC
  if (syscall(SYS_close_range, 3U, ~0U, kCloseRangeCloexec) == 0) return;
#endif
  // Older kernels: one descriptor at a time (no allocation after the fork).
  struct rlimit limit;
  long last = kDescriptorScanMax;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    last = std::min<long>(last, static_cast<long>(limit.rlim_cur));
  for (int fd = 3; fd < last; ++fd) {
    int flags = fcntl(fd, F_GETFD);
    if (flags >= 0 && !(flags & FD_CLOEXEC)) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
  }
}

/// In the child: the command holds the install lock for as long as it
/// runs, also when it is abandoned and its starter has gone. The record
/// lock stays across the exec with its descriptor; the flock of the
/// starter is closed first, since the close of any descriptor of the file
/// drops a record lock, the exec's own closing included.
void KeepCommandLock() {
  if (command_lock.commands_fd < 0) return;
  close(command_lock.held_fd);
  fcntl(command_lock.commands_fd, F_SETFD, 0);
  struct flock whole = {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  fcntl(command_lock.commands_fd, F_SETLK, &whole);
}

/// The shell starts with the signal state of a fresh process: the service
/// may block its control signals or ignore SIGPIPE, and the exec keeps both.
void ResetSignalsForExec() {
  signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

/// A descriptor that turns readable once the child |pid| has ended, so its
/// exit is an event to wait on; invalid where the kernel has none (before
/// Linux 5.3), and the child is then looked at once a poll interval.
UniqueFd OpenExitEvent(pid_t pid) {
#ifdef SYS_pidfd_open
  return UniqueFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
#else
  (void)pid;
  return UniqueFd();
#endif
}

/// Waits up to |wait| for |exit_event| (or the whole |wait| without one).
/// A caught signal ends the wait early, so a stop is seen at once.
void WaitForExit(const UniqueFd& exit_event, std::chrono::milliseconds wait) {
  const int wait_ms = static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
  if (exit_event) {
    struct pollfd entry = {exit_event.get(), POLLIN, 0};
    poll(&entry, 1, wait_ms);
    return;
  }
  struct timespec pause = {wait_ms / 1000, (wait_ms % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

/// The text of a collected wait status, for the Debug line of a reaped
/// command.
std::string WaitStatusText(int status) {
  if (WIFEXITED(status)) return ExecResultText(WEXITSTATUS(status));
  return ExecResultText(kExecTerminated);
}

}  // namespace

bool EndsInDescriptorNumber(std::string_view command) {
  const size_t last_other = command.find_last_not_of("0123456789");
  const size_t digits =
      last_other == std::string_view::npos ? command.size() : command.size() - last_other - 1;
  if (digits == 0) return false;
  // A word of digits alone: at the start, or after a blank or an operator.
  return digits == command.size() ||
         std::string_view(" \t\n;&|()<>").find(command[last_other]) != std::string_view::npos;
}

std::string ExecShellLine(std::string_view command, std::string_view output_file,
                          std::string_view error_file, bool append) {
  std::string line(command);
  if (!output_file.empty()) {
    // "... --level 2>log" would redirect descriptor 2 and lose the argument.
    if (EndsInDescriptorNumber(line)) line += ' ';
    line += append ? ">>" : ">";
    line += output_file;
  }
  if (!error_file.empty()) {
    line += append ? " 2>>" : " 2>";
    line += error_file;
  } else {
    line += " 2>&1";
  }
  return line;
}

bool ExecCommand(std::string_view command, std::string_view output_file,
                 std::string_view error_file, bool append, std::chrono::milliseconds timeout,
                 ExecResult* result) {
  ExecResult ignored;
  if (result == nullptr) result = &ignored;
  ReapAbandonedCommands();
  if (command.empty()) {
    *result = kExecBadCommand;
    return false;
  }
  // Everything the child needs is made before the fork.
  std::string line = ExecShellLine(command, output_file, error_file, append);
  if (line.size() >= kExecLineCapacity || line.find('\0') != std::string::npos) {
    *result = kExecBadCommand;
    return false;
  }
  char shell_name[] = "sh";
  char shell_option[] = "-c";
  char* const argv[] = {shell_name, shell_option, line.data(), nullptr};
  // Buffered console text would otherwise be written by both processes.
  fflush(nullptr);

  pid_t pid = fork();
  if (pid < 0) {
    *result = kExecForkFailed;
    return false;
  }
  if (pid == 0) {
    CloseInheritedOnExec();
    KeepCommandLock();
    ResetSignalsForExec();
    LogMessage(kLogDebug, "Exec: /bin/sh -c \"%s\"", line.c_str());
    execv("/bin/sh", argv);
    _exit(kExecShellMissingStatus);
  }

  ChildProcess child(pid);
  const UniqueFd exit_event = OpenExitEvent(pid);
  using Clock = std::chrono::steady_clock;
  const std::chrono::milliseconds poll_interval =
      std::max(CurrentTimings().command_poll, std::chrono::milliseconds(1));
  // Given up on one poll interval after the time-out: where a command is
  // looked at once an interval, that is the first look after it.
  const Clock::time_point give_up = timeout.count() > 0
                                        ? Clock::now() + timeout + poll_interval
                                        : Clock::time_point::max();
  for (;;) {
    int status = 0;
    pid_t polled = waitpid(child.pid(), &status, WNOHANG);
    if (polled < 0 && errno == EINTR) polled = 0;
    if (polled < 0) {
      // Nobody can collect this child any more; nothing is left to own.
      child.Collected();
      *result = kExecError;
      return false;
    }
    if (polled == child.pid()) {
      if (WIFEXITED(status)) {
        child.Collected();
        *result = WEXITSTATUS(status);
        return true;
      }
      if (WIFSIGNALED(status)) {
        child.Collected();
        *result = kExecTerminated;
        return false;
      }
    }
    // A stop is told apart from the time-out: the server and the log must
    // not read that the command took too long when the service went away.
    if (StopRequested()) {
      child.Abandon();
      *result = kExecStopped;
      return false;
    }
    const Clock::time_point now = Clock::now();
    if (now >= give_up) {
      child.Abandon();
      *result = kExecTimedOut;
      return false;
    }
    // A signal ends the wait at once; the cap sees to a stop whose signal
    // came just before the wait began.
    std::chrono::milliseconds wait =
        std::min(poll_interval, std::chrono::milliseconds(kStopCheckIntervalMs));
    if (give_up - now < wait)
      wait = std::chrono::ceil<std::chrono::milliseconds>(give_up - now);
    WaitForExit(exit_event, wait);
  }
}

std::string ExecResultText(ExecResult code) {
  switch (code) {
    case kExecNoError:
      return "No Error";
    case kExecError:
      return "Exec Error";
    case kExecForkFailed:
      return "Could not create child process";
    case kExecBadCommand:
      return "Bad command specified";
    case kExecTimedOut:
      return "Command specified timed out";
    case kExecTerminated:
      return "Command was terminated";
    case kExecStopped:
      return strFormat("Command interrupted - %s", kStoppingReason);
    default:
      return strFormat("Exit Code: %d", code);
  }
}

void SetCommandLock(int held_fd, int commands_fd) {
  command_lock.held_fd = held_fd;
  command_lock.commands_fd = commands_fd;
}

void ReapAbandonedCommands() {
  std::vector<pid_t>& pids = Abandoned();
  std::erase_if(pids, [](pid_t pid) {
    int status = 0;
    pid_t polled = waitpid(pid, &status, WNOHANG);
    if (polled == 0 || (polled < 0 && errno == EINTR)) return false;
    if (polled == pid) {
      LogMessage(kLogDebug, "Abandoned command (pid %d) ended - %s", static_cast<int>(pid),
                 WaitStatusText(status).c_str());
    }
    // Collected now, or collected by someone else (ECHILD): gone either way.
    return true;
  });
}

bool AbandonedCommandRunning() {
  ReapAbandonedCommands();
  return !Abandoned().empty();
}

std::vector<pid_t> AbandonedCommands() { return Abandoned(); }

}  // namespace dusk
