#include "install/media_download.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "config/server_address.h"
#include "crypto/md5.h"
#include "install/media_target.h"
#include "log/log.h"
#include "support/install_test_agent.h"
#include "support/loopback_peer.h"
#include "support/short_timings.h"
#include "support/test_util.h"
#include "util/stop_request.h"
#include "util/timings.h"

namespace dusk {
namespace {

/// Every file and link below |dir|, relative, sorted.
std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  if (!std::filesystem::exists(dir)) return names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (!entry.is_directory() || entry.is_symlink())
      names.push_back(std::filesystem::relative(entry.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

mode_t CreatedMode() {
  mode_t mask = umask(0);
  umask(mask);
  return PartialFile::kMode & ~mask;
}

/// The media directory "/media" of a loopback peer, a target directory, and
/// the Debug level while a test runs.
class MediaDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LogLevel(kLogDebug);
    std::filesystem::create_directories(root_ + "/media");
    std::filesystem::create_directories(target_);
    ASSERT_NE(server_.port(), 0);
  }
  void TearDown() override { LogLevel(kLogInfo); }

  /// Puts |content| on the server as /media/|path|.
  void Publish(const std::string& path, const std::string& content) {
    const std::string file = root_ + "/media/" + path;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    test::WriteFile(file, content);
  }
  /// A list line for |path| holding |content|.
  static std::string Entry(const std::string& path, const std::string& content, int mode) {
    return path + " " + std::to_string(content.size()) + " " + std::to_string(mode) + " " +
           Md5Of(content) + "\n";
  }
  /// An empty target directory, as the caller of a download has one.
  void FreshTarget() {
    std::filesystem::remove_all(target_);
    std::filesystem::create_directories(target_);
  }
  std::string Port() const { return std::to_string(server_.port()); }
  std::string Server() const { return "127.0.0.1:" + Port(); }

  /// Downloads |remote| from |host| and |port| (the test server when "")
  /// into target_; what it reports goes to reporter_.
  bool Download(const std::string& remote, bool overwrite = true,
                AttrTable* options = nullptr, bool console = false,
                const std::string& host = "127.0.0.1", const std::string& port = "",
                int trusted_target = -1) {
    reporter_ = test::RecordingReporter();
    const MediaDownloadRequest request{
        .reporter = reporter_,
        .server = ResolveServerAddress(host, port.empty() ? Port() : port),
        .remoteFilePath = remote,
        .targetDir = target_,
        .trustedTargetFd = trusted_target,
        .console = console,
        .overwrite = overwrite,
        .mediaOptions = options};
    return DownloadMediaFromServer(request, &error_);
  }

  test::TempDir dir_;
  std::string root_ = dir_ / "www";
  std::string target_ = dir_ / "target";
  test::LoopbackPeer server_{root_};
  std::string error_ = "stale";
  test::RecordingReporter reporter_;
};

TEST_F(MediaDownloadTest, SingleFile) {
  std::string content(5000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 131);
  Publish("agent.bin", content);
  test::LogCapture log;
  testing::internal::CaptureStdout();
  bool ok = Download("/media/agent.bin", false, nullptr, true);
  std::string console = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(ok) << error_;
  EXPECT_EQ(error_, "");
  EXPECT_EQ(test::ReadFile(target_ + "/agent.bin"), content);
  EXPECT_EQ(Listing(target_), std::vector<std::string>{"agent.bin"});
  EXPECT_EQ(ModeOf(target_ + "/agent.bin"), CreatedMode());
  ASSERT_EQ(server_.requests().size(), 1u);
  EXPECT_EQ(server_.requests()[0],
            "GET /media/agent.bin HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n"
            "Accept: */*\r\nUser-Agent: DUSK 1.0\r\n\r\n");
  const std::string lines[] = {
      "Downloading Agent Media from KESTA Server " + Server(),
      "mediaPath = /media",
      "filePath  = agent.bin",
      "Downloading /media/agent.bin ...",
      "Initiating File Download /media/agent.bin -> " + target_ + "/agent.bin",
      "Downloaded (5000) bytes to file " + target_ + "/agent.bin",
      "Downloaded file /media/agent.bin (5000 bytes) from KESTA Server " + Server(),
  };
  for (const std::string& line : lines) {
    EXPECT_TRUE(log.Has(line)) << line;
    EXPECT_NE(console.find(line + "\n"), std::string::npos) << line;
  }
  EXPECT_EQ(console.find("Trace"), std::string::npos);
}

TEST_F(MediaDownloadTest, WholeListWithOptionsModesAndProgress) {
  std::string big(3 * 1024 * 1024 + 17, 'a');
  for (size_t i = 0; i < big.size(); i += 4093) big[i] = static_cast<char>(i);
  const std::string small = "data\n", cfg = "";
  Publish("bin/agent", big);
  Publish("lib/sub/dir/data.txt", small);
  Publish("empty.cfg", cfg);
  const std::string list = "#//MediaContent: 1.0\n#//Option: PackageType=debian\n"
                           "#//Option: InstallOptions=-i agent.deb\n" +
                           Entry("bin/agent", big, 755) + "# a comment\n" +
                           Entry("lib/sub/dir/data.txt", small, 640) + Entry("empty.cfg", cfg, 0);
  Publish("MediaContent.mcfl", list);

  AttrTable options(64);
  test::LogCapture log;
  ASSERT_TRUE(Download("/media/MediaContent.mcfl", true, &options)) << error_;

  EXPECT_EQ(Listing(target_), (std::vector<std::string>{"MediaContent.mcfl", "bin/agent",
                                                        "empty.cfg", "lib/sub/dir/data.txt"}));
  EXPECT_EQ(test::ReadFile(target_ + "/bin/agent"), big);
  EXPECT_EQ(test::ReadFile(target_ + "/lib/sub/dir/data.txt"), small);
  EXPECT_EQ(ModeOf(target_ + "/bin/agent"), 0755u);
  EXPECT_EQ(ModeOf(target_ + "/lib/sub/dir/data.txt"), 0640u);
  EXPECT_EQ(ModeOf(target_ + "/empty.cfg"), CreatedMode());
  std::string value;
  EXPECT_TRUE(options.Get("PackageType", &value));
  EXPECT_EQ(value, "debian");
  EXPECT_TRUE(options.Get("InstallOptions", &value));
  EXPECT_EQ(value, "-i agent.deb");

  const std::string big_md5 = Md5Of(big);
  EXPECT_EQ(reporter_.progress,
            (std::vector<std::string>{
                "Downloading Agent Media from KESTA Server " + Server(),
                "Downloading /media/MediaContent.mcfl ...",
                "Downloading /media/bin/agent  bytes=3145745  md5=" + big_md5 + " ...",
                "Downloading /media/lib/sub/dir/data.txt  bytes=5  md5=" + Md5Of(small) + " ...",
                "Downloading /media/empty.cfg  bytes=0  md5=" + Md5Of(cfg) + " ..."}));
  EXPECT_TRUE(reporter_.events.empty());
  // Each body that arrived ends its meter once, whole; an empty one has none.
  EXPECT_EQ(reporter_.arrivals,
            (std::vector<std::string>{"MediaContent.mcfl " + std::to_string(list.size()) + "/" +
                                          std::to_string(list.size()),
                                      "bin/agent 3145745/3145745", "lib/sub/dir/data.txt 5/5"}));
  const std::string lines[] = {
      "Processing a Media Content File List v1.0",
      "Media Content File Options",
      "  Attr(PackageType) = \"debian\"",
      "Processing file:   path=\"bin/agent\"  size=3145745 bytes  mode=755  md5=\"" + big_md5 +
          "\"",
      "Setting File \"" + target_ + "/bin/agent\" mode to 755",
      "Downloaded file /media/lib/sub/dir/data.txt (5 bytes) from KESTA Server " + Server(),
      "Created directory " + target_ + "/lib/sub/dir",
  };
  for (const std::string& line : lines) EXPECT_TRUE(log.Has(line)) << line;
}

// The lines of a listed file that replaces an older copy, in their order
// and at their levels; the digest's lines stay out of the console.
TEST_F(MediaDownloadTest, ReplacedListedFileTellsItsStepsInOrder) {
  const std::string content = "agent\n", local = target_ + "/f.bin";
  Publish("f.bin", content);
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + Entry("f.bin", content, 0));
  test::WriteFile(local, "old");
  LogLevel(kLogTrace);
  test::LogCapture log;
  // With the log file open, only the echoed lines reach standard output.
  test::TempDir log_dir;
  ASSERT_TRUE(LogFileOpen(kLogFileName, log_dir.path()));
  testing::internal::CaptureStdout();
  const bool ok = Download("/media/MediaContent.mcfl", true, nullptr, true);
  const std::string console = testing::internal::GetCapturedStdout();
  LogFileClose();
  ASSERT_TRUE(ok) << error_;
  const std::pair<int, std::string> steps[] = {
      {kLogInfo, "Initiating File Download /media/f.bin -> " + local},
      {kLogDebug, "Deleting previous copy of " + local},
      {kLogDebug, "Downloaded (6) bytes to file " + local},
      {kLogTrace, "MD5Digest: filename=" + local},
      {kLogDebug, "Calculating MD5 of file \"" + local + "\" ..."},
      {kLogDebug, "MD5 of \"" + local + "\" = \"" + Md5Of(content) + "\""},
  };
  const auto& lines = log.lines();
  auto at = lines.begin();
  for (const auto& step : steps) {
    at = std::find(at, lines.end(), step);
    EXPECT_NE(at, lines.end()) << step.second;
  }
  EXPECT_NE(console.find("Deleting previous copy of " + local), std::string::npos);
  EXPECT_EQ(console.find("MD5"), std::string::npos) << console;
  EXPECT_EQ(test::ReadFile(local), content);
}

TEST_F(MediaDownloadTest, EveryCheckFailsWithItsText) {
  const std::string abc = "abc", abc_md5 = Md5Of(abc);
  std::string upper = abc_md5;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  Publish("f.bin", abc);
  struct {
    std::string name;
    std::string entries;
    std::string fault;  // for /media/f.bin
    int level;
    std::string error;
  } cases[] = {
      {"not found", "missing.bin 3 644 " + abc_md5 + "\n", "", kLogError,
       "Could not download file /media/missing.bin from KESTA Server " + Server() +
           " - File not found"},
      {"size", "f.bin 5 644 " + abc_md5 + "\n", "", kLogError,
       "Size for File f.bin does not match - Got 3 bytes, Expected 5 bytes"},
      {"size -1", "f.bin -1 644 " + abc_md5 + "\n", "", kLogError,
       "Size for File f.bin does not match - Got 0 bytes, Expected -1 bytes"},
      {"size beyond 32 bits", "f.bin 99999999999 644 " + abc_md5 + "\n", "", kLogError,
       "Size for File f.bin does not match - Got 3 bytes, Expected 99999999999 bytes"},
      {"size abc", "f.bin abc 644 " + abc_md5 + "\n", "", kLogError,
       "Size for File f.bin does not match - Got 1 bytes, Expected 0 bytes"},
      {"upper-case digest", "f.bin 3 644 " + upper + "\n", "", kLogError,
       "MD5 For file f.bin does not match - Calculated " + abc_md5 + ", Expected " + upper},
      {"CR LF", "f.bin 3 644 " + abc_md5 + "\r\n", "", kLogError,
       "MD5 For file f.bin does not match - Calculated " + abc_md5 + ", Expected " + abc_md5 +
           "\r"},
      {"fewer bytes than the server's length", "f.bin 3 644 " + abc_md5 + "\n",
       "short-body 10", kLogError,
       "Failed to download file /media/f.bin from " + Server() +
           " - Connection ended after 3 of 13 bytes"},
      {"more bytes than listed", "f.bin 1 644 " + abc_md5 + "\n", "", kLogError,
       "Size for File f.bin does not match - Got 2 bytes, Expected 1 bytes"},
      {"server error", "f.bin 3 644 " + abc_md5 + "\n", "status 500", kLogInfo,
       "Failed to initiate download of file /media/f.bin from " + Server() + " - Server error"},
      {"redirect", "f.bin 3 644 " + abc_md5 + "\n", "status 302", kLogInfo,
       "Failed to initiate download of file /media/f.bin from " + Server() +
           " - Unknown Http Error"},
      {"parent", "../../etc/passwd 3 644 " + abc_md5 + "\n", "", kLogError,
       "Failed to download file ../../etc/passwd - Invalid file path"},
      {"absolute", "/etc/shadow 3 600 " + abc_md5 + "\n", "", kLogError,
       "Failed to download file /etc/shadow - Invalid file path"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_.SetFaults(c.fault.empty() ? "" : "/media/f.bin " + c.fault);
    Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + c.entries);
    FreshTarget();
    test::LogCapture log;
    EXPECT_FALSE(Download("/media/MediaContent.mcfl"));
    EXPECT_EQ(error_, c.error);
    EXPECT_TRUE(log.Has(c.level, c.error));
    // Nothing of the failed file, under any name, anywhere.
    EXPECT_EQ(Listing(target_), std::vector<std::string>{"MediaContent.mcfl"});
    EXPECT_EQ(Listing(dir_.path()).size(), Listing(root_).size() + 1);
  }
}

TEST_F(MediaDownloadTest, ListsThatDoNotOpenAreSingleFiles) {
  Publish("f.bin", "abc");
  const std::string entry = Entry("f.bin", "abc", 644);
  for (const char* header : {"#//MediaContent: 2.0\n", "#//MediaContent:1.0\n",
                             "#//MediaContents: 1.0\n", "\n"}) {
    SCOPED_TRACE(header);
    Publish("list.mcfl", std::string(header) + entry);
    FreshTarget();
    AttrTable options(64);
    EXPECT_TRUE(Download("/media/list.mcfl", false, &options)) << error_;
    EXPECT_EQ(Listing(target_), std::vector<std::string>{"list.mcfl"});
    EXPECT_TRUE(options.empty());
  }
}

TEST_F(MediaDownloadTest, ModeThatIsNotOctalIsReported) {
  Publish("f.bin", "abc");
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + Entry("f.bin", "abc", 999));
  test::LogCapture log;
  ASSERT_TRUE(Download("/media/MediaContent.mcfl")) << error_;
  EXPECT_TRUE(log.Has(kLogError, "Failed to set File \"" + target_ +
                                     "/f.bin\" mode - 999 is not an octal mode"));
  EXPECT_EQ(ModeOf(target_ + "/f.bin"), CreatedMode());
}

