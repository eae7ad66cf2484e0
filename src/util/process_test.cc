#include "util/process.h"

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_util.h"
#include "util/report.h"

namespace dusk {
namespace {

constexpr int kOwnPid = 100;

/// A /proc of entries named as given, each with the given cmdline content,
/// or without a cmdline file (a process that ended during the scan).
void MakeProc(const std::string& root,
              const std::map<std::string, std::optional<std::string>>& entries) {
  for (const auto& [name, cmdline] : entries) {
    std::string dir = root + "/" + name;
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0) << dir;
    if (cmdline) test::WriteFile(dir + "/cmdline", *cmdline);
  }
}

TEST(FindProcessTest, MatchesArgvZeroByTheRules) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::map<std::string, std::optional<std::string>> entries;
    std::string searched;
    int pid;
  };
  const std::string long_dir = "/" + std::string(4089, 'a');  // + "/dusk" = 4095 bytes
  const std::vector<Case> cases = {
      {"installed path", {{"200", "/opt/kesta/dusk/dusk\0-instagent\0"s}}, "dusk", 200},
      {"bare name", {{"200", "dusk\0"s}}, "dusk", 200},
      {"a script named like it", {{"200", "/opt/kesta/dusk/dusk.sh\0"s}}, "dusk", 0},
      {"letter case counts", {{"200", "/opt/kesta/dusk/Dusk\0"s}}, "dusk", 0},
      {"an argument is not the command", {{"200", "/bin/sh\0dusk\0"s}}, "dusk", 0},
      {"a directory named like it", {{"200", "/opt/dusk/\0"s}}, "dusk", 0},
      {"absolute name needs the whole path", {{"200", "dusk\0"s}}, "/opt/kesta/dusk/dusk", 0},
      {"absolute name", {{"200", "/opt/kesta/dusk/dusk\0"s}}, "/opt/kesta/dusk/dusk", 200},
      {"own process skipped", {{"100", "dusk\0"s}}, "dusk", 0},
      {"own process skipped, another found", {{"100", "dusk\0"s}, {"300", "dusk\0"s}},
       "dusk", 300},
      {"entries that are no process, ended, or kernel threads",
       {{"self", "dusk\0"s}, {"12ab", "dusk\0"s}, {".7", "dusk\0"s}, {"99999999999", "dusk\0"s},
        {"400", std::nullopt}, {"401", ""}, {"402", "dusk\0"s}},
       "dusk", 402},
      {"empty name", {{"200", "\0"s}, {"201", "dusk\0"s}}, "", 0},
      {"argv[0] within the bytes read", {{"200", long_dir + "/dusk"}}, "dusk", 200},
      {"argv[0] beyond the bytes read", {{"200", long_dir + "a/dusk"}}, "dusk", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir proc;
    MakeProc(proc.path(), c.entries);
    EXPECT_EQ(FindProcessIn(proc.path(), c.searched, kOwnPid), c.pid);
  }
}

TEST(FindProcessTest, UnreadableProcFindsNothing) {
  test::LogCapture log;
  EXPECT_EQ(FindProcessIn("/nonexistent/proc", "dusk", kOwnPid), 0);
  EXPECT_TRUE(log.Has(kLogWarn, "Failed to open /nonexistent/proc"));
}

}  // namespace
}  // namespace dusk
