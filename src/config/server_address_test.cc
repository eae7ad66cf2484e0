#include "config/server_address.h"

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

TEST(ServerAddressTest, OptionsOverTheFileWithThePortAlsoAsANumber) {
  test::ConfigDir dir;
  test::WriteFile(dir.conf(), "[Application]\nServerName=conf-host\nServerPort=0099\n");
  struct {
    const char* host_option;
    const char* port_option;
    const char* host;
    const char* port;
    int number;
  } cases[] = {
      {"", "", "conf-host", "0099", 99},
      {"10.0.0.7", "", "10.0.0.7", "0099", 99},
      {"", "8080", "conf-host", "8080", 8080},
      {"h", "80x", "h", "80x", 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.host_option << ":" << c.port_option);
    const ServerAddress server = ResolveServerAddress(c.host_option, c.port_option);
    EXPECT_EQ(server.host, c.host);
    EXPECT_EQ(server.port, c.port);
    EXPECT_EQ(server.portNumber, c.number);
    EXPECT_EQ(server.hostOption, c.host_option);
    EXPECT_EQ(server.portOption, c.port_option);
  }
  // Keys the file lacks: the defaults, and one Warn line for each.
  test::WriteFile(dir.conf(), "[Application]\n");
  test::LogCapture log;
  const ServerAddress server = ResolveServerAddress("", "");
  EXPECT_EQ(server.host + ":" + server.port, "kesta-server:3466");
  EXPECT_EQ(server.portNumber, 3466);
  EXPECT_EQ(log.lines(), (std::vector<std::pair<int, std::string>>{
                             {kLogWarn, "Failed to Get Config Value from Key ServerName"},
                             {kLogWarn, "Failed to Get Config Value from Key ServerPort"}}));
}

}  // namespace
}  // namespace dusk
