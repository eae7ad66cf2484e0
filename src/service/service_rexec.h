#ifndef DUSK_SERVICE_SERVICE_REXEC_H_
#define DUSK_SERVICE_SERVICE_REXEC_H_

// The service's side of remote execution: it keeps the listener up while
// the agent is missing, and on every pass, running or paused, it takes at
// most one request and carries it out to its end.

#include <cstddef>

#include "service/service_context.h"

namespace dusk {

/// Slots of the option table handed to the install.
inline constexpr int kInstallOptionSlots = 64;
/// Longest command word and parameters text the loop keeps of a request.
inline constexpr size_t kServiceCommandMax = 2047;
inline constexpr size_t kServiceParametersMax = 2047;

/// Once the server has answered a probe: when the agent is not installed
/// and nothing listens, logs "KESTA Agent is Not Installed, Starting the
/// KESTA-DUSK Listener" and starts the listener.
void KeepListenerWhileAgentMissing(ServiceContext& context);

/// Once the server has answered a probe and while the listener is up:
/// accepts at most one request (from the service's server, see
/// AcceptRexecRequest) and processes it. A command other than
/// "InstallAgent" is refused on the session ("Invalid command specified."
/// and a line feed, on the error connection when there is one). For
/// "InstallAgent" the listener is stopped and the context's installer runs
/// (MediaAgentInstaller when it has none); after a success the
/// agent's object file gets the DN and the next running pass scans the
/// services, after a failure the listener starts again. The request's
/// connections are closed and its session freed at the end.
void ServeRexecRequest(ServiceContext& context);

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_REXEC_H_
