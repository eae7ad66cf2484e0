#ifndef DUSK_SERVICE_AGENT_INSTALLER_H_
#define DUSK_SERVICE_AGENT_INSTALLER_H_

// What the service does with an accepted "InstallAgent" request. The
// service reaches the install through this seam, so a test can stand in for
// it.

#include "config/server_address.h"
#include "install/install_report.h"
#include "util/attr_table.h"
#include "util/layout.h"

namespace dusk {

class AgentInstaller {
 public:
  virtual ~AgentInstaller() = default;
  /// Downloads and installs the agent as |options| (the request's options)
  /// say, from |server|, into |layout|, reporting to |reporter|. True when
  /// the agent was installed.
  virtual bool DownloadAndInstallAgent(const Layout& layout, InstallReporter& reporter,
                                       const ServerAddress& server,
                                       const AttrTable& options) = 0;
};

/// The agent install of install/agent_install.h, with no console echo (the
/// service has no console).
class MediaAgentInstaller final : public AgentInstaller {
 public:
  bool DownloadAndInstallAgent(const Layout& layout, InstallReporter& reporter,
                               const ServerAddress& server, const AttrTable& options) override;
};

}  // namespace dusk

#endif  // DUSK_SERVICE_AGENT_INSTALLER_H_
