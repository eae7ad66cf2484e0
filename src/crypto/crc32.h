#ifndef DUSK_CRYPTO_CRC32_H_
#define DUSK_CRYPTO_CRC32_H_

#include <cstdint>
#include <string_view>

namespace dusk {

/// CRC-32 of the bytes of |text| as zlib and PNG compute it (reflected
/// polynomial 0xedb88320, register preset to all ones, result inverted):
/// "123456789" gives 0xcbf43926, the empty text 0.
uint32_t StringCrc32(std::string_view text);

}  // namespace dusk

#endif  // DUSK_CRYPTO_CRC32_H_
