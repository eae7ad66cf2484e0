#ifndef DUSK_INSTALL_INSTALL_LOG_H_
#define DUSK_INSTALL_INSTALL_LOG_H_

// The files that take the output of the agent's install and uninstall
// commands, beside the program's own log in the configured LogPath. The
// commands run from the media directory and from "/", so the logs always
// have absolute paths, and like every log of the program they are never
// written through a link and nobody else may write them.

#include <string>
#include <string_view>

#include "util/layout.h"

namespace dusk {

inline constexpr char kInstallLogName[] = "agentinstall.log";
inline constexpr char kUninstallLogName[] = "agentuninstall.log";

/// The directory of the agent's logs: the configured LogPath when it is an
/// absolute path, else |layout|.defaultLogDir.
std::string AgentLogDirectory(const Layout& layout);

/// |directory| + "/" + |name| as one shell word (ShellQuote), since it goes
/// into shell lines.
std::string AgentLogPath(const std::string& directory, std::string_view name);

/// Readies the log |name| in |directory| (AgentLogDirectory) for a
/// command's output: the directory is made when missing (one level,
/// kLogDirectoryMode, as the program's own log makes its directory), the
/// file is opened as every log is (OpenLogFile: never through a link, made
/// 0644, a found one no longer writable by others) and closed, for the
/// command's shell to open the very file again. False, with |error_text| =
/// "Could not open log file %s - %s", when it cannot be; the failure is
/// left to the caller to log.
bool PrepareAgentLog(const std::string& directory, std::string_view name,
                     std::string* error_text);

}  // namespace dusk

#endif  // DUSK_INSTALL_INSTALL_LOG_H_
