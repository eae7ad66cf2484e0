#ifndef DUSK_INSTALL_WORKING_DIRECTORY_H_
#define DUSK_INSTALL_WORKING_DIRECTORY_H_

// The agent's install steps run their commands from the media or the agent
// directory. The service lives on after each step, and those directories may
// be removed later (an uninstall, new media), so every step goes back to the
// directory it started in, on every path out of it.

#include <unistd.h>

#include <cerrno>
#include <string>

#include "log/log.h"
#include "util/files.h"

namespace dusk {

/// Remembers the working directory when made and goes back to it when
/// destroyed, once ChangeTo has moved away. A directory that is gone by then
/// (the uninstall removes the agent's) leaves the process where it is.
class WorkingDirectoryGuard {
 public:
  WorkingDirectoryGuard() : saved_(GetCwd()) {}
  ~WorkingDirectoryGuard() {
    if (moved_ && FileExists(saved_)) ChangeDir(saved_);
  }
  WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
  WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;

  /// Changes to |directory| (ChangeDir, which logs a failure). False when
  /// the change failed; the directory is then as it was.
  bool ChangeTo(const std::string& directory) {
    if (!ChangeDir(directory)) return false;
    moved_ = true;
    return true;
  }
  /// Changes to the open |directory| (whatever its name leads to by now),
  /// which texts call |shown|; a failure is logged as ChangeDir logs it.
  bool ChangeTo(int directory, const std::string& shown) {
    if (fchdir(directory) != 0) {
      const int err = errno;
      LogMessage(kLogError, "Failed to change directory to %s - %s", shown.c_str(),
                 ErrorText(err).c_str());
      return false;
    }
    moved_ = true;
    return true;
  }

 private:
  std::string saved_;
  bool moved_ = false;
};

}  // namespace dusk

#endif  // DUSK_INSTALL_WORKING_DIRECTORY_H_
