#include "install/install_log.h"

#include "config/config_file.h"
#include "util/shell_quote.h"

namespace dusk {

namespace {

std::optional<std::string> ConfiguredLogPath() {
  std::string directory;
  if (GetConfigString(ConfigSection::kApplication, "LogPath", &directory) != ConfigRead::kFound)
    return std::nullopt;
  return directory;
}

}  // namespace

std::string AgentLogPath(const std::optional<std::string>& directory, std::string_view name) {
  std::string path;
  if (directory && !directory->empty()) path = *directory + "/";
  path += name;
  return ShellQuote(path);
}

std::string GetInstallLogFile() { return AgentLogPath(ConfiguredLogPath(), kInstallLogName); }

std::string GetUninstallLogFile() {
  return AgentLogPath(ConfiguredLogPath(), kUninstallLogName);
}

}  // namespace dusk
