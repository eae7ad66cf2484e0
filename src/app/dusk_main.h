#ifndef DUSK_APP_DUSK_MAIN_H_
#define DUSK_APP_DUSK_MAIN_H_

#include "util/layout.h"

namespace dusk {

/// The whole program on the directories of |layout|: start-up (which finds
/// the program's own directory, layout.installDir, and points the
/// configuration at layout.configDir), one command or the service start,
/// and the closing lines. Returns the exit code.
int DuskMain(int argc, char** argv, Layout layout);

}  // namespace dusk

#endif  // DUSK_APP_DUSK_MAIN_H_
