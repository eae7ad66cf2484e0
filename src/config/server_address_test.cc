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

TEST(ServerAddressTest, PortNumbersAndTheValueAtFault) {
  for (const char* port : {"1", "80", "0099", "65535", "0000065535"})
    EXPECT_TRUE(IsPortNumber(port)) << port;
  for (const char* port : {"", "0", "000", "65536", "100000", "80x", "-80", " 80", "+80", "http"})
    EXPECT_FALSE(IsPortNumber(port)) << port;

  test::ConfigDir dir;
  test::WriteFile(dir.conf(), "[Application]\nServerName=conf-host\nServerPort=abc\n");
  EXPECT_EQ(ServerAddressFault(ResolveServerAddress("", "")),
            "ServerPort abc in " + dir.conf() + " is not a port number");
  EXPECT_EQ(ServerAddressFault(ResolveServerAddress("", "8080")), "");
  EXPECT_EQ(ServerAddressFault(ResolveServerAddress("h", "x1")), "-port x1 is not a port number");
}

}  // namespace
}  // namespace dusk
