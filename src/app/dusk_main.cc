#include "app/dusk_main.h"

#include <mcheck.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/exit_code.h"
#include "app/options.h"
#include "app/privilege.h"
#include "app/service_control.h"
#include "config/config_file.h"
#include "log/log.h"
#include "service/service_event.h"
#include "util/files.h"
#include "util/process.h"
#include "util/product.h"
#include "util/program.h"
#include "util/strings.h"

namespace dusk {

namespace {

/// The configuration counts as installed when it holds [Application].
bool ConfigurationPresent() {
  return FindConfigFile("", nullptr, ConfigSection::kApplication);
}

/// The configured LogPath; nullopt (after the configuration's Warn line)
/// when there is none.
LogDirectory ConfiguredLogPath() {
  std::string directory;
  if (GetConfigString(ConfigSection::kApplication, "LogPath", &directory) != ConfigRead::kFound)
    return std::nullopt;
  return directory;
}

/// "DebugOptions" may ask for malloc tracing.
void ApplyDebugOptions() {
  std::string options;
  if (ReadConfigValue(ConfigSection::kApplication, "DebugOptions", &options) !=
      ConfigRead::kFound)
    return;
  size_t at = 0;
  while (at < options.size()) {
    size_t end = options.find(' ', at);
    if (end == std::string::npos) end = options.size();
    if (strEqualNoCase(std::string_view(options).substr(at, end - at), "mtrace"))
      mtrace();
    at = end + 1;
  }
}

/// Writes |text| behind the tag of |level| to standard error alone, for a
/// refusal before the log is open: a log line would reach standard output
/// too, and a terminal reached through two pipes (ssh, a container) would
/// show it twice.
void RefusalLine(int level, const std::string& text) {
  WriteAll(STDERR_FILENO, std::string(LogTag(level)) + text + "\n");
}

/// Refuses what cannot run here before it writes a line anywhere or says a
/// word to the server: a command of root's run by another user, and a
/// command that needs the configuration when there is none (its log would
/// have no home either). Returns the exit code of the refusal, or kExitOk.
int RefuseUnfitRun(const Options& options) {
  if (const std::string refusal = RootRefusal(options); !refusal.empty()) {
    RefusalLine(kLogError, refusal);
    return kExitNotRoot;
  }
  if (options.helpCommand || options.confinitCommand || options.versionCommand ||
      ConfigurationPresent())
    return kExitOk;
  const std::string path = ConfigFilePath();
  const char* what = FileExists(path) ? "has no [Application] section" : "is missing";
  RefusalLine(kLogFatal, strFormat("Not Properly installed - %s %s; dusk -confinit creates it",
                                   path.c_str(), what));
  return kExitNotInstalled;
}

/// Opens the log: rotated for a service start, so that each service has a
/// log of its own and one older generation; appended to for a command, which
/// only adds its few lines; not at all for "-version", whose one line is the
/// whole output and which must work before the program is configured, nor
/// for "-help" before there is a configuration (the usage is all it shows).
void StartLog(const std::vector<std::string>& args, const Options& options,
              const Layout& layout) {
  if (args.empty()) {
    // A start that will be refused must not rotate the running service's
    // log away from it: the service would go on writing into the ".prev"
    // file, which the next start deletes.
    if (FindProcessByName(layout.procRoot, kServiceProcessName) == 0)
      LogFileSave(kLogFileName, ConfiguredLogPath());
    logfileInitialized = LogFileOpen(kLogFileName, ConfiguredLogPath());
    LogMessage(kLogInfo, "%s Service Initializing ...", kProductName);
    return;
  }
  std::string argument_text;
  bool confinit = false, version = false;
  for (const std::string& arg : args) {
    if (argument_text.size() < kArgumentTextMax)
      argument_text += strCut(arg + " ", kArgumentTextMax - argument_text.size());
    confinit |= arg == "-confinit";
    version |= arg == "-version";
  }
  if (version || (options.helpCommand && !options.parseFailed && !ConfigurationPresent()))
    LogSilence();
  if (ConfigurationPresent() || (!confinit && !version))
    logfileInitialized = LogFileOpen(kLogFileName, ConfiguredLogPath());
  LogMessage(kLogInfo, "%s Command Initializing ...", kProductName);
  LogMessage(kLogInfo, "       Arguments: %s", argument_text.c_str());
}

/// Logs what the command line chose, so that a log read later says which
/// command wrote the lines that follow.
void EchoChoices(const Options& options, const Layout& layout) {
  if (options.debugoption) LogMessage(kLogInfo, "Optional -debug Enabled.");
  if (options.traceoption) LogMessage(kLogInfo, "Optional -trace Enabled.");
  if (options.silentOption) LogMessage(kLogInfo, "Optional -silent Enabled.");
  if (options.eventCommand != ServiceEvent::kNone)
    LogMessage(kLogInfo, "Sending %s Command to %s", EventName(options.eventCommand),
               kServiceName);
  if (options.getCommand) LogMessage(kLogInfo, "Downloading Media.");
  if (options.instAgentCommand)
    LogMessage(kLogInfo, "Downloading Media and Installing KESTA Agent.");
  if (options.uninstAgentCommand) LogMessage(kLogInfo, "Uninstalling KESTA Agent.");
  if (!options.optServerHost.empty())
    LogMessage(kLogInfo, "Optional -host %s Specified.", options.optServerHost.c_str());
  if (!options.optServerPort.empty())
    LogMessage(kLogInfo, "Optional -port %s Specified.", options.optServerPort.c_str());
  if (!layout.installDir.empty())
    LogMessage(kLogDebug, "installPath = %s", layout.installDir.c_str());
  if (!cmdPath.empty()) LogMessage(kLogDebug, "cmdPath     = %s", cmdPath.c_str());
}

}  // namespace

int DuskMain(int argc, char** argv, Layout layout) {
  // A reader that went away (dusk -help | head -1) is no reason to die.
  signal(SIGPIPE, SIG_IGN);
  // Failures reach standard error, not only the log.
  LogCopyErrorsToStderr(true);

  // Locale, where the program lives, and where its configuration does.
  setlocale(LC_ALL, "");
  GetProgramPaths(layout.procRoot, argc > 0 ? argv[0] : nullptr, &cmdPath,
                  &layout.installDir);
  SetConfigDirectory(layout.configDir);

  // The command line, and what it cannot run here.
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const Options options = ParseOptions(args);
  if (!options.parseFailed) {
    if (const int refused = RefuseUnfitRun(options); refused != kExitOk) return refused;
  }

  // Malloc tracing, when the configuration asks for it.
  if (ConfigurationPresent()) ApplyDebugOptions();

  // The log, and the version banner.
  StartLog(args, options, layout);
  std::string major, minor, build, revision;
  GetBuildVersion(&major, &minor, &build, &revision);
  LogMessage(kLogInfo, "    KESTA Release: %s.%s", major.c_str(), minor.c_str());
  LogMessage(kLogInfo, "    DUSK  Build#: %s", build.c_str());
  LogMessage(kLogInfo, "       Revision#: %s", revision.c_str());

  // What the parse found wrong, where the log has always had it.
  for (const std::string& error : options.errors) LogMessage(kLogError, "%s", error.c_str());
  if (options.debugoption) LogLevel(kLogDebug);
  if (options.traceoption) LogLevel(kLogTrace);

  std::string os_name;
  GetOSName(&os_name);
  LogMessage(kLogInfo, "Operating System: %s", os_name.c_str());
  EchoChoices(options, layout);

  // Exactly one command.
  const int exit_code = options.parseFailed ? kExitInvalidArgument : RunCommand(options, layout);

  LogMessage(kLogInfo, "%s Command Exiting", kProductName);
  LogMessage(kLogInfo, "ExitCode: %d", exit_code);
  LogFileClose();
  return exit_code;
}

}  // namespace dusk
