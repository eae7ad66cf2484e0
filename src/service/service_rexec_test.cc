#include "service/service_rexec.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "crypto/credentials.h"
#include "log/log.h"
#include "rexec/rexec_listener.h"
#include "service/service_event.h"
#include "service/service_main.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/stop_request.h"

namespace dusk {
namespace {

constexpr char kDn[] = "cn=pc01,ou=devices,o=kesta";

class FixedClock final : public Clock {
 public:
  time_t Now() override { return now; }
  time_t now = 1700000000;
};

/// A server that answers every call.
class AnsweringServer final : public ServerCalls {
 public:
  bool ProbeServer(const std::string&, const std::string&, std::string*) override {
    return probe_answers;
  }
  bool GatherDeviceInfo(const std::string&, const std::string&) override { return true; }
  bool NeedToRegister(const std::string&, const std::string&) override { return false; }
  bool Register(const std::string&, const std::string&) override { return true; }
  bool Startup(const std::string&, const std::string&) override { return true; }
  bool Status(const std::string&, const std::string&) override { return true; }
  bool UnRegister(const std::string&, const std::string&) override { return true; }
  bool ScanServices() override { return true; }
  bool NeedToSendServiceScan() override { return false; }
  bool probe_answers = true;
};

/// Notes what the install was given and what it saw.
class RecordingInstaller final : public AgentInstaller {
 public:
  bool DownloadAndInstallAgent(const Layout&, InstallReporter& reporter,
                               const ServerAddress& server, const AttrTable& options) override {
    ++calls;
    listening_during_install = IsListening();
    this->server = server.host + ":" + server.port + " (" + server.hostOption + ":" +
                   server.portOption + ")";
    for (const Attr& attr : options) this->options.push_back(attr.name + "=" + attr.value);
    reporter.Progress("Installing the agent");
    reporter.Event("installcfgagent", "");
    return succeeds;
  }
  bool succeeds = false;
  int calls = 0;
  bool listening_during_install = true;
  std::string server;
  std::vector<std::string> options;
};

/// The four parameters of a request with the device's credentials.
std::string RequestBytes(const std::string& command) {
  const DeviceCredentials credentials = CredentialsForDn(kDn);
  return std::string("0") + '\0' + credentials.userName + '\0' + credentials.password + '\0' +
         command + '\0';
}

class ServiceRexecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(port_, 0);
    ClearStopRequest();
    WriteConf("serverprobed=1\n");
    NewContext();
    ServiceInit(context_);
  }
  void TearDown() override { ReleaseAgentPort(); }

  void WriteConf(const std::string& config_lines) const {
    test::WriteFile(layout_.conf(), "[Application]\nServerName=127.0.0.1\nAgentPort=" +
                                        std::to_string(port_) + "\n[DeviceInfo]\ndevdn=" +
                                        kDn + "\n[Config]\nprobetimelimit=0\n" +
                                        config_lines);
  }

  /// A service that has not started yet, on the test's layout, clock and
  /// server.
  void NewContext() {
    context_ = ServiceContext();
    context_.layout = layout_;
    context_.clock = &clock_;
    context_.server = &server_;
  }

