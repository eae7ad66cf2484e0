#ifndef DUSK_SERVICE_AGENT_INSTALLER_H_
#define DUSK_SERVICE_AGENT_INSTALLER_H_

// What the service does with an accepted "InstallAgent" request. The
// install lives in a module of its own; the service reaches it through this
// seam, so a test can stand in for it and a build without it still answers
// the server with a failure it can show.

#include <string>

#include "rexec/rexec_session.h"
#include "util/attr_table.h"

namespace dusk {

/// Text of the failure of a build that cannot install the agent.
inline constexpr char kInstallUnavailable[] = "InstallAgent is not available in this build";

class AgentInstaller {
 public:
  virtual ~AgentInstaller() = default;
  /// Downloads and installs the agent as |options| (the request's options)
  /// say, from the server named by the -host and -port options
  /// |host_option| and |port_option| ("" when not given), reporting on
  /// |session|. True when the agent was installed.
  virtual bool DownloadAndInstallAgent(RexecSession* session, const std::string& host_option,
                                       const std::string& port_option,
                                       const AttrTable& options) = 0;
};

/// The installer of a build without the install module: logs
/// kInstallUnavailable at Error, sends it as the "installagentfailed" event
/// and fails.
class UnavailableAgentInstaller final : public AgentInstaller {
 public:
  bool DownloadAndInstallAgent(RexecSession* session, const std::string& host_option,
                               const std::string& port_option,
                               const AttrTable& options) override;
};

}  // namespace dusk

#endif  // DUSK_SERVICE_AGENT_INSTALLER_H_
