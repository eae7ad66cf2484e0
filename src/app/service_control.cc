#include "app/service_control.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>

#include "log/log.h"
#include "service/service_event.h"
#include "service/service_main.h"
#include "service/service_signals.h"
#include "util/files.h"
#include "util/product.h"
#include "util/unique_fd.h"

namespace dusk {

bool logfileInitialized = false;

namespace {

/// Seconds the new service waits so that the starting command ends first.
constexpr unsigned kServiceStartDelaySeconds = 2;

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

/// The pid a /proc entry stands for; 0 for any other entry.
int PidOfEntry(const char* entry_name) {
  long pid = 0;
  if (*entry_name == '\0') return 0;
  for (const char* c = entry_name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 0;
    pid = pid * 10 + (*c - '0');
    if (pid > INT_MAX) return 0;
  }
  return static_cast<int>(pid);
}

/// argv[0] of the process whose cmdline file is |path|; "" when it cannot
/// be read or is empty.
std::string ReadCommandName(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::string();
  std::string text(kCommandLineReadMax, '\0');
  size_t got = 0;
  while (got < text.size()) {
    ssize_t n = read(fd.get(), text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::string();
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  text.resize(got);
  return text.substr(0, text.find('\0'));
}

/// Sleeps |seconds| in all, even when caught signals cut a sleep short.
void SleepFully(unsigned seconds) {
  struct timespec left = {static_cast<time_t>(seconds), 0};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace

bool CommandNameMatches(std::string_view command_name, std::string_view name) {
  if (!name.empty() && name.front() == '/') return command_name == name;
  size_t slash = command_name.rfind('/');
  std::string_view base =
      slash == std::string_view::npos ? command_name : command_name.substr(slash + 1);
  return base == name;
}

int FindProcessIn(const std::string& proc_root, std::string_view name, int own_pid) {
  if (name.empty()) return 0;
  std::unique_ptr<DIR, DirCloser> dir(opendir(proc_root.c_str()));
  if (!dir) {
    LogMessage(kLogWarn, "Failed to open %s", proc_root.c_str());
    return 0;
  }
  while (const struct dirent* entry = readdir(dir.get())) {
    int pid = PidOfEntry(entry->d_name);
    if (pid == 0 || pid == own_pid) continue;
    // Kernel threads and processes that ended since the listing have no
    // command line; they are skipped like any other unreadable entry.
    std::string command = ReadCommandName(proc_root + "/" + entry->d_name + "/cmdline");
    if (!command.empty() && CommandNameMatches(command, name)) return pid;
  }
  return 0;
}

int FindProcessByName(std::string_view name) {
  return FindProcessIn("/proc", name, static_cast<int>(getpid()));
}

int EventSignalNumber(int event) {
  switch (event) {
    case kEventStop:
      return SIGTERM;
    case kEventPause:
      return SIGUSR1;
    case kEventResume:
      return SIGUSR2;
    case kEventInterrupt:
      return SIGHUP;
    default:
      return -1;
  }
}

int StartService(bool log_file_initialized) {
  if (!log_file_initialized) return 1;
  if (int pid = FindProcessByName(kServiceProcessName); pid != 0) {
    LogMessage(kLogError | kLogConsoleFlag, "The %s Service is already running - pid %d",
               kServiceName, pid);
    return 1;
  }
  // Nothing buffered may be written twice, once by each process.
  fflush(nullptr);
  // The child catches the control signals from its first instruction on,
  // so that a -pause sent before the first pass pauses the service instead
  // of killing it: they stay blocked until its handlers are in place.
  sigset_t control, previous;
  sigemptyset(&control);
  for (int signal_number : {SIGUSR1, SIGUSR2, SIGTERM, SIGHUP, SIGINT})
    sigaddset(&control, signal_number);
  sigprocmask(SIG_BLOCK, &control, &previous);
  pid_t child = fork();
  if (child == 0) {
    InstallSignalHandlers();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    SleepFully(kServiceStartDelaySeconds);
    ServiceMain();
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (child < 0) {
    LogMessage(kLogError, "Could not create a process for the %s Service", kServiceName);
    return 1;
  }
  LogMessage(kLogInfo | kLogConsoleFlag, "New %s Service started pid=%d", kServiceName,
             static_cast<int>(child));
  return 0;
}

int SendServiceEvent(int event) {
  return SendServiceEventTo(event, FindProcessByName(kServiceProcessName));
}

int SendServiceEventTo(int event, int pid) {
  if (pid <= 0) {
    // Nothing to stop is what -stop wanted; the other events fail.
    bool stop = event == kEventStop;
    LogMessage((stop ? kLogInfo : kLogError) | kLogConsoleFlag,
               "The %s Service is not currently running", kServiceName);
    return stop ? 0 : 1;
  }
  int signal_number = EventSignalNumber(event);
  LogMessage(kLogInfo | kLogConsoleFlag, "Sending %s Command to the %s Service - pid %d",
             EventName(event), kServiceName, pid);
  LogMessage(kLogDebug | kLogConsoleFlag, "Sending signal %d to process %d", signal_number,
             pid);
  if (kill(pid, signal_number) != 0) {
    LogMessage(kLogInfo | kLogConsoleFlag, "Failed to send %s Command to %s Service - pid %d - %s",
               EventName(event), kServiceName, pid, ErrorText(errno).c_str());
    return 1;
  }
  return 0;
}

}  // namespace dusk
