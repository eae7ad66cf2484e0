#include "server/envelope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "log/log.h"
#include "support/loopback_peer.h"
#include "support/short_timings.h"
#include "support/test_util.h"
#include "util/stop_request.h"
#include "util/timings.h"
#include "util/attr_list.h"

namespace dusk {
namespace {

class EnvelopeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(dir_.conf(), "[Application]\nInstallPath=/usr/local/dusk/\nAgentPort=4465\n");
    LogLevel(kLogDebug);
  }

  test::ConfigDir dir_;
};

TEST_F(EnvelopeTest, PathsByRequestName) {
  EXPECT_EQ(SignalProcPath("Register"), "/proc/vmp/register");
  EXPECT_EQ(SignalProcPath("startup"), "/proc/vmp/startup");
  EXPECT_EQ(SignalProcPath("STATUS"), "/proc/vmp/status");
  EXPECT_EQ(SignalProcPath("unregister"), "/proc/vmp/unregister");
  EXPECT_EQ(SignalProcPath("Probe"), "");
}

TEST_F(EnvelopeTest, SenderAttributes) {
  struct Row {
    const char* name;
    std::string application;  // [Application] lines
    std::vector<Attr> device;
    std::string expected;
    std::vector<std::string> warnings;
  } rows[] = {
      {"detected address and configured port",
       "InstallPath=/usr/local/dusk/\nAgentPort=4465\n",
       {{"dnshostname", "pc01"}, {"detectedipaddress", "10.1.2.3"}},
       "kmabuild NA kmadir /usr/local/dusk "
       "sender dusk://10.1.2.3:4465;major=7;minor=8;build=33;revision=1",
       {}},
      {"only one trailing slash goes; DNS name without an address",
       "InstallPath=/usr/local/dusk//\nAgentPort=3465\n",
       {{"dnshostname", "pc01.example"}},
       "kmabuild NA kmadir /usr/local/dusk/ "
       "sender dusk://pc01.example:3465;major=7;minor=8;build=33;revision=1",
       {}},
      {"an empty address is used as it is", "InstallPath=/\nAgentPort=1\n",
       {{"detectedipaddress", ""}, {"dnshostname", "pc01"}},
       "kmabuild NA kmadir {} sender dusk://:1;major=7;minor=8;build=33;revision=1", {}},
      {"nothing configured, nothing known", "",
       {},
       "kmabuild NA kmadir {} sender dusk://localhost:3465;major=7;minor=8;build=33;revision=1",
       {"Failed to Get Config Value from Key InstallPath",
        "Failed to Get Config Value from Key AgentPort"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::WriteFile(dir_.conf(), "[Application]\n" + row.application);
    AttrTable device(32);
    for (const Attr& attr : row.device) device.Set(attr.name, attr.value);
    std::string list = "hostname pc01";
    test::LogCapture log;
    AppendSenderAttrs(&list, kTclListCapacity, device);
    EXPECT_EQ(list, "hostname pc01 " + row.expected);
    EXPECT_EQ(log.messages(), row.warnings);
  }
}

/// The log lines of a request to |server_text| for |name|, with |ending|.
std::vector<std::string> ExpectedLines(const std::string& name, const std::string& server_text,
                                       const std::string& path,
                                       const std::vector<std::string>& ending) {
  std::vector<std::string> lines = {
      "Sending " + name + " Request to KESTA Server " + server_text + "  @ URL " + path +
      " ..."};
  lines.insert(lines.end(), ending.begin(), ending.end());
  return lines;
}

TEST_F(EnvelopeTest, AnswersOfTheServer) {
  Timings quick;
  quick.http_idle = std::chrono::milliseconds(300);
  quick.http_head = std::chrono::milliseconds(600);
  test::ScopedTimings timings(quick);
  const std::string long_dn(300, 'x');
  const std::string longest_dn = "cn=" + std::string(252, 'y');
  const std::string raw = "* raw answer";
  struct Row {
    const char* name;
    std::string fault;   // for every path; |raw| sends |answer|
    std::string answer;
    bool ok;
    std::string dn_after;  // the DN starts as "cn=old,o=k"
    std::string failure;   // the Error line's reason, "" when accepted
  } rows[] = {
      {"new DN", raw, "HTTP/1.0 200 OK\r\nContent-Length: 99\r\n\r\ncn=new,o=k\nsecond line\n",
       true, "cn=new,o=k", ""},
      {"the peer's own answer", "", "", true, "cn=old,o=k", ""},
      {"carriage return dropped", raw,
       "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\ncn=n\rew,o=k\r\n", true, "cn=new,o=k", ""},
      {"DN of 255 characters", raw,
       "HTTP/1.0 200 OK\r\nContent-Length: 256\r\n\r\n" + longest_dn, true, longest_dn, ""},
      {"200 without a body keeps the DN", "* empty200", "", true, "cn=old,o=k", ""},
      {"empty first line empties the DN", raw,
       "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n\nx\n", true, "", ""},
      {"NUL byte in the first line", raw,
       "HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\ncn=a" + std::string(1, '\0') + "b\n", false,
       "cn=old,o=k", "Answer holds a NUL byte, not a device DN"},
      {"404", raw, "HTTP/1.0 404 Not Found\r\nContent-Length: 5\r\n\r\ncn=x\n", false,
       "cn=old,o=k", "Not Found"},
      {"500", "* status 500", "", false, "cn=old,o=k", "Server error"},
      {"closed before the headers end", "* close-before-headers", "", false, "cn=old,o=k",
       "Read error while reading header"},
      {"closed without a byte", "* close", "", false, "cn=old,o=k",
       "Read error while reading header"},
      {"stalled", "* stall", "", false, "cn=old,o=k", "Read error while reading header"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::LoopbackPeer server;
    server.WriteStateFile("answer", row.answer);
    server.SetFaults(row.fault);
    const std::string port = std::to_string(server.port());
    const std::string server_text = "127.0.0.1:" + port;
    std::string body = "hostname pc01";
    std::string dn = "cn=old,o=k";
    test::LogCapture log;
    EXPECT_EQ(sendKESTAServerRequest("127.0.0.1", port, "Startup", &body, kTclListCapacity,
                                     &dn),
              row.ok);
    EXPECT_EQ(dn, row.dn_after);
    std::vector<std::string> ending;
    if (row.ok) {
      ending = {"Sent Startup Request to KESTA Server " + server_text};
    } else {
      ending = {"Failed to Send Startup Request to KESTA Server " + server_text + " - " +
                row.failure};
    }
    std::vector<std::string> info_and_errors;
    for (const auto& [level, message] : log.lines())
      if (level <= kLogInfo) info_and_errors.push_back(message);
    EXPECT_EQ(info_and_errors,
              ExpectedLines("Startup", server_text, "/proc/vmp/startup", ending));
  }
}

TEST_F(EnvelopeTest, FirstLineTooLongForADnIsAFailedExchange) {
  for (size_t length : {256u, 300u, 5000u}) {
    SCOPED_TRACE(length);
    test::LoopbackPeer server;
    server.WriteStateFile("answer", "HTTP/1.0 200 OK\r\nContent-Length: 9999\r\n\r\n" +
                                        std::string(length, 'd') + "\n");
    server.SetFaults("* raw answer");
    const std::string port = std::to_string(server.port());
    std::string body = "hostname pc01";
    std::string dn = "cn=old,o=k";
    test::LogCapture log;
    EXPECT_FALSE(
        sendKESTAServerRequest("127.0.0.1", port, "Register", &body, kTclListCapacity, &dn));
    EXPECT_EQ(dn, "cn=old,o=k");
    EXPECT_TRUE(log.Has(kLogError, "Failed to Send Register Request to KESTA Server 127.0.0.1:" +
                                       port +
                                       " - Answer is too long for a device DN (more than 255 "
                                       "characters)"));
    EXPECT_FALSE(log.Has(kLogInfo, "Sent Register Request to KESTA Server 127.0.0.1:" + port));
  }
}

TEST_F(EnvelopeTest, RequestOnTheWire) {
  struct Row {
    const char* name;
    std::string dn;
    std::string body_end;
  } rows[] = {
      {"known DN", "cn=pc01,o=k", "sender x devdn  cn=pc01,o=k"},
      {"DN with a blank is braced", "cn=pc 01,o=k", "sender x devdn  {cn=pc 01,o=k}"},
      {"no DN, no attribute", "", "sender x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::LoopbackPeer server;
    server.SetFaults("* empty200");
    std::string body = "hostname pc01 sender x";
    std::string dn = row.dn;
    test::LogCapture log;
    ASSERT_TRUE(sendKESTAServerRequest("127.0.0.1", std::to_string(server.port()), "Register",
                                       &body, kTclListCapacity, &dn));
    const std::string expected_body = "hostname pc01 " + row.body_end;
    EXPECT_EQ(body, expected_body);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "POST /proc/vmp/register HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\nAccept: text/*\r\n"
              "User-Agent: DUSK 1.0\r\nContent-type: application/x-tcl-list\r\n"
              "Content-length: " +
                  std::to_string(expected_body.size()) + "\r\n\r\n" + expected_body);
    EXPECT_TRUE(log.Has(kLogDebug, "Register Request Content: " + expected_body));
  }
}

TEST_F(EnvelopeTest, FullBodyIsSentWithoutTheDn) {
  test::LoopbackPeer server;
  server.SetFaults("* empty200");
  std::string body(4090, 'b');
  std::string dn = "cn=pc01";
  test::LogCapture log;
  EXPECT_TRUE(sendKESTAServerRequest("127.0.0.1", std::to_string(server.port()), "Status",
                                     &body, kTclListCapacity, &dn));
  EXPECT_EQ(body, std::string(4090, 'b'));
  EXPECT_TRUE(log.Has(kLogError,
                      "Cannot Append attribute \"devdn \" with value \"cn=pc01\" to List - "
                      "Buffer full, skipping."));
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_NE(server.requests()[0].find("\r\n\r\n" + body), std::string::npos);
}

TEST_F(EnvelopeTest, StopEndsTheExchangeWithItsOwnLine) {
  test::LoopbackPeer server;
  server.SetFaults("* stall");
  const std::string port = std::to_string(server.port());
  const std::string server_text = "127.0.0.1:" + port;
  std::thread stopper([&] {
    if (server.WaitForRequests(1, std::chrono::seconds(10))) RequestStop();
  });
  std::string body = "hostname pc01";
  std::string dn = "cn=kept";
  test::LogCapture log;
  EXPECT_FALSE(
      sendKESTAServerRequest("127.0.0.1", port, "Status", &body, kTclListCapacity, &dn));
  stopper.join();
  ClearStopRequest();
  EXPECT_EQ(dn, "cn=kept");
  std::vector<std::string> info_and_errors;
  for (const auto& [level, message] : log.lines())
    if (level <= kLogInfo) info_and_errors.push_back(message);
  EXPECT_EQ(info_and_errors,
            ExpectedLines("Status", server_text, "/proc/vmp/status",
                          {"Status Request to KESTA Server " + server_text +
                           " stopped - the KESTA-DUSK service is stopping"}));
}

TEST_F(EnvelopeTest, RequestsThatNeverLeave) {
  struct Row {
    const char* name;
    std::string port;
    std::string request;
    std::vector<std::string> lines;
  } rows[] = {
      {"refused connection", "1", "Register",
       {"Sending Register Request to KESTA Server 127.0.0.1:1  @ URL /proc/vmp/register ...",
        "KESTA Server 127.0.0.1:1 Not Available - Cannot connect to host\n\n"}},
      {"unknown request name", "", "Probe",
       {"Sending Probe Request to KESTA Server 127.0.0.1:PORT  @ URL  ...",
        "Failed to Send Probe Request to KESTA Server 127.0.0.1:PORT - Invalid URL "
        "specified"}},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::LoopbackPeer server;
    if (row.port.empty()) {
      row.port = std::to_string(server.port());
      for (std::string& line : row.lines) line.replace(line.find("PORT"), 4, row.port);
    }
    std::string body = "hostname pc01";
    std::string dn = "cn=kept";
    test::LogCapture log;
    EXPECT_FALSE(sendKESTAServerRequest("127.0.0.1", row.port, row.request, &body,
                                        kTclListCapacity, &dn));
    EXPECT_EQ(dn, "cn=kept");
    std::vector<std::string> info_and_errors;
    for (const auto& [level, message] : log.lines())
      if (level <= kLogInfo) info_and_errors.push_back(message);
    EXPECT_EQ(info_and_errors, row.lines);
  }
}

}  // namespace
}  // namespace dusk
