#ifndef DUSK_INSTALL_AGENT_INSTALL_H_
#define DUSK_INSTALL_AGENT_INSTALL_H_

// The install of the KESTA Agent: the media is downloaded and verified into
// the configured media directory, its content list says how it installs (an
// install script of its own, or a Debian package), the install command runs
// with its output in the install log (abandoned, still running, after the
// install_command time-out of util/timings.h), and once the agent is present its
// post-install configuration and initial connect follow (post_install.h).
// Whoever follows the work (the server that asked for the install) hears
// the progress texts and events through an InstallReporter.

#include <string>
#include <string_view>

#include "config/server_address.h"
#include "install/install_report.h"
#include "util/attr_table.h"
#include "util/layout.h"

namespace dusk {

/// Defaults of the request options "-media", "-contentlist" and "-rcsport".
inline constexpr char kDefaultAgentMedia[] = "/media/client/default/linuxtc";
inline constexpr char kDefaultContentList[] = "MediaContent.mcfl";
inline constexpr char kDefaultRcsPort[] = "3464";

/// Slots of the media option table and of the placeholder table.
inline constexpr int kMediaOptionSlots = 64;
inline constexpr int kPlaceholderSlots = 32;

/// Package tools of the package type "debian": the device's own package
/// installer when it has one, else dpkg from the search path.
inline constexpr char kQpkgTool[] = "/usr/share/qpkg/.qpkg_util";
inline constexpr char kDpkgTool[] = "dpkg";

/// What the media's content list says about its install; each field is its
/// option's value, or the default when the option is absent (a present
/// empty value stays empty).
struct AgentMediaOptions {
  std::string packageType = "debian";          ///< PackageType
  std::string installScript;                   ///< InstallScript
  std::string installOptions;                  ///< InstallOptions
  std::string silentInstallOptions;            ///< SilentInstallOptions
  std::string postInstallConfigure;            ///< PostInstallConfigure
  std::string initialConnectAfterRestart = "0";  ///< InitialConnectAfterRestart
  std::string initialConnectOptions;           ///< InitialConnectOptions
};

/// The options of |media_options| (names compared ignoring letter case).
AgentMediaOptions ReadAgentMediaOptions(const AttrTable& media_options);

/// Trims blanks from |type| and lower-cases it, "" and "deb" becoming
/// "debian". |command| is the package tool for "debian" (kQpkgTool when that
/// file exists, else kDpkgTool) and "" for any other type.
void MapPackageType(std::string* type, std::string* command);

/// What follows the install command: " " and InstallOptions, or
/// SilentInstallOptions when those are empty; the other way round when
/// |silent| is asked for off the console (an install run from the console
/// has someone watching it, whatever "-silent" says). "" when both are
/// empty.
std::string InstallArguments(const AgentMediaOptions& media, bool console, bool silent);

/// The media directory of the configured |media_path| under the configured
/// |root|: an absolute path drops the root's trailing slashes; the two are
/// then joined as they are.
std::string JoinMediaRoot(std::string root, std::string_view media_path);

/// Downloads and installs the agent as |options| (the request options:
/// "-media", "-contentlist", "-silent", "-prime", "-rcshost", "-rcsport")
/// say, from |server|, into |layout|.agentDir (where the install command
/// puts it). Reports to |reporter|: "copyingagent", the
/// download's progress texts, "installcfgagent", the command, and
/// "agentinstalled"; every failure as "installagentfailed" with its text.
/// |console| echoes the log lines to standard output. Holds the install
/// lock (install_lock.h) for the whole run, and runs nothing when another
/// install or uninstall holds it or while an earlier agent command
/// abandoned after its time-out is still running. The
/// working directory is the same afterwards. True when the agent is
/// installed and its post-install configuration succeeded.
bool DownloadAndInstallAgent(const Layout& layout, InstallReporter& reporter,
                             const ServerAddress& server, const AttrTable& options,
                             bool console);

}  // namespace dusk

#endif  // DUSK_INSTALL_AGENT_INSTALL_H_
