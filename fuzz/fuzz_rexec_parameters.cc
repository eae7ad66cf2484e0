// Arbitrary bytes as what a peer sends on a request's connection: they wait
// in a socketpair, closed behind them, while the four parameters are read
// and the request is checked against the credentials of a fixed DN.
// Whatever the bytes, the fields keep to their sizes, the answer is nothing,
// the accepting byte or a refusal with its text, and only the right
// credentials with the InstallAgent command are accepted.

#include <fcntl.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypto/credentials.h"
#include "log/log.h"
#include "rexec/rexec_accept.h"
#include "rexec/rexec_request.h"
#include "util/attr_table.h"
#include "util/command_split.h"
#include "util/strings.h"
#include "util/unique_fd.h"

namespace {

std::string ReadAll(int fd) {
  std::string out;
  char buffer[512];
  ssize_t got;
  while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0) out.append(buffer, got);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (dusk::LogLevel(0), true);
  (void)quiet;
  static const dusk::DeviceCredentials expected = dusk::CredentialsForDn("cn=fuzz,o=kesta");

  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
  dusk::UniqueFd peer(fds[1]);
  dusk::RexecRequest request;
  request.socket.reset(fds[0]);
  // No address: an error port named by the bytes cannot be called.
  request.peerHost = "";
  fcntl(peer.get(), F_SETFL, O_NONBLOCK);
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = send(peer.get(), data + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  shutdown(peer.get(), SHUT_WR);
  fcntl(peer.get(), F_SETFL, 0);

  bool accepted = false;
  if (dusk::ReceiveRexecRequest(request, true)) {
    if (request.errorPort.size() > dusk::kRexecErrorPortMax ||
        request.userName.size() > dusk::kRexecCredentialMax ||
        request.password.size() > dusk::kRexecCredentialMax ||
        request.command.size() > dusk::kRexecCommandMax)
      abort();
    accepted = dusk::AnswerRexecRequest(request, expected);
  } else if (request.socket.valid()) {
    abort();  // a broken request leaves no connection open
  }
  const std::string request_user = request.userName, request_command = request.command;
  dusk::CloseRexecSockets(request);
  const std::string answer = ReadAll(peer.get());

  if (accepted) {
    if (answer != std::string(1, dusk::kRexecAccepted)) abort();
    if (request_user != expected.userName) abort();
    std::string line = request_command, word, parameters;
    dusk::AttrTable options(32);
    dusk::SplitCommand(&line, &word, &options, &parameters, 2047, 4095);
    if (!dusk::strEqualNoCase(word, dusk::kInstallAgentCommand)) abort();
  } else if (!answer.empty() &&
             answer != std::string(1, dusk::kRexecRefused) + dusk::kRexecBadCredentials &&
             answer != std::string(1, dusk::kRexecRefused) + dusk::kRexecBadCommand) {
    abort();
  }
  return 0;
}
