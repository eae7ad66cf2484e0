#include "app/commands.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/agent_commands.h"
#include "app/command_outcome.h"
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
#include "util/files.h"
#include "util/product.h"
#include "util/strings.h"

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
  for (const char* line : kLines) {
    // Before the program is configured there is no log: the usage goes
    // straight to the console, looking as it always does.
    if (LogDisabled())
      WriteAll(STDOUT_FILENO, std::string(LogTag(kLogInfo)) + line + "\n");
    else
      LogMessage(kLogInfo | kLogConsoleFlag, "%s", line);
  }
}

namespace {

/// "-probe": the server and its zone on standard output, or why it did not
/// answer on standard error.
int ProbeCommand(const Options& options) {
  const ServerAddress server = ResolveServerAddress(options.optServerHost, options.optServerPort);
  if (const std::string fault = ServerAddressFault(server); !fault.empty())
    return CommandFailed("-probe", fault);
  std::string zone, failure;
  if (!probeKESTAServer(server, &zone, &failure)) return CommandFailed("-probe", failure);
  LogMessage(kLogInfo, "KESTA Server zone is \"%s\"", zone.c_str());
  const std::string named =
      zone.empty() ? std::string("no zone") : strFormat("zone \"%s\"", zone.c_str());
  LogMessage(kLogInfo | kLogConsoleFlag, "KESTA Server %s:%s Available, %s", server.host.c_str(),
             server.port.c_str(), named.c_str());
  return kExitOk;
}

/// "-get": into the current directory, never replacing a file, with no
/// server to report to.
int GetCommand(const Options& options) {
  const ServerAddress server = ResolveServerAddress(options.optServerHost, options.optServerPort);
  if (const std::string fault = ServerAddressFault(server);
      !fault.empty() && !MediaNamesItsServer(options.fileArg))
    return CommandFailed("-get", fault);
  ConsoleReporter reporter(!options.silentOption);
  const MediaDownloadRequest download{.reporter = reporter,
                                      .server = server,
                                      .remoteFilePath = options.fileArg,
                                      .targetDir = ".",
                                      .console = !options.silentOption,
                                      .overwrite = false};
  std::string error_text;
  if (!DownloadMediaFromServer(download, &error_text)) return CommandFailed("-get", error_text);
  return kExitOk;
}

}  // namespace


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
  if (options.probeCommand) return ProbeCommand(options);
  if (options.versionCommand) {
    printf("KESTA Release: %s.%s KESTA-DUSK Build: %s Revision: %s\n", kDuskMajor,
           kDuskMinor, kDuskBuild, kDuskRevision);
    fflush(stdout);
    return kExitOk;
  }
  if (options.md5Command) {
    return MD5FileDigest(options.fileArg) ? kExitOk : kExitFailed;
  }
  if (options.getCommand) return GetCommand(options);
  if (options.instAgentCommand) return InstallAgentCommand(options, layout);
  if (options.uninstAgentCommand) return UninstallAgentCommand(options, layout);
  if (options.eventCommand != ServiceEvent::kNone)
    return SendServiceEvent(layout, options.eventCommand);
  // A service that could never reach its server is not started.
  const ServerAddress server = ResolveServerAddress(options.optServerHost, options.optServerPort);
  if (const std::string fault = ServerAddressFault(server); !fault.empty()) {
    LogMessage(kLogError, "The %s Service was not started: %s", kServiceName, fault.c_str());
    return kExitFailed;
  }
  return StartService(layout, logfileInitialized, options.optServerHost,
                      options.optServerPort);
}

}  // namespace dusk
