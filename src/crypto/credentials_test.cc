#include "crypto/credentials.h"

#include <gtest/gtest.h>

#include "crypto/crc32.h"

namespace dusk {
namespace {

TEST(CredentialsTest, Crc32CheckValues) {
  struct {
    const char* text;
    uint32_t crc;
  } cases[] = {{"123456789", 0xcbf43926},
               {"", 0},
               {"abc", 0x352441c2},
               {"The quick brown fox jumps over the lazy dog", 0x414fa339}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StringCrc32(c.text), c.crc);
  }
}

TEST(CredentialsTest, KnownCredentials) {
  // The password is openssl's DES-ECB of "CADBBE3D" under the shared key.
  DeviceCredentials abc = CredentialsForDn("abc");
  EXPECT_EQ(abc.userName, "CADBBE3D");
  EXPECT_EQ(abc.password, "SfF3FIgLDvc=");
  DeviceCredentials upper = CredentialsForDn("ABC");
  EXPECT_NE(upper.userName, abc.userName);
  EXPECT_NE(upper.password, abc.password);
}

TEST(CredentialsTest, ShapeOfTheTexts) {
  bool leading_zero_seen = false;
  for (int i = 0; i < 200; ++i) {
    std::string dn = "cn=device" + std::to_string(i) + ",ou=devices,o=kesta";
    SCOPED_TRACE(dn);
    DeviceCredentials credentials = CredentialsForDn(dn);
    ASSERT_EQ(credentials.userName.size(), 8u);
    EXPECT_EQ(credentials.userName.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    ASSERT_EQ(credentials.password.size(), 12u);
    EXPECT_EQ(credentials.password.find('='), 11u);
    leading_zero_seen |= credentials.userName[0] == '0';
  }
  EXPECT_TRUE(leading_zero_seen) << "no DN among these gave a leading zero digit";
}

TEST(CredentialsTest, OnlyTheFirst255CharactersOfTheDnCount) {
  std::string dn(kDeviceDnMax, 'd');
  EXPECT_EQ(CredentialsForDn(dn + "tail").userName, CredentialsForDn(dn).userName);
  EXPECT_NE(CredentialsForDn(dn.substr(1) + "e").userName, CredentialsForDn(dn).userName);
}

}  // namespace
}  // namespace dusk
