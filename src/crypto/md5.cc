#include "crypto/md5.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>

#include "log/log.h"
#include "util/files.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

inline uint32_t LoadLittle(const uint8_t* p) {
  uint32_t w;
  memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
  return w;
}

// The four rounds. G and I are written so that the part that does not
// depend on b can start before b is known; the two terms of G have no bit
// in common, so adding them equals OR-ing them.
template <int s>
inline void StepF(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  a += x + t;
  a += d ^ (b & (c ^ d));
  a = std::rotl(a, s) + b;
}

template <int s>
inline void StepG(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  a += x + t;
  a += c & ~d;
  a += b & d;
  a = std::rotl(a, s) + b;
}

template <int s>
inline void StepH(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  a += x + t;
  a += b ^ c ^ d;
  a = std::rotl(a, s) + b;
}

template <int s>
inline void StepI(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  a += x + t;
  a += c ^ (b | ~d);
  a = std::rotl(a, s) + b;
}

/// Runs |count| consecutive 64-byte blocks at |p| through the compression
/// function.
void Compress(std::array<uint32_t, 4>& state, const uint8_t* p, size_t count) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; count > 0; --count, p += 64) {
    const uint32_t x0 = LoadLittle(p), x1 = LoadLittle(p + 4), x2 = LoadLittle(p + 8),
                   x3 = LoadLittle(p + 12), x4 = LoadLittle(p + 16), x5 = LoadLittle(p + 20),
                   x6 = LoadLittle(p + 24), x7 = LoadLittle(p + 28), x8 = LoadLittle(p + 32),
                   x9 = LoadLittle(p + 36), x10 = LoadLittle(p + 40), x11 = LoadLittle(p + 44),
                   x12 = LoadLittle(p + 48), x13 = LoadLittle(p + 52),
                   x14 = LoadLittle(p + 56), x15 = LoadLittle(p + 60);
    const uint32_t aa = a, bb = b, cc = c, dd = d;

    StepF<7>(a, b, c, d, x0, 0xd76aa478);
    StepF<12>(d, a, b, c, x1, 0xe8c7b756);
    StepF<17>(c, d, a, b, x2, 0x242070db);
    StepF<22>(b, c, d, a, x3, 0xc1bdceee);
    StepF<7>(a, b, c, d, x4, 0xf57c0faf);
    StepF<12>(d, a, b, c, x5, 0x4787c62a);
    StepF<17>(c, d, a, b, x6, 0xa8304613);
    StepF<22>(b, c, d, a, x7, 0xfd469501);
    StepF<7>(a, b, c, d, x8, 0x698098d8);
    StepF<12>(d, a, b, c, x9, 0x8b44f7af);
    StepF<17>(c, d, a, b, x10, 0xffff5bb1);
    StepF<22>(b, c, d, a, x11, 0x895cd7be);
    StepF<7>(a, b, c, d, x12, 0x6b901122);
    StepF<12>(d, a, b, c, x13, 0xfd987193);
    StepF<17>(c, d, a, b, x14, 0xa679438e);
    StepF<22>(b, c, d, a, x15, 0x49b40821);

    StepG<5>(a, b, c, d, x1, 0xf61e2562);
    StepG<9>(d, a, b, c, x6, 0xc040b340);
    StepG<14>(c, d, a, b, x11, 0x265e5a51);
    StepG<20>(b, c, d, a, x0, 0xe9b6c7aa);
    StepG<5>(a, b, c, d, x5, 0xd62f105d);
    StepG<9>(d, a, b, c, x10, 0x02441453);
    StepG<14>(c, d, a, b, x15, 0xd8a1e681);
    StepG<20>(b, c, d, a, x4, 0xe7d3fbc8);
    StepG<5>(a, b, c, d, x9, 0x21e1cde6);
    StepG<9>(d, a, b, c, x14, 0xc33707d6);
    StepG<14>(c, d, a, b, x3, 0xf4d50d87);
    StepG<20>(b, c, d, a, x8, 0x455a14ed);
    StepG<5>(a, b, c, d, x13, 0xa9e3e905);
    StepG<9>(d, a, b, c, x2, 0xfcefa3f8);
    StepG<14>(c, d, a, b, x7, 0x676f02d9);
    StepG<20>(b, c, d, a, x12, 0x8d2a4c8a);

    StepH<4>(a, b, c, d, x5, 0xfffa3942);
    StepH<11>(d, a, b, c, x8, 0x8771f681);
    StepH<16>(c, d, a, b, x11, 0x6d9d6122);
    StepH<23>(b, c, d, a, x14, 0xfde5380c);
    StepH<4>(a, b, c, d, x1, 0xa4beea44);
    StepH<11>(d, a, b, c, x4, 0x4bdecfa9);
    StepH<16>(c, d, a, b, x7, 0xf6bb4b60);
    StepH<23>(b, c, d, a, x10, 0xbebfbc70);
    StepH<4>(a, b, c, d, x13, 0x289b7ec6);
    StepH<11>(d, a, b, c, x0, 0xeaa127fa);
    StepH<16>(c, d, a, b, x3, 0xd4ef3085);
    StepH<23>(b, c, d, a, x6, 0x04881d05);
    StepH<4>(a, b, c, d, x9, 0xd9d4d039);
    StepH<11>(d, a, b, c, x12, 0xe6db99e5);
    StepH<16>(c, d, a, b, x15, 0x1fa27cf8);
    StepH<23>(b, c, d, a, x2, 0xc4ac5665);

    StepI<6>(a, b, c, d, x0, 0xf4292244);
    StepI<10>(d, a, b, c, x7, 0x432aff97);
    StepI<15>(c, d, a, b, x14, 0xab9423a7);
    StepI<21>(b, c, d, a, x5, 0xfc93a039);
    StepI<6>(a, b, c, d, x12, 0x655b59c3);
    StepI<10>(d, a, b, c, x3, 0x8f0ccc92);
    StepI<15>(c, d, a, b, x10, 0xffeff47d);
    StepI<21>(b, c, d, a, x1, 0x85845dd1);
    StepI<6>(a, b, c, d, x8, 0x6fa87e4f);
    StepI<10>(d, a, b, c, x15, 0xfe2ce6e0);
    StepI<15>(c, d, a, b, x6, 0xa3014314);
    StepI<21>(b, c, d, a, x13, 0x4e0811a1);
    StepI<6>(a, b, c, d, x4, 0xf7537e82);
    StepI<10>(d, a, b, c, x11, 0xbd3af235);
    StepI<15>(c, d, a, b, x2, 0x2ad7d2bb);
    StepI<21>(b, c, d, a, x9, 0xeb86d391);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state = {a, b, c, d};
}

}  // namespace

