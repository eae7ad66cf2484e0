#include "service/service_signals.h"

#include <signal.h>

#include <atomic>

#include "log/log.h"
#include "service/service_event.h"
#include "util/stop_request.h"

namespace dusk {

namespace {

static_assert(std::atomic<int>::is_always_lock_free,
              "the handler may only touch a lock-free atomic");

/// The last signal the handler saw and the loop has not taken; 0 = none.
std::atomic<int> pendingSignal{0};

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
  constexpr int kControlSignals[] = {SIGUSR1, SIGUSR2, SIGTERM, SIGHUP, SIGINT};
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

}  // namespace dusk
