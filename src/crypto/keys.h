#ifndef DUSK_CRYPTO_KEYS_H_
#define DUSK_CRYPTO_KEYS_H_

// The two secrets that the device and the server share. Both sides compute
// the same device credentials and protected values from them, so they live
// in this one header, which the program and the reference server include.
// Changing a byte here breaks every device that runs an older build.

#include <array>
#include <cstdint>

namespace dusk {

/// DES key of the device credential password (parity bits are ignored).
inline constexpr std::array<uint8_t, 8> kCredentialDesKey = {
    0x29, 0xab, 0xd3, 0x54, 0x77, 0x05, 0xcf, 0x27};

/// AES-256 key of "{AES256}" protected values.
inline constexpr std::array<uint8_t, 32> kProtectedValueKey = {
    0xd9, 0x1e, 0x58, 0x60, 0xd1, 0x3e, 0x8d, 0x90, 0x4d, 0x10, 0xfd,
    0xbf, 0xfb, 0x3d, 0xa2, 0xaa, 0x44, 0x6a, 0x33, 0x13, 0xf1, 0xa1,
    0xa5, 0x6a, 0xed, 0x24, 0x26, 0xd8, 0x05, 0x1b, 0x53, 0xbc};

}  // namespace dusk

#endif  // DUSK_CRYPTO_KEYS_H_
