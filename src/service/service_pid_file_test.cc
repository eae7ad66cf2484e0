#include "service/service_pid_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "support/test_util.h"
#include "util/files.h"

namespace dusk {
namespace {

TEST(ServicePidFileTest, WrittenWholeOverAStaleOneAndReadableByAll) {
  test::TempDir dir;
  const std::string path = dir / "dusk.pid";
  test::WriteFile(path, "999999\n");
  // A umask that would hide the file from other users must not.
  const mode_t saved_umask = umask(077);
  int error = -1;
  const bool written = WriteServicePidFile(path, 4242, &error);
  umask(saved_umask);
  ASSERT_TRUE(written);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(test::ReadFile(path), "4242\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_FALSE(FileExists(path + "." + std::to_string(getpid())));
}

TEST(ServicePidFileTest, MissingDirectoryIsReported) {
  test::TempDir dir;
  int error = 0;
  EXPECT_FALSE(WriteServicePidFile(dir / "missing/dusk.pid", 4242, &error));
  EXPECT_EQ(error, ENOENT);
}

TEST(ServicePidFileTest, RemovedOnlyWhenItNamesTheService) {
  test::TempDir dir;
  const std::string path = dir / "dusk.pid";
  struct Case {
    const char* content;
    bool removed;
  };
  // A service started since the one that ends owns the file; a pid that
  // merely begins alike is another process.
  const Case cases[] = {{"4242\n", true}, {"4243\n", false}, {"42420\n", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    test::WriteFile(path, c.content);
    RemoveServicePidFile(path, 4242);
    EXPECT_EQ(FileExists(path), !c.removed);
  }
  RemoveServicePidFile(dir / "absent.pid", 4242);
  EXPECT_FALSE(FileExists(dir / "absent.pid"));
}

}  // namespace
}  // namespace dusk
