#include "crypto/crc32.h"

#include <array>

namespace dusk {

namespace {

constexpr std::array<uint32_t, 256> kTable = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

}  // namespace

uint32_t StringCrc32(std::string_view text) {
  uint32_t c = 0xffffffffu;
  for (char ch : text) c = kTable[(c ^ static_cast<uint8_t>(ch)) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

}  // namespace dusk
