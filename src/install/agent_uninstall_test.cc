#include "install/agent_uninstall.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/install_test_agent.h"
#include "support/test_util.h"
#include "util/files.h"

namespace dusk {
namespace {

constexpr char kConf[] = "/etc/kesta/dusk/dusk.conf";

class AgentUninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DUSK_REQUIRE_SANDBOX();
    test::ResetFixedDirs();
    LogLevel(kLogDebug);
    ASSERT_EQ(ChangeDir(cwd_.path()), 1);
  }
  void TearDown() override { LogLevel(kLogInfo); }

  test::TempDir cwd_;
};

TEST_F(AgentUninstallTest, RunsTheAgentsUninstallFromTheRoot) {
  struct {
    bool console;
    const char* log_dir;
    const char* call;
    const char* command;
  } cases[] = {
      {true, "/tmp/kesta/log", "uninstall @/", "/opt/kesta/agent/uninstall"},
      {false, "/tmp/kesta/my logs", "uninstall -s @/", "/opt/kesta/agent/uninstall -s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    test::RemoveTree(test::kAgentCallsFile);
    std::filesystem::create_directories(c.log_dir);
    test::WriteFile(kConf, std::string("[Application]\nLogPath=") + c.log_dir + "\n");
    test::LayOutAgent({"zelexecd"});
    test::WriteProgram("/opt/kesta/agent/uninstall",
                       test::RecorderScript("echo removing\nrm -rf /opt/kesta/agent"));
    test::LogCapture log;
    EXPECT_TRUE(UninstallAgent(c.console));
    EXPECT_EQ(test::AgentCalls(), std::vector<std::string>{c.call});
    EXPECT_TRUE(log.Has(kLogDebug, std::string("Uninstall Command: ") + c.command));
    EXPECT_EQ(test::ReadFile(std::string(c.log_dir) + "/agentuninstall.log"), "removing\n");
    EXPECT_FALSE(FileExists("/opt/kesta/agent"));
    EXPECT_EQ(GetCwd(), cwd_.path());
  }
}

TEST_F(AgentUninstallTest, Failures) {
  struct {
    const char* name;
    const char* uninstall;  // nullptr: no uninstall program
    bool agent;
    const char* text;
  } cases[] = {
      {"no agent", "", false, "KESTA Agent is not currently installed"},
      {"no uninstall program", nullptr, true,
       "Did not find KESTA Agent Un-Install command /opt/kesta/agent/uninstall"},
      {"uninstall exits 3", "exit 3", true, "KESTA Agent Un-Install Command Failed - Exit Code: 3"},
  };
  // The log goes into the sandbox: without LogPath the uninstall, run from
  // "/", would write agentuninstall.log into the machine's root.
  std::filesystem::create_directories("/tmp/kesta/log");
  test::WriteFile(kConf, "[Application]\nLogPath=/tmp/kesta/log\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::RemoveTree("/opt/kesta/agent");
    if (c.agent) test::LayOutAgent({"zelexecd"});
    if (c.uninstall) test::WriteProgram("/opt/kesta/agent/uninstall", test::RecorderScript(c.uninstall));
    test::LogCapture log;
    EXPECT_FALSE(UninstallAgent(false));
    EXPECT_TRUE(log.Has(kLogError, c.text));
    EXPECT_EQ(GetCwd(), cwd_.path());
  }
  // Only the program that exits 3 ran.
  EXPECT_EQ(test::AgentCalls(), std::vector<std::string>{"uninstall -s @/"});
}

}  // namespace
}  // namespace dusk
