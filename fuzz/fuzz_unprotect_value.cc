// Unprotecting whatever a peer sends as a user name, password or command.
// The result is the text itself or shorter; a value protected here comes
// back exactly.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "crypto/protected_value.h"
#include "log/log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool silenced = (dusk::LogSilence(), true);
  (void)silenced;
  std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string plain = dusk::UnprotectValue(text);
  if (!dusk::IsProtectedValue(text) && plain != text) abort();
  if (plain.size() > text.size()) abort();

  // The same bytes as a value to protect: NUL padding comes off exactly.
  if (!text.empty() && !dusk::IsProtectedValue(text) &&
      text.find('\0') == std::string_view::npos) {
    const std::string protected_text = dusk::ProtectValue(text, true);
    if (dusk::UnprotectValue(protected_text) != text) abort();
  }
  return 0;
}
