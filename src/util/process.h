#ifndef DUSK_UTIL_PROCESS_H_
#define DUSK_UTIL_PROCESS_H_

// Finding a running program by name, without pid files: a process is
// whichever other process runs a program of that name, found by reading
// argv[0] of every process in the process table (the layout's procRoot).
// The service is found this way by the control commands, and the agent's
// daemons by the service scan.

#include <cstddef>
#include <string>
#include <string_view>

namespace dusk {

/// Most bytes of a process's command line read to find its argv[0].
inline constexpr size_t kCommandLineReadMax = 4095;

/// True when argv[0] of a process, |command_name|, is |name|: the whole of
/// it for a |name| beginning with "/", else the part after its last "/".
/// Letter case counts.
bool CommandNameMatches(std::string_view command_name, std::string_view name);

/// Pid of the first process in the directory order of |proc_root| whose
/// argv[0] matches |name|, skipping |own_pid|, entries that are not pids,
/// and processes whose command line is empty or cannot be read (kernel
/// threads, exited processes). 0 when there is none or |name| is empty;
/// logs "Failed to open %s" at Warn when |proc_root| cannot be read.
int FindProcessIn(const std::string& proc_root, std::string_view name, int own_pid);

/// FindProcessIn over |proc_root|, skipping this process.
int FindProcessByName(const std::string& proc_root, std::string_view name);

}  // namespace dusk

#endif  // DUSK_UTIL_PROCESS_H_
