#include "service/service_main.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "log/log.h"
#include "service/service_event.h"
#include "service/service_log_level.h"
#include "support/install_test_agent.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/stop_request.h"

namespace dusk {
namespace {

constexpr time_t kStart = 1700000000;

class FakeClock final : public Clock {
 public:
  time_t Now() override { return now; }
  time_t now = kStart;
};

/// Answers probes and the registration calls as told and notes when and
/// where each one went.
class FakeServer final : public ServerCalls {
 public:
  explicit FakeServer(const FakeClock& clock) : clock_(&clock) {}
  bool GatherDeviceInfo(const std::string& host, const std::string& port) override {
    return Note("gather", host, port, ++gatherings > failed_gatherings);
  }
  bool NeedToRegister(const std::string& host, const std::string& port) override {
    return Note("need", host, port, need_to_register);
  }
  bool Register(const std::string& host, const std::string& port) override {
    return Note("Register", host, port, exchanges_succeed);
  }
  bool Startup(const std::string& host, const std::string& port) override {
    return Note("Startup", host, port, exchanges_succeed);
  }
  bool Status(const std::string& host, const std::string& port) override {
    return Note("Status", host, port, exchanges_succeed);
  }
  bool UnRegister(const std::string& host, const std::string& port) override {
    return Note("UnRegister", host, port, exchanges_succeed);
  }
  bool ScanServices() override { return Note("scan", "", "", true); }
  bool NeedToSendServiceScan() override { return Note("changed", "", "", scan_changed); }

  /// The first n gatherings fail.
  int failed_gatherings = 0;
  int gatherings = 0;
  bool need_to_register = false;
  bool exchanges_succeed = true;
  bool scan_changed = false;
  /// "OFFSET name" of every registration and scan call, in order, and the
  /// server of each that has one.
  std::vector<std::string> calls;
  std::vector<std::string> call_targets;
  bool ProbeServer(const std::string& host, const std::string& port,
                   std::string* zone) override {
    probe_offsets.push_back(clock_->now - kStart);
    targets.push_back(host + ":" + port);
    bool answer = answer_from_probe > 0 &&
                  static_cast<int>(probe_offsets.size()) >= answer_from_probe;
    if (answer) *zone = "east";
    return answer;
  }
  /// The n-th probe and later ones succeed; 0 = never.
  int answer_from_probe = 0;
  std::vector<time_t> probe_offsets;
  std::vector<std::string> targets;

 private:
  bool Note(const char* name, const std::string& host, const std::string& port, bool answer) {
    calls.push_back(std::to_string(clock_->now - kStart) + " " + name);
    if (!host.empty()) call_targets.push_back(host + ":" + port);
    return answer;
  }

  const FakeClock* clock_;
};

class ServiceLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { NewContext(); }

  /// A service that has not started yet, on the test's layout, clock and
  /// server.
  void NewContext() {
    context_ = ServiceContext();
    context_.layout = layout_;
    context_.clock = &clock_;
    context_.server = &server_;
  }

  /// A configuration with the server peer.example:4000 and |config_lines|
  /// in [Config].
  void WriteConf(const std::string& config_lines,
                 const std::string& application_lines = "") const {
    test::WriteFile(layout_.conf(), "[Application]\nServerName=peer.example\nServerPort=4000\n" +
                                        agent_port_ + application_lines + "[Config]\n" +
                                        config_lines);
  }

  /// Passes every |step| seconds from kStart until the service asks to shut
  /// down or |horizon| seconds have passed. Returns the offset of the pass
  /// that asked for the shutdown.
  std::optional<time_t> RunPassesUntil(time_t horizon, time_t step) {
    for (clock_.now = kStart; clock_.now <= kStart + horizon; clock_.now += step) {
      if (RunServicePass(context_) == ServiceStep::kShutdown) return clock_.now - kStart;
    }
    return std::nullopt;
  }

