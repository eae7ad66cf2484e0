#ifndef DUSK_APP_EXIT_CODE_H_
#define DUSK_APP_EXIT_CODE_H_

// What a run of the program tells the shell that started it.

namespace dusk {

/// Exit codes of main(). The process status is the low 8 bits, so the
/// negative ones are seen as 254, 253, 252 and 251.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,
  kExitInvalidArgument = -2,
  /// A command of root's (RootRefusal, app/privilege.h) run by another user.
  kExitNotRoot = -3,
  kExitConfinitFailed = -4,
  kExitNotInstalled = -5,
};

}  // namespace dusk

#endif  // DUSK_APP_EXIT_CODE_H_
