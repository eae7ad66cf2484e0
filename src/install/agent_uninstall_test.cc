#include "install/agent_uninstall.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "install/install_lock.h"
#include "log/log.h"
#include "support/install_test_agent.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/files.h"

namespace dusk {
namespace {

class AgentUninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogLevel(kLogDebug);
    ASSERT_EQ(ChangeDir(cwd_.path()), 1);
  }
  void TearDown() override { LogLevel(kLogInfo); }

  test::TempDir cwd_;
  test::TestLayout layout_;
  const std::string agent_ = layout_.layout().agentDir;
};

TEST_F(AgentUninstallTest, RunsTheAgentsUninstallFromTheRoot) {
  struct {
    bool console;
    std::string log_dir;
    const char* call;
    std::string command;
  } cases[] = {
      {true, layout_.On("/tmp/kesta/log"), "uninstall @/", agent_ + "/uninstall"},
      {false, layout_.On("/tmp/kesta/my logs"), "uninstall -s @/", agent_ + "/uninstall -s"},
      // The shell takes the whole name as the log's directory.
      {true, layout_.On("/tmp/kesta/it's $HOME `x`"), "uninstall @/", agent_ + "/uninstall"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    test::RemoveTree(test::AgentCallsFile(layout_));
    std::filesystem::create_directories(c.log_dir);
    test::WriteFile(layout_.conf(), "[Application]\nLogPath=" + c.log_dir + "\n");
    test::LayOutAgent(layout_, {"zelexecd"});
    test::WriteProgram(agent_ + "/uninstall",
                       test::RecorderScript(layout_, "echo removing\nrm -rf '" + agent_ + "'"));
    test::LogCapture log;
    EXPECT_TRUE(UninstallAgent(layout_, c.console));
    EXPECT_EQ(test::AgentCalls(layout_), std::vector<std::string>{c.call});
    EXPECT_TRUE(log.Has(kLogDebug, "Uninstall Command: " + c.command));
    EXPECT_EQ(test::ReadFile(c.log_dir + "/agentuninstall.log"), "removing\n");
    EXPECT_FALSE(FileExists(agent_));
    EXPECT_EQ(GetCwd(), cwd_.path());
  }
}

TEST_F(AgentUninstallTest, Failures) {
  struct {
    const char* name;
    const char* uninstall;  // nullptr: no uninstall program
    bool agent;
    std::string text;
  } cases[] = {
      {"no agent", "", false, "KESTA Agent is not currently installed"},
      {"no uninstall program", nullptr, true,
       "Did not find KESTA Agent Un-Install command " + agent_ + "/uninstall"},
      {"uninstall exits 3", "exit 3", true, "KESTA Agent Un-Install Command Failed - Exit Code: 3"},
  };
  // The log goes into the layout: without LogPath the uninstall, run from
  // "/", would write agentuninstall.log into the machine's root.
  const std::string log_dir = layout_.On("/tmp/kesta/log");
  std::filesystem::create_directories(log_dir);
  test::WriteFile(layout_.conf(), "[Application]\nLogPath=" + log_dir + "\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::RemoveTree(agent_);
    if (c.agent) test::LayOutAgent(layout_, {"zelexecd"});
    if (c.uninstall)
      test::WriteProgram(agent_ + "/uninstall", test::RecorderScript(layout_, c.uninstall));
    test::LogCapture log;
    std::string failure;
    EXPECT_FALSE(UninstallAgent(layout_, false, &failure));
    EXPECT_TRUE(log.Has(kLogError, c.text));
    EXPECT_EQ(failure, c.text);
    EXPECT_EQ(GetCwd(), cwd_.path());
  }
  // Only the program that exits 3 ran.
  EXPECT_EQ(test::AgentCalls(layout_), std::vector<std::string>{"uninstall -s @/"});

  SCOPED_TRACE("another install or uninstall runs");
  test::WriteProgram(agent_ + "/uninstall", test::RecorderScript(layout_));
  const InstallLock other(layout_, "install");
  ASSERT_TRUE(other.held()) << other.refusal();
  test::LogCapture log;
  EXPECT_FALSE(UninstallAgent(layout_, false));
  EXPECT_TRUE(log.Has(kLogError,
                      "Another KESTA Agent install or uninstall is already running - not "
                      "starting another uninstall"));
  EXPECT_EQ(test::AgentCalls(layout_).size(), 1u);
}

// The uninstall runs from "/": its log has an absolute path (the default
// log directory without LogPath) and is never written through a link.
TEST_F(AgentUninstallTest, LogIsAbsoluteAndNeverALink) {
  const std::string log = layout_.layout().defaultLogDir + "/agentuninstall.log";
  test::WriteFile(layout_.conf(), "[Application]\nLogPath=\n");
  test::LayOutAgent(layout_, {"zelexecd"});
  test::WriteProgram(agent_ + "/uninstall", test::RecorderScript(layout_, "echo removing"));
  EXPECT_TRUE(UninstallAgent(layout_, false));
  EXPECT_EQ(test::ReadFile(log), "removing\n");
  struct stat st;
  ASSERT_EQ(stat(log.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  const std::string victim = layout_.On("/victim");
  test::WriteFile(victim, "precious\n");
  unlink(log.c_str());
  ASSERT_EQ(symlink(victim.c_str(), log.c_str()), 0);
  test::RemoveTree(test::AgentCallsFile(layout_));
  test::LogCapture capture;
  EXPECT_FALSE(UninstallAgent(layout_, false));
  EXPECT_TRUE(
      capture.Has(kLogError, "Could not open log file " + log + " - " + ErrorText(ELOOP)));
  EXPECT_TRUE(test::AgentCalls(layout_).empty());
  EXPECT_EQ(test::ReadFile(victim), "precious\n");
}

}  // namespace
}  // namespace dusk
