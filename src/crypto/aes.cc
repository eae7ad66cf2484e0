#include "crypto/aes.h"

#include <utility>

namespace dusk {

namespace {

using Table = std::array<uint32_t, 256>;

/// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t Xtime(uint8_t a) {
  return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
}

constexpr uint8_t Multiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  for (; b != 0; b >>= 1, a = Xtime(a)) {
    if (b & 1) product ^= a;
  }
  return product;
}

constexpr uint8_t RotateLeft8(uint8_t a, int n) {
  return static_cast<uint8_t>((a << n) | (a >> (8 - n)));
}

constexpr std::array<uint8_t, 256> kSbox = [] {
  // Powers of the generator 3 give every non-zero element and, through
  // their exponents, its multiplicative inverse.
  std::array<uint8_t, 255> power{};
  std::array<int, 256> exponent{};
  uint8_t p = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = p;
    exponent[p] = i;
    p = static_cast<uint8_t>(p ^ Xtime(p));
  }
  std::array<uint8_t, 256> sbox{};
  for (int x = 0; x < 256; ++x) {
    uint8_t inverse = x == 0 ? 0 : power[(255 - exponent[x]) % 255];
    sbox[x] = static_cast<uint8_t>(inverse ^ RotateLeft8(inverse, 1) ^
                                   RotateLeft8(inverse, 2) ^ RotateLeft8(inverse, 3) ^
                                   RotateLeft8(inverse, 4) ^ 0x63);
  }
  return sbox;
}();

constexpr std::array<uint8_t, 256> kInverseSbox = [] {
  std::array<uint8_t, 256> inverse{};
  for (int x = 0; x < 256; ++x) inverse[kSbox[x]] = static_cast<uint8_t>(x);
  return inverse;
}();

constexpr uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return (uint32_t{b0} << 24) | (uint32_t{b1} << 16) | (uint32_t{b2} << 8) | b3;
}

constexpr uint32_t RotateRight32(uint32_t w, int n) { return (w >> n) | (w << (32 - n)); }

/// Table |shift| (0 to 3) of one direction: the column that one state byte
/// contributes after the S-box and (Inv)MixColumns, rotated to its row.
constexpr Table MakeTable(bool inverse, int shift) {
  Table table{};
  for (int x = 0; x < 256; ++x) {
    uint32_t column;
    if (!inverse) {
      uint8_t s = kSbox[x];
      column = Word(Multiply(s, 2), s, s, Multiply(s, 3));
    } else {
      uint8_t s = kInverseSbox[x];
      column = Word(Multiply(s, 14), Multiply(s, 9), Multiply(s, 13), Multiply(s, 11));
    }
    table[x] = shift == 0 ? column : RotateRight32(column, 8 * shift);
  }
  return table;
}

constexpr Table kTe0 = MakeTable(false, 0), kTe1 = MakeTable(false, 1),
                kTe2 = MakeTable(false, 2), kTe3 = MakeTable(false, 3);
constexpr Table kTd0 = MakeTable(true, 0), kTd1 = MakeTable(true, 1),
                kTd2 = MakeTable(true, 2), kTd3 = MakeTable(true, 3);

uint32_t Load(std::span<const uint8_t, 16> in, int i) {
  return Word(in[4 * i], in[4 * i + 1], in[4 * i + 2], in[4 * i + 3]);
}

void Store(std::span<uint8_t, 16> out, int i, uint32_t w) {
  out[4 * i] = static_cast<uint8_t>(w >> 24);
  out[4 * i + 1] = static_cast<uint8_t>(w >> 16);
  out[4 * i + 2] = static_cast<uint8_t>(w >> 8);
  out[4 * i + 3] = static_cast<uint8_t>(w);
}

inline uint8_t Byte(uint32_t w, int n) { return static_cast<uint8_t>(w >> (24 - 8 * n)); }

uint32_t SubWord(uint32_t w) {
  return Word(kSbox[Byte(w, 0)], kSbox[Byte(w, 1)], kSbox[Byte(w, 2)], kSbox[Byte(w, 3)]);
}

int CheckKey(std::span<const uint8_t> key, int bits) {
  if (bits != 128 && bits != 192 && bits != 256) return -2;
  if (key.size() != static_cast<size_t>(bits / 8)) return -1;
  return 0;
}

}  // namespace

int AES_expand_encrypt_key(std::span<const uint8_t> key, int bits,
                           AesKeySchedule& schedule) {
  if (int status = CheckKey(key, bits); status != 0) return status;
  const int nk = bits / 32;
  const int rounds = nk + 6;
  const int total = 4 * (rounds + 1);
  AesKeySchedule expanded;
  expanded.rounds = rounds;
  uint32_t* w = expanded.words.data();
  for (int i = 0; i < nk; ++i)
    w[i] = Word(key[4 * i], key[4 * i + 1], key[4 * i + 2], key[4 * i + 3]);
  uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = SubWord((temp << 8) | (temp >> 24)) ^ (uint32_t{rcon} << 24);
      rcon = Xtime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  schedule = expanded;
  return 0;
}