TEST_F(MediaDownloadTest, ExistingFiles) {
  Publish("agent.bin", "new");
  test::WriteFile(target_ + "/agent.bin", "old");
  // Never replaced without overwrite, and nothing is even asked of the server.
  test::LogCapture log;
  EXPECT_FALSE(Download("/media/agent.bin", false));
  EXPECT_EQ(error_, "Failed to download file " + target_ + "/agent.bin - File Exists");
  EXPECT_TRUE(log.Has(kLogError, error_));
  EXPECT_EQ(test::ReadFile(target_ + "/agent.bin"), "old");
  EXPECT_TRUE(server_.requests().empty());
  // A dangling link counts as an existing file too.
  std::filesystem::create_symlink(dir_ / "nowhere", target_ + "/link.bin");
  Publish("link.bin", "x");
  EXPECT_FALSE(Download("/media/link.bin", false));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "nowhere"));
  // A failed download keeps the previous copy.
  server_.SetFaults("/media/agent.bin status 503");
  EXPECT_FALSE(Download("/media/agent.bin", true));
  EXPECT_EQ(test::ReadFile(target_ + "/agent.bin"), "old");
  // A complete one replaces it.
  server_.SetFaults("");
  ASSERT_TRUE(Download("/media/agent.bin", true)) << error_;
  EXPECT_EQ(test::ReadFile(target_ + "/agent.bin"), "new");
  EXPECT_TRUE(log.Has(kLogDebug, "Deleting previous copy of " + target_ + "/agent.bin"));
  // A directory in the way is no previous copy to replace.
  std::filesystem::create_directories(target_ + "/dir.bin/x");
  Publish("dir.bin", "x");
  EXPECT_FALSE(Download("/media/dir.bin", true));
  EXPECT_EQ(error_, "Failed to download file dir.bin - Could not Delete local copy " + target_ +
                        "/dir.bin");
}

