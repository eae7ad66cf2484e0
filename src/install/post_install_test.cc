#include "install/post_install.h"

#include <gtest/gtest.h>

#include "config/config_defaults.h"
#include "config/config_file.h"
#include "log/log.h"
#include "support/install_test_agent.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/files.h"

namespace dusk {
namespace {

class PostInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogLevel(kLogDebug);
    test::WriteFile(layout_.conf(), "[Application]\nServerName=kesta-main\n");
    ASSERT_EQ(ChangeDir(cwd_.path()), 1);
  }
  void TearDown() override { LogLevel(kLogInfo); }

  static std::string Scheduled() {
    std::string value = "absent";
    ReadConfigValue(ConfigSection::kApplication, kInitialConnectKey, &value);
    return value;
  }

  test::TempDir cwd_;
  test::TestLayout layout_;
  const std::string agent_ = layout_.layout().agentDir;
};

TEST_F(PostInstallTest, PostInstallCommandRunsFromTheAgentDirectory) {
  test::LayOutAgent(layout_, {"zelexecd"});
  test::WriteProgram(agent_ + "/configure", test::RecorderScript(layout_, "exit 2"));
  test::LogCapture log;
  test::RecordingReporter reporter;
  // Blanks around the text do not part the program from its directory.
  EXPECT_TRUE(
      RunPostInstallConfig(layout_, reporter, "  configure -server kesta-main:3464 ", false));
  EXPECT_EQ(test::AgentCalls(layout_),
            std::vector<std::string>{"configure -server kesta-main:3464 @" + agent_});
  // A non-zero exit status is reported, not a failure.
  EXPECT_TRUE(log.Has(kLogInfo, "KESTA Post Install Configuration Completed - Exit Code: 2"));
  EXPECT_TRUE(reporter.events.empty());
  EXPECT_EQ(reporter.progress,
            (std::vector<std::string>{
                "Post Agent Install Configuration",
                "Executing KESTA Post Install Configuration: \"configure -server kesta-main:3464\"",
                "KESTA Post Install Configuration Completed - Exit Code: 2"}));
  EXPECT_EQ(GetCwd(), cwd_.path());
  EXPECT_TRUE(RunPostInstallConfig(layout_, reporter, "", false));
}

TEST_F(PostInstallTest, Failures) {
  struct {
    const char* name;
    bool agent;
    bool initial_connect;
    const char* argument;
    std::string text;
  } cases[] = {
      {"post-install, no agent", false, false, "configure",
       "KESTA Agent Location was not found - Skipping Post Install Configuration"},
      {"post-install, no program", true, false, "configure -x",
       "Did not find command " + agent_ + "/configure for post install configuration connect"},
      {"initial connect, no options", true, true, "",
       "Initial Connect Options not specified - Skipping Initial Connect"},
      {"initial connect, no agent", false, true, "-connect",
       "KESTA Agent Location was not found - Skipping Initial Connect"},
      {"initial connect, no zelskman", true, true, "-connect",
       "Did not find command zelskman for initial connect"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::RemoveTree(agent_);
    if (c.agent) test::LayOutAgent(layout_, {"zelexecd"});
    test::LogCapture log;
    test::RecordingReporter reporter;
    EXPECT_FALSE(c.initial_connect
                     ? RunInitialConnect(layout_, reporter, c.argument, false)
                     : RunPostInstallConfig(layout_, reporter, c.argument, false));
    EXPECT_TRUE(log.Has(kLogError, c.text));
    EXPECT_EQ(reporter.events, std::vector<std::string>{test::FailureEvent(c.text)});
    EXPECT_EQ(GetCwd(), cwd_.path());
  }
  EXPECT_TRUE(test::AgentCalls(layout_).empty());
}

TEST_F(PostInstallTest, ScheduledInitialConnectRunsOnceAtAStartThatFindsTheAgent) {
  struct {
    const char* options;
    const char* stored;
  } schedules[] = {{"  -connect dev01 -port 3464  ", "-connect dev01 -port 3464"},
                   {"   ", "absent"}};
  for (const auto& s : schedules) {
    SCOPED_TRACE(s.options);
    ASSERT_TRUE(SetConfigString(ConfigSection::kApplication, kInitialConnectKey, "old"));
    EXPECT_TRUE(ScheduleInitialConnect(s.options));
    EXPECT_EQ(Scheduled(), s.stored);
  }
  std::string options = "stale";
  EXPECT_FALSE(GetScheduledInitialConnect(&options));
  EXPECT_EQ(options, "");

  ASSERT_TRUE(ScheduleInitialConnect("-connect dev01"));
  test::RecordingReporter reporter;
  // A start without the agent leaves it waiting.
  RunScheduledInitialConnect(layout_, reporter);
  EXPECT_EQ(Scheduled(), "-connect dev01");
  EXPECT_TRUE(test::AgentCalls(layout_).empty());

  test::LayOutAgent(layout_, {"zelexecd", "zelskman"});
  test::LogCapture log;
  RunScheduledInitialConnect(layout_, reporter);
  RunScheduledInitialConnect(layout_, reporter);
  EXPECT_EQ(test::AgentCalls(layout_),
            std::vector<std::string>{"zelskman -connect dev01 @" + agent_});
  EXPECT_EQ(reporter.progress.back(), "KESTA Initial Connect Completed - Exit Code: 0");
  EXPECT_EQ(Scheduled(), "absent");
  EXPECT_TRUE(log.Has(kLogInfo, "Deleted Registry Key InitialConnect"));
  EXPECT_EQ(GetCwd(), cwd_.path());
  // -confupdate knows the key, and does not warn of it as a misspelt one.
  EXPECT_TRUE(IsKnownConfigKey(ConfigSection::kApplication, kInitialConnectKey));
}

}  // namespace
}  // namespace dusk
