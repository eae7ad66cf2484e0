#include "crypto/aes.h"

#include <gtest/gtest.h>

#include <string>

#include "support/crypto_util.h"

namespace dusk {
namespace {

using test::AsBytes;
using test::FromHex;
using test::ToHex;

enum class Way { kEncrypt, kDecrypt };

/// One block through AES_ecb_encrypt with a fresh schedule of |key|.
std::string Block(Way way, const std::string& key, const std::string& in) {
  AesKeySchedule schedule;
  int bits = static_cast<int>(key.size() * 8);
  int status = way == Way::kEncrypt ? AES_expand_encrypt_key(AsBytes(key), bits, schedule)
                                    : AES_expand_decrypt_key(AsBytes(key), bits, schedule);
  EXPECT_EQ(status, 0);
  std::string out(16, '\0');
  AES_ecb_encrypt(std::span<const uint8_t, 16>(AsBytes(in).data(), 16),
                  std::span<uint8_t, 16>(reinterpret_cast<uint8_t*>(out.data()), 16),
                  schedule,
                  way == Way::kEncrypt ? AesDirection::kEncrypt : AesDirection::kDecrypt);
  return out;
}

TEST(AesTest, StandardKnownAnswers) {
  struct {
    const char* name;
    const char* key;
    const char* plain;
    const char* cipher;
    int rounds;
  } cases[] = {
      {"FIPS-197 C.1", "000102030405060708090a0b0c0d0e0f",
       "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a", 10},
      {"FIPS-197 C.2", "000102030405060708090a0b0c0d0e0f1011121314151617",
       "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191", 12},
      {"FIPS-197 C.3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089", 14},
      {"FIPS-197 B", "2b7e151628aed2a6abf7158809cf4f3c",
       "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string key = FromHex(c.key);
    EXPECT_EQ(ToHex(Block(Way::kEncrypt, key, FromHex(c.plain))), c.cipher);
    EXPECT_EQ(ToHex(Block(Way::kDecrypt, key, FromHex(c.cipher))), c.plain);

    AesKeyPair pair;
    ASSERT_EQ(AES_expand_key_pair(AsBytes(key), static_cast<int>(key.size() * 8), pair), 0);
    EXPECT_EQ(pair.encrypt.rounds, c.rounds);
    EXPECT_EQ(pair.decrypt.rounds, c.rounds);
    // In place, both ways.
    std::array<uint8_t, 16> block;
    std::string plain = FromHex(c.plain);
    std::copy(plain.begin(), plain.end(), block.begin());
    AES_encrypt(block, block, pair.encrypt);
    EXPECT_EQ(ToHex(std::string(block.begin(), block.end())), c.cipher);
    AES_decrypt(block, block, pair.decrypt);
    EXPECT_EQ(std::string(block.begin(), block.end()), plain);
  }
}

TEST(AesTest, KeyExpansionFailuresLeaveTheScheduleAlone) {
  std::string key(32, 'k');
  struct {
    size_t key_bytes;
    int bits;
    int status;
  } cases[] = {{32, 100, -2}, {32, 0, -2}, {16, 256, -1}, {0, 128, -1}, {24, 128, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key_bytes << " bytes, " << c.bits << " bits");
    AesKeySchedule schedule;
    schedule.rounds = 99;
    std::span<const uint8_t> bytes = AsBytes(key).first(c.key_bytes);
    EXPECT_EQ(AES_expand_encrypt_key(bytes, c.bits, schedule), c.status);
    EXPECT_EQ(AES_expand_decrypt_key(bytes, c.bits, schedule), c.status);
    AesKeyPair pair;
    EXPECT_EQ(AES_expand_key_pair(bytes, c.bits, pair), c.status);
    EXPECT_EQ(schedule.rounds, 99);
  }
}

TEST(AesTest, AgreesWithOpensslOnRandomInput) {
  DUSK_REQUIRE_OPENSSL();
  std::mt19937 random(197);
  for (int bits : {128, 192, 256, 256, 256}) {
    std::string key = test::RandomBytes(random, bits / 8);
    std::string plain = test::RandomBytes(random, 16 * (1 + random() % 8));
    SCOPED_TRACE(testing::Message() << "key " << ToHex(key) << " plain " << ToHex(plain));
    std::string cipher;
    for (size_t i = 0; i < plain.size(); i += 16)
      cipher += Block(Way::kEncrypt, key, plain.substr(i, 16));
    std::string mode = "-aes-" + std::to_string(bits) + "-ecb";
    std::optional<std::string> expected = test::OpensslEnc({mode, "-nopad", "-K", ToHex(key)}, plain);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(ToHex(cipher), ToHex(*expected));
    std::string back;
    for (size_t i = 0; i < cipher.size(); i += 16)
      back += Block(Way::kDecrypt, key, cipher.substr(i, 16));
    EXPECT_EQ(back, plain);
  }
}

}  // namespace
}  // namespace dusk