  test::TestLayout layout_;
  /// Where the listener of a probed service listens, free on this machine.
  const std::string agent_port_ = "AgentPort=" + std::to_string(test::FreePort()) + "\n";
  FakeClock clock_;
  FakeServer server_{clock_};
  ServiceContext context_;
};

TEST_F(ServiceLoopTest, ProbeSchedule) {
  struct Case {
    const char* name;
    std::string config;
    time_t step;
    time_t horizon;
    std::vector<time_t> first_probes;  // offsets from the first pass
    std::optional<time_t> shutdown;    // offset of the pass that ends it
  };
  const std::string small =
      "proberetryinterval=10\nprobeattemptinterval=2\nprobeattemptlimit=3\n";
  const std::vector<Case> cases = {
      {"defaults: bursts of three more than 60 s apart, the next burst more than "
       "3600 s after the last probe, the end more than 86400 s after the first",
       "", 5, 90000, {0, 65, 130, 3735, 3800, 3865, 7470}, 86405},
      {"small values", small + "probetimelimit=30\n", 1, 100, {0, 3, 6, 17, 20, 23},
       31},
      {"no time limit", small + "probetimelimit=0\n", 1, 1000,
       {0, 3, 6, 17, 20, 23, 34}, std::nullopt},
      {"negative time limit", small + "probetimelimit=-30\n", 1, 1000,
       {0, 3, 6, 17, 20, 23, 34}, std::nullopt},
      {"settings that are not numbers, negative or huge",
       "proberetryinterval=99999999999\nprobeattemptinterval=soon\n"
       "probeattemptlimit=-1\nprobetimelimit=4\n",
       1, 100, {0, 1, 2, 3, 4}, 5},
      {"a retry interval of -1 is a setting, not a request to read it again",
       "proberetryinterval=-1\nprobeattemptinterval=2\nprobeattemptlimit=1\n"
       "probetimelimit=3\n",
       1, 100, {0, 1, 2, 3}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteConf(c.config);
    server_.probe_offsets.clear();
    NewContext();
    ServiceInit(context_);
    test::LogCapture log;
    EXPECT_EQ(RunPassesUntil(c.horizon, c.step), c.shutdown);
    ASSERT_GE(server_.probe_offsets.size(), c.first_probes.size());
    EXPECT_EQ(std::vector<time_t>(server_.probe_offsets.begin(),
                                  server_.probe_offsets.begin() + c.first_probes.size()),
              c.first_probes);
    EXPECT_EQ(log.Has(kLogInfo, "KESTA Server Probe Time Limit Expired"),
              c.shutdown.has_value());
    // Each setting is read once per start, whatever its value.
    int setting_lines = 0;
    for (const std::string& message : log.messages())
      setting_lines += message.find(" set to ") != std::string::npos;
    EXPECT_EQ(setting_lines, 7);
  }
}

TEST_F(ServiceLoopTest, AnsweredProbeIsKeptInTheFileAndEndsProbing) {
  WriteConf("probetimelimit=100\nserverprobed=0\n");
  server_.answer_from_probe = 2;
  context_.optionPort = "4100";
  ServiceInit(context_);
  test::LogCapture log;
  EXPECT_EQ(RunPassesUntil(100000, 5), std::nullopt);
  EXPECT_EQ(server_.probe_offsets, (std::vector<time_t>{0, 65}));
  EXPECT_EQ(server_.targets,
            (std::vector<std::string>{"peer.example:4100", "peer.example:4100"}));
  EXPECT_EQ(context_.state.probe.serverProbed, 1);
  EXPECT_EQ(context_.state.zone, "east");
  EXPECT_TRUE(log.Has(kLogInfo, "Updated Registry Key serverprobed with Value \"1\""));
  EXPECT_NE(test::ReadFile(layout_.conf()).find("\nserverprobed=1\n"), std::string::npos);
}

TEST_F(ServiceLoopTest, ProbedServerFromAnEarlierStartIsNotProbedAgain) {
  WriteConf("probetimelimit=10\nserverprobed=1\n");
  ServiceInit(context_);
  EXPECT_EQ(RunPassesUntil(1000, 5), std::nullopt);
  EXPECT_TRUE(server_.probe_offsets.empty());
}

TEST_F(ServiceLoopTest, MissingServerProbedKeyIsCreated) {
  WriteConf("");
  ServiceInit(context_);
  test::LogCapture log;
  RunServicePass(context_);
  EXPECT_TRUE(log.Has(kLogWarn, "Failed to Get Config Value from Key serverprobed"));
  EXPECT_TRUE(log.Has(kLogInfo, "Updated Registry Key serverprobed with Value \"0\""));
  EXPECT_NE(test::ReadFile(layout_.conf()).find("\nserverprobed=0\n"), std::string::npos);
  EXPECT_EQ(server_.probe_offsets.size(), 1u);
}

TEST_F(ServiceLoopTest, StartAndFirstPassLines) {
  WriteConf(
      "registrationinterval=600\nregistrationretryinterval=-1\n"
      "servicescaninterval=99999999999\nprobeattemptlimit=x\n",
      "LogLevel=debug\n");
  test::LogCapture log;
  ServiceInit(context_);
  EXPECT_EQ(context_.state.duskStatus, ServiceStatus::kRunning);
  RunServicePass(context_);
  EXPECT_FALSE(context_.state.firstPass);
  const std::vector<std::string> expected = {
      "Service Initialization Process ...",
      "Service Started",
      // The agent's object file is refreshed at start and on the first pass.
      "Failed to Get Config Value from Key devdn",
      "Failed to Get Config Value from Key devdn",
      "Registration Interval set to 600 seconds (from Config)",
      "Registration Retry Interval set to -1 seconds (from Config)",
      "Service Scan Interval set to 2147483647 seconds (from Config)",
      "Failed to Get Config Value from Key proberetryinterval",
      "Probe Retry Interval set to 3600 seconds (Default)",
      "Failed to Get Config Value from Key probetimelimit",
      "Probe Time Limit set to 86400 seconds (Default)",
      "Failed to Get Config Value from Key probeattemptinterval",
      "Probe Attempt Interval set to 60 seconds (Default)",
      "Probe Attempt Limit set to 0 seconds (from Config)",
      "Failed to Get Config Value from Key serverprobed",
      "Updated Registry Key serverprobed with Value \"0\"",
  };
  EXPECT_EQ(log.messages(), expected);
  EXPECT_EQ(LogCurrentLevel(), kLogDebug);

  test::LogCapture second_pass;
  clock_.now += 5;
  RunServicePass(context_);
  EXPECT_FALSE(second_pass.Has(kLogWarn, "Failed to Get Config Value from Key devdn"));
}

TEST_F(ServiceLoopTest, RegistrationAndScanSchedule) {
  struct Case {
    const char* name;
    std::string config;
    int failed_gatherings;
    bool need_to_register;
    bool exchanges_succeed;
    bool scan_changed;
    time_t horizon;
    std::vector<std::string> calls;
  };
  const std::string intervals =
      "serverprobed=1\nregistrationinterval=10\nregistrationretryinterval=12\n"
      "servicescaninterval=20\n";
  const std::vector<Case> cases = {
      {"first pass: Register and Status at once; then Startup once per interval, the "
       "scan once per its interval and Status only when it changed",
       intervals, 0, false, true, false, 45,
       {"0 gather", "0 Register", "0 scan", "0 Status",
        "15 gather", "15 need", "15 Startup",
        "25 gather", "25 scan", "25 changed",
        "30 gather", "30 need", "30 Startup",
        "45 gather", "45 need", "45 Startup"}},
      {"a changed registration or scan is sent in full", intervals, 0, true, true, true, 25,
       {"0 gather", "0 Register", "0 scan", "0 Status",
        "15 gather", "15 need", "15 Register",
        "25 gather", "25 scan", "25 changed", "25 Status"}},
      {"a failed gathering is retried more than the retry interval later; the scan "
       "gathers on its own and keeps its time",
       intervals, 3, false, true, false, 30,
       {"0 gather", "0 gather",
        "15 gather",
        "25 gather", "25 scan", "25 changed",
        "30 gather", "30 need", "30 Startup"}},
      {"a failed exchange waits the whole interval", intervals, 0, false, false, false, 15,
       {"0 gather", "0 Register", "0 scan", "0 Status",
        "15 gather", "15 need", "15 Startup"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteConf(c.config);
    server_ = FakeServer(clock_);
    server_.failed_gatherings = c.failed_gatherings;
    server_.need_to_register = c.need_to_register;
    server_.exchanges_succeed = c.exchanges_succeed;
    server_.scan_changed = c.scan_changed;
    NewContext();
    ServiceInit(context_);
    EXPECT_EQ(RunPassesUntil(c.horizon, 5), std::nullopt);
    EXPECT_EQ(server_.calls, c.calls);
    EXPECT_TRUE(server_.probe_offsets.empty());
  }
}

TEST_F(ServiceLoopTest, AfterALateProbeTheRegistrationAsksWhetherItIsNeeded) {
  WriteConf("probetimelimit=1000\nregistrationinterval=10\n");
  server_.answer_from_probe = 2;
  server_.need_to_register = true;
  ServiceInit(context_);
  RunPassesUntil(70, 5);
  // The first probe fails, the one more than 60 s later answers; that pass
  // is not the first, so the scan is sent only when it changed.
  EXPECT_EQ(server_.probe_offsets, (std::vector<time_t>{0, 65}));
  EXPECT_EQ(server_.calls, (std::vector<std::string>{"65 gather", "65 need", "65 Register",
                                                     "65 scan", "65 changed"}));
  EXPECT_EQ(server_.call_targets.back(), "peer.example:4000");
}

TEST_F(ServiceLoopTest, ShutdownUnregistersOnlyFromAServerThatAnswered) {
  for (bool probed : {true, false}) {
    SCOPED_TRACE(probed);
    WriteConf(probed ? "serverprobed=1\n" : "serverprobed=0\nprobetimelimit=0\n");
    server_ = FakeServer(clock_);
    NewContext();
    ServiceInit(context_);
    RunServicePass(context_);
    server_.calls.clear();
    test::LogCapture log;
    FinishService(context_);
    EXPECT_EQ(server_.calls, probed ? std::vector<std::string>{"0 UnRegister"}
                                    : std::vector<std::string>{});
    EXPECT_EQ(log.messages(), std::vector<std::string>{"Service Shutdown"});
  }
}

// A stop that comes before the first pass (during the start delay): the
// waiting initial connect is not started and stays waiting, nothing is
// probed or sent, and a server probed at an earlier start is still told
// that the device goes away.
TEST_F(ServiceLoopTest, StopBeforeTheFirstPassBeginsNothing) {
  test::LayOutAgent(layout_, {"zelexecd", "zelskman"});
  for (const char* probed : {"0", "1"}) {
    SCOPED_TRACE(probed);
    WriteConf(std::string("serverprobed=") + probed + "\n", "InitialConnect=-connect\n");
    server_ = FakeServer(clock_);
    NewContext();
    RequestStop();
    test::LogCapture log;
    ServiceInit(context_);
    const ServiceStep step = RunServicePass(context_);
    FinishService(context_);  // forgets the stop, as the shutdown does
    EXPECT_EQ(step, ServiceStep::kContinue);
    EXPECT_TRUE(log.Has(kLogInfo,
                        "Scheduled Initial Connect not started - the KESTA-DUSK service is "
                        "stopping"));
    EXPECT_TRUE(test::AgentCalls(layout_).empty());
    std::string waiting;
    ReadConfigValue(ConfigSection::kApplication, "InitialConnect", &waiting);
    EXPECT_EQ(waiting, "-connect");
    EXPECT_TRUE(server_.probe_offsets.empty());
    EXPECT_EQ(server_.calls, *probed == '1' ? std::vector<std::string>{"0 UnRegister"}
                                            : std::vector<std::string>{});
  }
}

TEST_F(ServiceLoopTest, EventsChangeTheState) {
  struct Case {
    const char* name;
    ServiceStatus status_before;
    ServiceEvent event;
    ServiceStatus status_after;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"pause", ServiceStatus::kRunning, ServiceEvent::kPause, ServiceStatus::kPaused, {"Service Paused"}},
      {"pause while paused", ServiceStatus::kPaused, ServiceEvent::kPause, ServiceStatus::kPaused, {"Service Paused"}},
      {"resume", ServiceStatus::kPaused, ServiceEvent::kResume, ServiceStatus::kRunning, {"Service Resumed"}},
      {"resume while running", ServiceStatus::kRunning, ServiceEvent::kResume, ServiceStatus::kRunning,
       {"Service Resumed"}},
      {"interrupt while paused", ServiceStatus::kPaused, ServiceEvent::kInterrupt, ServiceStatus::kRunning,
       {"Service Interrupted", "Service Resumed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServiceContext context;
    context.state.duskStatus = c.status_before;
    context.state.refreshServer = false;
    context.state.serviceLogLevel = "debug";
    context.state.timers = {1, 2, 3, 4, 5, 6, 7};
    test::LogCapture log;
    EXPECT_EQ(ServiceEventStep(context, c.event), ServiceStep::kContinue);
    EXPECT_EQ(log.messages(), c.lines);
    EXPECT_EQ(context.state.duskStatus, c.status_after);
    EXPECT_TRUE(context.state.refreshServer);
    EXPECT_EQ(context.state.serviceLogLevel, "");
    // The registration and scan intervals are read again; the probe
    // settings are kept.
    EXPECT_FALSE(context.state.timers.registrationInterval);
    EXPECT_FALSE(context.state.timers.registrationRetryInterval);
    EXPECT_FALSE(context.state.timers.servicescanInterval);
    EXPECT_EQ(context.state.timers.probeRetryInterval, 4);
    EXPECT_EQ(context.state.timers.probeAttemptLimit, 7);
  }
}

TEST_F(ServiceLoopTest, NoEventAndUnknownEventChangeNothing) {
  for (int event : {0, 9}) {
    SCOPED_TRACE(event);
    ServiceContext context;
    context.state.duskStatus = ServiceStatus::kPaused;
    context.state.refreshServer = false;
    test::LogCapture log;
    EXPECT_EQ(ServiceEventStep(context, static_cast<ServiceEvent>(event)),
              ServiceStep::kContinue);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(context.state.duskStatus, ServiceStatus::kPaused);
    EXPECT_FALSE(context.state.refreshServer);
  }
}

TEST_F(ServiceLoopTest, ResumeReadsLevelServerAndIntervalsAgain) {
  WriteConf("servicescaninterval=100\nproberetryinterval=50\nprobetimelimit=0\n",
            "LogLevel=info\n");
  ServiceInit(context_);
  RunServicePass(context_);
  ASSERT_EQ(ServiceEventStep(context_, ServiceEvent::kPause), ServiceStep::kContinue);

  // Nothing happens while paused, however long.
  clock_.now += 100000;
  test::LogCapture paused;
  EXPECT_EQ(RunServicePass(context_), ServiceStep::kContinue);
  EXPECT_TRUE(paused.lines().empty());
  EXPECT_EQ(server_.probe_offsets.size(), 1u);

  test::WriteFile(layout_.conf(),
                  "[Application]\nServerName=other.example\nLogLevel= Trace \n" + agent_port_ +
                  "[Config]\nservicescaninterval=200\nproberetryinterval=70\n"
                  "probetimelimit=5\n");
  ASSERT_EQ(ServiceEventStep(context_, ServiceEvent::kResume), ServiceStep::kContinue);
  test::LogCapture resumed;
  EXPECT_EQ(RunServicePass(context_), ServiceStep::kContinue);
  EXPECT_EQ(LogCurrentLevel(), kLogTrace);
  EXPECT_EQ(server_.targets.back(), "other.example:3466");
  EXPECT_TRUE(resumed.Has(kLogInfo, "Service Scan Interval set to 200 seconds (from Config)"));
  EXPECT_TRUE(resumed.Has(kLogInfo, "Registration Interval set to 86400 seconds (Default)"));
  for (const auto& [level, message] : resumed.lines())
    EXPECT_EQ(message.find("Probe"), std::string::npos) << message;
  EXPECT_EQ(context_.state.timers.probeRetryInterval, 50);
  EXPECT_EQ(context_.state.timers.probeTimeLimit, 0);
}

TEST_F(ServiceLoopTest, StopWhilePausedShutsDownAndKeepsServerProbed) {
  WriteConf("serverprobed=1\n");
  ServiceInit(context_);
  RunServicePass(context_);
  ServiceEventStep(context_, ServiceEvent::kPause);
  ASSERT_EQ(ServiceEventStep(context_, ServiceEvent::kStop), ServiceStep::kShutdown);
  std::string before = test::ReadFile(layout_.conf());
  test::LogCapture log;
  FinishService(context_);
  EXPECT_EQ(log.messages(), std::vector<std::string>{"Service Shutdown"});
  EXPECT_EQ(context_.state.duskStatus, ServiceStatus::kShutDown);
  EXPECT_EQ(context_.state.probe.serverProbed, 0);
  EXPECT_FALSE(context_.state.timers.probeTimeLimit);
  EXPECT_FALSE(context_.state.timers.registrationInterval);
  EXPECT_EQ(context_.state.serviceLogLevel, "");
  EXPECT_EQ(test::ReadFile(layout_.conf()), before);
}

}  // namespace
}  // namespace dusk
