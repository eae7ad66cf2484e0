#include "device/device_credentials.h"

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

class DeviceCredentialsTest : public ::testing::Test {
 protected:
  test::ConfigDir dir_;
};

TEST_F(DeviceCredentialsTest, ReadsTheDnFromTheConfiguration) {
  test::WriteFile(dir_.conf(), "[DeviceInfo]\ndevdn=abc\n");
  test::LogCapture log;
  LogLevel(kLogTrace);
  DeviceCredentials first = GetDeviceCredentials();
  EXPECT_EQ(first.userName, "CADBBE3D");
  EXPECT_EQ(first.password, "SfF3FIgLDvc=");
  EXPECT_TRUE(log.Has(kLogTrace, "GetDeviceCredentials"));
  DeviceCredentials second = GetDeviceCredentials();
  EXPECT_EQ(second.userName, first.userName);
  EXPECT_EQ(second.password, first.password);
}

TEST_F(DeviceCredentialsTest, WithoutADnBothTextsAreEmpty) {
  for (const char* conf : {"[DeviceInfo]\nhostname=h\n", "[DeviceInfo]\ndevdn=\n"}) {
    SCOPED_TRACE(conf);
    test::WriteFile(dir_.conf(), conf);
    test::LogCapture log;
    DeviceCredentials credentials = GetDeviceCredentials();
    EXPECT_EQ(credentials.userName, "");
    EXPECT_EQ(credentials.password, "");
    EXPECT_TRUE(log.Has(kLogWarn, "Failed to get Device Dn"));
  }
}

}  // namespace
}  // namespace dusk
