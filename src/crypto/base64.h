#ifndef DUSK_CRYPTO_BASE64_H_
#define DUSK_CRYPTO_BASE64_H_

// Base64 of RFC 4648 (standard alphabet, "=" padding) over caller-supplied
// buffers. The encoder breaks its output into lines of 76 characters; the
// decoder accepts what servers and administrators actually send: white
// space anywhere, missing padding, and a doubled "=" after a complete
// group. Both report their result as a count and -1 on failure, and log
// nothing: the callers know what the failure means to them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace dusk {

/// Characters per encoded line; a line feed (no carriage return) separates
/// lines, and none ends the text.
inline constexpr int kBase64LineLength = 76;

/// Encodes |source| into |target| and returns the number of characters
/// written, line feeds included: 4*ceil(n/3) + floor((4*ceil(n/3) - 1)/76)
/// for n source bytes. Writes no terminator. -1, with nothing written, when
/// |source| is empty, when |target| is smaller than |source|, or when the
/// whole output does not fit |target|.
int base64_encode(std::span<const uint8_t> source, std::span<char> target);

/// Decodes |source| into |target| and returns the number of bytes decoded,
/// or -1. White space (isspace) is skipped; the text ends at its end or at
/// the first "=". Without "=", the bits of an incomplete last group are
/// dropped. A "=" directly followed by "=" ends decoding at once. Otherwise
/// the group must hold 2 characters followed by "==" or 3 followed by "=",
/// only white space may follow, and the left-over bits of the last byte must
/// be zero. Needs one byte of room beyond the decoded bytes while a group
/// is incomplete; that byte then holds the left-over bits (no terminator is
/// written). Fails on a character outside the alphabet, a NUL byte
/// included, and when |target| is too small.
int base64_decode(std::string_view source, std::span<uint8_t> target);

/// The count base64_decode would return for |source| with a target large
/// enough, without writing anything; the left-over bits are not checked.
int base64_decode(std::string_view source);

}  // namespace dusk

#endif  // DUSK_CRYPTO_BASE64_H_
