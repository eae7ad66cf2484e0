#include "rexec/rexec_session.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

/// Lets the Debug lines through while it lives.
class ScopedDebugLog {
 public:
  ScopedDebugLog() : saved_(LogCurrentLevel()) { LogLevel(kLogDebug); }
  ~ScopedDebugLog() { LogLevel(saved_); }

 private:
  int saved_;
};

/// A request whose main connection is one end of a socketpair; the test
/// reads what the device writes from the other end.
class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    request_.socket.reset(pair[0]);
    server_.reset(pair[1]);
    request_.peerHost = "10.0.0.1";
    session_ = CreateRexecSession(sessions_, request_);
    ASSERT_NE(session_, nullptr);
  }

  /// Everything the device wrote, once it has closed its end.
  std::string Received() {
    CloseRexecSockets(request_);
    return test::ReadUntilClosed(server_.get());
  }

  RexecSessionTable sessions_;
  RexecRequest request_;
  UniqueFd server_;
  RexecSession* session_ = nullptr;
};

TEST_F(SessionTest, InfoLinesCarryTheTextAsOneListElement) {
  SendSessionMessage(session_, "Downloading /m/list.mcfl ...", "info");
  SendSessionMessage(session_, "word", "info");
  SendSessionMessage(session_, "", "info");
  EXPECT_EQ(Received(), "info {Downloading /m/list.mcfl ...}\ninfo word\ninfo \n");
}

TEST_F(SessionTest, EventLinesCarryTheRecord) {
  ScopedDebugLog debug;
  test::LogCapture log;
  SendSessionEvent(session_, "copyingagent", "");
  SendSessionEvent(session_, "installagentfailed", "Bad \"x\" in a/b");
  const std::string lines = Received();
  EXPECT_TRUE(std::regex_match(
      lines, std::regex("event \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\|copyingagent\\|\\|\n"
                        "event [-T:Z0-9]{20}\\|installagentfailed\\|Bad\\+%22x%22\\+in\\+a%2fb\\|\n")))
      << lines;
  EXPECT_EQ(log.messages().size(), 4u);  // two Event lines, each with its Sent line
}

TEST_F(SessionTest, LongEventIsCutToFitTheLineWithItsNameAndTime) {
  // Encoded, the text takes three times its length: far more than a line.
  SendSessionEvent(session_, "installagentfailed", "Could not download " + std::string(600, '/'));
  const std::string line = Received();
  // Cut at a whole character's encoding, and only as far as the line needs.
  ASSERT_TRUE(std::regex_match(
      line,
      std::regex("event [-T:Z0-9]{20}\\|installagentfailed\\|"
                 "(Could\\+not\\+download\\+(%2f)+)\\|\n")))
      << line;
  EXPECT_LE(line.size(), kSessionLineCapacity);
  EXPECT_GT(line.size(), kSessionLineCapacity - 6);
}

TEST_F(SessionTest, TextTooLongForTheLineIsDropped) {
  test::LogCapture log;
  SendSessionMessage(session_, std::string(1100, 'x'), "info");
  EXPECT_EQ(Received(), "info\n");
  EXPECT_TRUE(log.Has(kLogError, "Cannot Append element \"" + std::string(1100, 'x') +
                                     "\" to List - Buffer full, skipping."));
}

TEST_F(SessionTest, RefusedCommandGoesToTheErrorConnectionWhenThereIsOne) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd error_server(pair[1]);
  request_.errorSocket.reset(pair[0]);
  request_.errorPort = "4001";
  session_->errorPort = "4001";
  EXPECT_TRUE(SendSessionResponse(session_, true, "Invalid command specified.\n"));
  EXPECT_TRUE(SendSessionResponse(session_, false, "main\n"));
  EXPECT_EQ(Received(), "main\n");
  EXPECT_EQ(test::ReadUntilClosed(error_server.get()), "Invalid command specified.\n");
}

TEST_F(SessionTest, AFailedWriteClosesTheConnectionsForGood) {
  const int old_number = request_.socket.get();
  server_.reset();  // the server went away
  test::LogCapture log;
  EXPECT_FALSE(SendSessionResponse(session_, false, "info a\n"));
  EXPECT_FALSE(request_.socket.valid());
  EXPECT_EQ(log.messages().back().rfind("Failed to Send Response \"info a\n\" to KESTA Server "
                                        "10.0.0.1 - Socket Error (",
                                        0),
            0u);

  // The old number may now belong to something else: it is never touched.
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK), 0);
  UniqueFd read_end(pipe_fds[0]), write_end(pipe_fds[1]);
  SendSessionMessage(session_, "later", "info");
  CloseRexecSockets(request_);
  char byte;
  EXPECT_EQ(read(read_end.get(), &byte, 1), -1);
  EXPECT_TRUE(fcntl(old_number, F_GETFD) >= 0 || errno == EBADF);
}

TEST_F(SessionTest, TableHoldsTenSessions) {
  RexecRequest other;
  for (int i = 1; i < kRexecSessionMax; ++i)
    ASSERT_NE(CreateRexecSession(sessions_, other), nullptr);
  test::LogCapture log;
  EXPECT_EQ(CreateRexecSession(sessions_, other), nullptr);
  EXPECT_TRUE(log.Has(kLogError, "Maximum number of Rexec Sessions Reached (10)"));
  FreeRexecSession(session_);
  EXPECT_EQ(CreateRexecSession(sessions_, other), session_);
  // Each table is a service's own.
  RexecSessionTable another;
  EXPECT_EQ(CreateRexecSession(another, other), &another[0]);
}

TEST(SessionNullTest, NullSessionSendsNothing) {
  ScopedDebugLog debug;
  test::LogCapture log;
  SendSessionMessage(nullptr, "text", "info");
  SendSessionEvent(nullptr, "agentinstalled", "");
  EXPECT_FALSE(SendSessionResponse(nullptr, false, "x"));
  ASSERT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(log.lines()[0].second.rfind("Event: ", 0), 0u);
  EXPECT_EQ(log.lines()[1].second, "SendSessionResponse called with a NULL Rexec Session");
}

}  // namespace
}  // namespace dusk
