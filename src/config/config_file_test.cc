#include "config/config_file.h"

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

/// A dusk.conf in a directory of the test's own.
class ConfigFileTest : public ::testing::Test {
 protected:
  test::ConfigDir dir_;
  const std::string conf_ = dir_.conf();
  const std::string prev_ = dir_.prev();
};

TEST_F(ConfigFileTest, PresenceNeedsContentAndHeader) {
  std::string path;
  EXPECT_FALSE(FindConfigFile("", &path));
  EXPECT_EQ(path, conf_);
  test::WriteFile(conf_, "");
  EXPECT_FALSE(FindConfigFile("", nullptr));
  test::WriteFile(conf_, "[Config]\n");
  EXPECT_TRUE(FindConfigFile("", nullptr));
  EXPECT_TRUE(FindConfigFile(dir_.path(), nullptr, ConfigSection::kConfig));
  EXPECT_FALSE(FindConfigFile("", nullptr, ConfigSection::kApplication));
}

TEST_F(ConfigFileTest, TypedReadsAndWritesWithTheirLines) {
  test::WriteFile(conf_, "[Application]\nServerName=srv\n[Config]\nprobetimelimit= 42x\n");
  test::LogCapture log;
  int number = -1;
  EXPECT_EQ(GetConfigInt(ConfigSection::kConfig, "ProbeTimeLimit", &number), ConfigRead::kFound);
  EXPECT_EQ(number, 42);
  std::string value = "default";
  EXPECT_EQ(GetConfigString(ConfigSection::kApplication, "LogPath", &value), ConfigRead::kMissing);
  EXPECT_EQ(value, "default");
  EXPECT_TRUE(log.Has(kLogWarn, "Failed to Get Config Value from Key LogPath"));

  EXPECT_TRUE(SetConfigString(ConfigSection::kApplication, "LogLevel", "debug"));
  EXPECT_TRUE(log.Has(kLogInfo, "Updated Registry Key LogLevel with Value \"debug\""));
  EXPECT_TRUE(SetConfigInt(ConfigSection::kConfig, "probetimelimit", 0));
  EXPECT_TRUE(log.Has(kLogInfo, "Updated Registry Key probetimelimit with Value \"0\""));
  EXPECT_TRUE(DeleteConfigKey(ConfigSection::kApplication, "servername"));
  EXPECT_TRUE(log.Has(kLogInfo, "Deleted Registry Key servername"));
  EXPECT_EQ(test::ReadFile(conf_),
            "[Application]\nLogLevel=debug\n[Config]\nprobetimelimit=0\n");

  EXPECT_FALSE(UpdateConfigFile(static_cast<ConfigOp>(7), ConfigSection::kConfig, "a", "b"));
  EXPECT_TRUE(log.Has(kLogError, "Invalid Config file operation type 7 Specified"));
  EXPECT_EQ(ReadConfigValue(static_cast<ConfigSection>(4), "a", &value), ConfigRead::kFailed);
  EXPECT_TRUE(log.Has(kLogError, "Invalid Config file section type 4 Specified"));
  EXPECT_FALSE(UpdateConfigFile(ConfigOp::kReplace, ConfigSection::kConfig, "", "b"));
}

TEST_F(ConfigFileTest, PreviousVersionFollowsEachUpdate) {
  const std::string v1 = "[Config]\nserverprobed=0\n";
  test::WriteFile(conf_, v1);
  ASSERT_TRUE(SetConfigInt(ConfigSection::kConfig, "serverprobed", 1));
  EXPECT_EQ(test::ReadFile(prev_), v1);
  const std::string v2 = test::ReadFile(conf_);
  EXPECT_EQ(v2, "[Config]\nserverprobed=1\n");
  ASSERT_TRUE(SetConfigInt(ConfigSection::kConfig, "registrationinterval", 5));
  EXPECT_EQ(test::ReadFile(prev_), v2);
  // No temporary file is left behind.
  std::string temp = std::string(conf_) + "." + std::to_string(getpid());
  EXPECT_NE(access(temp.c_str(), F_OK), 0);
  EXPECT_NE(access((std::string(prev_) + "." + std::to_string(getpid())).c_str(), F_OK), 0);
}

TEST_F(ConfigFileTest, MissingFileIsNeverCreatedByAnUpdate) {
  test::LogCapture log;
  EXPECT_FALSE(SetConfigString(ConfigSection::kApplication, "LogLevel", "debug"));
  EXPECT_FALSE(FindConfigFile("", nullptr));
  EXPECT_TRUE(log.Has(kLogError, "Failed to Write Config file Value \"debug\" for Key LogLevel"));
}

