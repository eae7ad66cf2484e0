#ifndef DUSK_APP_COMMAND_OUTCOME_H_
#define DUSK_APP_COMMAND_OUTCOME_H_

// The last word of a command that failed: whatever it printed on the way, a
// script or an administrator finds why it failed on standard error.

#include <string>

namespace dusk {

/// Ends |command| ("-probe", ...), which failed for |reason|, with one Error
/// line, "<command> failed: <reason>": in the log and on standard error
/// (LogCopyErrorsToStderr), not on standard output. Returns kExitFailed.
int CommandFailed(const char* command, const std::string& reason);

}  // namespace dusk

#endif  // DUSK_APP_COMMAND_OUTCOME_H_
