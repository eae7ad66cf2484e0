#include "device/device_info.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "log/log.h"
#include "support/net_fixture.h"
#include "support/short_timings.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/timings.h"
#include "util/unique_fd.h"

namespace dusk {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
using test::VethPair;

constexpr int kServerPort = 3466;

Pairs Entries(const AttrTable& table) {
  Pairs out;
  for (const Attr& attr : table) out.emplace_back(attr.name, attr.value);
  return out;
}

std::string HostName() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

TEST(DeviceInfoTest, NameListLookupIgnoresCaseAndStopsAtTheEnd) {
  constexpr std::array<std::string_view, 3> list = {"productname", "", "uuid"};
  EXPECT_TRUE(IsNameInList(list, "ProductName"));
  EXPECT_FALSE(IsNameInList(list, "uuid"));
  EXPECT_FALSE(IsNameInList(list, ""));
  EXPECT_FALSE(IsNameInList(list, "product"));
}

/// The real biosinfo.so over a DMI export of the test's making.
class GatherFixture : public ::testing::Test {
 protected:
  GatherFixture() {
    for (const auto& [file, content] :
         Pairs{{"product_name", "Thin Client 7\n"},
               {"product_uuid", "4c4c4544-0042-3510-8052-b4c04f4d4d32\n"},
               {"product_serial", "SN-0001\n"},
               {"chassis_serial", "CH-9\n"},
               {"chassis_asset_tag", "Asset 42\n"}})
      test::WriteFile(layout_.layout().dmiDir + "/" + file, content);
  }
  void TearDown() override { LogLevel(kLogInfo); }

  test::TestLayout layout_;
};

// The server on loopback, through which no interface qualifies.
using GatherOnLoopbackTest = GatherFixture;

TEST_F(GatherOnLoopbackTest, InterfaceAttributesStayAsTheyWere) {
  int server_port = 0;
  UniqueFd server = test::ListenOnLoopback(4, &server_port);
  ASSERT_TRUE(server);
  const std::string port = std::to_string(server_port);

  AttrTable record(kDeviceInfoSlots);
  for (const char* name : {"pxmhdwlana", "pxmsubnet", "pxmipnetworknumber"})
    record.Set(name, "earlier");
  ASSERT_TRUE(GetDeviceInfo(layout_, "127.0.0.1", port, record));
  std::string value;
  EXPECT_TRUE(record.Get("detectedipaddress", &value));
  EXPECT_EQ(value, "127.0.0.1");
  EXPECT_TRUE(record.Get("smsystemserialnumber", &value));
  EXPECT_EQ(value, "SN-0001");
  for (const char* name : {"pxmhdwlana", "pxmsubnet", "pxmipnetworknumber"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(record.Get(name, &value));
    EXPECT_EQ(value, "earlier");
  }
}

TEST_F(GatherOnLoopbackTest, ServerOutOfReachGathersNothing) {
  int refusing_port = 0;
  UniqueFd refusing = test::ListenOnLoopback(-1, &refusing_port);
  ASSERT_TRUE(refusing);
  const std::string port = std::to_string(refusing_port);
  AttrTable record(kDeviceInfoSlots);
  test::LogCapture log;
  EXPECT_FALSE(GetDeviceInfo(layout_, "127.0.0.1", port, record));
  EXPECT_EQ(log.lines(), (std::vector<std::pair<int, std::string>>{
                             {kLogError, "Failed to connect to 127.0.0.1:" + port +
                                             " - Socket Error (111): Connection refused"},
                             {kLogError, "Failed to query Device Information"}}));
  EXPECT_TRUE(record.empty());

  log.Clear();
  EXPECT_FALSE(GetHostInfo("", "3466", record));
  ASSERT_GE(log.lines().size(), 2u);
  EXPECT_EQ(log.lines()[0].second,
            "Must specify a host and port for attempting to connect");
  EXPECT_EQ(log.lines()[1].second.rfind(
                "Failed to Create a Socket Address - Socket Error (", 0),
            0u);

  // A server whose queue is full never answers the connect: the gathering
  // gives up at the connect's time-out instead of the kernel's minutes.
  Timings quick;
  quick.http_connect = std::chrono::milliseconds(300);
  test::ScopedTimings timings(quick);
  int silent_port = 0;
  UniqueFd silent = test::ListenOnLoopback(0, &silent_port);
  ASSERT_TRUE(silent);
  std::vector<UniqueFd> queued;
  for (int i = 0; i < 4; ++i) queued.push_back(test::ConnectToLoopback(silent_port, true));
  log.Clear();
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(GetHostInfo("127.0.0.1", std::to_string(silent_port), record));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines()[0].second, "Failed to connect to 127.0.0.1:" +
                                       std::to_string(silent_port) +
                                       " - Socket Error (110): Connection timed out");
}

TEST_F(GatherOnLoopbackTest, MissingLibraryFailsTheGathering) {
  int server_port = 0;
  UniqueFd server = test::ListenOnLoopback(4, &server_port);
  ASSERT_TRUE(server);
  test::TempDir empty;
  layout_.layout().installDir = empty.path();
  AttrTable record(kDeviceInfoSlots);
  test::LogCapture log;
  EXPECT_FALSE(GetDeviceInfo(layout_, "127.0.0.1", std::to_string(server_port), record));
  const std::string path = empty / "biosinfo.so";
  EXPECT_EQ(
      log.lines(),
      (std::vector<std::pair<int, std::string>>{
          {kLogFatal, "Failed to load Library " + path + ", error=" + path +
                          ": cannot open shared object file: No such file or directory"},
          {kLogError, "Failed to query SMBIOS information for this Device"}}));
}

// The device in the test's network namespace, the server behind a veth
// pair in a second one.
class GatherTest : public GatherFixture {
 protected:
  void SetUp() override {
    DUSK_REQUIRE_SANDBOX("a veth pair into a network namespace of its own");
    std::string error;
    ASSERT_TRUE(veth_.Create(&error)) << error;
  }

