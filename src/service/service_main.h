#ifndef DUSK_SERVICE_SERVICE_MAIN_H_
#define DUSK_SERVICE_SERVICE_MAIN_H_

// The service process: initialisation, then passes a pause apart
// (service_pass_pause, util/timings.h) for ever, each followed by the event
// a signal left behind. A pass reads the time once from a Clock and talks to
// the server only through ServerCalls, so a test runs passes back to back
// against a fake of each; only ServiceMain and ServiceShutdown sleep and
// exit.

#include <string>

#include "service/service_context.h"
#include "service/service_event.h"

namespace dusk {

/// The start of the service: log level, "Service Initialization Process
/// ...", the server address, "Service Started", the running state,
/// AgentPort bound for the service's whole life (BindAgentPort), the DN
/// in the agent's object file, and an initial connect that waits for this
/// start (RunScheduledInitialConnect).
void ServiceInit(ServiceContext& context);

/// One pass of the loop. kShutdown when the probe time limit has expired
/// (after "KESTA Server Probe Time Limit Expired").
ServiceStep RunServicePass(ServiceContext& context);

/// Acts on |event| (ServiceEvent): Pause, Resume and Interrupt change the
/// state and make the next running pass read the log level, the server
/// address and the registration and scan intervals again; Stop asks for the
/// shutdown.
ServiceStep ServiceEventStep(ServiceContext& context, ServiceEvent event);

/// Everything ServiceShutdown does but ending the process: UnRegister
/// when the server had answered a probe, "Service Shutdown", settings and
/// probe state forgotten, the shut-down state, AgentPort released, no
/// pending event, the log closed.
void FinishService(ServiceContext& context);

/// Ends the service: FinishService, its pid file removed, then exit
/// status 0.
[[noreturn]] void ServiceShutdown(ServiceContext& context);

/// What the forked service process runs, with the real clock and server,
/// on the directories of |layout|. |host_option| and |port_option| are the
/// -host and -port values of the command that started it ("" when not
/// given). Never returns.
[[noreturn]] void ServiceMain(const Layout& layout, const std::string& host_option,
                              const std::string& port_option);

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_MAIN_H_
