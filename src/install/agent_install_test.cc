#include "install/agent_install.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "config/server_address.h"
#include "crypto/md5.h"
#include "install/exec_command.h"
#include "install/install_lock.h"
#include "log/log.h"
#include "support/install_test_agent.h"
#include "support/loopback_peer.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/files.h"
#include "util/stop_request.h"
#include "util/timings.h"

namespace dusk {
namespace {


TEST(AgentInstallTest, PackageTypes) {
  struct {
    const char* type;
    const char* mapped;
    const char* command;
  } cases[] = {
      {"", "debian", "dpkg"},        {"debian", "debian", "dpkg"},
      {" DEB ", "debian", "dpkg"},   {"Debian", "debian", "dpkg"},
      {"Script", "script", ""},      {"  rpm", "rpm", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    std::string type = c.type, command = "stale";
    MapPackageType(&type, &command);
    EXPECT_EQ(type, c.mapped);
    EXPECT_EQ(command, c.command);
  }
}

TEST(AgentInstallTest, InstallArgumentsPreferSilentOnlyOffTheConsole) {
  struct {
    const char* install;
    const char* silent_options;
    bool console;
    bool silent;
    const char* arguments;
  } cases[] = {
      {"-i", "-q", false, true, " -q"},  {"-i", "-q", true, true, " -i"},
      {"-i", "-q", false, false, " -i"}, {"", "-q", true, false, " -q"},
      {"-i", "", false, true, " -i"},    {"", "", false, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.install << "/" << c.silent_options << " console="
                                    << c.console << " silent=" << c.silent);
    AgentMediaOptions media;
    media.installOptions = c.install;
    media.silentInstallOptions = c.silent_options;
    EXPECT_EQ(InstallArguments(media, c.console, c.silent), c.arguments);
  }
}

TEST(AgentInstallTest, MediaRootJoinsTheMediaPath) {
  struct {
    const char* root;
    const char* path;
    const char* joined;
  } cases[] = {
      {"/data/", "/agent/media", "/data/agent/media"},
      {"/data//", "/agent/media", "/data/agent/media"},
      {"/", "/tmp/kesta/media", "/tmp/kesta/media"},
      {"/data", "media", "/datamedia"},
      {"/data/", "media", "/data/media"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.joined);
    EXPECT_EQ(JoinMediaRoot(c.root, c.path), c.joined);
  }
}

/// A script media served over HTTP: install.sh copies the agent's programs
/// (recorders) from the media into the agent's directory. The configuration
/// names the server kesta-main, which the media URL does not.
class AgentInstallFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearStopRequest();
    LogLevel(kLogDebug);
    server_ = std::make_unique<test::LoopbackPeer>(server_root_);
    ASSERT_NE(server_->port(), 0);
    ResetDevice();
  }
  void TearDown() override { LogLevel(kLogInfo); }

  /// The device and the media as every case starts from.
  void ResetDevice() {
    for (const std::string& path : {agent_, media_dir_, server_root_, log_dir_,
                                     layout_.layout().agentObjectDir})
      test::RemoveTree(path);
    test::RemoveTree(test::AgentCallsFile(layout_));
    std::filesystem::create_directories(log_dir_);
    std::filesystem::create_directories(server_root_ + "/media");
    conf_ = {{"ServerName", "kesta-main"},
             {"ServerPort", "3466"},
             {"AgentMediaRoot", layout_.On("/tmp/kesta/")},
             {"AgentMediaPath", "/media"},
             {"LogPath", log_dir_},
             {"hostname", "dev01"}};
    files_ = {{"install.sh", test::RecorderScript(layout_, "echo copying the agent\n"
                                                            "mkdir -p '" + agent_ +
                                                                "' && cp agent/* '" + agent_ +
                                                                "/'")},
              {"agent/zelexecd", test::RecorderScript(layout_)},
              {"agent/zelskman", test::RecorderScript(layout_)}};
    options_ = {{"PackageType", "script"},
                {"InstallScript", "install.sh"},
                {"InstallOptions", "-h <RcsHost> -p <RCSPORT> -n <hostname> -l <InstallLogfile>"},
                {"PostInstallConfigure", "zelskman -configure <RcsHost>:<RcsPort>"},
                {"InitialConnectOptions", "  -connect <Hostname>  "}};
    digests_.clear();
  }