TEST_F(ConfigFileTest, UnwritableDirectoryLeavesTheFileAlone) {
  const std::string content = "[Application]\nLogLevel=info\n";
  test::WriteFile(conf_, content);
  const std::string& dir = dir_.path();
  // The mode of the directory stops any user but root, whom only a
  // read-only mount stops.
  if (geteuid() == 0) {
    DUSK_REQUIRE_SANDBOX("a read-only bind mount, which alone stops root from writing");
    ASSERT_EQ(mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr), 0);
    ASSERT_EQ(mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
  } else {
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  }
  test::LogCapture log;
  EXPECT_FALSE(SetConfigString(ConfigSection::kApplication, "LogLevel", "debug"));
  if (geteuid() == 0)
    ASSERT_EQ(umount(dir.c_str()), 0);
  else
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  EXPECT_TRUE(log.Has(kLogError, "Failed to open temporary conf file " + conf_ + "." +
                                     std::to_string(getpid()) + " for update"));
  EXPECT_EQ(test::ReadFile(conf_), content);
}

TEST_F(ConfigFileTest, EntriesThatWouldCorruptTheFileAreRefused) {
  const std::string content = "[Application]\nServerName=srv\n";
  test::WriteFile(conf_, content);
  test::LogCapture log;
  EXPECT_FALSE(SetConfigString(ConfigSection::kApplication, "ServerName", "a\nLogLevel=trace"));
  EXPECT_FALSE(SetConfigString(ConfigSection::kApplication, "ServerName", std::string(10000, 's')));
  EXPECT_TRUE(log.Has(kLogError,
                      "Cannot write Config file Key ServerName - the value holds a line break"));
  EXPECT_EQ(test::ReadFile(conf_), content);
}

TEST_F(ConfigFileTest, KillAtAnyMomentLeavesOldOrNewContent) {
  const std::string a = "[Application]\nLogLevel=info\n" + std::string(20000, '#') + "\n";
  const std::string b = "[Application]\nLogLevel=trace\n" + std::string(20000, '#') + "\n";
  test::WriteFile(conf_, a);
  std::mt19937 random(1234);
  for (int round = 0; round < 60; ++round) {
    pid_t child = fork();
    if (child == 0) {
      LogSilence();
      for (bool flip = true;; flip = !flip)
        SetConfigString(ConfigSection::kApplication, "LogLevel", flip ? "trace" : "info");
    }
    usleep(std::uniform_int_distribution<int>(0, 20000)(random));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::string now = test::ReadFile(conf_);
    ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.substr(0, 40);
    std::string prev = test::ReadFile(prev_);
    ASSERT_TRUE(prev.empty() || prev == a || prev == b) << "round " << round;
  }
}

// The service and a command started beside it both rewrite the file: no
// writer may undo another's change.
TEST_F(ConfigFileTest, ConcurrentWritersKeepEveryChange) {
  test::WriteFile(conf_, "[Application]\n[Config]\n");
  constexpr int kWriters = 3, kKeys = 40;
  auto KeyOf = [](int writer, int key) {
    return "w" + std::to_string(writer) + "k" + std::to_string(key);
  };
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      LogSilence();
      bool ok = true;
      for (int k = 0; k < kKeys; ++k)
        ok &= SetConfigInt(ConfigSection::kConfig, KeyOf(w, k), k);
      _exit(ok ? 0 : 1);
    }
    writers.push_back(pid);
  }
  for (pid_t pid : writers) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < kWriters; ++w)
    for (int k = 0; k < kKeys; ++k) {
      std::string value;
      EXPECT_EQ(ReadConfigValue(ConfigSection::kConfig, KeyOf(w, k), &value), ConfigRead::kFound)
          << KeyOf(w, k);
    }
}

TEST_F(ConfigFileTest, ServerAddressPrecedence) {
  std::string host, port;
  GetServerAddress("", "", &host, &port);
  EXPECT_EQ(host, "kesta-server");
  EXPECT_EQ(port, "3466");
  test::WriteFile(conf_, "[Application]\nServerName=conf-host\nServerPort=99\n");
  GetServerAddress("", "", &host, &port);
  EXPECT_EQ(host, "conf-host");
  EXPECT_EQ(port, "99");
  GetServerAddress(std::string(300, 'h'), std::string(40, '1'), &host, &port);
  EXPECT_EQ(host, std::string(255, 'h'));
  EXPECT_EQ(port, std::string(31, '1'));
}

}  // namespace
}  // namespace dusk