  VethPair veth_;
};

TEST_F(GatherTest, ThroughTheVethPair) {
  std::string error;
  ASSERT_TRUE(veth_.Listen(kServerPort, &error)) << error;
  // The reverse lookup of the detected address.
  std::ofstream(std::string("/etc/hosts"), std::ios::app)
      << VethPair::kDeviceAddress << " thin-client-7.example.net\n";
  AttrTable record(kDeviceInfoSlots);
  LogLevel(kLogDebug);
  test::LogCapture log;
  ASSERT_TRUE(
      GetDeviceInfo(layout_, VethPair::kPeerAddress, std::to_string(kServerPort), record));
  EXPECT_EQ(Entries(record),
            (Pairs{{"hostname", HostName()},
                   {"dnshostname", "thin-client-7.example.net"},
                   {"detecteddnshostname", "thin-client-7.example.net"},
                   {"ipaddress", "10.99.0.2"},
                   {"detectedipaddress", "10.99.0.2"},
                   {"operatingsystem", "Linux ThinClient"},
                   {"smsystemproductname", "Thin Client 7"},
                   {"smsystemuuid", "4c4c4544-0042-3510-8052-b4c04f4d4d32"},
                   {"smsystemserialnumber", "SN-0001"},
                   {"smenclosureserialnumber", "CH-9"},
                   {"smenclosureassettagnumber", "Asset 42"},
                   {"pxmhdwlana", "02-1a-2b-3c-4d-5e"},
                   {"pxmsubnet", "255.255.255.0"},
                   {"pxmipnetworknumber", "10-99-0-0"}}));
  EXPECT_TRUE(log.Has(kLogDebug, "About to Connect to 10.99.0.1:3466"));
  EXPECT_TRUE(
      log.Has(kLogDebug, "Detected Device's dnsHostName of thin-client-7.example.net"));
  EXPECT_TRUE(log.Has(kLogDebug, "Detected Device's IP Address of 10.99.0.2"));
  EXPECT_TRUE(log.Has(
      kLogDebug, "GetNetInfo: Interrogating interfaces for ipAddress 10.99.0.2 ..."));
  EXPECT_TRUE(log.Has(kLogDebug, "thisDeviceInfo:"));
  EXPECT_TRUE(log.Has(kLogDebug, "  Attr(pxmipnetworknumber) = \"10-99-0-0\""));
}

// An interface without carrier is not running: it does not count even
// though it carries the address.
TEST_F(GatherTest, InterfaceMustBeRunning) {
  AttrTable record(kDeviceInfoSlots);
  record.Set("detectedipaddress", VethPair::kDeviceAddress);
  ASSERT_TRUE(GetNetInfo(record));
  EXPECT_EQ(record.size(), 4);

  ASSERT_EQ(
      veth_.RunInPeer({test::ToolPath("ip"), "link", "set", VethPair::kPeerName, "down"})
          .status,
      0);
  ASSERT_TRUE(veth_.WaitForDeviceState(false));
  AttrTable down(kDeviceInfoSlots);
  down.Set("detectedipaddress", VethPair::kDeviceAddress);
  EXPECT_TRUE(GetNetInfo(down));
  EXPECT_EQ(Entries(down), (Pairs{{"detectedipaddress", "10.99.0.2"}}));
}

}  // namespace
}  // namespace dusk
