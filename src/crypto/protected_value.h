#ifndef DUSK_CRYPTO_PROTECTED_VALUE_H_
#define DUSK_CRYPTO_PROTECTED_VALUE_H_

// Protected values: "{AES256}" followed by the Base64 text (with its line
// feeds every 76 characters) of the value enciphered with AES-256 in ECB
// mode under the key shared with the server (crypto/keys.h). The value is
// padded to whole 16-byte blocks with NUL bytes or blanks, as the
// protecting side chooses; unprotecting drops everything from the first NUL
// byte, so NUL padding vanishes while blank padding stays as trailing
// blanks. The server sends user names, passwords and commands this way;
// the device only unprotects, ProtectValue is the server's half.

#include <string>
#include <string_view>

namespace dusk {

/// The text that marks a protected value (letter case matters).
inline constexpr std::string_view kProtectedValuePrefix = "{AES256}";

/// Expands the built-in key into the process-wide key context. The service
/// calls it at start; the two operations below call it when nobody has.
void ProtectedValueInit();

/// True when |text| begins with kProtectedValuePrefix.
bool IsProtectedValue(std::string_view text);

/// The protected form of |plain|, padded with NUL bytes when |pad_with_nul|
/// is set and with blanks otherwise. A text that is already protected comes
/// back unchanged. When the value cannot be protected (the empty text, or
/// memory runs out) logs "base64_encode Failed" at Error and returns
/// |plain| unchanged.
std::string ProtectValue(std::string_view plain, bool pad_with_nul);

/// The plain value of a protected |text|, cut at its first NUL byte; a
/// trailing piece of cipher text shorter than a block is ignored. A text
/// without the prefix comes back unchanged. When the Base64 part is empty
/// or not valid (or memory runs out) logs "base64_decode Failed" at Error
/// and returns |text| unchanged.
std::string UnprotectValue(std::string_view text);

}  // namespace dusk

#endif  // DUSK_CRYPTO_PROTECTED_VALUE_H_
