#ifndef DUSK_INSTALL_INSTALL_LOG_H_
#define DUSK_INSTALL_INSTALL_LOG_H_

// The files that take the output of the agent's install and uninstall
// commands, beside the program's own log in the configured LogPath.

#include <optional>
#include <string>
#include <string_view>

namespace dusk {

inline constexpr char kInstallLogName[] = "agentinstall.log";
inline constexpr char kUninstallLogName[] = "agentuninstall.log";

/// |directory| + "/" + |name|, or |name| alone without a directory (none
/// or ""), as one shell word (ShellQuote), since it goes into shell lines.
std::string AgentLogPath(const std::optional<std::string>& directory, std::string_view name);

/// AgentLogPath of the configured LogPath and kInstallLogName.
std::string GetInstallLogFile();

/// AgentLogPath of the configured LogPath and kUninstallLogName.
std::string GetUninstallLogFile();

}  // namespace dusk

#endif  // DUSK_INSTALL_INSTALL_LOG_H_
