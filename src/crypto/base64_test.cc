#include "crypto/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dusk {
namespace {

std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

/// Encodes into a target of |size| bytes; the text, or "<-1>" on failure.
std::string Encode(std::string_view source, size_t size = 1024) {
  std::vector<char> target(size);
  int count = base64_encode(Bytes(source), target);
  if (count < 0) return "<-1>";
  return std::string(target.data(), static_cast<size_t>(count));
}

/// Decodes into a target of |size| bytes; the bytes, or "<-1>" on failure.
std::string Decode(std::string_view source, size_t size = 1024) {
  std::vector<uint8_t> target(size);
  int count = base64_decode(source, target);
  if (count < 0) return "<-1>";
  return std::string(reinterpret_cast<const char*>(target.data()), static_cast<size_t>(count));
}

TEST(Base64Test, Rfc4648Vectors) {
  struct {
    const char* plain;
    const char* encoded;
  } cases[] = {{"f", "Zg=="},       {"fo", "Zm8="},         {"foo", "Zm9v"},
               {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(Encode(c.plain), c.encoded);
    EXPECT_EQ(Decode(c.encoded), c.plain);
    EXPECT_EQ(base64_decode(c.encoded), static_cast<int>(strlen(c.plain)));
  }
  EXPECT_EQ(Decode(""), "");
  EXPECT_EQ(Encode(std::string(1, '\0')), "AA==");
}

TEST(Base64Test, EncoderBreaksLinesEvery76Characters) {
  EXPECT_EQ(Encode(std::string(57, 'x')).size(), 76u);
  std::string two_lines = Encode(std::string(58, 'x'));
  ASSERT_EQ(two_lines.size(), 81u);
  EXPECT_EQ(two_lines[76], '\n');
  EXPECT_EQ(two_lines.substr(77), "eA==");

  for (size_t n : {1u, 56u, 114u, 115u, 500u}) {
    SCOPED_TRACE(n);
    std::string text = Encode(std::string(n, 'y'), 2048);
    size_t chars = 4 * ((n + 2) / 3);
    EXPECT_EQ(text.size(), chars + (chars - 1) / 76);
    for (size_t i = 0; i < text.size(); ++i)
      EXPECT_EQ(text[i] == '\n', i % 77 == 76) << "at " << i;
  }
}

TEST(Base64Test, EncoderFailures) {
  EXPECT_EQ(Encode(""), "<-1>");
  // The target must hold the source length and the whole output.
  EXPECT_EQ(Encode("abcd", 3), "<-1>");
  EXPECT_EQ(Encode("abcd", 7), "<-1>");
  EXPECT_EQ(Encode("abcd", 8), "YWJjZA==");
  EXPECT_EQ(Encode(std::string(58, 'x'), 80), "<-1>");
}

TEST(Base64Test, DecoderToleranceAndFailures) {
  struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"QUJD", "ABC"},
      {"QUJ", "AB"},              // unpadded
      {"QUJDRA", "ABCD"},         // unpadded, incomplete last group
      {"QUJD==", "ABC"},          // doubled "=" after a complete group
      {"QUJD==!!", "ABC"},        // nothing after a doubled "=" is examined
      {"QUJD=", "<-1>"},          // single "=" after a complete group
      {"QR==", "A"},              // doubled "=": left-over bits not checked
      {"QR= =", "<-1>"},          // left-over bits of 'R' are not zero
      {"QQ= =\n", "A"},
      {"QQ=", "<-1>"},            // two characters need "=="
      {"QQ=x", "<-1>"},
      {"Q=", "<-1>"},
      {"QUI=", "AB"},
      {"QUI= \t\n", "AB"},
      {"QUI= x", "<-1>"},
      {"QUJ=", "<-1>"},           // left-over bits of 'J' are not zero
      {" Q U\tJ\nD\r\n", "ABC"},  // white space anywhere
      {"QU*D", "<-1>"},
      {"QUJD\xc3\xa9", "<-1>"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Decode(c.text), c.result);
  }
  // A NUL byte is not part of the alphabet.
  EXPECT_EQ(Decode(std::string_view("QU\0D", 4)), "<-1>");
}

TEST(Base64Test, DecoderNeedsRoomForTheNextByte) {
  EXPECT_EQ(Decode("QQ==", 1), "<-1>");
  EXPECT_EQ(Decode("QQ==", 2), "A");
  EXPECT_EQ(Decode("QUJD", 2), "<-1>");
  EXPECT_EQ(Decode("QUJD", 3), "ABC");
  EXPECT_EQ(Decode("Q", 0), "<-1>");
  // Counting needs no room and skips the left-over check.
  EXPECT_EQ(base64_decode("QR= ="), 1);
  EXPECT_EQ(base64_decode("QU*D"), -1);
}

TEST(Base64Test, RandomBytesSurviveTheRoundTrip) {
  std::mt19937 random(4648);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(1 + random() % 300, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::string text = Encode(bytes, 1024);
    SCOPED_TRACE(text);
    EXPECT_EQ(Decode(text, bytes.size() + 1), bytes);
  }
}

}  // namespace
}  // namespace dusk
