#include "install/agent_uninstall.h"

#include <unistd.h>

#include <string>

#include "device/agent_location.h"
#include "install/exec_command.h"
#include "install/install_lock.h"
#include "install/install_log.h"
#include "install/install_report.h"
#include "install/root_filesystem.h"
#include "install/working_directory.h"
#include "log/log.h"
#include "util/attr_table.h"
#include "util/files.h"
#include "util/shell_quote.h"
#include "util/strings.h"
#include "util/text_encoding.h"
#include "util/timings.h"

namespace dusk {

namespace {

/// Slots of the placeholder table of the uninstall command.
constexpr int kUninstallPlaceholderSlots = 32;

}  // namespace

bool UninstallAgent(const Layout& layout, bool console) {
  LogMessage(kLogTrace, "UninstallAgent: console=%d", console ? 1 : 0);
  const int error_level = InstallLogLevel(kLogError, console);
  const InstallLock lock(layout, "uninstall");
  if (!lock.held()) {
    LogMessage(error_level, "%s", lock.refusal().c_str());
    return false;
  }
  std::string agent_dir;
  if (!FindAgentLocation(layout, &agent_dir)) {
    LogMessage(error_level, "KESTA Agent is not currently installed");
    return false;
  }
  LogMessage(InstallLogLevel(kLogInfo, console), "Uninstalling KESTA Agent ...");

  const std::string program = agent_dir + "/" + kUninstallProgram;
  if (!FileExists(program)) {
    LogMessage(error_level, "Did not find KESTA Agent Un-Install command %s", program.c_str());
    return false;
  }
  std::string command = ShellQuote(program);
  if (!console) command += std::string(" ") + kUninstallSilentSwitch;
  const std::string log_file = GetUninstallLogFile();
  AttrTable placeholders(kUninstallPlaceholderSlots);
  placeholders.Set("UninstallCommand", ShellQuote(kUninstallProgram));
  placeholders.Set("UninstallLogFile", log_file);
  strSubst(command, placeholders);
  LogMessage(InstallLogLevel(kLogDebug, console), "Uninstall Command: %s", command.c_str());

  WorkingDirectoryGuard directory;
  if (!directory.ChangeTo("/")) {
    LogMessage(error_level, "Could not change directory to /");
    return false;
  }
  UnlockRootFilesystem();
  ExecResult result = kExecNoError;
  if (!ExecCommand(command, log_file, "", false, CurrentTimings().uninstall_command,
                   &result)) {
    LockRootFilesystem();
    LogMessage(error_level, "KESTA Agent Un-Install Command Failed - %s",
               ExecResultText(result).c_str());
    return false;
  }
  sync();
  LockRootFilesystem();
  if (result != kExecNoError) {
    LogMessage(error_level, "KESTA Agent Un-Install Command Failed - %s",
               ExecResultText(result).c_str());
    return false;
  }
  return true;
}

}  // namespace dusk
