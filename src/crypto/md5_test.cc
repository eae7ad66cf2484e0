#include "crypto/md5.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/crypto_util.h"
#include "support/test_util.h"

namespace dusk {
namespace {

using test::AsBytes;

struct Vector {
  const char* name;
  std::string message;
  const char* digest;
};

const Vector kVectors[] = {
    {"RFC empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"RFC a", "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"RFC abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"RFC message digest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"RFC alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"RFC alphanumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"RFC digits",
     "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    // Padding fits the last block, just does not, or needs a block of its own.
    {"55 bytes", std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {"56 bytes", std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {"64 bytes", std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
};

TEST(Md5Test, KnownDigestsOfTexts) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.name);
    EXPECT_EQ(Md5Of(v.message), v.digest);
  }
}

TEST(Md5Test, PiecesOfAnySizeGiveTheSameDigest) {
  std::mt19937 random(1321);
  std::string message = test::RandomBytes(random, 1000);
  std::string whole = Md5Of(message);
  for (size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 128u, 999u}) {
    SCOPED_TRACE(piece);
    Md5Context context;
    Md5Begin(context);
    for (size_t i = 0; i < message.size(); i += piece)
      Md5Add(context, AsBytes(std::string_view(message).substr(i, piece)));
    Md5Add(context, {});
    EXPECT_EQ(Md5Hex(Md5End(context)), whole);
  }
}

TEST(Md5Test, BitCountCarriesIntoTheHighWord) {
  Md5Context context;
  Md5Begin(context);
  context.bits = {0xfffffff8u, 0};
  Md5Add(context, AsBytes("x"));
  EXPECT_EQ(context.bits[0], 0u);
  EXPECT_EQ(context.bits[1], 1u);
}

class Md5FileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    std::string path = dir_ / name;
    test::WriteFile(path, content);
    return path;
  }
  test::TempDir dir_;
};

TEST_F(Md5FileTest, KnownDigestsOfFiles) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.name);
    EXPECT_EQ(MD5Digest(Write("file", v.message)), v.digest);
  }
}

TEST_F(Md5FileTest, FilesLargerThanOnePieceAndTheirLogLines) {
  std::mt19937 random(2);
  std::string content = test::RandomBytes(random, 2 * kMd5ReadPiece + 12345);
  std::string path = Write("large", content);
  test::LogCapture log;
  LogLevel(kLogDebug);
  std::string digest = MD5Digest(path);
  EXPECT_EQ(digest, Md5Of(content));
  EXPECT_TRUE(log.Has(kLogDebug, "Calculating MD5 of file \"" + path + "\" ..."));
  EXPECT_TRUE(log.Has(kLogDebug, "MD5 of \"" + path + "\" = \"" + digest + "\""));
}

TEST_F(Md5FileTest, NoDigestWithoutAReadableFile) {
  test::LogCapture log;
  EXPECT_EQ(MD5Digest(""), "");
  EXPECT_TRUE(log.lines().empty());

  std::string missing = dir_ / "missing";
  EXPECT_EQ(MD5Digest(missing), "");
  EXPECT_TRUE(log.Has(kLogWarn, "MD5Digest: Filename specified " + missing + " does not exist"));

  // A directory exists and opens, but reading it fails: no digest at all.
  log.Clear();
  EXPECT_EQ(MD5Digest(dir_.path()), "");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].first, kLogError);
  EXPECT_TRUE(log.lines()[0].second.starts_with("MD5Digest: Failed to read " + dir_.path() + " - "));
}

TEST_F(Md5FileTest, AgreesWithOpensslOnRandomFiles) {
  DUSK_REQUIRE_OPENSSL();
  std::mt19937 random(5);
  for (size_t size : {size_t{1}, size_t{4095}, kMd5ReadPiece - 1, kMd5ReadPiece + 7}) {
    SCOPED_TRACE(size);
    std::string path = Write("random", test::RandomBytes(random, size));
    std::optional<std::string> expected = test::OpensslMd5(path);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(MD5Digest(path), *expected);
  }
}

}  // namespace
}  // namespace dusk
