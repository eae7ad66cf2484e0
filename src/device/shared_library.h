#ifndef DUSK_DEVICE_SHARED_LIBRARY_H_
#define DUSK_DEVICE_SHARED_LIBRARY_H_

#include <dlfcn.h>

#include <utility>

namespace dusk {

/// Move-only owner of a dlopen() handle; dlclose() on destruction.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  explicit SharedLibrary(void* handle) : handle_(handle) {}
  SharedLibrary(SharedLibrary&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  SharedLibrary& operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  ~SharedLibrary() { reset(); }

  /// dlopen(|path|, |flags|); an empty owner when loading fails (dlerror()
  /// then tells why).
  static SharedLibrary Open(const char* path, int flags) {
    return SharedLibrary(dlopen(path, flags));
  }

  bool valid() const { return handle_ != nullptr; }
  explicit operator bool() const { return valid(); }

  /// The address of |symbol|; null when the library lacks it.
  void* Symbol(const char* symbol) const {
    return handle_ ? dlsym(handle_, symbol) : nullptr;
  }

  /// Unloads the library (if any).
  void reset() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
  }

 private:
  /// The dlopen() handle; null when nothing is owned.
  void* handle_ = nullptr;
};

}  // namespace dusk

#endif  // DUSK_DEVICE_SHARED_LIBRARY_H_
