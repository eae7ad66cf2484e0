#include "install/install_log.h"

#include <cerrno>

#include "config/config_file.h"
#include "log/log.h"
#include "util/files.h"
#include "util/shell_quote.h"
#include "util/strings.h"

namespace dusk {

std::string AgentLogDirectory(const Layout& layout) {
  std::string directory;
  if (GetConfigString(ConfigSection::kApplication, "LogPath", &directory) != ConfigRead::kFound ||
      directory.empty() || directory[0] != '/')
    return layout.defaultLogDir;
  return directory;
}

std::string AgentLogPath(const std::string& directory, std::string_view name) {
  return ShellQuote(directory + "/" + std::string(name));
}

bool PrepareAgentLog(const std::string& directory, std::string_view name,
                     std::string* error_text) {
  const std::string path = directory + "/" + std::string(name);
  // One level, as the program's own log makes its directory.
  if (!FileExists(directory) && CreateDirectory(directory, kLogDirectoryMode))
    LogMessage(kLogInfo, "Created Log directory %s", directory.c_str());
  if (OpenLogFile(path)) return true;
  const int err = errno;
  *error_text = strFormat("Could not open log file %s - %s", path.c_str(), ErrorText(err).c_str());
  return false;
}

}  // namespace dusk
