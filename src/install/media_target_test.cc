#include "install/media_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace dusk {
namespace {

/// Every file and link below |dir|, relative, sorted.
std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (!entry.is_directory() || entry.is_symlink())
      names.push_back(std::filesystem::relative(entry.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(MediaTargetTest, SafeFilePaths) {
  struct {
    std::string path;
    bool safe;
  } cases[] = {
      {"agent.bin", true},
      {"bin/agent", true},
      {"./bin/agent", true},
      {"a//b", true},
      {"..agent", true},
      {"a/..b/c..", true},
      {"", false},
      {"/etc/shadow", false},
      {"../../etc/passwd", false},
      {"bin/../../x", false},
      {"bin/..", false},
      {"..", false},
      {".", false},
      {"bin/.", false},
      {"bin/", false},
      {"a\rb", false},
      {"a\nGET /x", false},
      {std::string("a\0b", 3), false},
      {"tab\tname", false},
      {"del\x7f", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsSafeMediaFilePath(c.path), c.safe);
  }
}

TEST(MediaTargetTest, ListedModes) {
  struct {
    int listed;
    bool ok;
    mode_t mode;
  } cases[] = {{0, true, 0},          {755, true, 0755},   {644, true, 0644},
               {7, true, 07},         {4755, true, 04755}, {7777, true, 07777},
               {999, false, 0},       {758, false, 0},     {-755, false, 0},
               {17777, false, 0},     {100000, false, 0},  {2147483647, false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listed);
    mode_t mode = 1;
    EXPECT_EQ(ListedModeBits(c.listed, &mode), c.ok);
    EXPECT_EQ(mode, c.mode);
  }
}

TEST(MediaTargetTest, PartialFileAppearsOnlyWhenCommitted) {
  test::TempDir dir;
  const UniqueFd dir_fd(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(dir_fd);
  const std::string final_path = dir / "agent.bin";
  std::string content;
  for (uint64_t i = 0; content.size() < 3 * kPartialFileBuffer + 17; ++i)
    content += std::to_string(i * 7919) + ",";
  {
    PartialFile file;
    ASSERT_TRUE(file.Create(dir_fd.get(), "agent.bin", true));
    ASSERT_EQ(Listing(dir.path()).size(), 1u);
    EXPECT_EQ(file.temp_name().rfind(".dusk-", 0), 0u);
    // Pieces of an odd size through the buffer, as the transfer writes them.
    for (size_t at = 0; at < content.size(); at += 2047) {
      size_t take = std::min<size_t>(2047, content.size() - at);
      char* room = file.Room(take);
      ASSERT_NE(room, nullptr);
      memcpy(room, content.data() + at, take);
      file.Filled(take);
    }
    EXPECT_EQ(file.size(), static_cast<int64_t>(content.size()));
    EXPECT_FALSE(std::filesystem::exists(final_path));
    ASSERT_TRUE(file.Finish());
    EXPECT_EQ(file.DigestHex(), MD5Digest(dir / file.temp_name()));
    ASSERT_TRUE(file.SetMode(0750));
    ASSERT_TRUE(file.Commit(false));
  }
  EXPECT_EQ(test::ReadFile(final_path), content);
  struct stat st;
  ASSERT_EQ(stat(final_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"agent.bin"});

  // Without replace, an existing name stays as it is.
  {
    PartialFile file;
    ASSERT_TRUE(file.Create(dir_fd.get(), "agent.bin", false));
    ASSERT_TRUE(file.Append("new"));
    EXPECT_FALSE(file.Commit(false));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(file.DigestHex(), "");
  }
  EXPECT_EQ(test::ReadFile(final_path), content);
  // A file dropped before its commit leaves nothing.
  {
    PartialFile file;
    ASSERT_TRUE(file.Create(dir_fd.get(), "other.bin", false));
    ASSERT_TRUE(file.Append("half"));
    PartialFile moved = std::move(file);
    EXPECT_EQ(Listing(dir.path()).size(), 2u);
  }
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"agent.bin"});
  // With replace, and through a link name: the link is replaced, not followed.
  test::WriteFile(dir / "victim", "keep");
  std::filesystem::create_symlink(dir / "victim", dir / "link.bin");
  for (const std::string& name : {std::string("agent.bin"), std::string("link.bin")}) {
    PartialFile file;
    ASSERT_TRUE(file.Create(dir_fd.get(), name, false));
    ASSERT_TRUE(file.Append("new"));
    ASSERT_TRUE(file.Commit(true));
    EXPECT_EQ(test::ReadFile(dir / name), "new");
  }
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "link.bin"));
  EXPECT_EQ(test::ReadFile(dir / "victim"), "keep");
  // A new file is nobody else's to write, whatever the umask allows.
  {
    const mode_t saved = umask(0);
    PartialFile file;
    const bool created = file.Create(dir_fd.get(), "plain.bin", false);
    umask(saved);
    ASSERT_TRUE(created);
    ASSERT_TRUE(file.Commit(false));
    ASSERT_EQ(stat((dir / "plain.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, PartialFile::kMode);
  }
  // No directory to take it.
  PartialFile file;
  EXPECT_FALSE(file.Create(-1, "f", false));
  EXPECT_EQ(errno, EBADF);
}

// The file is made and named in the directory it was created in, whatever
// its name leads to by then: swapping the directory for a link on the way
// sends nothing elsewhere.
TEST(MediaTargetTest, PartialFileStaysInItsDirectory) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "media");
  std::filesystem::create_directories(dir / "elsewhere");
  const UniqueFd media(open((dir / "media").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  PartialFile file;
  ASSERT_TRUE(file.Create(media.get(), "install.sh", false));
  ASSERT_TRUE(file.Append("echo checked\n"));
  ASSERT_EQ(rename((dir / "media").c_str(), (dir / "moved").c_str()), 0);
  std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "media");
  ASSERT_TRUE(file.Commit(true));
  EXPECT_EQ(test::ReadFile(dir / "moved/install.sh"), "echo checked\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir / "elsewhere"));
}

}  // namespace
}  // namespace dusk
