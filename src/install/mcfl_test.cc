#include "install/mcfl.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/test_util.h"
#include "util/unique_fd.h"

namespace dusk {
namespace {

constexpr char kDigest[] = "0123456789abcdef0123456789abcdef";

class McflTest : public ::testing::Test {
 protected:
  void SetUp() override { LogLevel(kLogDebug); }
  void TearDown() override { LogLevel(kLogInfo); }
};

TEST_F(McflTest, Headers) {
  struct {
    const char* line;
    bool ok;
    const char* version;
    const char* debug;  // the Debug line, "" for none
  } cases[] = {
      {"#//MediaContent: 1.0", true, "1.0", ""},
      {"#//MediaContent:   1.5  ", true, "1.5", ""},
      {"#//MediaContent: 10", true, "10", ""},
      {"#//MediaContent: 0.9", true, "0.9", ""},
      {"#//MediaContent: ", true, "", ""},
      {"#//MediaContent: 1.0\r", true, "1.0\r", ""},
      {"#//MediaContent: 1.0.0.0.0.0.0.0.0.0", true, "1.0.0.0.0.0.0.0", ""},
      {"#//MediaContent:1.0", false, "",
       "CMcfl::isMcflHeader header \"#//MediaContent:1.0\" is corrupted"},
      {"#//MediaContent: 2.0", false, "",
       "CMcfl::isMcflHeader version 2.0 is not compatible with 1.0"},
      {"#//MediaContent: \xc3\xa9", false, "",
       "CMcfl::isMcflHeader version \xc3\xa9 is not compatible with 1.0"},
      {"#//mediacontent: 1.0", false, "", ""},
      {"#//MediaContent", false, "", ""},
      {"", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    test::LogCapture log;
    std::string version = "stale";
    EXPECT_EQ(CMcfl::isMcflHeader(c.line, &version), c.ok);
    if (c.ok) {
      EXPECT_EQ(version, c.version);
    }
    if (*c.debug) {
      EXPECT_TRUE(log.Has(kLogDebug, c.debug));
    } else {
      EXPECT_TRUE(log.lines().empty());
    }
  }
}

TEST_F(McflTest, Options) {
  const std::string long_value = "#//Option: Name=" + std::string(512, 'v');
  struct {
    std::string line;
    bool ok;
    const char* name;
    const char* value;
    std::string error;  // "" for none
  } cases[] = {
      {"#//Option: PackageType=debian", true, "PackageType", "debian", ""},
      {"#//Option: a=b=c", true, "a", "b=c", ""},
      {"#//Option: =empty name", true, "", "empty name", ""},
      {"#//Option: Two Words = v \r", true, "Two Words ", " v \r", ""},
      {"#//Option: Name=" + std::string(511, 'v'), true, "Name", "", ""},
      {"#//Option:PackageType=debian", false, "", "",
       "CMcfl::isMcflOption missing option name in line \"#//Option:PackageType=debian\""},
      {"#//Option: PackageType", false, "", "",
       "CMcfl::isMcflOption missing option value in line \"#//Option: PackageType\""},
      {long_value, false, "", "",
       "CMcfl::isMcflOption option too long in line \"" + long_value + "\""},
      {"#//option: a=b", false, "", "", ""},
      {"# a comment", false, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 40));
    test::LogCapture log;
    std::string name = "stale", value = "stale";
    EXPECT_EQ(CMcfl::isMcflOption(c.line, &name, &value), c.ok);
    EXPECT_EQ(name, c.name);
    if (c.ok && c.line.size() < 100) {
      EXPECT_EQ(value, c.value);
    }
    if (!c.ok) {
      EXPECT_EQ(value, "");
    }
    if (!c.error.empty()) {
      EXPECT_TRUE(log.Has(kLogError, c.error));
    } else {
      EXPECT_TRUE(log.lines().empty());
    }
  }
}

TEST_F(McflTest, FileEntries) {
  struct {
    const char* line;
    bool ok;
    const char* path;
    int64_t size;
    int mode;
    const char* md5;
  } cases[] = {
      {"bin/agent 1024 755 d41d8cd98f00b204e9800998ecf8427e", true, "bin/agent", 1024, 755,
       "d41d8cd98f00b204e9800998ecf8427e"},
      {"bin/agent 1024 755 d41d8cd98f00b204e9800998ecf8427e extra", true, "bin/agent", 1024,
       755, "d41d8cd98f00b204e9800998ecf8427e"},
      {"  \tbin/agent\t\t1024  \t 755\td41d", true, "bin/agent", 1024, 755, "d41d"},
      {"f 1 0 abc\r", true, "f", 1, 0, "abc\r"},
      {"f -1 644 x", true, "f", -1, 644, "x"},
      {"f 99999999999 644 x", true, "f", 99999999999, 644, "x"},
      {"f abc 644 x", true, "f", 0, 644, "x"},
      {"f 12abc 644 x", true, "f", 12, 644, "x"},
      {"f +7 999 x", true, "f", 7, 999, "x"},
      {"f 1 -755 x", true, "f", 1, -755, "x"},
      {"../../etc/passwd 1 644 x", true, "../../etc/passwd", 1, 644, "x"},
      {"bin/agent 1024 755", false, "", 0, 0, ""},
      {"   ", false, "", 0, 0, ""},
      {"", false, "", 0, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    McflFile file{"stale", 5, 0, "stale"};
    EXPECT_EQ(CMcfl::isMcflFile(c.line, &file), c.ok);
    EXPECT_EQ(file.path, c.path);
    EXPECT_EQ(file.size, c.size);
    EXPECT_EQ(file.md5, c.md5);
    if (c.ok) {
      EXPECT_EQ(file.mode, c.mode);
    }
  }
  // Overlong size and mode fields are cut before they are read.
  McflFile file;
  ASSERT_TRUE(CMcfl::isMcflFile("f " + std::string(63, '0') + "5 " + std::string(31, '0') +
                                    "7 x",
                                &file));
  EXPECT_EQ(file.size, 0);
  EXPECT_EQ(file.mode, 0);
  EXPECT_TRUE(CMcfl::isMcflComment(""));
  EXPECT_TRUE(CMcfl::isMcflComment("#//MediaContent: 1.0"));
  EXPECT_FALSE(CMcfl::isMcflComment(" #"));
}

TEST_F(McflTest, ReadLineCutsLongLinesAndKeepsCarriageReturns) {
  CMcfl list;
  std::string text = "#//MediaContent: 1.0\r\n" + std::string(10000, 'x') + "\n" +
                     std::string(1023, 'y') + "\nlast\r";
  ASSERT_TRUE(list.OpenText(text));
  EXPECT_EQ(list.GetVersion(), "1.0\r");
  std::string line;
  for (int piece = 0; piece < 9; ++piece) {
    ASSERT_TRUE(list.ReadLine(&line));
    EXPECT_EQ(line, std::string(1023, 'x'));
  }
  ASSERT_TRUE(list.ReadLine(&line));
  EXPECT_EQ(line, std::string(10000 - 9 * 1023, 'x'));
  // A line of exactly the limit leaves its line feed for an empty line.
  ASSERT_TRUE(list.ReadLine(&line));
  EXPECT_EQ(line, std::string(1023, 'y'));
  ASSERT_TRUE(list.ReadLine(&line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(list.ReadLine(&line));
  EXPECT_EQ(line, "last\r");
  EXPECT_FALSE(list.ReadLine(&line));
  EXPECT_EQ(line, "");
}

TEST_F(McflTest, WalkWithOptions) {
  const std::string text = std::string("#//MediaContent: 1.0\n") +
                           "#//Option: PackageType=debian\n"
                           "first.bin 10 644 " + kDigest + "\n"
                           "#//Option: InstallScript=install.sh\n"
                           "#//Option: packagetype=script\n"
                           "#//Option:broken\n"
                           "too few fields\n"
                           "\n"
                           "# comment 1 2 3\n" +
                           std::string(2000, 'z') + "\n"
                           "sub/dir/second.bin\t20\t755\t" + kDigest + "\n";
  struct {
    bool case_sensitive;
    int capacity;
    int count;
    int stored;
  } cases[] = {{true, 64, 3, 3}, {false, 64, 3, 2}, {true, 1, 3, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.case_sensitive << " " << c.capacity);
    test::LogCapture log;
    CMcfl list;
    ASSERT_TRUE(list.OpenText(text, "list.mcfl"));
    EXPECT_TRUE(list.isOpen());
    EXPECT_EQ(list.fileName(), "list.mcfl");
    AttrTable options(c.capacity);
    EXPECT_EQ(list.GetOptions(options, c.case_sensitive), c.count);
    EXPECT_EQ(options.size(), c.stored);
    EXPECT_TRUE(log.Has(kLogError,
                        "CMcfl::isMcflOption missing option name in line \"#//Option:broken\""));
    std::string value;
    if (!c.case_sensitive) {
      EXPECT_TRUE(options.Get("PackageType", &value));
      EXPECT_EQ(value, "script");
    }
    // The walk starts again from the top: the first entry comes first.
    McflFile file;
    ASSERT_TRUE(list.GetNextFile(&file));
    EXPECT_EQ(file.path, "first.bin");
    EXPECT_EQ(file.size, 10);
    EXPECT_EQ(file.mode, 644);
    ASSERT_TRUE(list.GetNextFile(&file));
    EXPECT_EQ(file.path, "sub/dir/second.bin");
    EXPECT_EQ(file.size, 20);
    EXPECT_EQ(file.md5, kDigest);
    EXPECT_FALSE(list.GetNextFile(&file));
    // The end closes the list; closing again changes nothing.
    EXPECT_FALSE(list.isOpen());
    EXPECT_EQ(list.GetVersion(), "");
    list.Close();
    EXPECT_FALSE(list.GetNextFile(&file));
    EXPECT_EQ(list.GetOptions(options, true), 0);
    EXPECT_TRUE(log.Has(kLogError, "CMcfl::GetOptions not initialized"));
  }
}

TEST_F(McflTest, OpenFromFiles) {
  test::TempDir dir;
  test::WriteFile(dir / "good", "#//MediaContent: 1.0\nf 1 0 x\n");
  test::WriteFile(dir / "newer", "#//MediaContent: 2.0\nf 1 0 x\n");
  test::WriteFile(dir / "plain", "just a file\n");
  test::WriteFile(dir / "empty", "");
  // A socket exists but cannot be opened as a file.
  UniqueFd unix_socket(socket(AF_UNIX, SOCK_STREAM, 0));
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::string socket_path = dir / "socket";
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(bind(unix_socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  struct {
    std::string path;
    bool ok;
    std::string debug;
  } cases[] = {
      {dir / "good", true, ""},
      {dir / "newer", false, "CMcfl::isMcflHeader version 2.0 is not compatible with 1.0"},
      {dir / "plain", false, ""},
      {dir / "empty", false, ""},
      {dir.path(), false, ""},
      {"", false, "CMcfl::Open filename specified is NULL"},
      {dir / "missing", false,
       "CMcfl::Open filename specified \"" + (dir / "missing") + "\" does not exist"},
      {socket_path, false, "CMcfl::Open could not open filename \"" + socket_path + "\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    test::LogCapture log;
    CMcfl list;
    EXPECT_EQ(list.Open(c.path), c.ok);
    EXPECT_EQ(list.isOpen(), c.ok);
    EXPECT_EQ(list.fileName(), c.ok ? c.path : "");
    if (!c.debug.empty()) {
      EXPECT_TRUE(log.Has(kLogDebug, c.debug));
    }
  }
  EXPECT_FALSE(CMcfl().OpenText(""));
}

TEST_F(McflTest, HundredThousandEntries) {
  LogLevel(kLogInfo);
  constexpr int kEntries = 100000;
  std::string text = "#//MediaContent: 1.0\n";
  for (int i = 0; i < kEntries; ++i)
    text += "dir" + std::to_string(i % 100) + "/file" + std::to_string(i) + " " +
            std::to_string(i) + " 644 " + kDigest + "\n";
  CMcfl list;
  ASSERT_TRUE(list.OpenText(text));
  AttrTable options(64);
  EXPECT_EQ(list.GetOptions(options, true), 0);
  McflFile file;
  int64_t count = 0, size_sum = 0;
  while (list.GetNextFile(&file)) {
    ++count;
    size_sum += file.size;
  }
  EXPECT_EQ(count, kEntries);
  EXPECT_EQ(size_sum, int64_t{kEntries} * (kEntries - 1) / 2);
}

}  // namespace
}  // namespace dusk
