#include "rexec/rexec_accept.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "config/config_defaults.h"
#include "config/config_file.h"
#include "crypto/credentials.h"
#include "crypto/protected_value.h"
#include "log/log.h"
#include "rexec/rexec_listener.h"
#include "rexec/rexec_peers.h"
#include "support/short_timings.h"
#include "support/test_util.h"
#include "util/stop_request.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {
namespace {

constexpr char kDn[] = "cn=pc01,ou=devices,o=kesta";

/// The four parameters as the server sends them.
std::string Params(const std::string& error_port, const std::string& user,
                   const std::string& password, const std::string& command) {
  return error_port + '\0' + user + '\0' + password + '\0' + command + '\0';
}

/// Seconds since |start|.
double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// A TCP listener on 127.0.0.1 at a free port: the server's error port.
class ErrorPortListener {
 public:
  ErrorPortListener() { fd_ = test::ListenOnLoopback(1, &port_); }
  std::string port() const { return std::to_string(port_); }
  UniqueFd Accept() { return UniqueFd(accept(fd_.get(), nullptr, nullptr)); }
  /// True when a connection waits to be accepted.
  bool Pending() const {
    struct pollfd entry = {fd_.get(), POLLIN, 0};
    return poll(&entry, 1, 0) == 1;
  }

