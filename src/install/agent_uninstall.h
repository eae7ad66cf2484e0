#ifndef DUSK_INSTALL_AGENT_UNINSTALL_H_
#define DUSK_INSTALL_AGENT_UNINSTALL_H_

// Removal of the KESTA Agent by its own uninstall program, run from the
// root directory (the agent's directory goes away under it) with the root
// file system unlocked and its output in the uninstall log. Only the
// command line runs it: progress and failures are only logged.

#include <string>

#include "util/layout.h"

namespace dusk {

/// The agent's uninstall program and its switch for an unattended run.
inline constexpr char kUninstallProgram[] = "uninstall";
inline constexpr char kUninstallSilentSwitch[] = "-s";

/// Runs the agent's uninstall program (in |layout|.agentDir), with
/// kUninstallSilentSwitch unless |console| (which also echoes the log lines
/// to standard output), with the uninstall_command time-out (util/timings.h;
/// it goes on running after it, see exec_command.h), under the install
/// lock (install_lock.h: refused with its text when another install or
/// uninstall holds it). True when it ran and exited with status 0;
/// otherwise false after an Error line, whose text also goes into
/// |failure| when given. The working directory is the same
/// afterwards when it still exists.
bool UninstallAgent(const Layout& layout, bool console, std::string* failure = nullptr);

}  // namespace dusk

#endif  // DUSK_INSTALL_AGENT_UNINSTALL_H_
