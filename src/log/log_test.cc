#include "log/log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <sstream>

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace dusk {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

/// A log in a directory "log" not made yet, closed at level Info around
/// every test.
class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override { LogLevel(kLogInfo); }
  void TearDown() override {
    LogFileClose();
    LogLevel(kLogInfo);
  }

  test::TempDir root_;
  const std::string dir_ = root_ / "log";
  const std::string file_ = dir_ + "/dusk.log";
  const LogDirectory log_dir_ = dir_;
};

TEST_F(LogFileTest, LinesFiltersAndConsoleCopies) {
  CaptureStdout();
  ASSERT_TRUE(LogFileOpen(kLogFileName, log_dir_));
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
            "  Info: Created Log directory " + dir_ + "\n Fatal: fatal 2\n  Info: echoed\n");
  // Each file line is "YYYYMMDD HH:MM:SS", the tag, the service name, ": "
  // and the message.
  std::istringstream file(test::ReadFile(file_));
  const std::string kExpected[] = {
      "  Info: KESTA-DUSK: Service Started", " Fatal: KESTA-DUSK: fatal 2",
      "  Info: KESTA-DUSK: echoed", "  Warn: KESTA-DUSK: " + std::string(2046, 'w')};
  std::string line;
  for (const std::string& expected : kExpected) {
    ASSERT_TRUE(std::getline(file, line));
    ASSERT_GE(line.size(), 17u);
    std::string stamp = line.substr(0, 17);
    for (size_t i = 0; i < stamp.size(); ++i) {
      bool digit = i != 8 && i != 11 && i != 14;
      EXPECT_EQ(digit, isdigit(static_cast<unsigned char>(stamp[i])) != 0) << stamp;
    }
    EXPECT_EQ(stamp.substr(8, 1) + stamp.substr(11, 1) + stamp.substr(14, 1), " ::");
    EXPECT_EQ(line.substr(17), expected);
  }
  EXPECT_FALSE(std::getline(file, line));

  struct stat st;
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// Nobody but the program writes to its log: a new one is 0644 whatever the
// umask, a found one keeps its mode less the write permission of others.
TEST_F(LogFileTest, NobodyElseMayWriteTheLog) {
  mkdir(dir_.c_str(), 0755);
  struct {
    mode_t found;  // 0: no file yet
    mode_t after;
  } cases[] = {{0, 0644}, {0600, 0600}, {0666, 0644}, {0664, 0644}, {0620, 0600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.found);
    unlink(file_.c_str());
    if (c.found != 0) {
      test::WriteFile(file_, "old line\n");
      chmod(file_.c_str(), c.found);
    }
    const mode_t saved = umask(c.found == 0 ? 077 : 0);
    const bool opened = LogFileOpen(kLogFileName, log_dir_);
    umask(saved);
    ASSERT_TRUE(opened);
    LogMessage(kLogInfo, "appended");
    LogFileClose();
    struct stat st;
    ASSERT_EQ(stat(file_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, c.after);
    if (c.found != 0) {
      EXPECT_EQ(test::ReadFile(file_).rfind("old line\n", 0), 0u);
    }
  }
}

TEST_F(LogFileTest, SaveKeepsOneOlderGeneration) {
  for (const char* run : {"first", "second", "third"}) {
    LogFileSave(kLogFileName, log_dir_);
    ASSERT_TRUE(LogFileOpen(kLogFileName, log_dir_));
    LogMessage(kLogInfo, "%s", run);
    LogFileClose();
  }
  std::string current = test::ReadFile(file_);
  std::string prev = test::ReadFile(file_ + ".prev");
  EXPECT_NE(current.find("third"), std::string::npos);
  EXPECT_EQ(current.find("second"), std::string::npos);
  EXPECT_NE(prev.find("second"), std::string::npos);
  EXPECT_EQ(prev.find("first"), std::string::npos);
}

// The service writes as root into a directory others may be able to write
// to: a link planted as dusk.log must not lead its lines anywhere.
TEST_F(LogFileTest, NeverFollowsALinkPlantedAsTheLog) {
  ASSERT_TRUE(LogFileOpen(kLogFileName, log_dir_));
  LogFileClose();
  struct stat st;
  ASSERT_EQ(stat(dir_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  const std::string victim = root_ / "victim";
  test::WriteFile(victim, "precious\n");
  unlink(file_.c_str());
  ASSERT_EQ(symlink(victim.c_str(), file_.c_str()), 0);
  test::LogCapture log;
  LogFileSave(kLogFileName, log_dir_);
  EXPECT_FALSE(LogFileOpen(kLogFileName, log_dir_));
  LogMessage(kLogError, "where does this go");
  EXPECT_EQ(test::ReadFile(victim), "precious\n");
  EXPECT_TRUE(log.Has(kLogError, "Failed to Save " + file_ + " - not a regular file"));
  EXPECT_TRUE(log.Has(kLogError, "Could not open log file " + file_ +
                                     " - Error (40): Too many levels of symbolic links"));
}

TEST_F(LogFileTest, WithoutLogPathTheFileIsTheBareName) {
  std::string path = "x";
  EXPECT_FALSE(LogFilePath(kLogFileName, std::nullopt, &path));
  EXPECT_EQ(path, "dusk.log");
  EXPECT_TRUE(LogFilePath(kLogFileName, "", &path));
  EXPECT_EQ(path, "dusk.log");
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
