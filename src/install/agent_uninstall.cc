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

bool UninstallAgent(const Layout& layout, bool console, std::string* failure) {
  LogMessage(kLogTrace, "UninstallAgent: console=%d", console ? 1 : 0);
  const int error_level = InstallLogLevel(kLogError, console);
  auto fail = [&](const std::string& text) {
    LogMessage(error_level, "%s", text.c_str());
    if (failure != nullptr) *failure = text;
    return false;
  };
  const InstallLock lock(layout, "uninstall");
  if (!lock.held()) return fail(lock.refusal());
  std::string agent_dir;
  if (!FindAgentLocation(layout, &agent_dir)) return fail("KESTA Agent is not currently installed");
  LogMessage(InstallLogLevel(kLogInfo, console), "Uninstalling KESTA Agent ...");

  const std::string program = agent_dir + "/" + kUninstallProgram;
  if (!FileExists(program))
    return fail(strFormat("Did not find KESTA Agent Un-Install command %s", program.c_str()));
  std::string command = ShellQuote(program);
  if (!console) command += std::string(" ") + kUninstallSilentSwitch;
  const std::string log_dir = AgentLogDirectory(layout);
  const std::string log_file = AgentLogPath(log_dir, kUninstallLogName);
  std::string log_error;
  if (!PrepareAgentLog(log_dir, kUninstallLogName, &log_error)) return fail(log_error);
  AttrTable placeholders(kUninstallPlaceholderSlots);
  placeholders.Set("UninstallCommand", ShellQuote(kUninstallProgram));
  placeholders.Set("UninstallLogFile", log_file);
  strSubst(command, placeholders);
  LogMessage(InstallLogLevel(kLogDebug, console), "Uninstall Command: %s", command.c_str());

  WorkingDirectoryGuard directory;
  if (!directory.ChangeTo("/")) return fail("Could not change directory to /");
  UnlockRootFilesystem();
  ExecResult result = kExecNoError;
  if (!ExecCommand(command, log_file, "", false, CurrentTimings().uninstall_command,
                   &result)) {
    LockRootFilesystem();
    return fail(strFormat("KESTA Agent Un-Install Command Failed - %s",
                          ExecResultText(result).c_str()));
  }
  sync();
  LockRootFilesystem();
  if (result != kExecNoError)
    return fail(strFormat("KESTA Agent Un-Install Command Failed - %s",
                          ExecResultText(result).c_str()));
  return true;
}

}  // namespace dusk
