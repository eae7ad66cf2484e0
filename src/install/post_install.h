#ifndef DUSK_INSTALL_POST_INSTALL_H_
#define DUSK_INSTALL_POST_INSTALL_H_

// What makes a newly installed agent usable: its post-install configuration
// (an agent command named by the media) and its initial connect (the
// agent's "zelskman" with the media's options). The initial connect runs at
// once or, when the media wants it after a restart of the device, is kept in
// the configuration and run once by the next service start that finds the
// agent. Both run in the agent's directory and report like the install
// (install_report.h).

#include <string>
#include <string_view>

#include "install/install_report.h"
#include "util/layout.h"

namespace dusk {

/// The agent program of the initial connect.
inline constexpr char kInitialConnectProgram[] = "zelskman";

/// Key of section Application that holds the options of an initial connect
/// waiting for the next service start.
inline constexpr char kInitialConnectKey[] = "InitialConnect";

/// Runs |command| (a program of the agent directory of |layout| and its
/// arguments) from the agent directory with the post_install_command
/// time-out (util/timings.h; it goes on running after it, see
/// exec_command.h): progress texts "Post Agent Install Configuration",
/// "Executing KESTA Post Install Configuration: \"%s\"" and "KESTA Post
/// Install Configuration Completed - Exit Code: %d". True for an empty command and when the command ran to its
/// end, whatever its exit status; every failure is logged and reported as
/// "installagentfailed". The working directory is the same afterwards.
bool RunPostInstallConfig(const Layout& layout, InstallReporter& reporter,
                          std::string_view command, bool console);

/// Runs kInitialConnectProgram of the agent directory of |layout| with
/// |options| from that directory with the initial_connect_command time-out.
/// Its completion line "KESTA Initial Connect Completed - Exit Code: %d" is
/// logged at Info (echoed with |console|) and reported as progress. True when the command
/// ran to its end, whatever its exit status; every failure is logged and
/// reported as "installagentfailed". The working directory is the same
/// afterwards.
bool RunInitialConnect(const Layout& layout, InstallReporter& reporter,
                       std::string_view options, bool console);

/// Keeps |options|, trimmed of blanks, for the next service start; options
/// of blanks only remove the key instead. The result of the write or delete.
bool ScheduleInitialConnect(std::string_view options);

/// The options kept for the next service start: true when a non-empty
/// value is stored; |options| is "" when the key is missing.
bool GetScheduledInitialConnect(std::string* options);

/// Removes the kept options ("Deleted Registry Key InitialConnect").
bool ClearScheduledInitialConnect();

/// At the service start: when the agent is installed in |layout| and an
/// initial connect is waiting, runs it (no console echo, reporting to
/// |reporter|) and removes it, whatever its result. A start without the
/// agent, or with a stop pending (logged at Info "Scheduled Initial Connect
/// not started - the KESTA-DUSK service is stopping"), leaves it waiting.
void RunScheduledInitialConnect(const Layout& layout, InstallReporter& reporter);

}  // namespace dusk

#endif  // DUSK_INSTALL_POST_INSTALL_H_
