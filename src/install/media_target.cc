#include "install/media_target.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "util/strings.h"

namespace dusk {

namespace {

/// Attempts at a free temporary name before giving up.
constexpr int kTempNameAttempts = 100;

/// The resolved form of |path|; "" when it cannot be resolved.
std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return std::string();
  return resolved;
}

bool IsInside(const std::string& path, const std::string& root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  return path == root || strStartsWith(path, root + "/");
}

/// rename() that fails with EEXIST instead of replacing what is there.
bool RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
  constexpr unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
              kRenameNoReplace) == 0)
    return true;
  if (errno != ENOSYS && errno != EINVAL) return false;
#endif
  // A kernel or file system without it: a hard link never replaces either.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

}  // namespace

bool IsSafeMediaFilePath(std::string_view path) {
  if (path.empty() || path[0] == '/' || path.back() == '/') return false;
  for (char c : path) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  size_t start = 0;
  for (;;) {
    size_t end = path.find('/', start);
    std::string_view component =
        path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (component == "..") return false;
    if (end == std::string_view::npos) return component != "." && !component.empty();
    start = end + 1;
  }
}

bool StaysInsideTarget(const std::string& target_dir, std::string_view file_path) {
  const std::string root = RealPath(target_dir);
  if (root.empty()) {
    // Nothing below a directory yet to be made can lead anywhere; a link
    // that resolves nowhere is refused.
    struct stat st;
    return lstat(target_dir.c_str(), &st) != 0 && errno == ENOENT;
  }
  // The directories of the file, deepest first; the first that exists
  // decides, since whatever is made below it will be below it.
  std::string dir = target_dir + "/" + std::string(file_path);
  for (;;) {
    size_t slash = dir.rfind('/');
    if (slash == std::string::npos || slash < target_dir.size()) return true;
    dir.resize(slash);
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0) continue;
    const std::string real = RealPath(dir);
    return !real.empty() && IsInside(real, root);
  }
}

bool ListedModeBits(int listed, mode_t* mode) {
  *mode = 0;
  if (listed < 0) return false;
  mode_t bits = 0;
  mode_t scale = 1;
  for (int rest = listed; rest > 0; rest /= 10) {
    int digit = rest % 10;
    if (digit > 7 || scale > 07777) return false;
    bits += static_cast<mode_t>(digit) * scale;
    scale *= 8;
  }
  if (bits > 07777) return false;
  *mode = bits;
  return true;
}

PartialFile::PartialFile(PartialFile&& other) noexcept { *this = std::move(other); }

PartialFile& PartialFile::operator=(PartialFile&& other) noexcept {
  if (this == &other) return *this;
  Discard();
  fd_ = std::move(other.fd_);
  final_path_ = std::move(other.final_path_);
  temp_path_ = std::exchange(other.temp_path_, std::string());
  buffer_ = std::move(other.buffer_);
  used_ = std::exchange(other.used_, 0);
  size_ = std::exchange(other.size_, 0);
  digest_ = other.digest_;
  md5_ = other.md5_;
  return *this;
}

bool PartialFile::Create(const std::string& final_path, bool digest) {
  Discard();
  size_t slash = final_path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : final_path.substr(0, slash);
  if (dir.empty()) dir = "/";
  static unsigned counter = 0;
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::string name = strFormat("%s/.dusk-%d-%u.part", dir.c_str(), static_cast<int>(getpid()),
                                 counter++);
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return false;
    fd_.reset(fd);
    temp_path_ = std::move(name);
    final_path_ = final_path;
    buffer_.resize(kPartialFileBuffer);
    used_ = 0;
    size_ = 0;
    digest_ = digest;
    if (digest_) Md5Begin(md5_);
    return true;
  }
  errno = EEXIST;
  return false;
}

bool PartialFile::WriteBuffer() {
  if (!fd_) {
    errno = EBADF;
    return false;
  }
  if (digest_ && used_ > 0)
    Md5Add(md5_, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(buffer_.data()), used_));
  size_t done = 0;
  while (done < used_) {
    ssize_t put = write(fd_.get(), buffer_.data() + done, used_ - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(put);
  }
  used_ = 0;
  return true;
}

char* PartialFile::Room(size_t want) {
  if (want > buffer_.size()) want = buffer_.size();
  if (buffer_.size() - used_ < want && !WriteBuffer()) return nullptr;
  if (buffer_.empty()) {
    errno = EBADF;
    return nullptr;
  }
  return buffer_.data() + used_;
}

void PartialFile::Filled(size_t count) {
  used_ += count;
  size_ += static_cast<int64_t>(count);
}

bool PartialFile::Append(std::string_view data) {
  while (!data.empty()) {
    char* room = Room(data.size());
    if (room == nullptr) return false;
    size_t take = std::min(data.size(), buffer_.size() - used_);
    memcpy(room, data.data(), take);
    Filled(take);
    data.remove_prefix(take);
  }
  return true;
}

bool PartialFile::Finish() { return WriteBuffer(); }

std::string PartialFile::DigestHex() {
  if (!digest_) return std::string();
  Md5Context copy = md5_;
  return Md5Hex(Md5End(copy));
}

bool PartialFile::SetMode(mode_t mode) { return fd_ && fchmod(fd_.get(), mode) == 0; }

bool PartialFile::Commit(bool replace) {
  if (!Finish()) return false;
  bool renamed = replace ? rename(temp_path_.c_str(), final_path_.c_str()) == 0
                         : RenameNoReplace(temp_path_, final_path_);
  if (!renamed) return false;
  temp_path_.clear();
  fd_.reset();
  buffer_ = std::vector<char>();
  return true;
}

void PartialFile::Discard() {
  if (!temp_path_.empty()) unlink(temp_path_.c_str());
  temp_path_.clear();
  fd_.reset();
  buffer_ = std::vector<char>();
  used_ = 0;
}

}  // namespace dusk