  void WriteConf() {
    std::string application = "[Application]\n", device = "[DeviceInfo]\n";
    for (const auto& [key, value] : conf_)
      (key == "hostname" ? device : application) += key + "=" + value + "\n";
    test::WriteFile(layout_.conf(), application + device);
  }

  /// The files and their list MediaContent.mcfl on the server.
  void Publish() {
    WriteConf();
    std::string list = "#//MediaContent: 1.0\n";
    for (const auto& [name, value] : options_) list += "#//Option: " + name + "=" + value + "\n";
    for (const auto& [path, content] : files_) {
      const std::string file = server_root_ + "/media/" + path;
      std::filesystem::create_directories(std::filesystem::path(file).parent_path());
      test::WriteFile(file, content);
      const auto digest = digests_.find(path);
      list += path + " " + std::to_string(content.size()) + " 755 " +
              (digest != digests_.end() ? digest->second : Md5Of(content)) + "\n";
    }
    test::WriteFile(server_root_ + "/media/MediaContent.mcfl", list);
  }

  std::string MediaUrl() const {
    return "http://127.0.0.1:" + std::to_string(server_->port()) + "/media";
  }

  /// The request of "-instagent" for the media URL, with |extra| pairs.
  AttrTable Request(const std::map<std::string, std::string>& extra = {}) const {
    AttrTable request(64);
    request.Set("-media", MediaUrl());
    request.Set("-prime", "1");
    for (const auto& [name, value] : extra) request.Set(name, value);
    return request;
  }

  /// Installs from the configured server; what it reports goes to reporter_.
  bool Install(const AttrTable& request, bool console = false) {
    reporter_ = test::RecordingReporter();
    return DownloadAndInstallAgent(layout_, reporter_, ResolveServerAddress("", ""), request,
                                   console);
  }

 public:
  // The device, and where the server takes the media from.
  test::TestLayout layout_;
  const std::string agent_ = layout_.layout().agentDir;
  const std::string media_dir_ = layout_.On("/tmp/kesta/media");
  const std::string log_dir_ = layout_.On("/tmp/kesta/log");
  const std::string server_root_ = layout_.On("/srv/www");

 protected:
  std::unique_ptr<test::LoopbackPeer> server_;
  test::RecordingReporter reporter_;

