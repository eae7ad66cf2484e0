#include "crypto/protected_value.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "crypto/base64.h"
#include "crypto/keys.h"
#include "log/log.h"
#include "support/crypto_util.h"
#include "support/test_util.h"

namespace dusk {
namespace {

using test::ToHex;

/// The Base64 part of a protected value.
std::string Encoded(const std::string& value) {
  EXPECT_TRUE(IsProtectedValue(value)) << value;
  return value.substr(kProtectedValuePrefix.size());
}

TEST(ProtectedValueTest, PrefixIsCaseSensitive) {
  struct {
    const char* text;
    bool is_protected;
  } cases[] = {{"{AES256}G7Rj", true}, {"{AES256}", true},    {"{aes256}G7Rj", false},
               {"{AES256", false},     {" {AES256}x", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsProtectedValue(c.text), c.is_protected);
  }
}

TEST(ProtectedValueTest, KnownValueUnderTheSharedKey) {
  // From openssl enc -aes-256-ecb -nopad with the shared key, NUL padded.
  const std::string known = "{AES256}G7RjZhO9jO9LEa/DzSSl/A==";
  EXPECT_EQ(UnprotectValue(known), "InstallAgent");
  EXPECT_EQ(ProtectValue("InstallAgent", true), known);
}

TEST(ProtectedValueTest, RoundTripsAndPadding) {
  struct {
    std::string plain;
    bool pad_with_nul;
    std::string unprotected;
    size_t encoded_size;
  } cases[] = {
      {"abc", true, "abc", 24},
      {"abc", false, "abc" + std::string(13, ' '), 24},
      {"0123456789abcdef", false, "0123456789abcdef", 24},  // whole block: no padding
      {std::string(49, 'p'), true, std::string(49, 'p'), 89},  // 64 bytes: 88 + line feed
      {std::string(48, 'p'), false, std::string(48, 'p'), 64},
      {" value with blanks\t", true, " value with blanks\t", 44},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "[" << c.plain << "] nul " << c.pad_with_nul);
    std::string value = ProtectValue(c.plain, c.pad_with_nul);
    std::string encoded = Encoded(value);
    EXPECT_EQ(encoded.size(), c.encoded_size);
    EXPECT_EQ(encoded.find('\n'), c.encoded_size > 76 ? 76 : std::string::npos);
    EXPECT_EQ(UnprotectValue(value), c.unprotected);
  }
  EXPECT_TRUE(Encoded(ProtectValue("0123456789abcdef", true)).ends_with("=="));
}

TEST(ProtectedValueTest, FailuresLeaveTheTextAsItCame) {
  test::LogCapture log;
  EXPECT_EQ(ProtectValue("", true), "");
  EXPECT_TRUE(log.Has(kLogError, "base64_encode Failed"));
  const std::string already = "{AES256}anything";
  EXPECT_EQ(ProtectValue(already, false), already);
  EXPECT_EQ(UnprotectValue("plain text"), "plain text");
  EXPECT_EQ(log.lines().size(), 1u);

  for (const char* bad : {"{AES256}", "{AES256}G7Rj*hO9", "{AES256}QR= =", "{AES256}  \n"}) {
    SCOPED_TRACE(bad);
    log.Clear();
    EXPECT_EQ(UnprotectValue(bad), bad);
    EXPECT_TRUE(log.Has(kLogError, "base64_decode Failed"));
  }
  // Less than one block of cipher text: empty, without a message.
  log.Clear();
  EXPECT_EQ(UnprotectValue("{AES256}QUJD"), "");
  EXPECT_TRUE(log.lines().empty());
}

TEST(ProtectedValueTest, TrailingPieceAndLineBreaksFromTheServer) {
  std::string value = ProtectValue(std::string(20, 'z'), true);
  std::string encoded = Encoded(value);
  // Line breaks anywhere, carriage returns included, are fine.
  std::string broken = "{AES256}" + encoded.substr(0, 10) + "\r\n" + encoded.substr(10);
  EXPECT_EQ(UnprotectValue(broken), std::string(20, 'z'));
  // Cipher text that does not end on a block: the last piece is ignored.
  std::string one_block = ProtectValue("first block only", true);
  std::vector<uint8_t> cipher(64);
  ASSERT_EQ(base64_decode(Encoded(one_block), cipher), 16);
  cipher.resize(20);
  std::vector<char> text(64);
  int count = base64_encode(cipher, text);
  ASSERT_GT(count, 0);
  EXPECT_EQ(UnprotectValue("{AES256}" + std::string(text.data(), count)), "first block only");
}

TEST(ProtectedValueTest, AgreesWithOpensslOnRandomValues) {
  DUSK_REQUIRE_OPENSSL();
  std::mt19937 random(2001);
  for (int round = 0; round < 5; ++round) {
    std::string plain;
    for (size_t n = 1 + random() % 70; plain.size() < n;) plain += static_cast<char>('!' + random() % 94);
    SCOPED_TRACE(plain);
    std::string padded = plain + std::string((16 - plain.size() % 16) % 16, ' ');
    std::string key(kProtectedValueKey.begin(), kProtectedValueKey.end());
    std::optional<std::string> cipher =
        test::OpensslEnc({"-aes-256-ecb", "-nopad", "-K", ToHex(key)}, padded);
    ASSERT_TRUE(cipher.has_value());
    std::vector<uint8_t> ours(128);
    int count = base64_decode(Encoded(ProtectValue(plain, false)), ours);
    ASSERT_GT(count, 0);
    EXPECT_EQ(ToHex(std::string(ours.begin(), ours.begin() + count)), ToHex(*cipher));
  }
}

#if defined(__SANITIZE_ADDRESS__)
#define DUSK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DUSK_ASAN 1
#endif
#endif

/// Virtual memory of this process now, in bytes.
size_t CurrentAddressSpace() {
  std::ifstream status("/proc/self/statm");
  size_t pages = 0;
  status >> pages;
  return pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

TEST(ProtectedValueTest, RunningOutOfMemoryIsAFailureNotACrash) {
#ifdef DUSK_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves address space: no address-space limit here";
#endif
  // In a child, with the address space capped so that the value fits but
  // the working buffers do not.
  constexpr size_t kValue = 64 << 20;
  fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::string plain(kValue, 'v');
    std::string protected_text = "{AES256}" + std::string(kValue, 'A');
    test::LogCapture log;
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = CurrentAddressSpace() + kValue + kValue / 2;
    setrlimit(RLIMIT_AS, &limit);
    int failures = 0;
    if (ProtectValue(plain, true) != plain) failures |= 1;
    if (!log.Has(kLogError, "base64_encode Failed")) failures |= 2;
    if (UnprotectValue(protected_text) != protected_text) failures |= 4;
    if (!log.Has(kLogError, "base64_decode Failed")) failures |= 8;
    _exit(failures);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failure bits (1, 2: protect; 4, 8: unprotect)";
}

}  // namespace
}  // namespace dusk
