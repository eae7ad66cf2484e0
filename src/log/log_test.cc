#include "log/log.h"

#include <sys/stat.h>

#include <regex>

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace dusk {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

/// A configuration whose LogPath is /tmp/kesta/log, and a closed log at
/// level Info around every test.
class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DUSK_REQUIRE_SANDBOX();
    test::ResetFixedDirs();
    test::WriteFile("/etc/kesta/dusk/dusk.conf",
                    "[Application]\nLogPath=/tmp/kesta/log\n");
    LogLevel(kLogInfo);
  }
  void TearDown() override {
    LogFileClose();
    LogLevel(kLogInfo);
  }
};

TEST_F(LogFileTest, LinesFiltersAndConsoleCopies) {
  CaptureStdout();
  ASSERT_TRUE(LogFileOpen(kLogFileName));
  LogMessage(kLogDebug, "hidden at Info");
  LogMessage(kLogInfo, "Service Started");
  LogMessage(kLogFatal, "fatal %d", 2);
  LogMessage(kLogInfo | kLogConsoleFlag, "echoed");
  LogMessage(kLogWarn, "%s", std::string(3000, 'w').c_str());
  LogFileClose();
  std::string console = GetCapturedStdout();

  // The directory is made before the file is open, so its line goes to the
  // console only.
  EXPECT_EQ(console,
            "  Info: Created Log directory /tmp/kesta/log\n Fatal: fatal 2\n  Info: echoed\n");
  std::string file = test::ReadFile("/tmp/kesta/log/dusk.log");
  std::regex expected(
      "\\d{8} \\d\\d:\\d\\d:\\d\\d  Info: KESTA-DUSK: Service Started\n"
      "\\d{8} \\d\\d:\\d\\d:\\d\\d Fatal: KESTA-DUSK: fatal 2\n"
      "\\d{8} \\d\\d:\\d\\d:\\d\\d  Info: KESTA-DUSK: echoed\n"
      "\\d{8} \\d\\d:\\d\\d:\\d\\d  Warn: KESTA-DUSK: w{2046}\n");
  EXPECT_TRUE(std::regex_match(file, expected)) << file;

  struct stat st;
  ASSERT_EQ(stat("/tmp/kesta/log/dusk.log", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST_F(LogFileTest, ExistingFileKeepsItsMode) {
  mkdir("/tmp/kesta/log", 0755);
  test::WriteFile("/tmp/kesta/log/dusk.log", "old line\n");
  chmod("/tmp/kesta/log/dusk.log", 0600);
  ASSERT_TRUE(LogFileOpen(kLogFileName));
  LogMessage(kLogInfo, "appended");
  LogFileClose();
  struct stat st;
  ASSERT_EQ(stat("/tmp/kesta/log/dusk.log", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(test::ReadFile("/tmp/kesta/log/dusk.log").rfind("old line\n", 0), 0u);
}

TEST_F(LogFileTest, SaveKeepsOneOlderGeneration) {
  for (const char* run : {"first", "second", "third"}) {
    LogFileSave(kLogFileName);
    ASSERT_TRUE(LogFileOpen(kLogFileName));
    LogMessage(kLogInfo, "%s", run);
    LogFileClose();
  }
  std::string current = test::ReadFile("/tmp/kesta/log/dusk.log");
  std::string prev = test::ReadFile("/tmp/kesta/log/dusk.log.prev");
  EXPECT_NE(current.find("third"), std::string::npos);
  EXPECT_EQ(current.find("second"), std::string::npos);
  EXPECT_NE(prev.find("second"), std::string::npos);
  EXPECT_EQ(prev.find("first"), std::string::npos);
}

TEST_F(LogFileTest, WithoutLogPathTheFileIsTheBareName) {
  test::WriteFile("/etc/kesta/dusk/dusk.conf", "[Application]\n");
  std::string directory = "x", path;
  test::LogCapture log;
  EXPECT_FALSE(LogFilePath(kLogFileName, &directory, &path));
  EXPECT_EQ(path, "dusk.log");
  EXPECT_EQ(directory, "");
  EXPECT_TRUE(log.Has(kLogWarn, "Failed to Get Config Value from Key LogPath"));
}

TEST(LogTest, UnopenedLogGoesToStdout) {
  ASSERT_FALSE(LogFileIsOpen());
  CaptureStdout();
  LogMessage(kLogError, "to the console");
  LogMessage(42, "unknown level");  // above every level: filtered
  EXPECT_EQ(GetCapturedStdout(), " Error: to the console\n");
  EXPECT_STREQ(LogTag(9), "");
  EXPECT_STREQ(LogTag(1), "        ");
}

TEST(LogTest, SilenceIsFinal) {
  // In a child process, so the rest of the tests keep their log.
  EXPECT_EXIT(
      {
        LogSilence();
        LogLevel(kLogTrace);
        LogMessage(kLogFatal, "never written");
        exit(LogDisabled() && LogCurrentLevel() == kLogOff ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace dusk
