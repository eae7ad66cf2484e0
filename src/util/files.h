#ifndef DUSK_UTIL_FILES_H_
#define DUSK_UTIL_FILES_H_

// Thin wrappers over the file and directory calls, and the texts that turn
// an errno value into something a log line can carry.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace dusk {

/// True when |path| is not empty and stat() succeeds on it (a file, a
/// directory or anything else).
bool FileExists(const std::string& path);

/// The last component of |path|: "" for "", "/" and paths ending in "/";
/// the whole path when it holds no "/".
std::string BaseName(std::string_view path);

/// The text after the first "/" of |path|; "" when there is none.
std::string StripFirstComponent(std::string_view path);

/// The current directory; "" when it cannot be had.
std::string GetCwd();

/// chdir(); 1 on success and for an empty path (nothing changes), 0 on
/// failure after logging "Failed to change directory to %s - %s".
int ChangeDir(const std::string& path);

/// unlink(); true on success. Logs nothing.
bool DeleteFile(const std::string& path);

/// Copies |source| to |target|; false when |keep_existing| is set and the
/// target exists, or when either file cannot be opened (logged at Error).
bool CopyFile(const std::string& source, const std::string& target,
              bool keep_existing);

/// Mode of a directory made with the mode 0: nobody but its owner writes
/// into what the program makes.
inline constexpr mode_t kDefaultDirectoryMode = 0755;

/// mkdir() then, whatever the umask, |mode| (kDefaultDirectoryMode when 0)
/// through a descriptor opened without following a link. True only when
/// mkdir succeeded; otherwise "Failed to CreateDirectory ..." goes to
/// stderr, so an existing directory counts as a failure.
bool CreateDirectory(const std::string& path, mode_t mode);

/// Creates every missing directory above |file_path| (the whole path when it
/// ends in "/"). |dir_out| receives the directory part, |name_out| the base
/// name. True when every directory exists afterwards.
bool CreateDirectories(const std::string& file_path, std::string* dir_out,
                       std::string* name_out, mode_t mode);

/// "Error (%d): %s" with |err| and strerror(|err|).
std::string ErrorText(int err);
/// "Socket Error (%d): %s" with |err| and strerror(|err|).
std::string SocketErrorText(int err);

/// Reads the whole file into |content|; false (with errno set) on failure.
bool ReadWholeFile(const std::string& path, std::string* content);

/// Writes all of |data| to |fd|, going on after interruptions and short
/// writes. False, with errno set, when not everything could be written (a
/// write that makes no progress counts as ENOSPC, which is what it means on
/// a full disk).
bool WriteAll(int fd, std::string_view data);

/// Reads from |fd| until |size| bytes are in, the file ends or a read
/// fails; returns what arrived (errno tells a failure from the end).
std::string ReadUpTo(int fd, size_t size);

/// How a file the program replaces is written.
struct ReplaceOptions {
  /// Permission bits of the new file, applied exactly; unset: 0644 less the
  /// process's umask.
  std::optional<mode_t> mode;
  /// When not empty, the file being replaced (if there is one) is kept under
  /// this name, in one step and without ever moving it away, before the new
  /// content takes its place.
  std::string previous_path;
};

/// The step of ReplaceFileAtomically that failed.
enum class ReplaceStep { kNone, kWriteTemp, kKeepPrevious, kRename };

/// What ReplaceFileAtomically did.
struct ReplaceResult {
  ReplaceStep failed = ReplaceStep::kNone;
  /// errno of the failed step.
  int error = 0;
  /// The temporary file: |path| + "." + the pid.
  std::string temp_path;
  bool ok() const { return failed == ReplaceStep::kNone; }
};

/// The one way the program replaces a file: |content| goes to a temporary
/// file beside |path|, is written whole and synced, the old file is kept
/// when asked, the temporary file is renamed over |path| and the directory
/// is synced. At every moment |path| holds either the old or the new content
/// whole, also across a crash or a power cut; on failure |path| is untouched
/// and the temporary file is gone. An empty |path| fails at kWriteTemp with
/// ENOENT and writes nothing.
ReplaceResult ReplaceFileAtomically(const std::string& path, std::string_view content,
                                    const ReplaceOptions& options = {});

}  // namespace dusk

#endif  // DUSK_UTIL_FILES_H_