TEST_F(MediaDownloadTest, LinksOutOfTheTargetAreRefused) {
  const std::string outside = dir_ / "outside";
  std::filesystem::create_directories(outside);
  std::filesystem::create_directory_symlink(outside, target_ + "/sub");
  test::WriteFile(outside + "/victim", "keep");
  std::filesystem::create_symlink(outside + "/victim", target_ + "/link.bin");
  Publish("sub/new/evil", "abc");
  Publish("link.bin", "abc");
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + Entry("sub/new/evil", "abc", 644));
  EXPECT_FALSE(Download("/media/MediaContent.mcfl"));
  EXPECT_EQ(error_, "Failed to download file sub/new/evil - " + target_ + "/sub is a symbolic link");
  EXPECT_EQ(Listing(outside), std::vector<std::string>{"victim"});
  // A link under the file's own name is replaced, never written through.
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + Entry("link.bin", "abc", 644));
  ASSERT_TRUE(Download("/media/MediaContent.mcfl")) << error_;
  EXPECT_EQ(test::ReadFile(outside + "/victim"), "keep");
  EXPECT_EQ(test::ReadFile(target_ + "/link.bin"), "abc");
  EXPECT_FALSE(std::filesystem::is_symlink(target_ + "/link.bin"));
}

// Directories of the download are nobody else's to write into, whatever
// the umask; in a trusted target each found one must be trusted too.
TEST_F(MediaDownloadTest, DirectoriesOfTheDownload) {
  Publish("lib/sub/file", "abc");
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + Entry("lib/sub/file", "abc", 644));
  const mode_t saved = umask(077);
  const bool ok = Download("/media/MediaContent.mcfl");
  umask(saved);
  ASSERT_TRUE(ok) << error_;
  EXPECT_EQ(ModeOf(target_ + "/lib"), 0755u);
  EXPECT_EQ(ModeOf(target_ + "/lib/sub"), 0755u);

  ASSERT_EQ(chmod((target_ + "/lib").c_str(), 0775), 0);
  // The user's own directory is taken as found ...
  EXPECT_TRUE(Download("/media/MediaContent.mcfl")) << error_;
  // ... a trusted one is not.
  const UniqueFd trusted(open(target_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  EXPECT_FALSE(Download("/media/MediaContent.mcfl", true, nullptr, false, "127.0.0.1", "",
                        trusted.get()));
  EXPECT_EQ(error_, "Failed to download file lib/sub/file - " + target_ +
                        "/lib is writable by group or others (mode 0775)");
}

// A body is read up to its Content-Length and a listed file no further
// than one byte past its listed size; a list naming too many files is
// refused before any is fetched; the whole download ends within its limit.
TEST_F(MediaDownloadTest, ReadsNoMoreThanItWasTold) {
  Publish("f.bin", "abc");
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + Entry("f.bin", "abc", 644));
  server_.SetFaults("/media/f.bin long-body 100000");
  ASSERT_TRUE(Download("/media/f.bin")) << error_;
  EXPECT_EQ(test::ReadFile(target_ + "/f.bin"), "abc");
  FreshTarget();
  ASSERT_TRUE(Download("/media/MediaContent.mcfl")) << error_;
  EXPECT_EQ(test::ReadFile(target_ + "/f.bin"), "abc");

  server_.SetFaults("");
  const std::string big(4 * 1024 * 1024, 'b');
  Publish("big.bin", big);
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\nbig.bin 1000 644 " + Md5Of(big) + "\n");
  FreshTarget();
  test::LogCapture log;
  EXPECT_FALSE(Download("/media/MediaContent.mcfl"));
  EXPECT_EQ(error_, "Size for File big.bin does not match - Got 1001 bytes, Expected 1000 bytes");
  EXPECT_TRUE(log.Has(kLogDebug, "Downloaded (1001) bytes to file " + target_ + "/big.bin"));
  EXPECT_EQ(Listing(target_), std::vector<std::string>{"MediaContent.mcfl"});

  std::string list = "#//MediaContent: 1.0\n";
  for (size_t i = 0; i <= kMediaListFilesMax; ++i) list += Entry("f.bin", "abc", 644);
  Publish("MediaContent.mcfl", list);
  FreshTarget();
  const size_t asked = server_.requests().size();
  EXPECT_FALSE(Download("/media/MediaContent.mcfl"));
  EXPECT_EQ(error_, "Media Content File List " + target_ + "/MediaContent.mcfl names more than " +
                        std::to_string(kMediaListFilesMax) + " files");
  EXPECT_EQ(server_.requests().size(), asked + 1);

  // A server that sends half a file and then keeps the connection alive
  // without sending more: only the total limit ends it.
  Publish("slow.bin", std::string(100000, 's'));
  Timings timings;
  timings.media_download = std::chrono::milliseconds(500);
  server_.SetFaults("/media/slow.bin stall-halfway");
  FreshTarget();
  const auto start = std::chrono::steady_clock::now();
  bool ok;
  {
    test::ScopedTimings limit(timings);
    ok = Download("/media/slow.bin");
  }
  EXPECT_FALSE(ok);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(error_, "Failed to download file /media/slow.bin from " + Server() +
                        " - Media download did not end within 500 ms");
  EXPECT_TRUE(Listing(target_).empty());
}

