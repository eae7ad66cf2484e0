#ifndef DUSK_CRYPTO_DES_H_
#define DUSK_CRYPTO_DES_H_

// Single DES of FIPS 46-3, encryption only: the device enciphers one block
// to build its credential password and never deciphers. Bits are numbered
// from the most significant bit of the first byte, as in the standard; the
// parity bits of the key are ignored. The permutations are applied bit by
// bit from the standard's tables: a handful of blocks per request does not
// need anything faster, and the tables can be checked against the standard
// by eye.

#include <array>
#include <cstdint>
#include <span>

namespace dusk {

/// The 16 round keys of 48 bits, each in the low bits of a word.
using DesKeySchedule = std::array<uint64_t, 16>;

/// The round keys of |key|.
DesKeySchedule DesExpandKey(std::span<const uint8_t, 8> key);

/// Enciphers |block| in place (ECB) under |schedule|.
void DesEncrypt(std::span<uint8_t, 8> block, const DesKeySchedule& schedule);

/// Enciphers |block| in place under the built-in credential key; its round
/// keys are computed at the first call and kept for the process.
void DesEncryptBlock(std::span<uint8_t, 8> block);

}  // namespace dusk

#endif  // DUSK_CRYPTO_DES_H_
