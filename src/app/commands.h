#ifndef DUSK_APP_COMMANDS_H_
#define DUSK_APP_COMMANDS_H_

// The one-shot commands of the command line and the choice among them.

#include "app/options.h"
#include "util/layout.h"

namespace dusk {

/// Writes the usage text, each line at Info with console echo (straight to
/// standard output, behind the Info tag, while logging is off).
void PrintUsage();

/// Runs the first command that |options| asks for on the directories of
/// |layout| and returns its exit code (ExitCode).
int RunCommand(const Options& options, const Layout& layout);

}  // namespace dusk

#endif  // DUSK_APP_COMMANDS_H_