 public:
  // What a case changes before Publish.
  std::map<std::string, std::string> conf_;
  std::vector<std::pair<std::string, std::string>> files_;
  std::vector<std::pair<std::string, std::string>> options_;
  std::map<std::string, std::string> digests_;
  std::string prime_ = "1";
  std::string list_ = "MediaContent.mcfl";
  test::TempDir cwd_;
};

TEST_F(AgentInstallFlowTest, ScriptMediaInstallsWithThePlaceholdersFilled) {
  Publish();
  ASSERT_EQ(ChangeDir(cwd_.path()), 1);
  test::LogCapture log;
  // With the log file open, only the echoed lines reach standard output.
  ASSERT_TRUE(LogFileOpen(kLogFileName, log_dir_));
  testing::internal::CaptureStdout();
  const bool installed = Install(Request(), true);
  const std::string console = testing::internal::GetCapturedStdout();
  LogFileClose();
  ASSERT_TRUE(installed) << console;

  // RcsHost is the configured server, not the media URL's host; RcsPort
  // its default; the initial connect options are trimmed.
  const std::string install_log = log_dir_ + "/agentinstall.log";
  EXPECT_EQ(test::AgentCalls(layout_),
            (std::vector<std::string>{
                "install.sh -h kesta-main -p 3464 -n dev01 -l " + install_log + " @" + media_dir_,
                "zelskman -configure kesta-main:3464 @" + agent_,
                "zelskman -connect dev01 @" + agent_}));
  EXPECT_EQ(test::ReadFile(install_log), "copying the agent\n");
  EXPECT_EQ(reporter_.events,
            (std::vector<std::string>{"copyingagent|", "installcfgagent|", "agentinstalled|"}));
  EXPECT_TRUE(log.Has(kLogDebug, "Executing KESTA Agent Install Command: \"" + media_dir_ +
                                     "/install.sh -h kesta-main -p 3464 -n dev01 -l " +
                                     install_log + "\""));
  EXPECT_TRUE(log.Has(kLogInfo,
                      "Executing KESTA Post Install Configuration: \"zelskman -configure "
                      "kesta-main:3464\""));
  EXPECT_TRUE(log.Has(kLogInfo, "KESTA Post Install Configuration Completed - Exit Code: 0"));
  EXPECT_TRUE(log.Has(kLogInfo, "KESTA Initial Connect Completed - Exit Code: 0"));
  // Everything is echoed, the initial connect's completion last.
  EXPECT_NE(console.find("Executing KESTA Initial Connect Command: \"" + agent_ +
                         "/zelskman -connect dev01\""),
            std::string::npos);
  EXPECT_TRUE(console.ends_with("  Info: KESTA Initial Connect Completed - Exit Code: 0\n"))
      << console;
  EXPECT_EQ(GetCwd(), cwd_.path());
}

TEST_F(AgentInstallFlowTest, RequestOptionsFillRcsHostAndRcsPortAndChooseSilentOptions) {
  options_.push_back({"SilentInstallOptions", "-quiet <rcshost> <rcsport>"});
  Publish();
  ASSERT_TRUE(Install(Request({{"-rcshost", "rcs.example"}, {"-rcsport", "4000"},
                               {"-silent", "true"}, {"-prime", "0"}})));
  EXPECT_EQ(test::AgentCalls(layout_),
            (std::vector<std::string>{"install.sh -quiet rcs.example 4000 @" + media_dir_,
                                      "zelskman -configure rcs.example:4000 @" + agent_}));
}

// Values from the device, the request and the configuration reach the
// shell lines as single words: nothing of them runs, and each program gets
// them exactly as they are.
TEST_F(AgentInstallFlowTest, HostileValuesRunNothing) {
  const std::string marker = cwd_ / "ran";
  const std::string hostname = "dev$(touch " + marker + "-hostname)";
  const std::string rcsport = "3464;touch " + marker + "-rcsport;#";
  const std::string rcshost = "rcs `touch " + marker + "-rcshost` 'x'";
  const std::string log_dir = log_dir_ + "/it's $HOME";
  std::filesystem::create_directories(log_dir);
  conf_["hostname"] = hostname;
  conf_["LogPath"] = log_dir;
  Publish();
  ASSERT_TRUE(Install(Request({{"-rcshost", rcshost}, {"-rcsport", rcsport}})));

  const std::string install_log = log_dir + "/agentinstall.log";
  EXPECT_EQ(test::AgentCalls(layout_),
            (std::vector<std::string>{
                "install.sh -h " + rcshost + " -p " + rcsport + " -n " + hostname + " -l " +
                    install_log + " @" + media_dir_,
                "zelskman -configure " + rcshost + ":" + rcsport + " @" + agent_,
                "zelskman -connect " + hostname + " @" + agent_}));
  EXPECT_EQ(test::ReadFile(install_log), "copying the agent\n");
  for (const char* value : {"-hostname", "-rcsport", "-rcshost"})
    EXPECT_FALSE(FileExists(marker + value)) << value;
}

TEST_F(AgentInstallFlowTest, InitialConnectChoices) {
  struct Case {
    const char* name;
    std::function<void(AgentInstallFlowTest&)> setup;
    const char* info;       // "" = none expected
    const char* scheduled;  // the InitialConnect key, "" = absent
    std::vector<std::string> events;
  };
  const std::vector<std::string> ok = {"copyingagent|", "installcfgagent|", "agentinstalled|"};
  const Case cases[] = {
      {"no -prime", [](auto& t) { t.prime_ = "0"; }, "", "", ok},
      {"after a restart",
       [](auto& t) { t.options_.push_back({"InitialConnectAfterRestart", "1"}); },
       "Scheduling Initial Connect after Device Restart - Options: -connect dev01",
       "-connect dev01", ok},
      {"no options", [](auto& t) { t.options_.pop_back(); },
       "Initial Connect Options not specified with KESTA Agent Media, Skipping Initial Connect.",
       "", ok},
      {"zelskman missing: the install still succeeds",
       [](auto& t) {
         t.files_.pop_back();
         t.options_.erase(t.options_.begin() + 3);  // no post-install command
       },
       "", "",
       {"copyingagent|", "installcfgagent|",
        test::FailureEvent("Did not find command zelskman for initial connect"),
        "agentinstalled|"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetDevice();
    prime_ = "1";
    c.setup(*this);
    Publish();
    test::LogCapture log;
    ASSERT_TRUE(Install(Request({{"-prime", prime_}})));
    for (const std::string& call : test::AgentCalls(layout_))
      EXPECT_EQ(call.find("-connect"), std::string::npos) << call;
    if (*c.info) {
      EXPECT_TRUE(log.Has(kLogInfo, c.info));
    }
    std::string scheduled;
    ReadConfigValue(ConfigSection::kApplication, "InitialConnect", &scheduled);
    EXPECT_EQ(scheduled, c.scheduled);
    EXPECT_EQ(reporter_.events, c.events);
  }
}

TEST_F(AgentInstallFlowTest, FailuresAreToldAndTheDirectoryStays) {
  const std::string server = "127.0.0.1:" + std::to_string(server_->port());
  struct Case {
    const char* name;
    std::function<void(AgentInstallFlowTest&)> setup;
    int level;
    std::string text;        // logged at |level| and sent as the failure event
    std::string event_text;  // when the event says less than the log line; "" = |text|
  };
  const Case cases[] = {
      {"no media directory", [](auto& t) { t.conf_.erase("AgentMediaPath"); }, kLogFatal,
       "KESTA-DUSK Not Properly Installed - AgentMediapath is not defined", ""},
      {"list not on the server", [](auto& t) { t.list_ = "none.mcfl"; }, kLogError,
       "Failed to download KESTA Agent Media from " + MediaUrl() +
           "/none.mcfl - Could not download file /media/none.mcfl from KESTA Server " + server +
           " - File not found",
       "Could not download file /media/none.mcfl from KESTA Server " + server +
           " - File not found"},
      {"digest mismatch", [](auto& t) { t.digests_["agent/zelexecd"] = std::string(32, '0'); },
       kLogError,
       "Failed to download KESTA Agent Media from " + MediaUrl() +
           "/MediaContent.mcfl - MD5 For file agent/zelexecd does not match - Calculated " +
           Md5Of(test::RecorderScript(layout_)) + ", Expected " + std::string(32, '0'),
       "MD5 For file agent/zelexecd does not match - Calculated " +
           Md5Of(test::RecorderScript(layout_)) + ", Expected " + std::string(32, '0')},
      {"no install script named", [](auto& t) { t.options_.erase(t.options_.begin() + 1); },
       kLogError,
       "Missing Install Script specification in KESTA Agent Media for Package Type \"script\"", ""},
      {"install script missing", [](auto& t) { t.options_[1].second = "setup.sh"; }, kLogError,
       "Did not find KESTA Agent Install script " + media_dir_ + "/setup.sh", ""},
      {"unsupported package type", [](auto& t) { t.options_[0].second = " RPM"; }, kLogError,
       "Unsupported Package Type \"rpm\" Specified", ""},
      {"no host name stored", [](auto& t) { t.conf_.erase("hostname"); }, kLogError,
       "Failed to get device hostname from Config", ""},
      {"install command exits 1 with the agent in place",
       [](auto& t) { t.files_[0].second += "\nexit 1"; }, kLogError,
       "Agent Install Command Failed - Exit Code: 1", ""},
      {"install command lays out nothing",
       [](auto& t) { t.files_[0].second = test::RecorderScript(t.layout_); }, kLogError,
       "KESTA Agent did not Install correctly", ""},
      {"post-install program missing",
       [](auto& t) { t.options_[3].second = "configure-agent <RcsHost>"; }, kLogError,
       "Did not find command " + agent_ +
           "/configure-agent for post install configuration connect",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetDevice();
    list_ = "MediaContent.mcfl";
    c.setup(*this);
    Publish();
    ASSERT_EQ(ChangeDir(cwd_.path()), 1);
    test::LogCapture log;
    EXPECT_FALSE(Install(Request({{"-contentlist", list_}})));
    EXPECT_TRUE(log.Has(c.level, c.text)) << testing::PrintToString(log.messages());
    const std::vector<std::string>& events = reporter_.events;
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), test::FailureEvent(c.event_text.empty() ? c.text : c.event_text));
    EXPECT_EQ(GetCwd(), cwd_.path());
  }
}

void StopOnSignal(int) { RequestStop(); }

// A stop of the service while an agent command runs: the command is left to
// finish, and the server and the log learn that the service is stopping,
// not that the command timed out.
TEST_F(AgentInstallFlowTest, StopDuringACommandIsToldAsSuch) {
  struct sigaction action = {}, previous = {};
  action.sa_handler = StopOnSignal;
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  // The command asks this process to stop, as -stop would, and runs on
  // for longer than the wait takes to look at the stop.
  const std::string stop_and_run_on =
      "kill -USR1 " + std::to_string(getpid()) + "; sleep 5";
  const std::string interrupted = "Command interrupted - the KESTA-DUSK service is stopping";
  struct Case {
    const char* name;
    std::function<void(AgentInstallFlowTest&, const std::string&)> setup;
    std::string failure;
    bool installed;
  };
  const Case cases[] = {
      {"install command",
       [](auto& t, const std::string& body) { t.files_[0].second += "\n" + body; },
       "Agent Install Command Failed - " + interrupted, false},
      {"post-install command",
       [](auto& t, const std::string& body) {
         t.files_[2].second =
             test::RecorderScript(t.layout_, "[ \"$1\" = -configure ] && { " + body + "; }");
       },
       "KESTA Post Install Config Failed - " + interrupted, false},
      {"initial connect",
       [](auto& t, const std::string& body) {
         t.files_[2].second =
             test::RecorderScript(t.layout_, "[ \"$1\" = -connect ] && { " + body + "; }");
       },
       "KESTA Initial Connect Command Failed - " + interrupted, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetDevice();
    c.setup(*this, stop_and_run_on);
    Publish();
    test::LogCapture log;
    EXPECT_EQ(Install(Request()), c.installed);
    ClearStopRequest();
    EXPECT_TRUE(log.Has(kLogError, c.failure)) << testing::PrintToString(log.messages());
    const std::vector<std::string>& events = reporter_.events;
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[2], test::FailureEvent(c.failure));
    EXPECT_EQ(events.back(), c.installed ? "agentinstalled|" : test::FailureEvent(c.failure));
    for (const std::string& message : log.messages())
      EXPECT_EQ(message.find("timed out"), std::string::npos) << message;
    // Left running; ended here so that the next install may run.
    ASSERT_EQ(AbandonedCommands().size(), 1u);
    kill(AbandonedCommands().front(), SIGKILL);
    for (int i = 0; i < 100 && AbandonedCommandRunning(); ++i) usleep(20 * 1000);
    ASSERT_FALSE(AbandonedCommandRunning());
  }
  sigaction(SIGUSR1, &previous, nullptr);
}

// Root runs what lands in the media directory: one that someone else
// could have filled or could change is refused before anything is asked of
// the server or written.
TEST_F(AgentInstallFlowTest, UntrustedMediaDirectoriesInstallNothing) {
  const std::string kesta = layout_.On("/tmp/kesta"), elsewhere = layout_.On("/elsewhere");
  struct Case {
    const char* name;
    std::function<void()> setup;
    std::string why;
    bool needs_root = false;
  };
  const Case cases[] = {
      {"link as the media directory",
       [&] { std::filesystem::create_directory_symlink(elsewhere, media_dir_); },
       media_dir_ + " is a symbolic link"},
      {"world-writable on the way", [&] { chmod(kesta.c_str(), 0777); },
       kesta + " is writable by group or others (mode 0777)"},
      {"made by another user",
       [&] { ASSERT_EQ(chown(kesta.c_str(), 65534, 65534), 0); },
       kesta + " is owned by uid 65534", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs_root && geteuid() != 0) continue;
    ResetDevice();
    std::filesystem::create_directories(elsewhere);
    Publish();
    c.setup();
    test::LogCapture log;
    EXPECT_FALSE(Install(Request()));
    chmod(kesta.c_str(), 0755);
    ASSERT_EQ(chown(kesta.c_str(), geteuid(), getegid()), 0);
    const std::string text = "Media directory " + media_dir_ + " refused - " + c.why;
    EXPECT_TRUE(log.Has(kLogError, text));
    EXPECT_EQ(reporter_.events,
              (std::vector<std::string>{"copyingagent|", test::FailureEvent(text)}));
    EXPECT_TRUE(server_->requests().empty());
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    EXPECT_TRUE(test::AgentCalls(layout_).empty());
    test::RemoveTree(media_dir_);
  }
}

// The install log has an absolute path (the default log directory without
// LogPath; a bare name would land in the media directory), is never
// written through a link, and nobody else may write it.
TEST_F(AgentInstallFlowTest, InstallLogIsAbsoluteAndNeverALink) {
  const std::string install_log = layout_.layout().defaultLogDir + "/agentinstall.log";
  for (const char* log_path : std::initializer_list<const char*>{"", nullptr, "relative/logs"}) {
    SCOPED_TRACE(log_path ? log_path : "(none)");
    ResetDevice();
    if (log_path)
      conf_["LogPath"] = log_path;
    else
      conf_.erase("LogPath");
    Publish();
    test::RemoveTree(install_log);
    const mode_t saved = umask(077);
    const bool installed = Install(Request({{"-prime", "0"}}));
    umask(saved);
    ASSERT_TRUE(installed) << testing::PrintToString(reporter_.events);
    EXPECT_EQ(test::AgentCalls(layout_).front(),
              "install.sh -h kesta-main -p 3464 -n dev01 -l " + install_log + " @" + media_dir_);
    EXPECT_EQ(test::ReadFile(install_log), "copying the agent\n");
    struct stat st;
    ASSERT_EQ(stat(install_log.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
  }
  // A log others could write is theirs no more after the next install.
  chmod(install_log.c_str(), 0666);
  ResetDevice();
  conf_.erase("LogPath");
  Publish();
  ASSERT_TRUE(Install(Request({{"-prime", "0"}})));
  struct stat st;
  ASSERT_EQ(stat(install_log.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // A link planted as the log refuses the install before the command runs.
  const std::string victim = layout_.On("/victim");
  test::WriteFile(victim, "precious\n");
  test::RemoveTree(install_log);
  ASSERT_EQ(symlink(victim.c_str(), install_log.c_str()), 0);
  ResetDevice();
  conf_.erase("LogPath");
  Publish();
  EXPECT_FALSE(Install(Request()));
  const std::string text = "Could not open log file " + install_log + " - " + ErrorText(ELOOP);
  EXPECT_EQ(reporter_.events.back(), test::FailureEvent(text));
  EXPECT_TRUE(test::AgentCalls(layout_).empty());
  EXPECT_EQ(test::ReadFile(victim), "precious\n");
}

TEST_F(AgentInstallFlowTest, NoInstallWhileAnotherRuns) {
  Publish();
  const InstallLock other(layout_, "uninstall");
  ASSERT_TRUE(other.held()) << other.refusal();
  test::LogCapture log;
  EXPECT_FALSE(Install(Request(), true));
  const std::string text =
      "Another KESTA Agent install or uninstall is already running - not starting another "
      "install";
  EXPECT_TRUE(log.Has(kLogError, text));
  EXPECT_EQ(reporter_.events, std::vector<std::string>{test::FailureEvent(text)});
  EXPECT_TRUE(server_->requests().empty());
}

TEST_F(AgentInstallFlowTest, NoInstallWhileAnAbandonedCommandRuns) {
  Publish();
  // A stop makes the command's wait give up at once; it goes on running.
  RequestStop();
  ExecResult result = kExecNoError;
  EXPECT_FALSE(ExecCommand("sleep 60", "", "", false, kInstallCommandTimeout, &result));
  ClearStopRequest();
  ASSERT_EQ(AbandonedCommands().size(), 1u);
  const pid_t pid = AbandonedCommands().front();

  test::LogCapture log;
  EXPECT_FALSE(Install(Request()));
  const std::string text = "A previous KESTA Agent command (pid " + std::to_string(pid) +
                           ") is still running - not starting another install";
  EXPECT_TRUE(log.Has(kLogError, text));
  EXPECT_EQ(reporter_.events, std::vector<std::string>{test::FailureEvent(text)});
  EXPECT_TRUE(server_->requests().empty());

  // Once it has ended and been collected, the install runs.
  kill(pid, SIGKILL);
  for (int i = 0; i < 100 && AbandonedCommandRunning(); ++i) usleep(20 * 1000);
  EXPECT_TRUE(Install(Request()));
}

}  // namespace
}  // namespace dusk
