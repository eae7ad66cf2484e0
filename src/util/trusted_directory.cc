#include "util/trusted_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "util/files.h"
#include "util/report.h"
#include "util/strings.h"

namespace dusk {

namespace {

/// What a directory on the way must be beyond a real directory.
struct StepRule {
  /// Owned by root or the program's user, and writable by nobody else.
  bool trusted = true;
  /// Root's sticky directory passes the write rule (only above the last).
  bool sticky_allowed = false;
};

/// Fills |check| and gives the invalid descriptor of a refused walk.
UniqueFd Refuse(DirectoryCheck* check, DirectoryRefusal refusal, const std::string& path,
                int error = 0) {
  check->refusal = refusal;
  check->path = path;
  check->error = error;
  return UniqueFd();
}

/// The components of |path| between its slashes, without "" and ".".
std::vector<std::string> Components(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

/// Checks the directory |path| described by |st| against |rule|; |made|
/// when the walk has just made it.
bool Passes(const struct stat& st, const std::string& path, StepRule rule, bool made,
            DirectoryCheck* check) {
  if (!S_ISDIR(st.st_mode)) {
    Refuse(check, DirectoryRefusal::kNotDirectory, path);
    return false;
  }
  const uid_t self = geteuid();
  // One just made is the program's own, or someone swapped another in.
  const bool owner_ok = made ? st.st_uid == self : st.st_uid == 0 || st.st_uid == self;
  if ((rule.trusted || made) && !owner_ok) {
    Refuse(check, DirectoryRefusal::kForeignOwner, path);
    check->owner = st.st_uid;
    return false;
  }
  const bool others_write = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  const bool roots_sticky = st.st_uid == 0 && (st.st_mode & S_ISVTX) != 0;
  if (rule.trusted && others_write && !(rule.sticky_allowed && roots_sticky)) {
    Refuse(check, DirectoryRefusal::kWritableByOthers, path);
    check->mode = st.st_mode & 07777;
    return false;
  }
  return true;
}

/// Opens the directory |name| below |parent| (|path| in texts) without
/// following a link, making it when missing, and checks it.
UniqueFd OpenStep(int parent, const std::string& name, const std::string& path, StepRule rule,
                  DirectoryCheck* check) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  bool made = false;
  UniqueFd fd(openat(parent, name.c_str(), kFlags));
  if (!fd && errno == ENOENT) {
    if (mkdirat(parent, name.c_str(), kMadeDirectoryMode) == 0)
      made = true;
    else if (errno != EEXIST)  // else made by someone else meanwhile: checked as found
      return Refuse(check, DirectoryRefusal::kCannotCreate, path, errno);
    fd.reset(openat(parent, name.c_str(), kFlags));
  }
  if (!fd) {
    const int err = errno;
    struct stat st;
    if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISLNK(st.st_mode)) return Refuse(check, DirectoryRefusal::kLink, path);
      if (!S_ISDIR(st.st_mode)) return Refuse(check, DirectoryRefusal::kNotDirectory, path);
    }
    return Refuse(check, DirectoryRefusal::kCannotOpen, path, err);
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return Refuse(check, DirectoryRefusal::kCannotOpen, path, errno);
  if (made && st.st_uid == geteuid()) {
    // The umask narrows what mkdir makes; the mode is the same on every
    // device. Set through the descriptor, so it lands on this directory.
    if (fchmod(fd.get(), kMadeDirectoryMode) != 0)
      return Refuse(check, DirectoryRefusal::kCannotCreate, path, errno);
    st.st_mode = (st.st_mode & ~static_cast<mode_t>(07777)) | kMadeDirectoryMode;
    Report(kLogInfo, "Created directory %s", path.c_str());
  }
  if (!Passes(st, path, rule, made, check)) return UniqueFd();
  return fd;
}

/// |parent_path| + "/" + |name|, without doubling the slash of "/".
std::string Below(const std::string& parent_path, const std::string& name) {
  if (!parent_path.empty() && parent_path.back() == '/') return parent_path + name;
  return parent_path + "/" + name;
}

}  // namespace

std::string DirectoryCheckText(const DirectoryCheck& check) {
  const char* path = check.path.c_str();
  switch (check.refusal) {
    case DirectoryRefusal::kNone:
      return std::string();
    case DirectoryRefusal::kLink:
      return strFormat("%s is a symbolic link", path);
    case DirectoryRefusal::kNotDirectory:
      return strFormat("%s is not a directory", path);
    case DirectoryRefusal::kForeignOwner:
      return strFormat("%s is owned by uid %u", path, static_cast<unsigned>(check.owner));
    case DirectoryRefusal::kWritableByOthers:
      return strFormat("%s is writable by group or others (mode %04o)", path,
                       static_cast<unsigned>(check.mode));
    case DirectoryRefusal::kCannotCreate:
      return strFormat("%s could not be created - %s", path, ErrorText(check.error).c_str());
    case DirectoryRefusal::kCannotOpen:
      return strFormat("%s could not be opened - %s", path, ErrorText(check.error).c_str());
  }
  return std::string();
}

UniqueFd OpenTrustedDirectory(const std::string& path, DirectoryCheck* check) {
  *check = DirectoryCheck();
  std::string absolute = path;
  if (absolute.empty() || absolute[0] != '/') {
    const std::string cwd = GetCwd();
    if (cwd.empty()) return Refuse(check, DirectoryRefusal::kCannotOpen, path, errno);
    absolute = cwd + "/" + absolute;
  }
  // Names only: with no link followed, ".." is the directory above by name.
  std::vector<std::string> parts;
  for (std::string& part : Components(absolute)) {
    if (part != "..")
      parts.push_back(std::move(part));
    else if (!parts.empty())
      parts.pop_back();
  }

  std::string shown = "/";
  UniqueFd dir(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat st;
  if (!dir || fstat(dir.get(), &st) != 0)
    return Refuse(check, DirectoryRefusal::kCannotOpen, shown, errno);
  if (!Passes(st, shown, StepRule{.trusted = true, .sticky_allowed = !parts.empty()}, false,
              check))
    return UniqueFd();
  for (size_t i = 0; i < parts.size(); ++i) {
    shown = Below(shown, parts[i]);
    const StepRule rule{.trusted = true, .sticky_allowed = i + 1 < parts.size()};
    dir = OpenStep(dir.get(), parts[i], shown, rule, check);
    if (!dir) return dir;
  }
  return dir;
}

UniqueFd OpenDirectoryBelow(int parent, std::string_view relative, const std::string& parent_path,
                            DirectoryTrust trust, DirectoryCheck* check) {
  *check = DirectoryCheck();
  UniqueFd dir(fcntl(parent, F_DUPFD_CLOEXEC, 0));
  if (!dir) return Refuse(check, DirectoryRefusal::kCannotOpen, parent_path, errno);
  const StepRule rule{.trusted = trust == DirectoryTrust::kTrusted, .sticky_allowed = false};
  std::string shown = parent_path;
  for (const std::string& part : Components(relative)) {
    shown = Below(shown, part);
    // Below an open directory nothing leads out of it.
    if (part == "..") return Refuse(check, DirectoryRefusal::kCannotOpen, shown, EINVAL);
    dir = OpenStep(dir.get(), part, shown, rule, check);
    if (!dir) return dir;
  }
  return dir;
}

}  // namespace dusk
