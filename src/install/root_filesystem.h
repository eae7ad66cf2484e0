#ifndef DUSK_INSTALL_ROOT_FILESYSTEM_H_
#define DUSK_INSTALL_ROOT_FILESYSTEM_H_

// Thin clients may keep their root file system read-only, with a pair of
// tools that open and close it for writing. The agent's install and
// uninstall commands run between the two; a device without the tools has a
// writable root already.

namespace dusk {

/// The tools that open and close the root file system for writing.
inline constexpr char kRootUnlockTool[] = "/sbin/fsunlock";
inline constexpr char kRootLockTool[] = "/sbin/fslock";

/// When kRootUnlockTool exists: Debug "Unlocking / Filesystem" and runs it
/// through the shell (system). Its result is not examined.
void UnlockRootFilesystem();

/// When kRootLockTool exists: Debug "Locking / Filesystem" and runs it
/// through the shell (system). Its result is not examined.
void LockRootFilesystem();

}  // namespace dusk

#endif  // DUSK_INSTALL_ROOT_FILESYSTEM_H_
