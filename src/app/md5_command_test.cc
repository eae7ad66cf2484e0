#include "app/md5_command.h"

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

TEST(Md5CommandTest, OneLineForEachOutcome) {
  test::TempDir dir;
  test::WriteFile(dir / "abc", "abc");
  struct {
    std::string file;
    int level;
    std::string message;
  } cases[] = {
      {dir / "abc", kLogInfo, "MD5 for " + (dir / "abc") + " is 900150983cd24fb0d6963f7d28e17f72"},
      {"", kLogWarn, "Must specify a filename"},
      {dir / "none", kLogWarn, "Filename specified " + (dir / "none") + " does not exist"},
      {dir.path(), kLogError, "Failed to generate MD5 for file " + dir.path()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    test::LogCapture log;
    MD5FileDigest(c.file);
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines().back(), std::make_pair(c.level, c.message));
  }
}

}  // namespace
}  // namespace dusk