void Md5Begin(Md5Context& context) {
  context.state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  context.bits = {0, 0};
}

void Md5Add(Md5Context& context, std::span<const uint8_t> data) {
  if (data.empty()) return;
  size_t used = (context.bits[0] >> 3) & 63;
  const uint64_t added_bits = static_cast<uint64_t>(data.size()) << 3;
  const uint32_t low = context.bits[0] + static_cast<uint32_t>(added_bits);
  context.bits[1] += static_cast<uint32_t>(added_bits >> 32) + (low < context.bits[0] ? 1 : 0);
  context.bits[0] = low;

  const uint8_t* p = data.data();
  size_t left = data.size();
  if (used != 0) {
    size_t take = std::min(left, 64 - used);
    memcpy(context.block.data() + used, p, take);
    p += take;
    left -= take;
    if (used + take < 64) return;
    Compress(context.state, context.block.data(), 1);
  }
  Compress(context.state, p, left / 64);
  p += left / 64 * 64;
  left %= 64;
  if (left != 0) memcpy(context.block.data(), p, left);
}

Md5Value Md5End(Md5Context& context) {
  std::array<uint8_t, 8> length;
  for (int i = 0; i < 4; ++i) {
    length[i] = static_cast<uint8_t>(context.bits[0] >> (8 * i));
    length[4 + i] = static_cast<uint8_t>(context.bits[1] >> (8 * i));
  }
  // 0x80, then zeros up to 56 bytes modulo 64, then the length.
  static constexpr uint8_t kPadding[64] = {0x80};
  size_t used = (context.bits[0] >> 3) & 63;
  size_t pad = used < 56 ? 56 - used : 120 - used;
  Md5Add(context, std::span<const uint8_t>(kPadding, pad));
  Md5Add(context, length);

  Md5Value digest;
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 4; ++k)
      digest[4 * i + k] = static_cast<uint8_t>(context.state[i] >> (8 * k));
  }
  return digest;
}

std::string Md5Hex(const Md5Value& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digest.size());
  for (uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0f];
  }
  return hex;
}

std::string Md5Of(std::string_view data) {
  Md5Context context;
  Md5Begin(context);
  Md5Add(context, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()),
                                           data.size()));
  return Md5Hex(Md5End(context));
}

std::string MD5Digest(const std::string& path) {
  LogMessage(kLogTrace, "MD5Digest: filename=%s", path.c_str());
  if (path.empty()) return std::string();
  if (!FileExists(path)) {
    LogMessage(kLogWarn, "MD5Digest: Filename specified %s does not exist", path.c_str());
    return std::string();
  }
  Md5Context context;
  Md5Begin(context);
  UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) {
    LogMessage(kLogError, "MD5Digest: Could not file %s specified", path.c_str());
    return std::string();
  }
  posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  LogMessage(kLogDebug, "Calculating MD5 of file \"%s\" ...", path.c_str());

  auto piece = std::make_unique_for_overwrite<uint8_t[]>(kMd5ReadPiece);
  for (;;) {
    ssize_t got = read(file.get(), piece.get(), kMd5ReadPiece);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      LogMessage(kLogError, "MD5Digest: Failed to read %s - %s", path.c_str(),
                 ErrorText(err).c_str());
      return std::string();
    }
    Md5Add(context, std::span<const uint8_t>(piece.get(), static_cast<size_t>(got)));
  }
  file.reset();
  std::string hex = Md5Hex(Md5End(context));
  LogMessage(kLogDebug, "MD5 of \"%s\" = \"%s\"", path.c_str(), hex.c_str());
  return hex;
}

}  // namespace dusk
