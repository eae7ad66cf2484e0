#include "app/service_control.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "log/log.h"
#include "service/service_event.h"
#include "service/service_main.h"
#include "service/service_pid_file.h"
#include "service/service_signals.h"
#include "util/files.h"
#include "util/process.h"
#include "util/product.h"
#include "util/stop_request.h"
#include "util/timings.h"

namespace dusk {

bool logfileInitialized = false;

namespace {

/// Sleeps |wait| in all, even when caught signals cut a sleep short, unless
/// one of them asks for a stop.
void SleepFully(std::chrono::milliseconds wait) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
  struct timespec left = {static_cast<time_t>(seconds.count()),
                          static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
  while (nanosleep(&left, &left) != 0 && errno == EINTR && !StopRequested()) {
  }
}

/// Makes the service a daemon: a session of its own, so the starter's
/// terminal and its hang-up are not its business, and standard streams on
/// /dev/null, so that neither $(dusk) nor "ssh device dusk" waits for it to
/// end and a closed pipe cannot kill it. Its lines still reach the log.
void DetachFromStarter() {
  setsid();
  int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_fd >= 0) {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(null_fd, fd);
    if (null_fd > STDERR_FILENO) close(null_fd);
  }
  LogCopyErrorsToStderr(false);
}

}  // namespace

int EventSignalNumber(ServiceEvent event) {
  switch (event) {
    case ServiceEvent::kStop:
      return SIGTERM;
    case ServiceEvent::kPause:
      return SIGUSR1;
    case ServiceEvent::kResume:
      return SIGUSR2;
    case ServiceEvent::kInterrupt:
      return SIGHUP;
    default:
      return -1;
  }
}

int StartService(const Layout& layout, bool log_file_initialized,
                 const std::string& host_option, const std::string& port_option) {
  if (!log_file_initialized) {
    // A service without its log could not tell anyone what it does.
    LogMessage(kLogError, "The %s Service was not started: its log file cannot be opened",
               kServiceName);
    return 1;
  }
  if (int pid = FindProcessByName(layout.procRoot, kServiceProcessName); pid != 0) {
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
    DetachFromStarter();
    // The starting command ends first.
    SleepFully(CurrentTimings().service_start_delay);
    ServiceMain(layout, host_option, port_option);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (child < 0) {
    LogMessage(kLogError, "Could not create a process for the %s Service", kServiceName);
    return 1;
  }
  // Written before this process ends: a service manager reads the file as
  // soon as the start has exited, and takes the pid in it for the service
  // whatever else runs beside it.
  if (int error = 0;
      !WriteServicePidFile(layout.servicePidFile, static_cast<int>(child), &error))
    LogMessage(kLogWarn, "Could not write the pid file %s - %s", layout.servicePidFile.c_str(),
               ErrorText(error).c_str());
  LogMessage(kLogInfo | kLogConsoleFlag, "New %s Service started pid=%d", kServiceName,
             static_cast<int>(child));
  return 0;
}

int SendServiceEvent(const Layout& layout, ServiceEvent event) {
  return SendServiceEventTo(event, FindProcessByName(layout.procRoot, kServiceProcessName));
}

int SendServiceEventTo(ServiceEvent event, int pid) {
  if (pid <= 0) {
    // Nothing to stop is what -stop wanted; the other events fail.
    bool stop = event == ServiceEvent::kStop;
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
