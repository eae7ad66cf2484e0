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
  pendingSignal.store(signal_number);
  // Waits inside a pass (a remote request's peeks and writes) give up on a
  // stop at once rather than after the pass.
  if (SignalEvent(signal_number) == ServiceEvent::kStop) RequestStop();
}

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = ServiceSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGUSR1, SIGUSR2, SIGTERM, SIGHUP, SIGINT})
    sigaction(signal_number, &action, nullptr);
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
  if (signal_number == 0) return ServiceEvent::kNone;
  LogMessage(kLogTrace, "ServiceSignal: signal=%d", signal_number);
  return SignalEvent(signal_number);
}

bool ServiceEventPending() { return pendingSignal.load() != 0; }

void ClearServiceEvent() { pendingSignal.store(0); }

}  // namespace dusk
