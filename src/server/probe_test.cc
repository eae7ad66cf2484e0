#include "server/probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_peer.h"
#include "support/test_util.h"
#include "util/stop_request.h"

namespace dusk {
namespace {

TEST(ProbeTest, AnswersOfTheServer) {
  struct Row {
    const char* name;
    std::string fault;   // for every path; "* raw answer" sends |answer|
    std::string answer;
    bool available;
    std::string zone;  // starts as "before"
    std::string reason;  // the text after "Not Available - " when not available
  } rows[] = {
      {"the peer's own answer", "", "", true, "default", ""},
      {"last zone line wins", "* raw answer",
       "HTTP/1.0 200 OK\r\nContent-Length: 60\r\n\r\nZelmarInfo.zone: east\r\nother\n"
       "ZelmarInfo.zone: west\r\n",
       true, "west", ""},
      {"200 without a body", "* empty200", "", true, "before", ""},
      {"prefix in lower case", "* raw answer",
       "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nzelmarinfo.zone: x\n", true, "before", ""},
      {"empty zone", "* raw answer",
       "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nZelmarInfo.zone: \n", true, "", ""},
      {"zone over 255 characters", "* raw answer",
       "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nZelmarInfo.zone: " + std::string(300, 'z'),
       true, std::string(255, 'z'), ""},
      {"403", "* status 403", "", false, "before", "Forbidden"},
      {"not HTTP", "* raw answer", "SSH-2.0-OpenSSH\r\n", false, "before",
       "Invalid header read"},
      {"closed at once", "* close", "", false, "before", "Read error while reading header"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::LoopbackPeer server;
    server.WriteStateFile("answer", row.answer);
    server.SetFaults(row.fault);
    std::string server_text = "127.0.0.1:" + std::to_string(server.port());
    std::string zone = "before", failure;
    test::LogCapture log;
    EXPECT_EQ(_probeKESTAServer("127.0.0.1", std::to_string(server.port()), &zone, &failure),
              row.available);
    EXPECT_EQ(zone, row.zone);
    std::vector<std::string> expected = {
        "Probing KESTA Server " + server_text + " @ URL http://" + server_text +
            "/proc/Zelmar?WebService.Name=AuthenticateUser&Response.Format=Text&getauthds=true"
            " ...",
        row.available ? "KESTA Server " + server_text + " Available ..."
                      : "KESTA Server " + server_text + " Not Available - " + row.reason,
    };
    EXPECT_EQ(log.messages(), expected);
    // The command names the reason once more as its last word.
    EXPECT_EQ(failure, row.available ? "" : expected.back());
  }
}

TEST(ProbeTest, RequestOnTheWire) {
  test::LoopbackPeer server;
  std::string zone;
  ASSERT_TRUE(probeKESTAServer(
      {.host = "127.0.0.1", .port = std::to_string(server.port()), .portNumber = server.port()},
      &zone));
  EXPECT_EQ(server.requests(),
            std::vector<std::string>{
                "GET /proc/Zelmar?WebService.Name=AuthenticateUser&Response.Format=Text&"
                "getauthds=true HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n\r\n"});
}

TEST(ProbeTest, RefusedConnection) {
  test::LogCapture log;
  std::string zone = "kept", failure;
  EXPECT_FALSE(probeKESTAServer({.host = "127.0.0.1", .port = "1", .portNumber = 1}, &zone,
                                &failure));
  EXPECT_EQ(zone, "kept");
  EXPECT_EQ(failure, "KESTA Server 127.0.0.1:1 Not Available - Cannot connect to host");
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{
                "KESTA Server Probe Triggered ...",
                "Probing KESTA Server 127.0.0.1:1 @ URL http://127.0.0.1:1/proc/Zelmar?"
                "WebService.Name=AuthenticateUser&Response.Format=Text&getauthds=true ...",
                "KESTA Server 127.0.0.1:1 Not Available - Cannot connect to host\n\n",
            }));
}

// A stop pending before the probe begins, or coming while the server holds
// its answer back: the server is not reported unavailable.
TEST(ProbeTest, StopEndsTheProbeWithItsOwnLine) {
  for (bool pending : {true, false}) {
    SCOPED_TRACE(pending ? "pending" : "while the server holds the answer");
    test::LoopbackPeer server;
    server.SetFaults("* stall");
    const std::string server_text = "127.0.0.1:" + std::to_string(server.port());
    if (pending) RequestStop();
    std::thread stopper([&] {
      if (!pending && server.WaitForRequests(1, std::chrono::seconds(10))) RequestStop();
    });
    test::LogCapture log;
    std::string zone = "kept";
    EXPECT_FALSE(_probeKESTAServer("127.0.0.1", std::to_string(server.port()), &zone));
    stopper.join();
    ClearStopRequest();
    EXPECT_EQ(zone, "kept");
    ASSERT_EQ(log.messages().size(), 2u);
    EXPECT_EQ(log.messages()[1], "Probe of KESTA Server " + server_text +
                                     " stopped - the KESTA-DUSK service is stopping");
    EXPECT_EQ(server.requests().size(), pending ? 0u : 1u);
  }
}

TEST(ProbeTest, PortThatIsNoNumber) {
  test::LogCapture log;
  std::string zone;
  EXPECT_FALSE(_probeKESTAServer("127.0.0.1", "http", &zone));
  EXPECT_TRUE(log.Has("KESTA Server 127.0.0.1:http Not Available - Bad host specified\n\n"));
}

}  // namespace
}  // namespace dusk
