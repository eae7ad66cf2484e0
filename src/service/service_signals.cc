#include "service/service_signals.h"

#include <poll.h>
#include <signal.h>

#include <atomic>
#include <ctime>

#include "log/log.h"
#include "service/service_event.h"
#include "util/stop_request.h"

namespace dusk {

namespace {

static_assert(std::atomic<int>::is_always_lock_free,
              "the handler may only touch a lock-free atomic");

/// The last signal the handler saw and the loop has not taken; 0 = none.
std::atomic<int> pendingSignal{0};

/// The signals of the control commands.
constexpr int kControlSignals[] = {SIGUSR1, SIGUSR2, SIGTERM, SIGHUP, SIGINT};

}  // namespace

void ServiceSignal(int signal_number) {
  // A stop is never replaced: signals that arrive together are delivered
  // lowest number last, so a SIGHUP sent with or after a SIGTERM would
  // otherwise undo the stop. Waits inside a pass (a server exchange, a
  // remote request's peeks and writes) see the stop at once.
  if (SignalEvent(signal_number) == ServiceEvent::kStop) {
    RequestStop();
    pendingSignal.store(signal_number);
  } else if (!StopRequested()) {
    pendingSignal.store(signal_number);
  }
}

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = ServiceSignal;
  // One handler at a time: none interrupts another halfway.
  sigemptyset(&action.sa_mask);
  for (int signal_number : kControlSignals) sigaddset(&action.sa_mask, signal_number);
  action.sa_flags = SA_RESTART;
  for (int signal_number : kControlSignals) sigaction(signal_number, &action, nullptr);
}

ServiceEvent SignalEvent(int signal_number) {
  switch (signal_number) {
    case SIGINT:
    case SIGTERM:
      return ServiceEvent::kStop;
    case SIGUSR1:
      return ServiceEvent::kPause;
    case SIGUSR2:
      return ServiceEvent::kResume;
    case SIGHUP:
      return ServiceEvent::kInterrupt;
    default:
      return ServiceEvent::kNone;
  }
}

ServiceEvent TakeServiceEvent() {
  int signal_number = pendingSignal.exchange(0);
  if (signal_number == 0 && !StopRequested()) return ServiceEvent::kNone;
  if (signal_number != 0) LogMessage(kLogTrace, "ServiceSignal: signal=%d", signal_number);
  return StopRequested() ? ServiceEvent::kStop : SignalEvent(signal_number);
}

bool ServiceEventPending() { return pendingSignal.load() != 0 || StopRequested(); }

void ClearServiceEvent() { pendingSignal.store(0); }

void WaitForServiceEvent(std::chrono::milliseconds wait) {
  // The control signals are held back while the loop looks for a pending
  // one, and let through only by the wait itself, in one step: one that
  // comes between the look and the wait is handled inside the wait and
  // ends it, instead of finding the loop asleep for the whole pause.
  sigset_t control, previous;
  sigemptyset(&control);
  for (int signal_number : kControlSignals) sigaddset(&control, signal_number);
  if (sigprocmask(SIG_BLOCK, &control, &previous) != 0) return;
  if (!ServiceEventPending() && wait.count() > 0) {
    sigset_t during = previous;
    for (int signal_number : kControlSignals) sigdelset(&during, signal_number);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const struct timespec pause = {
        static_cast<time_t>(seconds.count()),
        static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
    ppoll(nullptr, 0, &pause, &during);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace dusk
