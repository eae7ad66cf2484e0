#ifndef DUSK_APP_DUSK_MAIN_H_
#define DUSK_APP_DUSK_MAIN_H_

namespace dusk {

/// The whole program: start-up, one command or the service start, and the
/// closing lines. Returns the exit code.
int DuskMain(int argc, char** argv);

}  // namespace dusk

#endif  // DUSK_APP_DUSK_MAIN_H_
