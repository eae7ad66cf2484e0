#ifndef DUSK_UTIL_STOP_REQUEST_H_
#define DUSK_UTIL_STOP_REQUEST_H_

// Whether the service has been asked to stop. The signal handler of the
// service sets it; every wait of the process (network reads and writes,
// the peeks of a remote request, a running agent command) looks at it at
// least once a second, so that a stop never waits for a slow or silent peer.
// It lives at the bottom because the waits that must see it are in every
// layer.

namespace dusk {

/// How often a wait looks at the stop request, at the longest.
inline constexpr int kStopCheckIntervalMs = 1000;

/// Why work was cut short by a stop, for the line that tells so (after the
/// words naming what was cut): the log and the server learn that nothing
/// failed or timed out, the service went away.
inline constexpr char kStoppingReason[] = "the KESTA-DUSK service is stopping";

/// Marks a stop as pending. Async-signal-safe.
void RequestStop();

/// True while a stop is pending.
bool StopRequested();

/// Forgets a pending stop (tests, and a service that has shut down).
void ClearStopRequest();

}  // namespace dusk

#endif  // DUSK_UTIL_STOP_REQUEST_H_
