#include "app/agent_commands.h"

#include <string>

#include "app/commands.h"
#include "config/config_file.h"
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
void ReportServicesAfterUninstall(const Options& options) {
  AttrTable record(kDeviceRecordSlots);
  AttrTable scan(kServiceScanSlots);
  LogMessage(kLogDebug, "Service Scan Attempt:");
  std::string host, port;
  GetServerAddress(options.optServerHost, options.optServerPort, &host, &port);
  if (!GetDeviceInfo(host, port, record) || !GetServiceScan(scan)) return;
  if (NeedToSendServiceScan(scan))
    Status(host, port, record, scan);
  else
    LogMessage(kLogWarn, "No Changes in KESTA Agent Services Detected");
}

}  // namespace

int InstallAgentCommand(const Options& options) {
  const AttrTable request = BuildInstAgentOptions(options.fileArg);
  return DownloadAndInstallAgent(nullptr, options.optServerHost, options.optServerPort, request,
                                 !options.silentOption)
             ? kExitOk
             : kExitFailed;
}

int UninstallAgentCommand(const Options& options) {
  if (!UninstallAgent(!options.silentOption)) return kExitFailed;
  ReportServicesAfterUninstall(options);
  return kExitOk;
}

}  // namespace dusk
