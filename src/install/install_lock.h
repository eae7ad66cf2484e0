#ifndef DUSK_INSTALL_INSTALL_LOCK_H_
#define DUSK_INSTALL_INSTALL_LOCK_H_

// One agent install or uninstall at a time on the device, whoever starts
// it: the service for the server's InstallAgent, "-instagent" and
// "-uninstagent". Two installers at once would write one install log, start
// the agent's daemons twice, and the second download would replace media
// files the first one is still using.
//
// The lock is a file in the configuration directory, readable and writable
// by its owner alone (another account could otherwise take the lock and
// keep every install out), and it is held two ways, both of which the
// kernel drops when their holder dies, so a crash never leaves it stuck:
//
// - the process that runs the install holds an flock on it for the whole
//   run;
// - every agent command started while the lock is held holds a record lock
//   on it for as long as it runs (exec_command.h). A command abandoned
//   after its time-out goes on running after the install has given up, and
//   after an "-instagent" that started it has exited; the next install must
//   wait for it all the same. Record locks belong to the one process that
//   took them and are not passed on to its children, so the daemons an
//   installer starts do not keep installs out for as long as they run. A
//   command that closes every descriptor it inherited gives its record lock
//   up with them.

#include <string>
#include <string_view>

#include "util/layout.h"
#include "util/unique_fd.h"

namespace dusk {

/// The lock file, in the layout's configDir.
inline constexpr char kInstallLockName[] = "agentinstall.lock";

/// The install lock while it lives. Taking it never waits: a second
/// install is refused, not queued behind the first.
class InstallLock {
 public:
  /// Tries to take the lock of |layout|, for a run that |work| names
  /// ("install", "uninstall") in the refusal text. The file is created
  /// (mode 0600) when missing and never followed through a link.
  InstallLock(const Layout& layout, std::string_view work);
  /// Releases the lock; the commands started under it keep theirs.
  ~InstallLock();
  InstallLock(const InstallLock&) = delete;
  InstallLock& operator=(const InstallLock&) = delete;

  /// True when this process holds the lock.
  bool held() const { return held_; }
  /// Why the lock is not held, for the log and the server: "Another KESTA
  /// Agent install or uninstall is already running - not starting another
  /// WORK", "A previous KESTA Agent command (pid %d) is still running - not
  /// starting another WORK", or why the lock file cannot be used. "" when
  /// held.
  const std::string& refusal() const { return refusal_; }

 private:
  /// The descriptor this process holds the flock on.
  UniqueFd held_fd_;
  /// A second open of the file, on which the commands take their record
  /// locks (an flock belongs to an open file, so they must not share the
  /// first one).
  UniqueFd commands_fd_;
  bool held_ = false;
  std::string refusal_;
};

}  // namespace dusk

#endif  // DUSK_INSTALL_INSTALL_LOCK_H_
