#include "crypto/base64.h"

#include <array>
#include <cctype>
#include <climits>

namespace dusk {

namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int8_t kNotInAlphabet = -1;

/// Value of every byte in the alphabet, kNotInAlphabet for the others.
constexpr std::array<int8_t, 256> kValues = [] {
  std::array<int8_t, 256> values{};
  values.fill(kNotInAlphabet);
  for (int i = 0; i < 64; ++i) values[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
  return values;
}();

bool IsSpace(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

/// The decoder proper. Without |write| only the count is wanted: the room
/// checks and the left-over check then do not apply.
int Decode(std::string_view source, std::span<uint8_t> target, bool write) {
  uint8_t* out = target.data();
  const size_t size = target.size();
  size_t index = 0;
  int state = 0;
  size_t pos = 0;
  for (; pos < source.size(); ++pos) {
    char c = source[pos];
    if (IsSpace(c)) continue;
    if (c == '=') break;
    int v = kValues[static_cast<uint8_t>(c)];
    if (v == kNotInAlphabet) return -1;
    switch (state) {
      case 0:
        if (write) {
          if (index >= size) return -1;
          out[index] = static_cast<uint8_t>(v << 2);
        }
        state = 1;
        break;
      case 1:
        if (write) {
          if (index + 1 >= size) return -1;
          out[index] |= static_cast<uint8_t>(v >> 4);
          out[index + 1] = static_cast<uint8_t>((v & 0x0f) << 4);
        }
        ++index;
        state = 2;
        break;
      case 2:
        if (write) {
          if (index + 1 >= size) return -1;
          out[index] |= static_cast<uint8_t>(v >> 2);
          out[index + 1] = static_cast<uint8_t>((v & 0x03) << 6);
        }
        ++index;
        state = 3;
        break;
      default:
        if (write) {
          if (index >= size) return -1;
          out[index] |= static_cast<uint8_t>(v);
        }
        ++index;
        state = 0;
        break;
    }
  }
  if (pos == source.size()) return static_cast<int>(index);

  // A "=" stopped the loop at |pos|.
  ++pos;
  if (pos < source.size() && source[pos] == '=') return static_cast<int>(index);
  if (state == 0 || state == 1) return -1;
  if (state == 2) {
    while (pos < source.size() && IsSpace(source[pos])) ++pos;
    if (pos == source.size() || source[pos] != '=') return -1;
    ++pos;
  }
  for (; pos < source.size(); ++pos) {
    if (!IsSpace(source[pos])) return -1;
  }
  // States 2 and 3 left room for this byte (checked when it was written).
  if (write && out[index] != 0) return -1;
  return static_cast<int>(index);
}

}  // namespace

int base64_encode(std::span<const uint8_t> source, std::span<char> target) {
  const size_t n = source.size();
  if (n < 1 || target.size() < n) return -1;
  const size_t groups = (n + 2) / 3;
  const size_t line_feeds = (4 * groups - 1) / kBase64LineLength;
  const size_t total = 4 * groups + line_feeds;
  if (total > target.size() || total > static_cast<size_t>(INT_MAX)) return -1;

  size_t written = 0;
  int line_position = 1;
  for (size_t i = 0; i < n; i += 3) {
    if (line_position > kBase64LineLength) {
      target[written++] = '\n';
      line_position = 1;
    }
    const size_t real = n - i < 3 ? n - i : 3;
    uint32_t group = static_cast<uint32_t>(source[i]) << 16;
    if (real > 1) group |= static_cast<uint32_t>(source[i + 1]) << 8;
    if (real > 2) group |= source[i + 2];
    target[written++] = kAlphabet[(group >> 18) & 0x3f];
    target[written++] = kAlphabet[(group >> 12) & 0x3f];
    target[written++] = real > 1 ? kAlphabet[(group >> 6) & 0x3f] : '=';
    target[written++] = real > 2 ? kAlphabet[group & 0x3f] : '=';
    line_position += 4;
  }
  return static_cast<int>(written);
}

int base64_decode(std::string_view source, std::span<uint8_t> target) {
  if (source.size() > static_cast<size_t>(INT_MAX)) return -1;
  return Decode(source, target, true);
}

int base64_decode(std::string_view source) {
  if (source.size() > static_cast<size_t>(INT_MAX)) return -1;
  return Decode(source, {}, false);
}

}  // namespace dusk
