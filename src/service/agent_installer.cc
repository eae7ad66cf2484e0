#include "service/agent_installer.h"

#include "install/agent_install.h"

namespace dusk {

bool MediaAgentInstaller::DownloadAndInstallAgent(const Layout& layout,
                                                  InstallReporter& reporter,
                                                  const ServerAddress& server,
                                                  const AttrTable& options) {
  return ::dusk::DownloadAndInstallAgent(layout, reporter, server, options, false);
}

}  // namespace dusk
