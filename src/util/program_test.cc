#include "util/program.h"

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace dusk {
namespace {

TEST(ProgramTest, PathsFromTheProcLink) {
  std::string cmd, install;
  GetProgramPaths("/proc", "ignored", &cmd, &install);
  EXPECT_EQ(cmd.substr(cmd.rfind('/') + 1), "dusk_tests");
  EXPECT_EQ(install, cmd.substr(0, cmd.rfind('/')));

  // A process table without the link leaves argv[0] to go by.
  test::TempDir no_links;
  GetProgramPaths(no_links.path(), "/abs/dusk", &cmd, &install);
  EXPECT_EQ(cmd, "/abs/dusk");
  EXPECT_EQ(install, "/abs");
}

TEST(ProgramTest, PathsFromArgv0) {
  EXPECT_EQ(CommandPathFromArgv0("./dusk", "/opt/kesta/dusk"), "/opt/kesta/dusk/dusk");
  EXPECT_EQ(CommandPathFromArgv0("bin/dusk", "/usr"), "/usr/bin/dusk");
  EXPECT_EQ(CommandPathFromArgv0("/abs/dusk", "/usr"), "/abs/dusk");
  EXPECT_EQ(CommandPathFromArgv0("", "/usr"), "");
}

TEST(ProgramTest, VersionAndOperatingSystem) {
  std::string major, minor, build, revision, os;
  EXPECT_TRUE(GetBuildVersion(&major, &minor, &build, &revision));
  EXPECT_EQ(major + "." + minor + " " + build + " " + revision, "7.8 33 1");
  EXPECT_EQ(GetOSName(&os), 53);
  EXPECT_EQ(os, "Linux ThinClient");
  EXPECT_STREQ(OSTypeName(81), "Linux");
  EXPECT_STREQ(OSTypeName(12345), "Unsupported");
}

}  // namespace
}  // namespace dusk
