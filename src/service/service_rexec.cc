#include "service/service_rexec.h"

#include <string>

#include "config/server_address.h"
#include "device/agent_location.h"
#include "device/device_record.h"
#include "log/log.h"
#include "rexec/rexec_accept.h"
#include "rexec/rexec_listener.h"
#include "rexec/rexec_request.h"
#include "rexec/rexec_session.h"
#include "service/session_reporter.h"
#include "util/attr_table.h"
#include "util/command_split.h"
#include "util/strings.h"

namespace dusk {

namespace {

/// Carries out an accepted request on |session|.
void ProcessRexecRequest(ServiceContext& context, RexecSession* session,
                         const std::string& command_line) {
  std::string line = command_line, word, parameters;
  AttrTable options(kInstallOptionSlots);
  SplitCommand(&line, &word, &options, &parameters, kServiceCommandMax, kServiceParametersMax);

  // The listener refuses every other command already; this keeps the loop
  // from acting on one whatever the listener lets through.
  if (!strEqualNoCase(word, kInstallAgentCommand)) {
    LogMessage(kLogError, "%s", kRexecBadCommand);
    SendSessionResponse(session, true, std::string(kRexecBadCommand) + "\n");
    return;
  }

  StopListener();
  LogMessage(kLogInfo, "Processing Command \"%s\"", word.c_str());
  MediaAgentInstaller media_installer;
  AgentInstaller& installer =
      context.installer != nullptr ? *context.installer : media_installer;
  SessionReporter reporter(session);
  // The server as the configuration names it now, read once for the whole
  // install.
  const ServerAddress server = ResolveServerAddress(context.optionHost, context.optionPort);
  if (installer.DownloadAndInstallAgent(context.layout, reporter, server, options)) {
    RefreshAgentDeviceDn(context.layout);
    context.state.registration.servicescanTime = 0;
  } else {
    StartListener();
  }
}

}  // namespace

void KeepListenerWhileAgentMissing(ServiceContext& context) {
  if (context.state.probe.serverProbed == 0) return;
  if (FindAgentLocation(context.layout, nullptr) || IsListening()) return;
  LogMessage(kLogInfo, "KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener");
  StartListener();
}

void ServeRexecRequest(ServiceContext& context) {
  if (context.state.probe.serverProbed == 0 || !IsListening()) return;
  RexecRequest request;
  if (!AcceptRexecRequest(request, context.state.host)) return;
  LogMessage(kLogInfo, "Received Request \"%s\" from KESTA Server %s", request.command.c_str(),
             request.peerHost.c_str());

  RexecSession* session = CreateRexecSession(context.sessions, request);
  if (session == nullptr) {
    LogMessage(kLogError, "Could not Create an Rexec Session");
  } else {
    ProcessRexecRequest(context, session, request.command);
  }
  CloseRexecSockets(request);
  FreeRexecSession(session);
}

}  // namespace dusk
