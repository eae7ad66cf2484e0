#ifndef DUSK_INSTALL_WORKING_DIRECTORY_H_
#define DUSK_INSTALL_WORKING_DIRECTORY_H_

// The agent's install steps run their commands from the media or the agent
// directory. The service lives on after each step, and those directories may
// be removed later (an uninstall, new media), so every step goes back to the
// directory it started in, on every path out of it.

#include <string>

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

 private:
  std::string saved_;
  bool moved_ = false;
};

}  // namespace dusk

#endif  // DUSK_INSTALL_WORKING_DIRECTORY_H_
