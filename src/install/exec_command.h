#ifndef DUSK_INSTALL_EXEC_COMMAND_H_
#define DUSK_INSTALL_EXEC_COMMAND_H_

// External commands of the agent install and uninstall: one command line run
// through /bin/sh in a child process, its output optionally sent to files,
// waited for with a time-out. The wait ends as soon as the child does.
//
// A command that outlives its time-out is not killed: an agent installer cut
// off halfway would leave a worse device than one left to finish. The child
// is abandoned instead, and the process keeps track of it, so that its exit is
// collected later (ReapAbandonedCommands) rather than left as a zombie, and so
// that nothing starts a second install while the first still runs.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dusk {

/// Outcome of ExecCommand: 0 or more is the exit status of a command that ran
/// to its end; negative values are failures of the execution itself.
using ExecResult = int;

inline constexpr ExecResult kExecNoError = 0;
/// Waiting for the child failed.
inline constexpr ExecResult kExecError = -1;
/// The fork failed.
inline constexpr ExecResult kExecForkFailed = -2;
/// The command line is empty, or too long to be run whole.
inline constexpr ExecResult kExecBadCommand = -3;
/// The time-out passed before the command ended.
inline constexpr ExecResult kExecTimedOut = -4;
/// A signal ended the command.
inline constexpr ExecResult kExecTerminated = -5;
/// The service is stopping: the wait was given up before the command ended
/// or its time-out passed.
inline constexpr ExecResult kExecStopped = -6;

/// Longest shell line, the command and its redirections together, counting
/// a terminating NUL. A longer one is refused rather than cut, since a cut
/// command line can mean something else entirely.
inline constexpr size_t kExecLineCapacity = 8192;

/// Exit status of a child whose exec of /bin/sh failed (the shell's own
/// "command not found").
inline constexpr int kExecShellMissingStatus = 127;

/// True when |command| ends in a word of digits alone, which the shell
/// would take as the descriptor of a redirection glued to it.
bool EndsInDescriptorNumber(std::string_view command);

/// The shell line for |command|: ">" or ">>" (|append|) and a non-empty
/// |output_file| glued to the command (with one blank between them only
/// when the command EndsInDescriptorNumber), then " 2>" or " 2>>" and
/// |error_file| when that is non-empty, else " 2>&1".
std::string ExecShellLine(std::string_view command, std::string_view output_file,
                          std::string_view error_file, bool append);

/// Runs |command| through "/bin/sh -c" with the redirections of
/// ExecShellLine. The child logs "Exec: /bin/sh -c \"LINE\"" at Debug before
/// the exec and inherits no descriptor but 0, 1 and 2 (and the install
/// lock's, see SetCommandLock). The parent waits for the child's end: true
/// with |*result| = the exit status as soon as it exits by itself; false
/// with kExecTerminated when a signal ended it; false with kExecTimedOut
/// once |timeout| and one command_poll interval (util/timings.h) have
/// passed (0 = no time-out), or with kExecStopped as soon as a stop is
/// requested (stop_request.h; within a second at most) — the command then
/// goes on running and is abandoned; false with kExecBadCommand for an
/// empty command or a line of kExecLineCapacity bytes or more (nothing is
/// forked), kExecForkFailed, or kExecError when waiting fails. |result| may
/// be null. Logs nothing itself apart from the child's line.
bool ExecCommand(std::string_view command, std::string_view output_file,
                 std::string_view error_file, bool append, std::chrono::milliseconds timeout,
                 ExecResult* result);

/// "No Error", "Exec Error", "Could not create child process", "Bad command
/// specified", "Command specified timed out", "Command was terminated" for 0
/// to -5; "Command interrupted - the KESTA-DUSK service is stopping" for
/// kExecStopped; "Exit Code: %d" for any other code.
std::string ExecResultText(ExecResult code);

/// While set (by InstallLock, install_lock.h), every command started takes
/// a record lock on |commands_fd|'s file and keeps it, with that descriptor
/// open, for as long as it runs, and has |held_fd| (the lock of this
/// process) closed before it runs; -1 and -1 clear them.
void SetCommandLock(int held_fd, int commands_fd);

/// Collects the exit of every abandoned command that has ended, logging
/// "Abandoned command (pid %d) ended - %s" at Debug for each. Cheap; the
/// service calls it once a pass.
void ReapAbandonedCommands();

/// True while a command abandoned after its time-out is still running (the
/// ended ones are collected first).
bool AbandonedCommandRunning();

/// The pids of the abandoned commands not yet collected, oldest first.
std::vector<pid_t> AbandonedCommands();

}  // namespace dusk

#endif  // DUSK_INSTALL_EXEC_COMMAND_H_
