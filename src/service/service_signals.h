#ifndef DUSK_SERVICE_SERVICE_SIGNALS_H_
#define DUSK_SERVICE_SERVICE_SIGNALS_H_

// How the control commands reach the service. The handler runs at any
// moment between two instructions of the loop, so it only stores the
// signal in one lock-free atomic; the loop takes and clears it in a single
// exchange after its sleep, so a signal arriving meanwhile is never lost
// and the last signal before the loop acts is the one that counts.

#include <chrono>

#include "service/service_event.h"

namespace dusk {

/// Installs ServiceSignal for SIGUSR1, SIGUSR2, SIGTERM, SIGHUP and SIGINT.
/// Interrupted system calls are restarted, except sleeps, which a caught
/// signal cuts short.
void InstallSignalHandlers();

/// The handler: records |signal_number| for the loop. Async-signal-safe.
void ServiceSignal(int signal_number);

/// The event a signal stands for (ServiceEvent); ServiceEvent::kNone for a signal
/// outside the table.
ServiceEvent SignalEvent(int signal_number);

/// Takes the recorded signal and clears it in one step; logs
/// "ServiceSignal: signal=%d" at Trace when there was one. Returns its
/// event, ServiceEvent::kNone when nothing was recorded.
ServiceEvent TakeServiceEvent();

/// True while a signal waits for the loop.
bool ServiceEventPending();

/// Forgets a recorded signal.
void ClearServiceEvent();

/// Waits up to |wait|, or less: not at all when a signal waits for the loop
/// already, and no longer than until one arrives, however close to the start
/// of the wait it comes.
void WaitForServiceEvent(std::chrono::milliseconds wait);

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_SIGNALS_H_
