#include "install/agent_install.h"

#include <unistd.h>

#include <vector>

#include "config/config_file.h"
#include "device/agent_location.h"
#include "device/device_record.h"
#include "install/exec_command.h"
#include "install/install_lock.h"
#include "install/install_log.h"
#include "install/install_report.h"
#include "install/media_download.h"
#include "install/post_install.h"
#include "install/root_filesystem.h"
#include "install/working_directory.h"
#include "log/log.h"
#include "util/attr_list.h"
#include "util/files.h"
#include "util/product.h"
#include "util/shell_quote.h"
#include "util/strings.h"
#include "util/text_encoding.h"
#include "util/timings.h"
#include "util/trusted_directory.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

/// Slots of the stored device record read for the host name.
constexpr int kDeviceRecordSlots = 32;

constexpr char kPackageTypeDebian[] = "debian";
constexpr char kPackageTypeScript[] = "script";

std::string MediaOption(const AttrTable& media_options, std::string_view name,
                        std::string_view default_value) {
  return GetAttrValue(media_options, name, default_value, true);
}

/// The configured media directory; false when AgentMediaPath is missing
/// or empty.
bool AgentMediaDirectory(std::string* media_dir) {
  if (GetConfigString(ConfigSection::kApplication, "AgentMediaPath", media_dir) !=
          ConfigRead::kFound ||
      media_dir->empty())
    return false;
  std::string root;
  if (GetConfigString(ConfigSection::kApplication, "AgentMediaRoot", &root) == ConfigRead::kFound)
    *media_dir = JoinMediaRoot(root, *media_dir);
  return true;
}

/// Fails the install before anything is downloaded when an agent command
/// given up on earlier still runs: new media would replace the files it
/// reads, and two installers would work on one agent.
bool RefuseWhileAbandonedCommandRuns(InstallReporter& reporter, bool console) {
  if (!AbandonedCommandRunning()) return false;
  const std::vector<pid_t> running = AbandonedCommands();
  InstallFailed(reporter, kLogError, console,
                strFormat("A previous KESTA Agent command (pid %d) is still running - "
                          "not starting another install",
                          running.empty() ? 0 : static_cast<int>(running.front())));
  return true;
}

}  // namespace

AgentMediaOptions ReadAgentMediaOptions(const AttrTable& media_options) {
  AgentMediaOptions media;
  media.packageType = MediaOption(media_options, "PackageType", media.packageType);
  media.installScript = MediaOption(media_options, "InstallScript", "");
  media.installOptions = MediaOption(media_options, "InstallOptions", "");
  media.silentInstallOptions = MediaOption(media_options, "SilentInstallOptions", "");
  media.postInstallConfigure = MediaOption(media_options, "PostInstallConfigure", "");
  media.initialConnectAfterRestart =
      MediaOption(media_options, "InitialConnectAfterRestart", media.initialConnectAfterRestart);
  media.initialConnectOptions = MediaOption(media_options, "InitialConnectOptions", "");
  return media;
}

void MapPackageType(std::string* type, std::string* command) {
  strTrim(*type, ' ');
  strToLower(*type);
  if (type->empty() || *type == "deb") *type = kPackageTypeDebian;
  command->clear();
  if (*type == kPackageTypeDebian) *command = FileExists(kQpkgTool) ? kQpkgTool : kDpkgTool;
}

std::string InstallArguments(const AgentMediaOptions& media, bool console, bool silent) {
  const std::string* first = &media.installOptions;
  const std::string* second = &media.silentInstallOptions;
  if (!console && silent) std::swap(first, second);
  if (!first->empty()) return " " + *first;
  if (!second->empty()) return " " + *second;
  return "";
}

std::string JoinMediaRoot(std::string root, std::string_view media_path) {
  if (strStartsWith(media_path, "/")) strTrimRight(root, '/');
  return root + std::string(media_path);
}

