// The Base64 decoder over arbitrary text, with targets of every size. What
// it accepts must agree with its count-only form and survive re-encoding.

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "crypto/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  // A roomy target: one byte per character is always enough.
  std::vector<uint8_t> target(size + 1);
  const int count = dusk::base64_decode(text, target);
  const int counted = dusk::base64_decode(text);
  if (count >= 0 && counted != count) abort();

  // A tight target, its size taken from the text, must fail rather than
  // write past its end.
  std::vector<uint8_t> small(size % 7);
  const int small_count = dusk::base64_decode(text, small);
  if (small_count > static_cast<int>(small.size())) abort();

  if (count > 0) {
    std::vector<char> encoded(4 * static_cast<size_t>(count) + 64);
    const int length = dusk::base64_encode(
        std::span<const uint8_t>(target.data(), static_cast<size_t>(count)), encoded);
    if (length <= 0) abort();
    std::vector<uint8_t> again(static_cast<size_t>(length) + 1);
    const int again_count =
        dusk::base64_decode(std::string_view(encoded.data(), static_cast<size_t>(length)), again);
    if (again_count != count) abort();
    for (int i = 0; i < count; ++i) {
      if (again[i] != target[i]) abort();
    }
  }
  return 0;
}
