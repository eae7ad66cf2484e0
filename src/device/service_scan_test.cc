#include "device/service_scan.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log.h"
#include "support/test_util.h"
#include "util/attr_list.h"
#include "util/program.h"

namespace dusk {
namespace {

constexpr char kConf[] = "/etc/kesta/dusk/dusk.conf";
constexpr char kOwn[] =
    "status started type single mode boot path /usr/local/dusk/dusk fullname {KESTA Quillfarm}";
constexpr char kNotifyStopped[] =
    "status stopped type single mode boot path /opt/kesta/agent/zelexecd "
    "fullname {KESTA Notify Daemon}";
constexpr char kNotifyStarted[] =
    "status started type single mode boot path /opt/kesta/agent/zelexecd "
    "fullname {KESTA Notify Daemon}";

/// A program named zelexecd that runs until the fixture ends.
class RunningDaemon {
 public:
  explicit RunningDaemon(const std::string& path) {
    pid_ = fork();
    if (pid_ == 0) {
      execl(path.c_str(), "zelexecd", "600", static_cast<char*>(nullptr));
      _exit(127);
    }
    // Until the child has become zelexecd, /proc still shows the test.
    for (int i = 0; i < 200; ++i) {
      if (test::ReadFile("/proc/" + std::to_string(pid_) + "/cmdline").rfind("zelexecd", 0) == 0)
        break;
      usleep(10000);
    }
  }
  ~RunningDaemon() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = 0;
};

class ServiceScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DUSK_REQUIRE_SANDBOX();
    test::ResetFixedDirs();
    test::WriteFile(kConf, "[Application]\nServerName=x\n[ServiceScan]\n");
    saved_cmd_path_ = cmdPath;
    cmdPath = "/usr/local/dusk/dusk";
    LogLevel(kLogDebug);
  }
  void TearDown() override { cmdPath = saved_cmd_path_; }

  /// Puts an executable zelexecd under the agent's directory.
  static std::string InstallNotifyDaemon() {
    const std::string path = "/opt/kesta/agent/zelexecd";
    mkdir("/opt/kesta/agent", 0755);
    test::WriteFile(path, test::ReadFile("/bin/sleep"));
    chmod(path.c_str(), 0755);
    return path;
  }

  std::string saved_cmd_path_;
};

TEST_F(ServiceScanTest, WithoutTheAgentOnlyTheOwnServiceIsReported) {
  AttrTable scan(kServiceScanSlots);
  test::LogCapture log;
  EXPECT_TRUE(GetServiceScan(scan));
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
  ServiceQuery("KESTA-DUSK", &description, kTclLineCapacity);
  EXPECT_EQ(description, "") << "names are compared exactly";
}

TEST_F(ServiceScanTest, InstalledDaemonIsStoppedUntilItRuns) {
  const std::string daemon = InstallNotifyDaemon();
  AttrTable scan(kServiceScanSlots);
  GetServiceScan(scan);
  std::string value;
  ASSERT_TRUE(scan.Get("zelexecd", &value));
  EXPECT_EQ(value, kNotifyStopped);

  std::string body;
  AppendServiceScanData(&body, kTclListCapacity, scan);
  EXPECT_EQ(body, std::string("data {kesta-dusk {") + kOwn + "} zelexecd {" + kNotifyStopped +
                      "}}");

  // Reported and stored: the same scan is not sent again.
  StoreServiceScanToReg(scan);
  {
    test::LogCapture log;
    EXPECT_FALSE(NeedToSendServiceScan(scan));
    for (const auto& [level, message] : log.lines()) EXPECT_NE(level, kLogInfo) << message;
  }

  // The daemon starts: the next scan differs in zelexecd alone.
  RunningDaemon running(daemon);
  AttrTable next(kServiceScanSlots);
  GetServiceScan(next);
  ASSERT_TRUE(next.Get("zelexecd", &value));
  EXPECT_EQ(value, kNotifyStarted);
  test::LogCapture log;
  EXPECT_TRUE(NeedToSendServiceScan(next));
  EXPECT_TRUE(log.Has(kLogInfo,
                      "Need to Send Service Scan - Different Service Info found for: zelexecd"));
}

TEST_F(ServiceScanTest, StoreWritesOnlyChangedDescriptions) {
  test::WriteFile(kConf, std::string("[ServiceScan]\nkesta-dusk=") + kOwn + "\nzelsched=old\n");
  AttrTable scan(kServiceScanSlots);
  GetServiceScan(scan);
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
  EXPECT_EQ(test::ReadFile(kConf),
            std::string("[ServiceScan]\nkesta-dusk=") + kOwn + "\nzelsched=\n");

  AttrTable stored(kServiceScanSlots);
  GetServiceScanFromReg(stored);
  std::string differences;
  EXPECT_TRUE(ServiceScansMatch(scan, stored, &differences));
  EXPECT_EQ(differences, "");
}

}  // namespace
}  // namespace dusk