bool DownloadAndInstallAgent(const Layout& layout, InstallReporter& reporter,
                             const ServerAddress& server, const AttrTable& options,
                             bool console) {
  LogMessage(kLogTrace, "DownloadAndInstallAgent: optServerHost=%s optServerPort=%s console=%d",
             server.hostOption.c_str(), server.portOption.c_str(), console ? 1 : 0);
  LogMessage(InstallLogLevel(kLogDebug, console), "Parameters Specified");
  LogAttrs(InstallLogLevel(kLogDebug, console), options);
  const InstallLock lock(layout, "install");
  if (!lock.held()) return InstallFailed(reporter, kLogError, console, lock.refusal());
  if (RefuseWhileAbandonedCommandRuns(reporter, console)) return false;

  std::string media_dir;
  if (!AgentMediaDirectory(&media_dir)) {
    const std::string text =
        strFormat("%s Not Properly Installed - AgentMediapath is not defined", kServiceName);
    reporter.Event(kEventInstallFailed, text);
    LogMessage(InstallLogLevel(kLogFatal, console), "%s", text.c_str());
    return false;
  }

  const std::string remote_file_path =
      GetAttrValue(options, "-media", kDefaultAgentMedia, false) + "/" +
      GetAttrValue(options, "-contentlist", kDefaultContentList, false);
  reporter.Event(kEventCopyingAgent, "");
  // Root runs what lands there: nobody else may have put anything into the
  // media directory or be able to change it, from the check until the run.
  DirectoryCheck check;
  const UniqueFd media_fd = OpenTrustedDirectory(media_dir, &check);
  if (!media_fd)
    return InstallFailed(reporter, kLogError, console,
                         strFormat("Media directory %s refused - %s", media_dir.c_str(),
                                   DirectoryCheckText(check).c_str()));
  AgentMediaOptions media;
  {
    AttrTable media_options(kMediaOptionSlots);
    const MediaDownloadRequest download{.reporter = reporter,
                                        .server = server,
                                        .remoteFilePath = remote_file_path,
                                        .targetDir = media_dir,
                                        .trustedTargetFd = media_fd.get(),
                                        .console = console,
                                        .overwrite = true,
                                        .mediaOptions = &media_options};
    std::string error_text;
    if (!DownloadMediaFromServer(download, &error_text)) {
      LogMessage(InstallLogLevel(kLogError, console),
                 "Failed to download KESTA Agent Media from %s - %s", remote_file_path.c_str(),
                 error_text.c_str());
      reporter.Event(kEventInstallFailed, error_text);
      return false;
    }
    media = ReadAgentMediaOptions(media_options);
  }

  // Relative paths of the media (a package file named in the options) are
  // taken from the media directory: the one checked, whatever its name
  // leads to by now.
  WorkingDirectoryGuard directory;
  if (!directory.ChangeTo(media_fd.get(), media_dir))
    return InstallFailed(reporter, kLogError, console,
                         strFormat("Could not change directory to \"%s\"", media_dir.c_str()));
  const bool silent = strToBool(GetAttrValue(options, "-silent", "0", false));
  const bool prime = strToBool(GetAttrValue(options, "-prime", "0", false));

  std::string package_type = media.packageType, command;
  MapPackageType(&package_type, &command);
  if (package_type == kPackageTypeScript) {
    if (media.installScript.empty())
      return InstallFailed(
          reporter, kLogError, console,
          strFormat("Missing Install Script specification in KESTA Agent Media for Package "
                    "Type \"%s\"",
                    package_type.c_str()));
    const std::string script = media_dir + "/" + media.installScript;
    if (!FileExists(script))
      return InstallFailed(reporter, kLogError, console,
                           strFormat("Did not find KESTA Agent Install script %s", script.c_str()));
    command = ShellQuote(script);
  }
  if (command.empty())
    return InstallFailed(
        reporter, kLogError, console,
        strFormat("Unsupported Package Type \"%s\" Specified", package_type.c_str()));
  command += InstallArguments(media, console, silent);

  AttrTable record(kDeviceRecordSlots);
  GetDeviceInfoFromReg(record);
  const std::string hostname = GetAttrValue(record, "hostname", "", false);
  if (hostname.empty())
    return InstallFailed(reporter, kLogError, console, "Failed to get device hostname from Config");
  const std::string log_dir = AgentLogDirectory(layout);
  const std::string install_log = AgentLogPath(log_dir, kInstallLogName);
  std::string log_error;
  if (!PrepareAgentLog(log_dir, kInstallLogName, &log_error))
    return InstallFailed(reporter, kLogError, console, log_error);

  // The values come from the request, the device's host name and the
  // configuration; the media's own text around them is the server's. Each
  // value goes in as one shell word, whatever it holds (the log path is
  // one already).
  AttrTable placeholders(kPlaceholderSlots);
  placeholders.Set("RcsHost", ShellQuote(GetAttrValue(options, "-rcshost", server.host, false)));
  placeholders.Set("RcsPort",
                   ShellQuote(GetAttrValue(options, "-rcsport", kDefaultRcsPort, false)));
  placeholders.Set("Hostname", ShellQuote(hostname));
  placeholders.Set("InstallLogfile", install_log);
  strSubst(command, placeholders);
  strSubst(media.initialConnectOptions, placeholders);
  strSubst(media.postInstallConfigure, placeholders);
  strTrim(media.initialConnectOptions, ' ');

  reporter.Event(kEventInstallConfig, "");
  InstallProgress(reporter, kLogDebug, console,
                  strFormat("Executing KESTA Agent Install Command: \"%s\"", command.c_str()));
  UnlockRootFilesystem();
  ExecResult result = kExecNoError;
  if (!ExecCommand(command, install_log, "", false, CurrentTimings().install_command,
                   &result)) {
    LockRootFilesystem();
    return InstallFailed(
        reporter, kLogError, console,
        strFormat("Agent Install Command Failed - %s", ExecResultText(result).c_str()));
  }
  sync();
  LockRootFilesystem();
  if (result != kExecNoError)
    return InstallFailed(reporter, kLogError, console,
                         strFormat("Agent Install Command Failed - Exit Code: %d", result));

  std::string agent_dir;
  if (!FindAgentLocation(layout, &agent_dir))
    return InstallFailed(reporter, kLogError, console, "KESTA Agent did not Install correctly");
  directory.ChangeTo(agent_dir);

  // Its own failure event has been sent.
  if (!media.postInstallConfigure.empty() &&
      !RunPostInstallConfig(layout, reporter, media.postInstallConfigure, console))
    return false;

  if (prime) {
    if (media.initialConnectOptions.empty()) {
      InstallProgress(reporter, kLogInfo, console,
                      "Initial Connect Options not specified with KESTA Agent Media, Skipping "
                      "Initial Connect.");
    } else if (strToBool(media.initialConnectAfterRestart)) {
      InstallProgress(reporter, kLogInfo, console,
                      strFormat("Scheduling Initial Connect after Device Restart - Options: %s",
                                media.initialConnectOptions.c_str()));
      ScheduleInitialConnect(media.initialConnectOptions);
    } else {
      // A failed first connect leaves an installed agent; it has reported
      // its own failure.
      RunInitialConnect(layout, reporter, media.initialConnectOptions, console);
    }
  }

  reporter.Event(kEventAgentInstalled, "");
  return true;
}

}  // namespace dusk
