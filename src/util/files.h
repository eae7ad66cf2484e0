#ifndef DUSK_UTIL_FILES_H_
#define DUSK_UTIL_FILES_H_

// Thin wrappers over the file and directory calls, and the texts that turn
// an errno value into something a log line can carry.

#include <sys/types.h>

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

/// mkdir() then chmod() with |mode| (0777 when 0). True only when mkdir
/// succeeded; otherwise "Failed to CreateDirectory ..." goes to stderr, so an
/// existing directory counts as a failure.
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

}  // namespace dusk

#endif  // DUSK_UTIL_FILES_H_
