#include "util/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "support/test_util.h"
#include "util/report.h"

namespace dusk {
namespace {

TEST(FilesTest, PathPieces) {
  struct {
    const char* path;
    const char* base;
    const char* rest;
  } cases[] = {{"", "", ""},          {"name", "name", ""},   {"dir/", "", ""},
               {"/", "", ""},          {"/a/b/c", "c", "a/b/c"}, {"a/b", "b", "b"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(BaseName(c.path), c.base);
    EXPECT_EQ(StripFirstComponent(c.path), c.rest);
  }
}

TEST(FilesTest, ErrorTexts) {
  EXPECT_EQ(ErrorText(ENOENT), std::string("Error (2): ") + strerror(ENOENT));
  EXPECT_EQ(SocketErrorText(ECONNREFUSED),
            "Socket Error (" + std::to_string(ECONNREFUSED) + "): " + strerror(ECONNREFUSED));
}

TEST(FilesTest, ExistsChangeDirAndDelete) {
  test::TempDir dir;
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FileExists(dir.path()));
  std::string cwd = GetCwd();
  EXPECT_EQ(ChangeDir(""), 1);
  EXPECT_EQ(GetCwd(), cwd);
  test::LogCapture log;
  EXPECT_EQ(ChangeDir(dir / "missing"), 0);
  EXPECT_TRUE(log.Has(kLogError, "Failed to change directory to " + (dir / "missing") +
                                     " - " + ErrorText(ENOENT)));
  test::WriteFile(dir / "f", "x");
  EXPECT_TRUE(DeleteFile(dir / "f"));
  EXPECT_FALSE(DeleteFile(dir / "f"));
}

TEST(FilesTest, CopyFileKeepsExistingTargetWhenAsked) {
  test::TempDir dir;
  std::string big(5000, 'q');
  test::WriteFile(dir / "src", big);
  test::WriteFile(dir / "dst", "old");
  EXPECT_FALSE(CopyFile(dir / "src", dir / "dst", true));
  EXPECT_EQ(test::ReadFile(dir / "dst"), "old");
  EXPECT_TRUE(CopyFile(dir / "src", dir / "dst", false));
  EXPECT_EQ(test::ReadFile(dir / "dst"), big);
  EXPECT_FALSE(CopyFile(dir / "none", dir / "dst2", false));
}

TEST(FilesTest, CreateDirectoryFailsOnExistingButAppliesMode) {
  test::TempDir dir;
  std::string sub = dir / "sub";
  EXPECT_TRUE(CreateDirectory(sub, 0700));
  EXPECT_FALSE(CreateDirectory(sub, 0755));
  struct stat st;
  ASSERT_EQ(stat(sub.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_FALSE(CreateDirectory("", 0));
}

// Made directories are nobody else's to write into, whatever the umask,
// and the mode never lands on what a link names.
TEST(FilesTest, CreateDirectoryModeIgnoresTheUmaskAndLinks) {
  test::TempDir dir;
  const mode_t saved = umask(0);
  EXPECT_TRUE(CreateDirectory(dir / "made", 0));
  const std::string victim = dir / "victim";
  ASSERT_EQ(mkdir(victim.c_str(), 0700), 0);
  ASSERT_EQ(symlink(victim.c_str(), (dir / "link").c_str()), 0);
  EXPECT_FALSE(CreateDirectory(dir / "link", 0));
  umask(saved);
  struct stat st;
  ASSERT_EQ(stat((dir / "made").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_EQ(stat(victim.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST(FilesTest, CreateDirectoriesMakesEachLevel) {
  test::TempDir dir;
  std::string d, n;
  EXPECT_TRUE(CreateDirectories(dir / "a/b/file.bin", &d, &n, 0));
  EXPECT_EQ(d, dir / "a/b");
  EXPECT_EQ(n, "file.bin");
  EXPECT_TRUE(FileExists(dir / "a/b"));
  EXPECT_FALSE(FileExists(dir / "a/b/file.bin"));

  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  EXPECT_TRUE(CreateDirectories("x/y/", &d, &n, 0));
  EXPECT_EQ(d, "x/y/");
  EXPECT_EQ(n, "");
  EXPECT_TRUE(FileExists(dir / "x/y"));
  EXPECT_FALSE(CreateDirectories("", &d, &n, 0));
  ASSERT_EQ(chdir("/"), 0);
}


TEST(ReplaceFileTest, NewContentModeAndPreviousVersion) {
  test::TempDir dir;
  const std::string path = dir / "f.conf";
  ReplaceOptions options;
  options.mode = 0600;
  options.previous_path = path + ".prev";
  // No old file: nothing to keep.
  ASSERT_TRUE(ReplaceFileAtomically(path, "one\n", options).ok());
  EXPECT_FALSE(FileExists(options.previous_path));
  ASSERT_TRUE(ReplaceFileAtomically(path, "two\n", options).ok());
  EXPECT_EQ(test::ReadFile(path), "two\n");
  EXPECT_EQ(test::ReadFile(options.previous_path), "one\n");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Nothing but the file and its previous version is left behind.
  EXPECT_FALSE(FileExists(path + "." + std::to_string(getpid())));
}

TEST(ReplaceFileTest, PreviousAlreadyTheFileLeavesNoStagingName) {
  // Two writers keep the same file as the previous version one after the
  // other: the second finds .prev already a link to it.
  test::TempDir dir;
  const std::string path = dir / "f.conf";
  test::WriteFile(path, "one\n");
  ReplaceOptions options;
  options.previous_path = path + ".prev";
  ASSERT_EQ(link(path.c_str(), options.previous_path.c_str()), 0);
  ASSERT_TRUE(ReplaceFileAtomically(path, "two\n", options).ok());
  EXPECT_EQ(test::ReadFile(path), "two\n");
  EXPECT_EQ(test::ReadFile(options.previous_path), "one\n");
  EXPECT_FALSE(FileExists(options.previous_path + "." + std::to_string(getpid())));
}

TEST(ReplaceFileTest, FailureLeavesTheFileAndNoTemporary) {
  test::TempDir dir;
  const std::string path = dir / "f";
  test::WriteFile(path, "old");
  // The previous version cannot be kept in a directory that does not exist.
  ReplaceOptions options;
  options.previous_path = dir / "missing/f.prev";
  ReplaceResult result = ReplaceFileAtomically(path, "new", options);
  EXPECT_EQ(result.failed, ReplaceStep::kKeepPrevious);
  EXPECT_EQ(result.error, ENOENT);
  EXPECT_EQ(test::ReadFile(path), "old");
  EXPECT_FALSE(FileExists(result.temp_path));
  // Nor can a file be written where its directory is missing.
  result = ReplaceFileAtomically(dir / "missing/g", "new");
  EXPECT_EQ(result.failed, ReplaceStep::kWriteTemp);
  // A directory in the way of the rename.
  mkdir((dir / "d").c_str(), 0755);
  mkdir((dir / "d/x").c_str(), 0755);
  result = ReplaceFileAtomically(dir / "d", "new");
  EXPECT_EQ(result.failed, ReplaceStep::kRename);
  EXPECT_FALSE(FileExists(result.temp_path));
}

}  // namespace
}  // namespace dusk
