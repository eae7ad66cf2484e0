#include "service/agent_installer.h"

#include "install/agent_install.h"

namespace dusk {

bool MediaAgentInstaller::DownloadAndInstallAgent(RexecSession* session,
                                                  const std::string& host_option,
                                                  const std::string& port_option,
                                                  const AttrTable& options) {
  return ::dusk::DownloadAndInstallAgent(session, host_option, port_option, options, false);
}

}  // namespace dusk
