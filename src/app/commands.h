#ifndef DUSK_APP_COMMANDS_H_
#define DUSK_APP_COMMANDS_H_

// The one-shot commands of the command line and the choice among them.

#include "app/options.h"

namespace dusk {

/// Exit codes of main(). The process status is the low 8 bits, so the
/// negative ones are seen as 254, 252 and 251.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,
  kExitInvalidArgument = -2,
  kExitConfinitFailed = -4,
  kExitNotInstalled = -5,
};

/// Writes the usage text, each line at Info with console echo.
void PrintUsage();

/// Runs the first command that |options| asks for and returns its exit code.
int RunCommand(const Options& options);


}  // namespace dusk

#endif  // DUSK_APP_COMMANDS_H_
