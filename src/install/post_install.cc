#include "install/post_install.h"

#include <unistd.h>

#include "config/config_file.h"
#include "device/agent_location.h"
#include "install/exec_command.h"
#include "install/install_report.h"
#include "install/working_directory.h"
#include "log/log.h"
#include "util/files.h"
#include "util/stop_request.h"
#include "util/shell_quote.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {

bool RunPostInstallConfig(const Layout& layout, InstallReporter& reporter,
                          std::string_view command, bool console) {
  LogMessage(kLogTrace, "RunPostInstallConfig: command=%.*s console=%d",
             static_cast<int>(command.size()), command.data(), console ? 1 : 0);
  // Blanks around the text would put the program name apart from its
  // directory.
  std::string trimmed(command);
  strTrim(trimmed, ' ');
  if (trimmed.empty()) return true;

  std::string agent_dir;
  if (!FindAgentLocation(layout, &agent_dir))
    return InstallFailed(reporter, kLogError, console,
                         "KESTA Agent Location was not found - Skipping Post Install "
                         "Configuration");
  WorkingDirectoryGuard directory;
  if (!directory.ChangeTo(agent_dir))
    return InstallFailed(reporter, kLogError, console,
                         strFormat("Could not change directory to \"%s\" - Skipping Post "
                                   "Install Configuration",
                                   agent_dir.c_str()));
  InstallProgress(reporter, kLogDebug, console, "Post Agent Install Configuration");

  const std::string program = agent_dir + "/" + trimmed.substr(0, trimmed.find(' '));
  if (!FileExists(program))
    return InstallFailed(reporter, kLogError, console,
                         strFormat("Did not find command %s for post install configuration "
                                   "connect",
                                   program.c_str()));

  InstallProgress(reporter, kLogInfo, console,
                  strFormat("Executing KESTA Post Install Configuration: \"%s\"",
                            trimmed.c_str()));
  ExecResult result = kExecNoError;
  // The agent directory is the device's; the command text after it is the
  // media's own.
  if (!ExecCommand(ShellQuote(agent_dir) + "/" + trimmed, "", "", false,
                   CurrentTimings().post_install_command, &result))
    return InstallFailed(
        reporter, kLogError, console,
        strFormat("KESTA Post Install Config Failed - %s", ExecResultText(result).c_str()));
  sync();
  InstallProgress(
      reporter, kLogInfo, console,
      strFormat("KESTA Post Install Configuration Completed - Exit Code: %d", result));
  return true;
}

bool RunInitialConnect(const Layout& layout, InstallReporter& reporter,
                       std::string_view options, bool console) {
  LogMessage(kLogTrace, "RunInitialConnect: options=%.*s console=%d",
             static_cast<int>(options.size()), options.data(), console ? 1 : 0);
  if (options.empty())
    return InstallFailed(reporter, kLogError, console,
                         "Initial Connect Options not specified - Skipping Initial Connect");
  std::string agent_dir;
  if (!FindAgentLocation(layout, &agent_dir))
    return InstallFailed(reporter, kLogError, console,
                         "KESTA Agent Location was not found - Skipping Initial Connect");
  WorkingDirectoryGuard directory;
  if (!directory.ChangeTo(agent_dir))
    return InstallFailed(
        reporter, kLogError, console,
        strFormat("Could not change directory to \"%s\" - Skipping Initial Connect",
                  agent_dir.c_str()));
  InstallProgress(reporter, kLogDebug, console, "Initializing Agent Initial Connect");

  const std::string program = agent_dir + "/" + kInitialConnectProgram;
  if (!FileExists(program))
    return InstallFailed(
        reporter, kLogError, console,
        strFormat("Did not find command %s for initial connect", kInitialConnectProgram));

  const std::string command_line = ShellQuote(program) + " " + std::string(options);
  InstallProgress(reporter, kLogInfo, console,
                  strFormat("Executing KESTA Initial Connect Command: \"%s\"",
                            command_line.c_str()));
  ExecResult result = kExecNoError;
  if (!ExecCommand(command_line, "", "", false, CurrentTimings().initial_connect_command,
                   &result))
    return InstallFailed(
        reporter, kLogError, console,
        strFormat("KESTA Initial Connect Command Failed - %s", ExecResultText(result).c_str()));
  // The administrator at the console sees how the first connect ended, as
  // the server does.
  InstallProgress(reporter, kLogInfo, console,
                  strFormat("KESTA Initial Connect Completed - Exit Code: %d", result));
  return true;
}

bool ScheduleInitialConnect(std::string_view options) {
  std::string trimmed(options);
  strTrim(trimmed, ' ');
  if (trimmed.empty()) return ClearScheduledInitialConnect();
  return SetConfigString(ConfigSection::kApplication, kInitialConnectKey, trimmed);
}

bool GetScheduledInitialConnect(std::string* options) {
  if (GetConfigString(ConfigSection::kApplication, kInitialConnectKey, options) !=
      ConfigRead::kFound) {
    options->clear();
    return false;
  }
  return !options->empty();
}

bool ClearScheduledInitialConnect() {
  return DeleteConfigKey(ConfigSection::kApplication, kInitialConnectKey);
}

void RunScheduledInitialConnect(const Layout& layout, InstallReporter& reporter) {
  if (!FindAgentLocation(layout, nullptr)) return;
  std::string options;
  if (!GetScheduledInitialConnect(&options)) return;
  // Started now, it would be abandoned at once; the key stays for the next
  // start.
  if (StopRequested()) {
    LogMessage(kLogInfo, "Scheduled Initial Connect not started - %s", kStoppingReason);
    return;
  }
  RunInitialConnect(layout, reporter, options, false);
  ClearScheduledInitialConnect();
}

}  // namespace dusk
