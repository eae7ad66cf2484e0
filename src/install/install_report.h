#ifndef DUSK_INSTALL_INSTALL_REPORT_H_
#define DUSK_INSTALL_INSTALL_REPORT_H_

// How the agent's install steps report: every text goes to the log (echoed
// to the console for a command-line run) and, when the server asked for the
// work, to the request's session as an "info" line or an event.

#include <string_view>

#include "rexec/rexec_session.h"

namespace dusk {

/// Event types of an agent install, in the order the server sees them.
inline constexpr char kEventCopyingAgent[] = "copyingagent";
inline constexpr char kEventInstallConfig[] = "installcfgagent";
inline constexpr char kEventAgentInstalled[] = "agentinstalled";
inline constexpr char kEventInstallFailed[] = "installagentfailed";

/// |level| with the console flag added when |console| is set.
int InstallLogLevel(int level, bool console);

/// Logs |text| at |level| (console echo when |console|) and sends it to
/// |session| as an "info" line.
void InstallProgress(RexecSession* session, int level, bool console, std::string_view text);

/// Logs |text| at |level| (console echo when |console|) and sends it to
/// |session| as the event "installagentfailed". Always false, for the
/// caller to return.
bool InstallFailed(RexecSession* session, int level, bool console, std::string_view text);

}  // namespace dusk

#endif  // DUSK_INSTALL_INSTALL_REPORT_H_
