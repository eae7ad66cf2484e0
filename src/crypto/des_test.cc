#include "crypto/des.h"

#include <gtest/gtest.h>

#include <string>

#include "support/crypto_util.h"

namespace dusk {
namespace {

using test::FromHex;
using test::ToHex;

std::string Encrypt(const std::string& key, const std::string& plain) {
  std::array<uint8_t, 8> key_bytes, block;
  std::copy(key.begin(), key.end(), key_bytes.begin());
  std::copy(plain.begin(), plain.end(), block.begin());
  DesEncrypt(block, DesExpandKey(key_bytes));
  return std::string(block.begin(), block.end());
}

TEST(DesTest, StandardKnownAnswers) {
  struct {
    const char* name;
    const char* key;
    const char* plain;
    const char* cipher;
  } cases[] = {
      {"FIPS 81 example", "0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
      {"worked example", "133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
      {"variable plaintext, first", "0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
      {"variable plaintext, last", "0101010101010101", "0000000000000001", "166b40b44aba4bd6"},
      {"variable key, first", "8001010101010101", "0000000000000000", "95a8d72813daa94d"},
      {"substitution table, first", "7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string key = FromHex(c.key);
    EXPECT_EQ(ToHex(Encrypt(key, FromHex(c.plain))), c.cipher);
    // The low bit of every key byte is parity, ignored by the cipher.
    for (char& k : key) k = static_cast<char>(k ^ 1);
    EXPECT_EQ(ToHex(Encrypt(key, FromHex(c.plain))), c.cipher);
  }
}

TEST(DesTest, AgreesWithOpensslOnRandomInput) {
  DUSK_REQUIRE_OPENSSL();
  std::mt19937 random(463);
  for (int round = 0; round < 8; ++round) {
    std::string key = test::RandomBytes(random, 8);
    std::string plain = test::RandomBytes(random, 8);
    SCOPED_TRACE(testing::Message() << "key " << ToHex(key) << " plain " << ToHex(plain));
    std::vector<std::string> args = {"-des-ecb", "-nopad", "-K", ToHex(key)};
    std::optional<std::string> expected = test::OpensslEnc(args, plain);
    if (!expected) {
      // OpenSSL 3 keeps DES in its legacy provider.
      args.insert(args.end(), {"-provider", "legacy", "-provider", "default"});
      expected = test::OpensslEnc(args, plain);
    }
    if (!expected) GTEST_SKIP() << "this openssl cannot run DES-ECB: cross-check skipped";
    EXPECT_EQ(ToHex(Encrypt(key, plain)), ToHex(*expected));
  }
}

}  // namespace
}  // namespace dusk
