#ifndef DUSK_SERVICE_SERVICE_CONTEXT_H_
#define DUSK_SERVICE_SERVICE_CONTEXT_H_

// A service and what it runs against: shared by the loop (service_main.h)
// and its remote execution (service_rexec.h).

#include <string>

#include "rexec/rexec_session.h"
#include "service/agent_installer.h"
#include "service/clock.h"
#include "service/server_calls.h"
#include "service/service_state.h"
#include "util/layout.h"

namespace dusk {

/// A service and what it runs against.
struct ServiceContext {
  ServiceState state;
  /// The directories the service works in.
  Layout layout;
  Clock* clock = nullptr;
  ServerCalls* server = nullptr;
  /// What an "InstallAgent" request runs; none = MediaAgentInstaller.
  AgentInstaller* installer = nullptr;
  /// The -host and -port options the service was started with.
  std::string optionHost;
  std::string optionPort;
  /// The sessions of the requests being carried out.
  RexecSessionTable sessions;
};

/// What the loop does after a pass or an event.
enum class ServiceStep { kContinue, kShutdown };

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_CONTEXT_H_
