#include "device/service_scan.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "log/log.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/attr_list.h"
#include "util/program.h"

namespace dusk {
namespace {

constexpr char kOwn[] =
    "status started type single mode boot path /usr/local/dusk/dusk fullname {KESTA Quillfarm}";

class ServiceScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(layout_.conf(), "[Application]\nServerName=x\n[ServiceScan]\n");
    saved_cmd_path_ = cmdPath;
    cmdPath = "/usr/local/dusk/dusk";
    LogLevel(kLogDebug);
  }
  void TearDown() override { cmdPath = saved_cmd_path_; }

  /// Puts an executable zelexecd into the agent's directory.
  std::string InstallNotifyDaemon() const {
    const std::string path = layout_.layout().agentDir + "/zelexecd";
    std::filesystem::create_directories(layout_.layout().agentDir);
    test::WriteFile(path, "#!/bin/sh\n");
    chmod(path.c_str(), 0755);
    return path;
  }

  /// The description of zelexecd at |path| with |status|.
  static std::string Notify(const std::string& status, const std::string& path) {
    return "status " + status + " type single mode boot path " + path +
           " fullname {KESTA Notify Daemon}";
  }

  test::TestLayout layout_;
  std::string saved_cmd_path_;
};

TEST_F(ServiceScanTest, WithoutTheAgentOnlyTheOwnServiceIsReported) {
  AttrTable scan(kServiceScanSlots);
  test::LogCapture log;
  EXPECT_TRUE(GetServiceScan(layout_, scan));
  ASSERT_EQ(scan.size(), 3);
  EXPECT_EQ(scan.entries()[0].name, "kesta-dusk");
  EXPECT_EQ(scan.entries()[0].value, kOwn);
  EXPECT_EQ(scan.entries()[1].name, "zelexecd");
  EXPECT_EQ(scan.entries()[1].value, "");
  EXPECT_EQ(scan.entries()[2].name, "zelsched");
  EXPECT_EQ(scan.entries()[2].value, "");
  EXPECT_TRUE(log.Has(kLogDebug, std::string("kesta-dusk service query returned \"") + kOwn +
                                     "\""));
  EXPECT_TRUE(log.Has(kLogDebug, "zelsched service query returned \"\""));

  std::string body = "hostname pc01";
  AppendServiceScanData(&body, kTclListCapacity, scan);
  EXPECT_EQ(body, std::string("hostname pc01 data {kesta-dusk {") + kOwn + "}}");

  std::string description = "old";
  ServiceQuery(layout_, "KESTA-DUSK", &description, kTclLineCapacity);
  EXPECT_EQ(description, "") << "names are compared exactly";
}

TEST_F(ServiceScanTest, InstalledDaemonIsStoppedUntilItRuns) {
  const std::string daemon = InstallNotifyDaemon();
  // Other processes, and one whose name only ends like the daemon's.
  layout_.AddProcess(1, std::string("/sbin/init\0", 11));
  layout_.AddProcess(77, std::string("/usr/bin/notzelexecd\0", 21));
  AttrTable scan(kServiceScanSlots);
  GetServiceScan(layout_, scan);
  std::string value;
  ASSERT_TRUE(scan.Get("zelexecd", &value));
  EXPECT_EQ(value, Notify("stopped", daemon));

  std::string body;
  AppendServiceScanData(&body, kTclListCapacity, scan);
  EXPECT_EQ(body, std::string("data {kesta-dusk {") + kOwn + "} zelexecd {" +
                      Notify("stopped", daemon) + "}}");

  // Reported and stored: the same scan is not sent again.
  StoreServiceScanToReg(scan);
  {
    test::LogCapture log;
    EXPECT_FALSE(NeedToSendServiceScan(scan));
    for (const auto& [level, message] : log.lines()) EXPECT_NE(level, kLogInfo) << message;
  }

  // The daemon starts: the next scan differs in zelexecd alone.
  layout_.AddProcess(4242, std::string("zelexecd\0-d\0", 12));
  AttrTable next(kServiceScanSlots);
  GetServiceScan(layout_, next);
  ASSERT_TRUE(next.Get("zelexecd", &value));
  EXPECT_EQ(value, Notify("started", daemon));
  test::LogCapture log;
  EXPECT_TRUE(NeedToSendServiceScan(next));
  EXPECT_TRUE(log.Has(kLogInfo,
                      "Need to Send Service Scan - Different Service Info found for: zelexecd"));
}

TEST_F(ServiceScanTest, StoreWritesOnlyChangedDescriptions) {
  test::WriteFile(layout_.conf(),
                  std::string("[ServiceScan]\nkesta-dusk=") + kOwn + "\nzelsched=old\n");
  AttrTable scan(kServiceScanSlots);
  GetServiceScan(layout_, scan);
  test::LogCapture log;
  EXPECT_TRUE(NeedToSendServiceScan(scan));
  EXPECT_TRUE(log.Has(kLogInfo,
                      "Need to Send Service Scan - Different Service Info found for: zelsched"));
  log.Clear();
  EXPECT_TRUE(StoreServiceScanToReg(scan));
  // zelexecd reads as empty when missing, as the scan has it: no write.
  std::vector<std::string> updates;
  for (const auto& [level, message] : log.lines())
    if (level == kLogInfo) updates.push_back(message);
  EXPECT_EQ(updates,
            std::vector<std::string>{"Updated Registry Key zelsched with Value \"\""});
  EXPECT_EQ(test::ReadFile(layout_.conf()),
            std::string("[ServiceScan]\nkesta-dusk=") + kOwn + "\nzelsched=\n");

  AttrTable stored(kServiceScanSlots);
  GetServiceScanFromReg(stored);
  std::string differences;
  EXPECT_TRUE(ServiceScansMatch(scan, stored, &differences));
  EXPECT_EQ(differences, "");
}

}  // namespace
}  // namespace dusk
