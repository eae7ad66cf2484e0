#ifndef DUSK_CRYPTO_AES_H_
#define DUSK_CRYPTO_AES_H_

// The AES block cipher for 128-, 192- and 256-bit keys, table-driven.
//
// The four 256-word round tables for each direction combine SubBytes,
// ShiftRows and MixColumns (or their inverses), so one round of one column
// is four look-ups and four XORs. The tables are computed at compile time
// from the field arithmetic rather than typed in, so there is nothing to
// mistype. Decryption uses the equivalent inverse cipher: its key schedule
// is the encryption schedule in reverse round order with InvMixColumns
// applied to the inner round keys, which lets decryption share the shape
// of encryption. Blocks are read and written as big-endian words, so the
// results do not depend on the host's byte order.
//
// The C interface this replaces asserted that input, output and schedule
// were not null; spans of fixed extent and references make that
// impossible here, and the direction is an enum with two values.

#include <array>
#include <cstdint>
#include <span>

namespace dusk {

/// The expanded key of one direction.
struct AesKeySchedule {
  /// Round keys; the first 4 * (rounds + 1) words are used.
  std::array<uint32_t, 60> words{};
  /// 10, 12 or 14 once expanded; 0 before.
  int rounds = 0;
};

/// The two schedules expanded from one key.
struct AesKeyPair {
  AesKeySchedule encrypt;
  AesKeySchedule decrypt;
};

/// Expands |key| of |bits| bits (128, 192 or 256) for encryption. 0 on
/// success; -1 when |key| does not hold bits / 8 bytes; -2 when |bits| is
/// not one of the three lengths. |schedule| is untouched on failure.
int AES_expand_encrypt_key(std::span<const uint8_t> key, int bits,
                           AesKeySchedule& schedule);

/// As AES_expand_encrypt_key, for decryption with AES_decrypt.
int AES_expand_decrypt_key(std::span<const uint8_t> key, int bits,
                           AesKeySchedule& schedule);

/// Expands both schedules; the first non-zero result, else 0. The decrypt
/// schedule is expanded only when the encrypt one succeeded.
int AES_expand_key_pair(std::span<const uint8_t> key, int bits, AesKeyPair& pair);

/// Enciphers one block. |in| and |out| may be the same bytes.
void AES_encrypt(std::span<const uint8_t, 16> in, std::span<uint8_t, 16> out,
                 const AesKeySchedule& schedule);

/// Deciphers one block with a schedule from AES_expand_decrypt_key. |in| and
/// |out| may be the same bytes.
void AES_decrypt(std::span<const uint8_t, 16> in, std::span<uint8_t, 16> out,
                 const AesKeySchedule& schedule);

/// Which way AES_ecb_encrypt works.
enum class AesDirection { kDecrypt = 0, kEncrypt = 1 };

/// One block in ECB mode: AES_encrypt or AES_decrypt by |direction|.
void AES_ecb_encrypt(std::span<const uint8_t, 16> in, std::span<uint8_t, 16> out,
                     const AesKeySchedule& schedule, AesDirection direction);

}  // namespace dusk

#endif  // DUSK_CRYPTO_AES_H_
