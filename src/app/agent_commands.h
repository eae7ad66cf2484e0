#ifndef DUSK_APP_AGENT_COMMANDS_H_
#define DUSK_APP_AGENT_COMMANDS_H_

// The commands "-instagent" and "-uninstagent": the agent's install and
// removal run from the command line, with no server session.

#include "app/options.h"
#include "util/layout.h"

namespace dusk {

/// "-instagent": installs the agent from the media of the file argument
/// (BuildInstAgentOptions) into |layout|, with the initial connect, echoing
/// to the console unless "-silent". 0 when installed, else 1.
int InstallAgentCommand(const Options& options, const Layout& layout);

/// "-uninstagent": runs the agent's uninstall program ("-s" with
/// "-silent"). 1 when that fails. On success the services are scanned
/// again and Status sent to the server when they changed ("No Changes in
/// KESTA Agent Services Detected" at Warn otherwise); 0 whatever that
/// report does.
int UninstallAgentCommand(const Options& options, const Layout& layout);

}  // namespace dusk

#endif  // DUSK_APP_AGENT_COMMANDS_H_
