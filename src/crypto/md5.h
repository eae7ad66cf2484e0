#ifndef DUSK_CRYPTO_MD5_H_
#define DUSK_CRYPTO_MD5_H_

// MD5 of RFC 1321, and the digest of a file as the media download checks
// it. Every downloaded media file goes through here, so the compression
// function is written for speed: whole blocks are hashed straight from the
// caller's bytes, the 64 steps are unrolled, and the state stays in
// registers across the blocks of one call.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dusk {

/// Files are read in pieces of this many bytes, never whole.
inline constexpr size_t kMd5ReadPiece = 2 * 1024 * 1024;

/// The running state of one digest.
struct Md5Context {
  /// Chaining values A, B, C, D.
  std::array<uint32_t, 4> state{};
  /// Message length in bits, low word first.
  std::array<uint32_t, 2> bits{};
  /// The partial block; (bits[0] / 8) % 64 bytes of it are used.
  std::array<uint8_t, 64> block{};
};

/// A digest: A, B, C, D as 4 little-endian bytes each.
using Md5Value = std::array<uint8_t, 16>;

/// Starts a digest.
void Md5Begin(Md5Context& context);

/// Adds |data| to the message.
void Md5Add(Md5Context& context, std::span<const uint8_t> data);

/// Pads the message, and returns its digest. |context| must be restarted
/// with Md5Begin before it is used again.
Md5Value Md5End(Md5Context& context);

/// 32 lower-case hexadecimal digits, high nibble first.
std::string Md5Hex(const Md5Value& digest);

/// The digest of |data| in Md5Hex form.
std::string Md5Of(std::string_view data);

/// The digest of the file at |path| in Md5Hex form, read in pieces of
/// kMd5ReadPiece; "" when there is none. Logs at Trace "MD5Digest:
/// filename=%s"; a missing file at Warn "MD5Digest: Filename specified %s
/// does not exist", a file that cannot be opened at Error "MD5Digest: Could
/// not file %s specified", a read error at Error "MD5Digest: Failed to read
/// %s - %s" (a partial digest never stands for the file's digest), and at
/// Debug the start and the result.
std::string MD5Digest(const std::string& path);

}  // namespace dusk

#endif  // DUSK_CRYPTO_MD5_H_
