#ifndef DUSK_UTIL_UNIQUE_FD_H_
#define DUSK_UTIL_UNIQUE_FD_H_

#include <unistd.h>

#include <utility>

namespace dusk {

/// Move-only owner of a file descriptor or socket.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  /// Gives up ownership without closing.
  int release() { return std::exchange(fd_, -1); }
  /// Closes the owned descriptor (if any) and takes |fd|.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  /// The descriptor; -1 when nothing is owned.
  int fd_ = -1;
};

}  // namespace dusk

#endif  // DUSK_UTIL_UNIQUE_FD_H_