int AES_expand_decrypt_key(std::span<const uint8_t> key, int bits,
                           AesKeySchedule& schedule) {
  AesKeySchedule expanded;
  if (int status = AES_expand_encrypt_key(key, bits, expanded); status != 0)
    return status;
  const int rounds = expanded.rounds;
  uint32_t* w = expanded.words.data();
  for (int i = 0, j = 4 * rounds; i < j; i += 4, j -= 4) {
    for (int k = 0; k < 4; ++k) std::swap(w[i + k], w[j + k]);
  }
  // InvMixColumns on the inner round keys: Td of S-box(x) is InvMixColumns
  // applied to the byte x alone.
  for (int i = 4; i < 4 * rounds; ++i) {
    uint32_t k = w[i];
    w[i] = kTd0[kSbox[Byte(k, 0)]] ^ kTd1[kSbox[Byte(k, 1)]] ^ kTd2[kSbox[Byte(k, 2)]] ^
           kTd3[kSbox[Byte(k, 3)]];
  }
  schedule = expanded;
  return 0;
}

int AES_expand_key_pair(std::span<const uint8_t> key, int bits, AesKeyPair& pair) {
  if (int status = AES_expand_encrypt_key(key, bits, pair.encrypt); status != 0)
    return status;
  return AES_expand_decrypt_key(key, bits, pair.decrypt);
}

void AES_encrypt(std::span<const uint8_t, 16> in, std::span<uint8_t, 16> out,
                 const AesKeySchedule& schedule) {
  const uint32_t* rk = schedule.words.data();
  uint32_t s0 = Load(in, 0) ^ rk[0], s1 = Load(in, 1) ^ rk[1];
  uint32_t s2 = Load(in, 2) ^ rk[2], s3 = Load(in, 3) ^ rk[3];
  for (int round = 1; round < schedule.rounds; ++round) {
    rk += 4;
    uint32_t t0 = kTe0[Byte(s0, 0)] ^ kTe1[Byte(s1, 1)] ^ kTe2[Byte(s2, 2)] ^ kTe3[Byte(s3, 3)] ^ rk[0];
    uint32_t t1 = kTe0[Byte(s1, 0)] ^ kTe1[Byte(s2, 1)] ^ kTe2[Byte(s3, 2)] ^ kTe3[Byte(s0, 3)] ^ rk[1];
    uint32_t t2 = kTe0[Byte(s2, 0)] ^ kTe1[Byte(s3, 1)] ^ kTe2[Byte(s0, 2)] ^ kTe3[Byte(s1, 3)] ^ rk[2];
    uint32_t t3 = kTe0[Byte(s3, 0)] ^ kTe1[Byte(s0, 1)] ^ kTe2[Byte(s1, 2)] ^ kTe3[Byte(s2, 3)] ^ rk[3];
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk += 4;
  // The last round has no MixColumns: plain S-box and ShiftRows.
  auto last = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return Word(kSbox[Byte(a, 0)], kSbox[Byte(b, 1)], kSbox[Byte(c, 2)], kSbox[Byte(d, 3)]);
  };
  Store(out, 0, last(s0, s1, s2, s3) ^ rk[0]);
  Store(out, 1, last(s1, s2, s3, s0) ^ rk[1]);
  Store(out, 2, last(s2, s3, s0, s1) ^ rk[2]);
  Store(out, 3, last(s3, s0, s1, s2) ^ rk[3]);
}

void AES_decrypt(std::span<const uint8_t, 16> in, std::span<uint8_t, 16> out,
                 const AesKeySchedule& schedule) {
  const uint32_t* rk = schedule.words.data();
  uint32_t s0 = Load(in, 0) ^ rk[0], s1 = Load(in, 1) ^ rk[1];
  uint32_t s2 = Load(in, 2) ^ rk[2], s3 = Load(in, 3) ^ rk[3];
  for (int round = 1; round < schedule.rounds; ++round) {
    rk += 4;
    uint32_t t0 = kTd0[Byte(s0, 0)] ^ kTd1[Byte(s3, 1)] ^ kTd2[Byte(s2, 2)] ^ kTd3[Byte(s1, 3)] ^ rk[0];
    uint32_t t1 = kTd0[Byte(s1, 0)] ^ kTd1[Byte(s0, 1)] ^ kTd2[Byte(s3, 2)] ^ kTd3[Byte(s2, 3)] ^ rk[1];
    uint32_t t2 = kTd0[Byte(s2, 0)] ^ kTd1[Byte(s1, 1)] ^ kTd2[Byte(s0, 2)] ^ kTd3[Byte(s3, 3)] ^ rk[2];
    uint32_t t3 = kTd0[Byte(s3, 0)] ^ kTd1[Byte(s2, 1)] ^ kTd2[Byte(s1, 2)] ^ kTd3[Byte(s0, 3)] ^ rk[3];
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk += 4;
  auto last = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return Word(kInverseSbox[Byte(a, 0)], kInverseSbox[Byte(b, 1)], kInverseSbox[Byte(c, 2)],
                kInverseSbox[Byte(d, 3)]);
  };
  Store(out, 0, last(s0, s3, s2, s1) ^ rk[0]);
  Store(out, 1, last(s1, s0, s3, s2) ^ rk[1]);
  Store(out, 2, last(s2, s1, s0, s3) ^ rk[2]);
  Store(out, 3, last(s3, s2, s1, s0) ^ rk[3]);
}

void AES_ecb_encrypt(std::span<const uint8_t, 16> in, std::span<uint8_t, 16> out,
                     const AesKeySchedule& schedule, AesDirection direction) {
  if (direction == AesDirection::kEncrypt)
    AES_encrypt(in, out, schedule);
  else
    AES_decrypt(in, out, schedule);
}

}  // namespace dusk