  /// A client that has connected to the device's agent port and sent
  /// |bytes|.
  UniqueFd SendRequest(const std::string& bytes) const {
    UniqueFd client = test::ConnectToLoopback(port_);
    EXPECT_TRUE(client);
    EXPECT_EQ(send(client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    return client;
  }

  void Pass() {
    RunServicePass(context_);
    clock_.now += 5;
  }

  test::TestLayout layout_;
  /// The agent port of the configuration.
  const int port_ = test::FreePort();
  FixedClock clock_;
  AnsweringServer server_;
  ServiceContext context_;
};

TEST_F(ServiceRexecTest, ListenerRunsWhileTheAgentIsMissingOnceProbed) {
  const std::string starting = "KESTA Agent is Not Installed, Starting the KESTA-DUSK Listener";
  {
    SCOPED_TRACE("the server has not answered");
    WriteConf("serverprobed=0\n");
    server_.probe_answers = false;
    NewContext();
    ServiceInit(context_);
    Pass();
    EXPECT_FALSE(IsListening());
  }
  {
    SCOPED_TRACE("the server answers: the listener starts in the same pass, and once");
    server_.probe_answers = true;
    clock_.now += 10000;
    test::LogCapture log;
    Pass();
    EXPECT_TRUE(IsListening());
    EXPECT_TRUE(log.Has(kLogInfo, starting));
    log.Clear();
    Pass();
    EXPECT_FALSE(log.Has(kLogInfo, starting));
  }
  {
    SCOPED_TRACE("an installed agent needs no listener");
    StopListener();
    std::filesystem::create_directories(layout_.layout().agentDir);
    test::WriteFile(layout_.layout().agentDir + "/zelexecd", "");
    Pass();
    EXPECT_FALSE(IsListening());
  }
}

TEST_F(ServiceRexecTest, AFailedInstallIsToldToTheServerAndListensAgain) {
  // The real install, on a device whose configuration names no media
  // directory.
  Pass();
  ASSERT_TRUE(IsListening());
  UniqueFd client = SendRequest(RequestBytes("installagent -media /m -contentlist l.mcfl"));
  test::LogCapture log;
  Pass();
  EXPECT_TRUE(IsListening());
  const std::string answer = test::ReadUntilClosed(client.get());
  EXPECT_TRUE(std::regex_match(
      answer, std::regex(std::string(1, '\0') +
                         "event [-T:Z0-9]{20}\\|installagentfailed\\|KESTA-DUSK\\+Not\\+"
                         "Properly\\+Installed\\+-\\+AgentMediapath\\+is\\+not\\+defined\\|\n")))
      << answer;
  EXPECT_TRUE(log.Has(kLogInfo,
                      "Received Request \"installagent -media /m -contentlist l.mcfl\" from KESTA "
                      "Server 127.0.0.1"));
  EXPECT_TRUE(log.Has(kLogInfo, "Processing Command \"installagent\""));
  EXPECT_TRUE(
      log.Has(kLogFatal, "KESTA-DUSK Not Properly Installed - AgentMediapath is not defined"));
  for (const RexecSession& session : context_.sessions) EXPECT_FALSE(session.inUse);
}

TEST_F(ServiceRexecTest, InstallRunsWithoutTheListener) {
  RecordingInstaller installer;
  context_.installer = &installer;
  context_.optionPort = "4100";
  Pass();
  for (bool succeeds : {false, true}) {
    SCOPED_TRACE(succeeds);
    installer = RecordingInstaller();
    installer.succeeds = succeeds;
    context_.state.registration.servicescanTime = clock_.now;
    UniqueFd client = SendRequest(RequestBytes("InstallAgent -media /m -contentlist l.mcfl"));
    Pass();
    EXPECT_EQ(installer.calls, 1);
    EXPECT_FALSE(installer.listening_during_install);
    // The configured host with the -port option.
    EXPECT_EQ(installer.server, "127.0.0.1:4100 (:4100)");
    EXPECT_EQ(installer.options,
              (std::vector<std::string>{"-media=/m", "-contentlist=l.mcfl"}));
    // What the install reports reaches the server on the request's connection.
    const std::string answer = test::ReadUntilClosed(client.get());
    EXPECT_TRUE(std::regex_match(
        answer, std::regex(std::string(1, '\0') +
                           "info \\{Installing the agent\\}\n"
                           "event [-T:Z0-9]{20}\\|installcfgagent\\|\\|\n")))
        << answer;
    // A failed install listens again for the server's next try; after a
    // success the next running pass scans the services.
    EXPECT_EQ(IsListening(), !succeeds);
    EXPECT_EQ(context_.state.registration.servicescanTime == 0, succeeds);
  }
}

TEST_F(ServiceRexecTest, PausedServiceStillServesARequest) {
  RecordingInstaller installer;
  context_.installer = &installer;
  Pass();
  ServiceEventStep(context_, ServiceEvent::kPause);
  UniqueFd client = SendRequest(RequestBytes("InstallAgent"));
  Pass();
  EXPECT_EQ(installer.calls, 1);
  EXPECT_EQ(test::ReadUntilClosed(client.get()).substr(0, 1), std::string(1, '\0'));
  EXPECT_TRUE(IsListening());
}

TEST_F(ServiceRexecTest, AFloodOfClientsDoesNotHoldUpTheService) {
  RecordingInstaller installer;
  context_.installer = &installer;
  Pass();
  // Fifty clients connect at once and hang up at once; whatever the
  // backlog let in is taken and ends at once.
  std::vector<UniqueFd> flood;
  for (int i = 0; i < 50; ++i) {
    flood.push_back(test::ConnectToLoopback(port_, /*nonblocking=*/true));
  }
  usleep(200 * 1000);
  flood.clear();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) Pass();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2);
  EXPECT_EQ(installer.calls, 0);

  UniqueFd first = SendRequest(RequestBytes("InstallAgent"));
  Pass();
  EXPECT_EQ(installer.calls, 1);
  EXPECT_EQ(test::ReadUntilClosed(first.get()).substr(0, 1), std::string(1, '\0'));
}

}  // namespace
}  // namespace dusk
