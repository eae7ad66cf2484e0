#include "util/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "log/log.h"
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
  LogMessage(kLogError, "Failed to change directory to %s - %s", path.c_str(),
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
    LogMessage(kLogError, "Could not open source file %s for copy",
               source.c_str());
    return false;
  }
  UniqueFd out(open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    0666));
  if (!out) {
    LogMessage(kLogError, "Could not open target file %s for copy",
               target.c_str());
    return false;
  }
  char buffer[2048];
  for (;;) {
    ssize_t got = read(in.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out.get(), buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
  }
}

bool CreateDirectory(const std::string& path, mode_t mode) {
  if (path.empty()) return false;
  if (mode == 0) mode = 0777;
  int made = mkdir(path.c_str(), mode);
  int err = errno;
  chmod(path.c_str(), mode);
  if (made == 0) return true;
  fprintf(stderr, "Failed to CreateDirectory \"%s\" - %s\n", path.c_str(),
          ErrorText(err).c_str());
  return false;
}

bool CreateDirectories(const std::string& file_path, std::string* dir_out,
                       std::string* name_out, mode_t mode) {
  LogMessage(kLogTrace, "CreateDirectories: filepath=%s", file_path.c_str());
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
          LogMessage(kLogError, "Failed to create directory %s", prefix.c_str());
          ok = false;
          break;
        }
        LogMessage(kLogInfo, "Created directory %s", prefix.c_str());
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
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    content->append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace dusk
