#include "install/media_target.h"

#include <fcntl.h>
#include <stdio.h>
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

/// renameat() within |dir| that fails with EEXIST instead of replacing
/// what is there.
bool RenameNoReplace(int dir, const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
  constexpr unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
  if (syscall(SYS_renameat2, dir, from.c_str(), dir, to.c_str(), kRenameNoReplace) == 0)
    return true;
  if (errno != ENOSYS && errno != EINVAL) return false;
#endif
  // A kernel or file system without it: a hard link never replaces either.
  if (linkat(dir, from.c_str(), dir, to.c_str(), 0) != 0) return false;
  unlinkat(dir, from.c_str(), 0);
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
  dir_ = std::move(other.dir_);
  name_ = std::move(other.name_);
  temp_name_ = std::exchange(other.temp_name_, std::string());
  buffer_ = std::move(other.buffer_);
  used_ = std::exchange(other.used_, 0);
  size_ = std::exchange(other.size_, 0);
  digest_ = other.digest_;
  md5_ = other.md5_;
  return *this;
}

bool PartialFile::Create(int dir, const std::string& name, bool digest) {
  Discard();
  UniqueFd own_dir(fcntl(dir, F_DUPFD_CLOEXEC, 0));
  if (!own_dir) return false;
  static unsigned counter = 0;
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    std::string temp =
        strFormat(".dusk-%d-%u.part", static_cast<int>(getpid()), counter++);
    int fd = openat(own_dir.get(), temp.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kMode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return false;
    fd_.reset(fd);
    dir_ = std::move(own_dir);
    temp_name_ = std::move(temp);
    name_ = name;
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
  bool renamed =
      replace ? renameat(dir_.get(), temp_name_.c_str(), dir_.get(), name_.c_str()) == 0
              : RenameNoReplace(dir_.get(), temp_name_, name_);
  if (!renamed) return false;
  temp_name_.clear();
  fd_.reset();
  dir_.reset();
  buffer_ = std::vector<char>();
  return true;
}

void PartialFile::Discard() {
  if (!temp_name_.empty()) unlinkat(dir_.get(), temp_name_.c_str(), 0);
  temp_name_.clear();
  fd_.reset();
  dir_.reset();
  buffer_ = std::vector<char>();
  used_ = 0;
}

}  // namespace dusk
