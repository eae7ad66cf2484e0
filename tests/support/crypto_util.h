#ifndef DUSK_TESTS_SUPPORT_CRYPTO_UTIL_H_
#define DUSK_TESTS_SUPPORT_CRYPTO_UTIL_H_

// Test support of the crypto tests: hexadecimal texts, random bytes, and
// the openssl command as an independent implementation to compare random
// inputs with (tests that use it skip themselves where it is missing).

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dusk::test {

/// Lower-case hexadecimal text of |bytes|.
std::string ToHex(std::string_view bytes);
/// The bytes of the hexadecimal text |hex| (an even number of digits).
std::string FromHex(std::string_view hex);
/// |n| bytes from |random|.
std::string RandomBytes(std::mt19937& random, size_t n);
/// |bytes| as unsigned bytes.
inline std::span<const uint8_t> AsBytes(std::string_view bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

/// Path of the openssl command found on PATH; "" when there is none.
std::string OpensslPath();

/// Skips the test, saying why, when openssl is not installed.
#define DUSK_REQUIRE_OPENSSL()                                                 \
  do {                                                                         \
    if (::dusk::test::OpensslPath().empty())                                   \
      GTEST_SKIP() << "openssl not found on PATH: cross-check against it skipped"; \
  } while (0)

/// Runs "openssl enc" with |args| (cipher and key options) on |input|,
/// passing it through files; the output bytes, or nothing when openssl
/// fails (a cipher its providers lack, for instance).
std::optional<std::string> OpensslEnc(const std::vector<std::string>& args,
                                      const std::string& input);

/// The MD5 digest (lower-case hexadecimal) that "openssl dgst -md5" gives
/// for the file at |path|; nothing when it fails.
std::optional<std::string> OpensslMd5(const std::string& path);

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_CRYPTO_UTIL_H_
