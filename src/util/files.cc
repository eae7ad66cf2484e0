#include "util/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "util/report.h"
#include "util/strings.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {
/// Error texts are cut here, as every log line that carries one expects.
constexpr size_t kErrorTextMax = 1023;
}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string BaseName(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

std::string StripFirstComponent(std::string_view path) {
  size_t slash = path.find('/');
  if (slash == std::string_view::npos) return std::string();
  return std::string(path.substr(slash + 1));
}

std::string GetCwd() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return std::string();
  return buffer;
}

int ChangeDir(const std::string& path) {
  if (path.empty()) return 1;
  if (chdir(path.c_str()) == 0) return 1;
  int err = errno;
  Report(kLogError, "Failed to change directory to %s - %s", path.c_str(),
         ErrorText(err).c_str());
  return 0;
}

bool DeleteFile(const std::string& path) {
  return !path.empty() && unlink(path.c_str()) == 0;
}

bool CopyFile(const std::string& source, const std::string& target,
              bool keep_existing) {
  if (keep_existing && FileExists(target)) return false;
  UniqueFd in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) {
    Report(kLogError, "Could not open source file %s for copy",
           source.c_str());
    return false;
  }
  UniqueFd out(open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    0666));
  if (!out) {
    Report(kLogError, "Could not open target file %s for copy",
           target.c_str());
    return false;
  }
  constexpr size_t kCopyPiece = 2048;
  for (;;) {
    errno = 0;
    std::string piece = ReadUpTo(in.get(), kCopyPiece);
    if (!WriteAll(out.get(), piece)) return false;
    if (piece.size() < kCopyPiece) return errno == 0;
  }
}

bool CreateDirectory(const std::string& path, mode_t mode) {
  if (path.empty()) return false;
  if (mode == 0) mode = kDefaultDirectoryMode;
  int made = mkdir(path.c_str(), mode);
  int err = errno;
  // The mode goes through a descriptor of the directory itself: a name
  // that became a link meanwhile would hand it to whatever the link names.
  UniqueFd dir(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dir) fchmod(dir.get(), mode);
  if (made == 0) return true;
  fprintf(stderr, "Failed to CreateDirectory \"%s\" - %s\n", path.c_str(),
          ErrorText(err).c_str());
  return false;
}

bool CreateDirectories(const std::string& file_path, std::string* dir_out,
                       std::string* name_out, mode_t mode) {
  Report(kLogTrace, "CreateDirectories: filepath=%s", file_path.c_str());
  std::string dir = file_path;
  std::string name = file_path;
  bool ok = true;
  if (file_path.empty()) {
    ok = false;
  } else {
    name = BaseName(file_path);
    if (!name.empty()) {
      size_t slash = file_path.rfind('/');
      dir = slash == std::string::npos ? std::string() : file_path.substr(0, slash);
    }
    if (!FileExists(file_path)) {
      std::string rest = dir;
      while (!rest.empty()) {
        rest = StripFirstComponent(rest);
        std::string prefix = dir.substr(0, dir.size() - rest.size());
        strChompChar(prefix, '/');
        if (prefix.empty() || FileExists(prefix)) continue;
        if (!CreateDirectory(prefix, mode)) {
          Report(kLogError, "Failed to create directory %s", prefix.c_str());
          ok = false;
          break;
        }
        Report(kLogInfo, "Created directory %s", prefix.c_str());
      }
    }
  }
  if (dir_out) *dir_out = dir;
  if (name_out) *name_out = name;
  return ok;
}

std::string ErrorText(int err) {
  return strCut(strFormat("Error (%d): %s", err, strerror(err)), kErrorTextMax);
}

std::string SocketErrorText(int err) {
  return strCut(strFormat("Socket Error (%d): %s", err, strerror(err)),
                kErrorTextMax);
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  // Straight into the string, sized by what the file holds (and one byte
  // more, for the read that finds its end), so no piece buffer is
  // allocated beside it.
  struct stat st;
  if (fstat(fd.get(), &st) == 0 && st.st_size > 0)
    content->reserve(static_cast<size_t>(st.st_size) + 1);
  for (;;) {
    const size_t used = content->size();
    size_t room = content->capacity() - used;
    if (room == 0) room = 4096;
    content->resize(used + room);
    const ssize_t got = read(fd.get(), content->data() + used, room);
    if (got < 0) {
      content->resize(used);
      if (errno == EINTR) continue;
      return false;
    }
    content->resize(used + static_cast<size_t>(got));
    if (got == 0) return true;
  }
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t put = write(fd, data.data(), data.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = ENOSPC;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

std::string ReadUpTo(int fd, size_t size) {
  std::string content(size, '\0');
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, content.data() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  content.resize(got);
  return content;
}

namespace {

/// Creates |path| anew with |content|, written whole and synced.
bool WriteSyncedFile(const std::string& path, std::string_view content,
                     std::optional<mode_t> mode) {
  UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                   mode.value_or(0644)));
  if (!fd) return false;
  bool ok = (!mode || fchmod(fd.get(), *mode) == 0) && WriteAll(fd.get(), content) &&
            fsync(fd.get()) == 0;
  int err = errno;
  if (!ok) unlink(path.c_str());
  errno = err;
  return ok;
}

/// Makes |previous| hold the current |path| without ever moving |path|: a
/// hard link where the file system has them, a synced copy otherwise, put
/// in place with one rename.
bool KeepPrevious(const std::string& path, const std::string& previous) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  const std::string staging = previous + "." + std::to_string(getpid());
  unlink(staging.c_str());
  if (link(path.c_str(), staging.c_str()) != 0) {
    std::string old_content;
    if (!ReadWholeFile(path, &old_content) ||
        !WriteSyncedFile(staging, old_content, st.st_mode & 07777))
      return false;
  }
  if (rename(staging.c_str(), previous.c_str()) == 0) {
    // Where |previous| already was this very file (another writer kept it
    // a moment ago), rename() does nothing and both names stay.
    unlink(staging.c_str());
    return true;
  }
  int err = errno;
  unlink(staging.c_str());
  errno = err;
  return false;
}

void SyncDirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
  if (directory.empty()) directory = "/";
  UniqueFd fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());
}

}  // namespace

ReplaceResult ReplaceFileAtomically(const std::string& path, std::string_view content,
                                    const ReplaceOptions& options) {
  ReplaceResult result;
  // Without a name the temporary file would land in the working directory.
  if (path.empty()) {
    result.failed = ReplaceStep::kWriteTemp;
    result.error = ENOENT;
    return result;
  }
  result.temp_path = path + "." + std::to_string(getpid());
  auto fail = [&result](ReplaceStep step) {
    result.failed = step;
    result.error = errno;
    unlink(result.temp_path.c_str());
    return result;
  };
  unlink(result.temp_path.c_str());
  if (!WriteSyncedFile(result.temp_path, content, options.mode))
    return fail(ReplaceStep::kWriteTemp);
  if (!options.previous_path.empty() && !KeepPrevious(path, options.previous_path))
    return fail(ReplaceStep::kKeepPrevious);
  if (rename(result.temp_path.c_str(), path.c_str()) != 0) return fail(ReplaceStep::kRename);
  SyncDirectoryOf(path);
  return result;
}

}  // namespace dusk
