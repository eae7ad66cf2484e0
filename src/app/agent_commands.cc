#include "app/agent_commands.h"

#include <string>

#include "app/command_outcome.h"
#include "app/console_reporter.h"
#include "app/exit_code.h"
#include "config/server_address.h"
#include "device/device_info.h"
#include "device/service_scan.h"
#include "install/agent_install.h"
#include "install/agent_uninstall.h"
#include "log/log.h"
#include "server/registration.h"
#include "util/attr_table.h"

namespace dusk {

namespace {

/// Slots of the device record gathered for the report after an uninstall.
constexpr int kDeviceRecordSlots = 32;

/// Tells the server about the services as they are after an uninstall.
void ReportServicesAfterUninstall(const Options& options, const Layout& layout) {
  AttrTable record(kDeviceRecordSlots);
  AttrTable scan(kServiceScanSlots);
  LogMessage(kLogDebug, "Service Scan Attempt:");
  const ServerAddress server = ResolveServerAddress(options.optServerHost, options.optServerPort);
  if (!GetDeviceInfo(layout, server.host, server.port, record) ||
      !GetServiceScan(layout, scan))
    return;
  if (NeedToSendServiceScan(scan))
    Status(layout, server.host, server.port, record, scan);
  else
    LogMessage(kLogWarn, "No Changes in KESTA Agent Services Detected");
}

}  // namespace

int InstallAgentCommand(const Options& options, const Layout& layout) {
  const AttrTable request = BuildInstAgentOptions(options.fileArg);
  ConsoleReporter reporter(!options.silentOption);
  const ServerAddress server = ResolveServerAddress(options.optServerHost, options.optServerPort);
  if (const std::string fault = ServerAddressFault(server);
      !fault.empty() && !MediaNamesItsServer(options.fileArg))
    return CommandFailed("-instagent", fault);
  if (!DownloadAndInstallAgent(layout, reporter, server, request, !options.silentOption))
    return CommandFailed("-instagent", reporter.failure());
  return kExitOk;
}

int UninstallAgentCommand(const Options& options, const Layout& layout) {
  std::string failure;
  if (!UninstallAgent(layout, !options.silentOption, &failure))
    return CommandFailed("-uninstagent", failure);
  LogMessage(options.silentOption ? kLogInfo : kLogInfo | kLogConsoleFlag,
             "KESTA Agent Uninstalled");
  ReportServicesAfterUninstall(options, layout);
  return kExitOk;
}

}  // namespace dusk
