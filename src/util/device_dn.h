#ifndef DUSK_UTIL_DEVICE_DN_H_
#define DUSK_UTIL_DEVICE_DN_H_

#include <cstddef>

namespace dusk {

/// Longest device DN. The server assigns DNs of at most this many
/// characters, the credentials are computed over at most this many, and the
/// agent's object file keeps the length in one byte.
inline constexpr size_t kDeviceDnMax = 255;

}  // namespace dusk

#endif  // DUSK_UTIL_DEVICE_DN_H_