TEST_F(MediaDownloadTest, UrlMediaPaths) {
  Publish("f.bin", "abc");
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" + Entry("f.bin", "abc", 644));
  // Host and port from the URL, kept for the listed files; the server of the
  // options (nothing listens there) is never asked.
  test::LogCapture log;
  const std::string url = "http://127.0.0.1:" + Port() + "/media/MediaContent.mcfl";
  ASSERT_TRUE(Download(url, true, nullptr, false, "127.0.0.2", "1")) << error_;
  EXPECT_EQ(Listing(target_), (std::vector<std::string>{"MediaContent.mcfl", "f.bin"}));
  EXPECT_TRUE(log.Has("Using host and port " + Server() + " from the Media Path specified"));
  EXPECT_TRUE(log.Has("Downloaded file http://" + Server() +
                      "/media/MediaContent.mcfl (" +
                      std::to_string(test::ReadFile(target_ + "/MediaContent.mcfl").size()) +
                      " bytes) from KESTA Server 127.0.0.2:1"));
  EXPECT_TRUE(log.Has("Downloaded file /media/f.bin (3 bytes) from KESTA Server " + Server()));
  ASSERT_EQ(server_.requests().size(), 2u);
  EXPECT_EQ(server_.requests()[1].substr(0, 31), "GET /media/f.bin HTTP/1.0\r\nUser");

  // Without a port the URL gives only the path.
  FreshTarget();
  EXPECT_TRUE(Download("https://elsewhere/media/f.bin")) << error_;
  EXPECT_EQ(test::ReadFile(target_ + "/f.bin"), "abc");
  // Media paths that name no server or no file.
  struct {
    std::string remote;
    int level;
    std::string error;
  } bad[] = {
      {"https://hostonly/f.bin", kLogError,
       "Failed to download file f.bin - Invalid media Path https://hostonly specified"},
      {"http://:" + Port() + "/media/f.bin", kLogError,
       "Failed to download file f.bin - Must specify both a host and port"},
      {"/media/", kLogWarn, "Must specify an KESTA Server media and file path to download a file"},
      {"", kLogWarn, "Must specify an KESTA Server media and file path to download a file"},
      {"f.bin", kLogError,
       "Could not download file f.bin/f.bin from KESTA Server " + Server() + " - File not found"},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(c.remote);
    FreshTarget();
    test::LogCapture failures;
    EXPECT_FALSE(Download(c.remote));
    EXPECT_EQ(error_, c.error);
    EXPECT_TRUE(failures.Has(c.level, c.error));
    EXPECT_TRUE(Listing(target_).empty());
  }
}

