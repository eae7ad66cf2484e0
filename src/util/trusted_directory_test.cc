#include "util/trusted_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "support/test_util.h"
#include "util/report.h"

namespace dusk {
namespace {

/// The uid of the unprivileged stranger in the cases that need root.
constexpr uid_t kStranger = 65534;

struct stat StatOf(const std::string& path) {
  struct stat st = {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

/// True when |fd| is the directory |path|.
bool IsDirectory(const UniqueFd& fd, const std::string& path) {
  struct stat of_fd = {};
  const struct stat of_path = StatOf(path);
  return fd && fstat(fd.get(), &of_fd) == 0 && of_fd.st_dev == of_path.st_dev &&
         of_fd.st_ino == of_path.st_ino;
}

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : saved_(umask(mask)) {}
  ~ScopedUmask() { umask(saved_); }

 private:
  mode_t saved_;
};

TEST(TrustedDirectoryTest, MissingDirectoriesAreMadeWithTheirModeWhateverTheUmask) {
  test::TempDir dir;
  test::LogCapture log;
  DirectoryCheck check;
  UniqueFd fd;
  {
    ScopedUmask mask(077);
    fd = OpenTrustedDirectory(dir / "a/./b//x/../media", &check);
  }
  ASSERT_TRUE(check.ok()) << DirectoryCheckText(check);
  EXPECT_TRUE(IsDirectory(fd, dir / "a/b/media"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a/b/x"));
  for (const char* made : {"a", "a/b", "a/b/media"}) {
    EXPECT_EQ(StatOf(dir / made).st_mode & 07777, kMadeDirectoryMode) << made;
    EXPECT_TRUE(log.Has(kLogInfo, "Created directory " + dir / made)) << made;
  }
  // Found as it is the second time: nothing is made or changed.
  log.Clear();
  EXPECT_TRUE(OpenTrustedDirectory(dir / "a/b/media", &check));
  EXPECT_TRUE(log.lines().empty());

  // Below an open directory: the user's own directories need only be real
  // ones; trusted ones are checked as on the way there.
  ASSERT_EQ(chmod((dir / "a/b/media").c_str(), 0775), 0);
  {
    ScopedUmask mask(077);
    UniqueFd sub = OpenDirectoryBelow(fd.get(), "sub/dir", dir / "a/b/media",
                                      DirectoryTrust::kUsersOwn, &check);
    ASSERT_TRUE(check.ok()) << DirectoryCheckText(check);
    EXPECT_TRUE(IsDirectory(sub, dir / "a/b/media/sub/dir"));
  }
  EXPECT_EQ(StatOf(dir / "a/b/media/sub/dir").st_mode & 07777, kMadeDirectoryMode);
  UniqueFd same = OpenDirectoryBelow(fd.get(), "", dir / "a/b/media", DirectoryTrust::kTrusted,
                                     &check);
  EXPECT_TRUE(IsDirectory(same, dir / "a/b/media"));
  ASSERT_EQ(chmod((dir / "a/b/media/sub").c_str(), 0770), 0);
  EXPECT_FALSE(OpenDirectoryBelow(fd.get(), "sub/dir", dir / "a/b/media",
                                  DirectoryTrust::kTrusted, &check));
  EXPECT_EQ(DirectoryCheckText(check),
            dir / "a/b/media/sub" + " is writable by group or others (mode 0770)");
  EXPECT_FALSE(OpenDirectoryBelow(fd.get(), "sub/../..", dir / "a/b/media",
                                  DirectoryTrust::kUsersOwn, &check));
}

TEST(TrustedDirectoryTest, RefusedDirectoriesAreNamedWithTheirFault) {
  test::TempDir dir;
  const std::string elsewhere = dir / "elsewhere";
  std::filesystem::create_directories(elsewhere);
  struct Case {
    const char* name;
    std::function<void()> setup;
    std::string path;      // opened
    std::string refused;   // the directory named
    std::string why;
    bool needs_root = false;
  };
  const Case cases[] = {
      {"link as the media directory",
       [&] { std::filesystem::create_directory_symlink(elsewhere, dir / "media"); },
       dir / "media", dir / "media", " is a symbolic link"},
      {"link on the way",
       [&] { std::filesystem::create_directory_symlink(elsewhere, dir / "kesta"); },
       dir / "kesta/dusk/media", dir / "kesta", " is a symbolic link"},
      {"file on the way", [&] { test::WriteFile(dir / "kesta", "x"); }, dir / "kesta/media",
       dir / "kesta", " is not a directory"},
      {"group-writable on the way",
       [&] { std::filesystem::create_directories(dir / "kesta"); chmod((dir / "kesta").c_str(), 0775); },
       dir / "kesta/media", dir / "kesta", " is writable by group or others (mode 0775)"},
      {"own sticky directory",
       [&] { std::filesystem::create_directories(dir / "kesta"); chmod((dir / "kesta").c_str(), 01777); },
       dir / "kesta/media", dir / "kesta",
       geteuid() == 0 ? "" : " is writable by group or others (mode 1777)"},
      {"sticky directory as the last",
       [&] { std::filesystem::create_directories(dir / "kesta"); chmod((dir / "kesta").c_str(), 01777); },
       dir / "kesta", dir / "kesta", " is writable by group or others (mode 1777)"},
      {"made beforehand by another user",
       [&] {
         std::filesystem::create_directories(dir / "kesta");
         EXPECT_EQ(chown((dir / "kesta").c_str(), kStranger, kStranger), 0);
       },
       dir / "kesta/dusk/media", dir / "kesta", " is owned by uid 65534", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_root && geteuid() != 0) continue;
    for (const char* name : {"media", "kesta"}) test::RemoveTree(dir / name);
    c.setup();
    DirectoryCheck check;
    UniqueFd fd = OpenTrustedDirectory(c.path, &check);
    if (c.why.empty()) {
      // Root's sticky directory above the last passes, as /tmp does.
      EXPECT_TRUE(fd) << DirectoryCheckText(check);
      continue;
    }
    EXPECT_FALSE(fd);
    EXPECT_EQ(DirectoryCheckText(check), c.refused + c.why);
    // Nothing was made anywhere below or through the refused directory.
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    EXPECT_FALSE(std::filesystem::exists(dir / "kesta/dusk"));
  }
}

// The machine's own /tmp: passed on the way (root's sticky directory),
// refused as the directory itself.
TEST(TrustedDirectoryTest, RootsStickyTmpOnlyOnTheWay) {
  const struct stat tmp = StatOf("/tmp");
  if (tmp.st_uid != 0 || (tmp.st_mode & 01777) != 01777) GTEST_SKIP() << "/tmp is not 1777 root";
  DirectoryCheck check;
  EXPECT_FALSE(OpenTrustedDirectory("/tmp", &check));
  EXPECT_EQ(DirectoryCheckText(check), "/tmp is writable by group or others (mode 1777)");
  char pattern[] = "/tmp/dusk-trusted.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  EXPECT_TRUE(OpenTrustedDirectory(pattern, &check)) << DirectoryCheckText(check);
  rmdir(pattern);
}

}  // namespace
}  // namespace dusk
