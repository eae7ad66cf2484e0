#include "app/commands.h"

#include <cstdio>

#include "app/agent_commands.h"
#include "app/console_reporter.h"
#include "app/exit_code.h"
#include "app/md5_command.h"
#include "app/service_control.h"
#include "config/config_defaults.h"
#include "config/config_file.h"
#include "config/server_address.h"
#include "install/media_download.h"
#include "log/log.h"
#include "server/probe.h"
#include "util/product.h"

namespace dusk {

void PrintUsage() {
  static const char* const kLines[] = {
      "Usage: dusk [-probe] [-host <host>] [-port <port] [-debug] [-trace] [-silent]",
      "            [-version] [-confinit] [-confupdate <var=val>]",
      "            [-pause] [-resume] [-stop] [-interrupt]",
      "            [-md5 <file>] [-get <file>]",
      "            [-instagent <media>] [-uninstagent]",
      "            [-install] [-uninstall] [-help]",
      "",
      "-probe                  Trigger an KESTA Server Probe",
      "-host <host>            Specify an alternate host for -probe or -confinit",
      "-port <port>            Specify an alternate port for -probe or -confinit",
      "-debug                  Specify a Debugging logging level",
      "-trace                  Specify a Tracing logging level",
      "-silent                 Silent mode during -get, -instagent and -uninstagent",
      "-version                Displays the Version of dusk.exe",
      "-confinit               Creates the Config entries needed",
      // Printed as it always was: the misspelling stays (DEVELOPERS.md).
      "-confupdate  <var=val>  Updates the Config entry specificied",
      "-pause                  Pauses the currently running KESTA-DUSK",
      "-resume                 Resume the currently paused KESTA-DUSK",
      "-stop                   Stops and Exits KESTA-DUSK",
      "-interrupt              Interrupt KESTA_DUSK and have it reread configuration data",
      "-md5 <file>             Calculates the MD5 of a file",
      "-get <file>             Downloads a File or Media from the KESTA Server to the current directory",
      "-instagent <media>      Downloads and Installs the KESTA Agent",
      "-uninstagent            Uninstalls the KESTA Agent",
      "-help                   Displays this message",
  };
  for (const char* line : kLines) LogMessage(kLogInfo | kLogConsoleFlag, "%s", line);
}

int RunCommand(const Options& options, const Layout& layout) {
  if (options.helpCommand) {
    PrintUsage();
    return kExitOk;
  }
  if (options.confinitCommand) {
    if (initAppReg(layout, options.optServerHost, options.optServerPort))
      return kExitOk;
    LogMessage(kLogFatal, "Failed to Initialize Configuration");
    return kExitConfinitFailed;
  }
  if (!options.confupdates.empty()) {
    // All or nothing: the first 32 of more entries would be a change the
    // administrator never asked for.
    if (options.tooManyConfupdates) {
      LogMessage(kLogError, "Config file %s left unchanged - more than %d updates given",
                 ConfigFilePath().c_str(), kMaxConfigUpdates);
      return kExitFailed;
    }
    return ApplyConfigUpdates(options.confupdates) ? kExitOk : kExitFailed;
  }
  if (options.probeCommand) {
    std::string zone;
    if (!probeKESTAServer(options.optServerHost, options.optServerPort, &zone))
      return kExitFailed;
    LogMessage(kLogInfo, "KESTA Server zone is \"%s\"", zone.c_str());
    return kExitOk;
  }
  if (options.versionCommand) {
    printf("KESTA Release: %s.%s KESTA-DUSK Build: %s Revision: %s\n", kDuskMajor,
           kDuskMinor, kDuskBuild, kDuskRevision);
    fflush(stdout);
    return kExitOk;
  }
  if (options.md5Command) {
    return MD5FileDigest(options.fileArg) ? kExitOk : kExitFailed;
  }
  if (options.getCommand) {
    // Into the current directory, never replacing a file, with no server
    // to report to.
    ConsoleReporter reporter;
    const MediaDownloadRequest download{
        .reporter = reporter,
        .server = ResolveServerAddress(options.optServerHost, options.optServerPort),
        .remoteFilePath = options.fileArg,
        .targetDir = ".",
        .console = !options.silentOption,
        .overwrite = false};
    std::string error_text;
    return DownloadMediaFromServer(download, &error_text) ? kExitOk : kExitFailed;
  }
  if (options.instAgentCommand) return InstallAgentCommand(options, layout);
  if (options.uninstAgentCommand) return UninstallAgentCommand(options, layout);
  if (options.eventCommand != ServiceEvent::kNone)
    return SendServiceEvent(layout, options.eventCommand);
  return StartService(layout, logfileInitialized, options.optServerHost,
                      options.optServerPort);
}

}  // namespace dusk