TEST_F(MediaDownloadTest, UnreachableOrSilentServers) {
  Publish("f.bin", std::string(100000, 'x'));
  // Nothing listens on the port of a closed socket.
  int closed_port;
  {
    test::LoopbackPeer gone;
    closed_port = gone.port();
  }
  test::LogCapture log;
  EXPECT_FALSE(Download("/media/f.bin", true, nullptr, false, "127.0.0.1",
                        std::to_string(closed_port)));
  EXPECT_EQ(error_, "Failed to initiate download of file /media/f.bin from 127.0.0.1:" +
                        std::to_string(closed_port) + " - Cannot connect to host");
  EXPECT_TRUE(log.Has(kLogInfo, error_));
  EXPECT_TRUE(Listing(target_).empty());

  // A server that stops sending halfway through the body.
  Timings quick;
  quick.http_idle = std::chrono::milliseconds(300);
  bool ok = false;
  {
    test::ScopedTimings timings(quick);
    server_.SetFaults("/media/f.bin stall-halfway");
    ok = Download("/media/f.bin");
  }
  EXPECT_FALSE(ok);
  EXPECT_EQ(error_, "Failed to download file /media/f.bin from " + Server() +
                        " - Connection ended after 50000 of 100000 bytes");
  EXPECT_TRUE(Listing(target_).empty());
}

