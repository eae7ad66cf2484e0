#ifndef DUSK_UTIL_TRUSTED_DIRECTORY_H_
#define DUSK_UTIL_TRUSTED_DIRECTORY_H_

// Directories the program writes into as root and later runs something from
// (the agent media). Such a directory is trusted when nobody but root can
// have put anything into it or change it: every directory on its path is a
// real directory (not a symbolic link), owned by root or by the program's
// own effective user, and writable by nobody else. A directory above it
// may also be root's sticky /tmp, where others make names of their own but
// cannot touch root's.
//
// The check and the use are one walk: each directory is opened below the
// descriptor of the one above it, never following a link, and the last
// descriptor is handed out, so that everything done afterwards works below
// that descriptor (openat, mkdirat, renameat, unlinkat) and no name on the
// way can be swapped between the check and the use. A missing directory
// is made on the way, with kMadeDirectoryMode whatever the umask, and
// checked like any other.

#include <sys/types.h>

#include <string>
#include <string_view>

#include "util/unique_fd.h"

namespace dusk {

/// Mode of every directory the walks make, whatever the umask.
inline constexpr mode_t kMadeDirectoryMode = 0755;

/// Why a directory on the way was refused.
enum class DirectoryRefusal {
  kNone,
  kLink,              ///< a symbolic link
  kNotDirectory,      ///< something other than a directory
  kForeignOwner,      ///< owned by a user other than root and the program's own
  kWritableByOthers,  ///< writable by its group or by others
  kCannotCreate,      ///< missing, and could not be made
  kCannotOpen,        ///< could not be opened or looked at
};

/// The outcome of a walk.
struct DirectoryCheck {
  DirectoryRefusal refusal = DirectoryRefusal::kNone;
  /// The refused directory.
  std::string path;
  /// Its owner (kForeignOwner).
  uid_t owner = 0;
  /// Its permission bits (kWritableByOthers).
  mode_t mode = 0;
  /// errno of the failed call (kCannotCreate, kCannotOpen).
  int error = 0;

  bool ok() const { return refusal == DirectoryRefusal::kNone; }
};

/// What was refused and why: "PATH is a symbolic link", "PATH is not a
/// directory", "PATH is owned by uid N", "PATH is writable by group or
/// others (mode 0777)", "PATH could not be created - ERROR", "PATH could not
/// be opened - ERROR" (ERROR as ErrorText); "" when nothing was.
std::string DirectoryCheckText(const DirectoryCheck& check);

/// How the directories below an open one are taken.
enum class DirectoryTrust {
  /// Each must be trusted: owned by root or the program's user, writable
  /// by nobody else.
  kTrusted,
  /// The user's own choice: each need only be a real directory.
  kUsersOwn,
};

/// Opens the directory |path| for the program to write into, walking from
/// "/" (a relative path from the current directory's absolute path; "."
/// and ".." are taken by name, which is exact where no link is followed).
/// Every directory on the way must be trusted, the last one without the
/// sticky exception; missing ones are made, each logged "Created directory
/// %s" at Info. Invalid, with |check| telling what was refused, when the
/// path cannot be trusted; a refused walk makes nothing below the refused
/// directory.
UniqueFd OpenTrustedDirectory(const std::string& path, DirectoryCheck* check);

/// Opens the directory |relative| ("a/b"; "" is |parent| itself) below the
/// open directory |parent|, which texts call |parent_path|, taking each
/// directory on the way as |trust| says and making missing ones as
/// OpenTrustedDirectory does. A directory made here that turns out not to
/// be the program's own is refused whatever |trust| says. Invalid, with
/// |check| filled, on refusal.
UniqueFd OpenDirectoryBelow(int parent, std::string_view relative, const std::string& parent_path,
                            DirectoryTrust trust, DirectoryCheck* check);

}  // namespace dusk

#endif  // DUSK_UTIL_TRUSTED_DIRECTORY_H_
