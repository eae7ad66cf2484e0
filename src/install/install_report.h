#ifndef DUSK_INSTALL_INSTALL_REPORT_H_
#define DUSK_INSTALL_INSTALL_REPORT_H_

// How the agent's install steps report: every text goes to the log (echoed
// to the console for a command-line run) and to the InstallReporter of the
// run, which tells whoever follows the work: the server that asked for the
// install, or nobody on the command line.

#include <string_view>

namespace dusk {

/// Event types of an agent install, in the order the server sees them.
inline constexpr char kEventCopyingAgent[] = "copyingagent";
inline constexpr char kEventInstallConfig[] = "installcfgagent";
inline constexpr char kEventAgentInstalled[] = "agentinstalled";
inline constexpr char kEventInstallFailed[] = "installagentfailed";

/// Who follows an install beyond the log. The install logs its texts itself
/// and then hands them on here.
class InstallReporter {
 public:
  virtual ~InstallReporter() = default;
  /// A progress text (the server sees it as an "info" line).
  virtual void Progress(std::string_view text) = 0;
  /// The event |type| (kEvent...) with |text|. Every implementation logs
  /// the event's record at Debug as "Event: RECORD" (BuildEventRecord),
  /// whether it sends it anywhere or not.
  virtual void Event(std::string_view type, std::string_view text) = 0;
};

/// |level| with the console flag added when |console| is set.
int InstallLogLevel(int level, bool console);

/// Logs |text| at |level| (console echo when |console|) and hands it to
/// |reporter| as progress.
void InstallProgress(InstallReporter& reporter, int level, bool console, std::string_view text);

/// Logs |text| at |level| (console echo when |console|) and hands it to
/// |reporter| as the event "installagentfailed". Always false, for the
/// caller to return.
bool InstallFailed(InstallReporter& reporter, int level, bool console, std::string_view text);

}  // namespace dusk

#endif  // DUSK_INSTALL_INSTALL_REPORT_H_