 private:
  UniqueFd fd_;
  int port_ = 0;
};

/// What became of one request.
struct Outcome {
  bool accepted = false;
  std::string answer;  ///< every byte the client read until the device closed
  std::string errorPort, userName, password, command;
  bool errorConnection = false;
};

class RexecAcceptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(port_, 0);
    ClearStopRequest();
    saved_level_ = LogCurrentLevel();
    LogLevel(kLogTrace);
    credentials_ = CredentialsForDn(kDn);
  }
  void TearDown() override {
    ReleaseAgentPort();
    ClearStopRequest();
    LogLevel(saved_level_);
  }

  /// dusk.conf: the agent port, |application_lines|, and the DN unless
  /// |with_dn| is false.
  void WriteConf(const std::string& application_lines, bool with_dn = true) const {
    test::WriteFile(dir_.conf(), "[Application]\nAgentPort=" + std::to_string(port_) + "\n" +
                               application_lines + "[DeviceInfo]\n" +
                               (with_dn ? std::string("devdn=") + kDn + "\n" : ""));
  }

  /// A client connected to the listener.
  UniqueFd Connect() const {
    UniqueFd client = test::ConnectToLoopback(port_);
    EXPECT_TRUE(client);
    return client;
  }

  /// The client connects and sends |bytes| (then closes its sending side
  /// when |then_close|); the device takes the request from the listener,
  /// as the service on server |server_host| does, and closes it.
  Outcome Exchange(const std::string& bytes, bool then_close = false,
                   const std::string& server_host = "127.0.0.1") {
    if (!IsListening()) {
      EXPECT_TRUE(StartListener());
    }
    UniqueFd client = Connect();
    EXPECT_EQ(send(client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    if (then_close) shutdown(client.get(), SHUT_WR);
    RexecRequest request;
    Outcome outcome;
    outcome.accepted = AcceptRexecRequest(request, server_host);
    outcome.errorPort = request.errorPort;
    outcome.userName = request.userName;
    outcome.password = request.password;
    outcome.command = request.command;
    outcome.errorConnection = request.errorSocket.valid();
    CloseRexecSockets(request);
    outcome.answer = test::ReadUntilClosed(client.get());
    return outcome;
  }

  DeviceCredentials credentials_;
  int saved_level_ = kLogInfo;
  test::ConfigDir dir_;
  /// The agent port of the configuration.
  const int port_ = test::FreePort();
};

TEST_F(RexecAcceptTest, ListenerStartsReplacesAndStops) {
  WriteConf("");
  test::LogCapture log;
  EXPECT_FALSE(IsListening());
  ASSERT_TRUE(StartListener());
  EXPECT_TRUE(IsListening());
  EXPECT_TRUE(log.Has(kLogDebug, "Creating Listening Socket on port " + std::to_string(port_)));
  ASSERT_TRUE(StartListener());
  EXPECT_TRUE(log.Has(kLogWarn, "Already Listening, disabling previous listener"));
  EXPECT_TRUE(IsListening());

  // Nothing pending: back at once, nothing said.
  log.Clear();
  RexecRequest request;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(AcceptRexecRequest(request, "127.0.0.1"));
  EXPECT_LT(SecondsSince(start), 0.5);
  EXPECT_TRUE(log.lines().empty());

  StopListener();
  EXPECT_FALSE(IsListening());
  EXPECT_FALSE(AcceptRexecRequest(request, "127.0.0.1"));
}

TEST_F(RexecAcceptTest, ListenerPortFromTheConfiguration) {
  struct Case {
    const char* name;
    std::string conf;
    bool listens;
    std::string line;
  };
  const std::string port = std::to_string(port_);
  const std::vector<Case> cases = {
      {"configured port", "[Application]\nAgentPort=" + port + "\n", true,
       "Creating Listening Socket on port " + port},
      {"port 0", "[Application]\nAgentPort=0\n", false,
       "Failed to initialize listener on port 0 - Socket Error (22): Invalid argument"},
      {"port beyond 65535", "[Application]\nAgentPort=70000\n", false,
       "Failed to initialize listener on port 70000 - Socket Error (22): Invalid argument"},
      {"not a number", "[Application]\nAgentPort=abc\n", false,
       "Failed to initialize listener on port 0 - Socket Error (22): Invalid argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(dir_.conf(), c.conf);
    test::LogCapture log;
    EXPECT_EQ(StartListener(), c.listens);
    EXPECT_EQ(IsListening(), c.listens);
    EXPECT_TRUE(log.Has(c.line)) << testing::PrintToString(log.messages());
    StopListener();
  }
}

TEST_F(RexecAcceptTest, ListenerOnAPortInUse) {
  WriteConf("");
  UniqueFd other(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  ASSERT_EQ(bind(other.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(other.get(), 1), 0);
  test::LogCapture log;
  EXPECT_FALSE(StartListener());
  EXPECT_FALSE(IsListening());
  EXPECT_TRUE(log.Has(kLogError, "Failed to initialize listener on port " +
                                     std::to_string(port_) +
                                     " - Socket Error (98): Address already in use"));
}

TEST_F(RexecAcceptTest, ListenerOnTheDefaultPortWithoutTheKey) {
  DUSK_REQUIRE_SANDBOX("the default agent port, free in a network namespace of its own");
  test::WriteFile(dir_.conf(), "[Application]\n");
  test::LogCapture log;
  EXPECT_TRUE(StartListener());
  EXPECT_TRUE(log.Has("Creating Listening Socket on port 3465"));
}

TEST_F(RexecAcceptTest, Answers) {
  const std::string user = credentials_.userName, password = credentials_.password;
  const std::string install = "InstallAgent -media /m -contentlist l.mcfl";
  const std::string accepted(1, '\0');
  const std::string bad_credentials = std::string(1, '\1') + "Invalid credentials specified.";
  const std::string bad_command = std::string(1, '\1') + "Invalid command specified.";
  struct Case {
    const char* name;
    std::string application;  // further [Application] lines
    bool with_dn;
    std::string bytes;
    std::string server_host;
    std::string answer;
    std::string error_line;  // "" = no Error line
  };
  const std::vector<Case> cases = {
      {"plain", "", true, Params("0", user, password, install), "127.0.0.1", accepted, ""},
      {"protected, NUL padded", "", true,
       Params("", ProtectValue(user, true), ProtectValue(password, true),
              ProtectValue(install, true)),
       "127.0.0.1", accepted, ""},
      {"protected command padded with blanks", "", true,
       Params("0", user, password, ProtectValue(install, false)), "127.0.0.1", accepted, ""},
      {"lower-case command word, newlines before the NULs", "", true,
       Params("0\n", user + "\n", password + "\n", "installagent\n"), "127.0.0.1", accepted,
       ""},
      {"the server named by name", "", true, Params("0", user, password, install), "localhost",
       accepted, ""},
      {"wrong password", "", true, Params("0", user, password + "x", install), "127.0.0.1",
       bad_credentials, "Invalid credentials specified."},
      {"user name in lower case", "", true,
       Params("0", strLowerCopy(user), password, install), "127.0.0.1", bad_credentials,
       "Invalid credentials specified."},
      {"protected value that is not Base64", "", true,
       Params("0", "{AES256}!!!", password, install), "127.0.0.1", bad_credentials,
       "base64_decode Failed"},
      {"another command", "", true, Params("0", user, password, "UninstallAgent"),
       "127.0.0.1", bad_command, "Invalid command specified."},
      {"a command of blanks only", "", true, Params("0", user, password, "    "),
       "127.0.0.1", bad_command, "Invalid command specified."},
      {"no DN: empty credentials do not pass", "", false, Params("0", "", "", install),
       "127.0.0.1", bad_credentials, "Invalid credentials specified."},
      {"not the server's address", "", true, Params("0", user, password, install), "10.1.2.3",
       bad_credentials,
       "Refused Rexec Request from 127.0.0.1 - not an address of KESTA Server 10.1.2.3"},
      {"not the server's address, but allowed", "AgentAllowedPeers=10.9.9.9  127.0.0.1\n", true,
       Params("0", user, password, install), "10.1.2.3", accepted, ""},
      {"any peer allowed", "AgentAllowedPeers=*\n", true, Params("0", user, password, install),
       "10.1.2.3", accepted, ""},
      {"an allowed peer still needs the credentials", "AgentAllowedPeers=*\n", true,
       Params("0", user, "", install), "10.1.2.3", bad_credentials,
       "Invalid credentials specified."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteConf(c.application, c.with_dn);
    test::LogCapture log;
    const Outcome outcome = Exchange(c.bytes, false, c.server_host);
    EXPECT_EQ(outcome.answer, c.answer);
    EXPECT_EQ(outcome.accepted, c.answer == accepted);
    int errors = 0;
    for (const auto& [level, message] : log.lines()) errors += level == kLogError;
    if (c.error_line.empty()) {
      EXPECT_EQ(errors, 0) << testing::PrintToString(log.messages());
    } else {
      EXPECT_TRUE(log.Has(kLogError, c.error_line)) << testing::PrintToString(log.messages());
    }
    if (outcome.accepted) {
      EXPECT_EQ(outcome.userName, user);
      EXPECT_EQ(outcome.errorPort, "");
    }
    // The password never reaches the log, in either form.
    for (const std::string& message : log.messages())
      EXPECT_EQ(message.find(password), std::string::npos) << message;
  }
}

TEST_F(RexecAcceptTest, AcceptedRequestIsLogged) {
  WriteConf("");
  ASSERT_TRUE(StartListener());
  test::LogCapture log;
  const std::string command = "InstallAgent -media {/m 1} -contentlist l.mcfl p1";
  const Outcome outcome = Exchange(
      Params("0", ProtectValue(credentials_.userName, true), credentials_.password, command));
  ASSERT_TRUE(outcome.accepted);
  EXPECT_EQ(outcome.command, command);
  const std::vector<std::string> expected = {
      "Rexec Request",
      "      Port      =  \"0\"",
      "      UserName  =  \"" + ProtectValue(credentials_.userName, true) + "\"",
      "                = \"" + credentials_.userName + "\" (Unencrypted)",
      "      Command   =  \"" + command + "\"",
      "GetDeviceCredentials",
      "   Cmd: InstallAgent",
      "  Args:",
      "  Attr(-media) = \"/m 1\"",
      "  Attr(-contentlist) = \"l.mcfl\"",
      "Params: p1",
      "Sent 1 bytes to KESTA Server 127.0.0.1",
  };
  EXPECT_EQ(log.messages(), expected);
}

TEST_F(RexecAcceptTest, BrokenRequestsEndWithoutAStatusByte) {
  WriteConf("");
  const std::string user = credentials_.userName, password = credentials_.password;
  int unused_port = 0;
  UniqueFd unused = test::ListenOnLoopback(-1, &unused_port);  // bound, not listening
  ASSERT_TRUE(unused);
  const std::string closed_port = std::to_string(unused_port);
  struct Case {
    const char* name;
    std::string bytes;
    bool then_close;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"three parameters, then the client closes", std::string("0\0u\0p\0", 6), true,
       "KESTA Server 127.0.0.1 closed the connection before the Rexec parameter was complete"},
      {"half a parameter, then the client closes", std::string("0\0us", 4), true,
       "KESTA Server 127.0.0.1 closed the connection before the Rexec parameter was complete"},
      {"5000 bytes without a NUL", std::string(5000, 'x'), false,
       "Rexec Parameter from KESTA Server 127.0.0.1 is longer than 2047 bytes"},
      {"error port abc", Params("abc", user, password, "InstallAgent"), false,
       "Failed to Connect to KESTA Server via the Error socket for port 0 - Socket Error (22): "
       "Invalid argument"},
      {"error port 99999", Params("99999", user, password, "InstallAgent"), false,
       "Failed to Connect to KESTA Server via the Error socket for port 99999 - Socket Error "
       "(22): Invalid argument"},
      {"error port where nobody listens", Params(closed_port, user, password, "InstallAgent"),
       false,
       "Failed to Connect to KESTA Server via the Error socket for port " + closed_port +
           " - Socket Error (111): Connection refused"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::LogCapture log;
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = Exchange(c.bytes, c.then_close);
    EXPECT_LT(SecondsSince(start), 1.5);
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.answer, "");
    EXPECT_TRUE(log.Has(c.line)) << testing::PrintToString(log.messages());
    EXPECT_TRUE(IsListening());
  }
}

TEST_F(RexecAcceptTest, SilentClientAndStop) {
  WriteConf("");
  ASSERT_TRUE(StartListener());
  {
    SCOPED_TRACE("a client that says nothing is given five looks spread over the wait");
    Timings short_wait;
    short_wait.rexec_parameter_wait = std::chrono::milliseconds(1000);
    test::ScopedTimings timings(short_wait);
    UniqueFd client = Connect();
    test::LogCapture log;
    RexecRequest request;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(AcceptRexecRequest(request, "127.0.0.1"));
    const double seconds = SecondsSince(start);
    EXPECT_GT(seconds, (kRexecParameterPeeks - 1) * 0.2 - 0.1);
    EXPECT_LT(seconds, 1.0 + 1);
    int waits = 0;
    for (const std::string& message : log.messages())
      waits += message == "Awaiting for Rexec Parameter from KESTA Server 127.0.0.1 ...";
    EXPECT_EQ(waits, kRexecParameterPeeks - 1);
    EXPECT_TRUE(log.Has(kLogDebug, "Did not receive the next Rexec parameter within 1000 msecs"));
    EXPECT_EQ(test::ReadUntilClosed(client.get()), "");
  }
  {
    SCOPED_TRACE("a stop ends the wait within a second");
    UniqueFd client = Connect();
    test::LogCapture log;
    RexecRequest request;
    std::thread stopper([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      RequestStop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(AcceptRexecRequest(request, "127.0.0.1"));
    stopper.join();
    // The program's own wait of five seconds: only the stop ends it this soon.
    EXPECT_LT(SecondsSince(start), 0.2 + 1.0 + 0.5);
    EXPECT_TRUE(log.Has(kLogDebug,
                        "Stop requested, giving up the Rexec Request from KESTA Server 127.0.0.1"));
  }
}

TEST_F(RexecAcceptTest, ParametersArrivingInPieces) {
  WriteConf("");
  ASSERT_TRUE(StartListener());
  UniqueFd client = Connect();
  const std::string bytes =
      Params("0", credentials_.userName, credentials_.password, "InstallAgent -media /m");
  // Pieces cut inside and between parameters, each a while after the last.
  std::thread sender([&] {
    size_t sent = 0;
    for (size_t cut : {size_t{1}, size_t{5}, size_t{21}, bytes.size()}) {
      send(client.get(), bytes.data() + sent, cut - sent, MSG_NOSIGNAL);
      sent = cut;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  });
  RexecRequest request;
  EXPECT_TRUE(AcceptRexecRequest(request, "127.0.0.1"));
  sender.join();
  EXPECT_EQ(request.command, "InstallAgent -media /m");
  CloseRexecSockets(request);
  EXPECT_EQ(test::ReadUntilClosed(client.get()), std::string(1, '\0'));
}

TEST_F(RexecAcceptTest, ErrorConnection) {
  WriteConf("");
  ErrorPortListener error_port;
  test::LogCapture log;
  const std::string install = "InstallAgent";
  Outcome outcome =
      Exchange(Params(error_port.port(), credentials_.userName, credentials_.password, install));
  EXPECT_TRUE(outcome.accepted);
  EXPECT_EQ(outcome.errorPort, error_port.port());
  EXPECT_TRUE(outcome.errorConnection);
  EXPECT_TRUE(log.Has(kLogDebug, "Created Error Socket for Port " + error_port.port() +
                                     " to KESTA Server 127.0.0.1"));
  EXPECT_TRUE(error_port.Pending());
  UniqueFd from_device = error_port.Accept();
  EXPECT_EQ(test::ReadUntilClosed(from_device.get()), "");

  // A peer that is not the server is not called back.
  outcome = Exchange(Params(error_port.port(), credentials_.userName, credentials_.password,
                            install),
                     false, "10.1.2.3");
  EXPECT_FALSE(outcome.accepted);
  EXPECT_FALSE(outcome.errorConnection);
  EXPECT_FALSE(error_port.Pending());
}

TEST_F(RexecAcceptTest, FieldsAreCutToTheirSizes) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd server(pair[1]);
  RexecRequest request;
  request.socket.reset(pair[0]);
  const std::string long_command = "InstallAgent " + std::string(kRexecParameterMax - 15, 'c');
  const std::string bytes = Params(std::string(40, '7'), std::string(300, 'u'),
                                   std::string(300, 'p'), long_command);
  ASSERT_EQ(write(server.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  EXPECT_TRUE(ReceiveRexecRequest(request, false));
  EXPECT_EQ(request.errorPort, std::string(kRexecErrorPortMax, '7'));
  EXPECT_EQ(request.userName, std::string(kRexecCredentialMax, 'u'));
  EXPECT_EQ(request.password, std::string(kRexecCredentialMax, 'p'));
  EXPECT_EQ(request.command, long_command);
}

TEST_F(RexecAcceptTest, ParametersAreTakenOneAtATime) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd device(pair[0]), server(pair[1]);
  const std::string longest(kRexecParameterMax - 2, 'x');
  const std::string bytes = std::string("a\0\0", 3) + longest + '\0' + longest + 'x' + '\0';
  ASSERT_EQ(write(server.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  std::string parameter;
  EXPECT_TRUE(ReceiveRexecParameter(device.get(), "h", &parameter));
  EXPECT_EQ(parameter, "a");
  EXPECT_TRUE(ReceiveRexecParameter(device.get(), "h", &parameter));
  EXPECT_EQ(parameter, "");
  // The longest parameter takes 2047 bytes with its NUL; one more is too long.
  EXPECT_TRUE(ReceiveRexecParameter(device.get(), "h", &parameter));
  EXPECT_EQ(parameter, longest);
  test::LogCapture log;
  EXPECT_FALSE(ReceiveRexecParameter(device.get(), "h", &parameter));
  EXPECT_TRUE(log.Has(kLogDebug, "Rexec Parameter from KESTA Server h is longer than 2047 bytes"));
}

// Bytes that come between two looks are seen at once but use up no look:
// a peer that starts a parameter early and ends it just before the last
// look still has all of its time.
TEST_F(RexecAcceptTest, EarlyBytesDoNotShortenTheWait) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd device(pair[0]), server(pair[1]);
  Timings quicker;
  quicker.rexec_parameter_wait = std::chrono::milliseconds(3500);
  test::ScopedTimings timings(quicker);
  const auto pause = quicker.rexec_parameter_wait / kRexecParameterPeeks;
  const auto start = std::chrono::steady_clock::now();
  const auto last_look = start + (kRexecParameterPeeks - 1) * pause;
  std::thread sender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    send(server.get(), "ab", 2, MSG_NOSIGNAL);
    std::this_thread::sleep_until(last_look - std::chrono::milliseconds(400));
    send(server.get(), "c\0", 2, MSG_NOSIGNAL);
  });
  test::LogCapture log;
  std::string parameter;
  EXPECT_TRUE(ReceiveRexecParameter(device.get(), "h", &parameter));
  sender.join();
  EXPECT_EQ(parameter, "abc");
  int waits = 0;
  for (const std::string& message : log.messages())
    waits += message == "Awaiting for Rexec Parameter from KESTA Server h ...";
  EXPECT_EQ(waits, kRexecParameterPeeks - 1);
}

TEST(RexecPeersTest, KeysAreKnownToTheConfiguration) {
  // -confupdate warns of a key it does not know as a misspelt one.
  EXPECT_TRUE(IsKnownConfigKey(ConfigSection::kApplication, kAgentAllowedPeersKey));
  EXPECT_TRUE(IsKnownConfigKey(ConfigSection::kApplication, kAgentPortKey));
}

// A peer that keeps sending a byte now and then, never the end of the
// parameter, is cut at the parameter's deadline all the same.
TEST_F(RexecAcceptTest, TricklingPeerIsCutAtTheDeadline) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd device(pair[0]), server(pair[1]);
  Timings quicker;
  quicker.rexec_parameter_wait = std::chrono::milliseconds(1000);
  test::ScopedTimings timings(quicker);
  std::atomic<bool> done{false};
  std::thread sender([&] {
    while (!done && send(server.get(), "a", 1, MSG_NOSIGNAL) == 1)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
  const auto start = std::chrono::steady_clock::now();
  std::string parameter;
  EXPECT_FALSE(ReceiveRexecParameter(device.get(), "h", &parameter));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  done = true;
  sender.join();
  EXPECT_LE(seconds, 1.5);
}

TEST(RexecPeersTest, AllowedPeers) {
  struct in_addr server;
  inet_pton(AF_INET, "10.0.0.1", &server);
  struct in_addr second;
  inet_pton(AF_INET, "10.0.0.2", &second);
  struct Case {
    const char* peer;
    std::vector<struct in_addr> servers;
    const char* allowed;
    bool result;
  };
  const std::vector<Case> cases = {
      {"10.0.0.1", {server}, "", true},
      {"10.0.0.2", {server, second}, "", true},
      {"10.0.0.3", {server}, "", false},
      {"10.0.0.3", {}, "10.0.0.4 10.0.0.3", true},
      {"10.0.0.3", {}, "\t10.0.0.3\t", true},
      {"10.0.0.3", {}, "10.0.0.30", false},
      {"10.0.0.3", {}, "10.0.0", false},
      {"10.0.0.3", {}, "*", true},
      {"10.0.0.3", {}, "bad *", true},
      {"", {server}, "", false},
      {"", {}, "*", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.peer) + " / " + c.allowed);
    EXPECT_EQ(PeerAllowedBy(c.peer, c.servers, c.allowed), c.result);
  }
  test::LogCapture log;
  EXPECT_FALSE(PeerAllowedBy("10.0.0.3", {}, "pc01.example"));
  EXPECT_TRUE(log.Has(kLogWarn,
                      "Ignoring \"pc01.example\" in AgentAllowedPeers - not an IPv4 address"));
}

}  // namespace
}  // namespace dusk