// A stop of the service cuts a transfer short, pending before it begins or
// coming while the body arrives: the text says so, not that the server or
// the connection failed.
TEST_F(MediaDownloadTest, StopEndsTheTransferWithItsOwnText) {
  Publish("f.bin", std::string(100000, 'x'));
  Publish("MediaContent.mcfl", "#//MediaContent: 1.0\n" +
                                   Entry("f.bin", std::string(100000, 'x'), 644));
  server_.SetFaults("/media/f.bin stall-halfway");
  const std::string interrupted = "Download of file /media/f.bin from " + Server() +
                                  " interrupted - the KESTA-DUSK service is stopping";
  for (bool pending : {true, false}) {
    SCOPED_TRACE(pending ? "pending" : "while the body arrives");
    std::filesystem::remove_all(target_);
    std::filesystem::create_directory(target_);
    const size_t before = server_.requests().size();
    if (pending) RequestStop();
    std::thread stopper([&] {
      if (!pending && server_.WaitForRequests(before + 2, std::chrono::seconds(10)))
        RequestStop();
    });
    test::LogCapture log;
    EXPECT_FALSE(Download(pending ? "/media/f.bin" : "/media/MediaContent.mcfl"));
    stopper.join();
    ClearStopRequest();
    EXPECT_EQ(error_, interrupted);
    EXPECT_TRUE(log.Has(kLogInfo, interrupted));
    EXPECT_EQ(Listing(target_), pending ? std::vector<std::string>{}
                                        : std::vector<std::string>{"MediaContent.mcfl"});
  }
}

}  // namespace
}  // namespace dusk
