#ifndef DUSK_INSTALL_MEDIA_TARGET_H_
#define DUSK_INSTALL_MEDIA_TARGET_H_

// The device side of a media download: which file paths the server may
// name, and the file a download is written into.
//
// The server names the files (in the media content file list, or as the
// path of "-get"), and the program writes them as root. A path is therefore
// only taken when it stays below the target directory: relative and without
// a ".." component; the directories on its way are opened one below the
// other without following a link (util/trusted_directory.h).
//
// A file is written under a temporary name in its final directory and
// renamed into place only once it is whole and checked, so that no reader
// ever finds half a file (or an unchecked one) under the final name, and a
// failed download leaves nothing behind. It is worked through the
// descriptor of that directory, so no name on the way can be swapped.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/md5.h"
#include "util/unique_fd.h"

namespace dusk {

/// Bytes gathered before one write to the file.
inline constexpr size_t kPartialFileBuffer = 1024 * 1024;

/// True when |path| can name a file below a target directory: not empty,
/// not absolute, no "." or ".." as its last component and no ".." anywhere,
/// not ending in "/", and no control character (a path also goes into the
/// request line).
bool IsSafeMediaFilePath(std::string_view path);

/// The mode that a listed mode stands for: its decimal digits read as an
/// octal number (755 gives 0755). False for a digit 8 or 9, a negative
/// number, or bits beyond 07777; 0 gives 0 (leave the mode alone).
bool ListedModeBits(int listed, mode_t* mode);

/// A file being downloaded. Bytes go to a temporary file beside the final
/// one, through a large buffer, and optionally through an MD5 digest as
/// they go; Commit gives the file its final name. A file dropped without
/// Commit is removed. Move-only.
class PartialFile {
 public:
  PartialFile() = default;
  ~PartialFile() { Discard(); }
  PartialFile(PartialFile&& other) noexcept;
  PartialFile& operator=(PartialFile&& other) noexcept;
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  /// Mode of a new file before any listed mode is set (less the umask):
  /// nobody else writes to what the program will run.
  static constexpr mode_t kMode = 0644;

  /// Creates a fresh temporary file (kMode) in the open directory |dir|,
  /// which keeps it until Commit names it |name| there, digesting what is
  /// written when |digest|. False, with errno set, when it cannot be made.
  bool Create(int dir, const std::string& name, bool digest);
  /// True between a successful Create and Commit or Discard.
  bool valid() const { return fd_.valid(); }

  /// Room for |want| more bytes at the end of the buffer (written out first
  /// when it has less room); null, with errno set, when that write fails.
  char* Room(size_t want);
  /// Takes the first |count| bytes of the last Room as written.
  void Filled(size_t count);
  /// Appends |data|; false, with errno set, when a write fails.
  bool Append(std::string_view data);
  /// Writes out what the buffer holds; false, with errno set, on failure.
  bool Finish();

  /// Bytes appended so far.
  int64_t size() const { return size_; }
  /// The digest of the bytes written out so far, in Md5Hex form; "" when
  /// none is taken. Call after Finish.
  std::string DigestHex();

  /// fchmod of the temporary file; false with errno set.
  bool SetMode(mode_t mode);
  /// Writes out the buffer and renames the file to its final name in its
  /// directory:
  /// replacing a file there when |replace|, else failing with EEXIST when
  /// anything is there. False, with errno set, on failure (the temporary
  /// file stays until Discard).
  bool Commit(bool replace);
  /// Removes the temporary file, unless committed.
  void Discard();

  /// The temporary file's name in its directory ("" when there is none).
  const std::string& temp_name() const { return temp_name_; }

 private:
  /// Writes buffer_[0..used_) to the file and the digest.
  bool WriteBuffer();

  UniqueFd fd_;
  /// The directory of the file, its final name and its temporary one.
  UniqueFd dir_;
  std::string name_;
  std::string temp_name_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  int64_t size_ = 0;
  bool digest_ = false;
  Md5Context md5_{};
};

}  // namespace dusk

#endif  // DUSK_INSTALL_MEDIA_TARGET_H_
