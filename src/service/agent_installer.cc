#include "service/agent_installer.h"

#include "log/log.h"

namespace dusk {

bool UnavailableAgentInstaller::DownloadAndInstallAgent(RexecSession* session,
                                                        const std::string& /*host_option*/,
                                                        const std::string& /*port_option*/,
                                                        const AttrTable& /*options*/) {
  LogMessage(kLogError, "%s", kInstallUnavailable);
  SendSessionEvent(session, "installagentfailed", kInstallUnavailable);
  return false;
}

}  // namespace dusk
