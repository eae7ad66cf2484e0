#include "rexec/rexec_accept.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "crypto/protected_value.h"
#include "device/device_credentials.h"
#include "log/log.h"
#include "rexec/rexec_listener.h"
#include "rexec/rexec_peers.h"
#include "util/attr_list.h"
#include "util/attr_table.h"
#include "util/command_split.h"
#include "util/files.h"
#include "util/socket_wait.h"
#include "util/sockets.h"
#include "util/stop_request.h"
#include "util/strings.h"
#include "util/timings.h"

namespace dusk {

namespace {

/// True when the peer has shut down its sending side: what has arrived is
/// all that will.
bool PeerFinishedSending(int socket_fd) {
  struct pollfd entry = {socket_fd, POLLRDHUP, 0};
  return poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

/// Compares two secrets without stopping at the first difference.
bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i)
    difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

/// Reads the next parameter into |field|: cut to |max| characters, one
/// trailing newline removed. A failure closes the request's connections.
bool ReadField(RexecRequest& request, size_t max, std::string* field) {
  std::string parameter;
  if (!ReceiveRexecParameter(request.socket.get(), request.peerHost, &parameter)) {
    CloseRexecSockets(request);
    return false;
  }
  *field = strCut(parameter, max);
  strChomp(*field);
  return true;
}

/// Replaces a protected |field| by its plain value, cut to |max|.
void DecodeField(std::string* field, size_t max, bool log_plain) {
  if (!IsProtectedValue(*field)) return;
  *field = strCut(UnprotectValue(*field), max);
  if (log_plain) LogMessage(kLogDebug, "                = \"%s\" (Unencrypted)", field->c_str());
}

/// Answers 0x01 and |reason|, then closes both connections.
void RefuseRexecRequest(RexecRequest& request, std::string_view reason) {
  std::string answer(1, kRexecRefused);
  answer.append(reason);
  if (SendRexecResponse(request, false, answer)) CloseRexecSockets(request);
}

/// True for a port text of decimal digits from 1 to 65535.
bool ValidPortText(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *port = strToInt(text);
  return *port >= 1 && *port <= 65535;
}

}  // namespace

bool ReceiveRexecParameter(int socket_fd, const std::string& peer_host, std::string* parameter) {
  parameter->clear();
  char buffer[kRexecParameterMax];
  const size_t room = sizeof buffer - 1;
  const std::chrono::milliseconds wait = CurrentTimings().rexec_parameter_wait;
  const std::chrono::milliseconds pause = wait / kRexecParameterPeeks;
  // The looks fall at fixed times a pause apart. Bytes that arrive in
  // between are looked at at once without using up a look, so a parameter
  // is taken as soon as its NUL is in, and a slow peer still gets all of
  // its time.
  SocketClock::time_point next_look = SocketClock::now();
  int looks = 0;
  for (;;) {
    if (StopRequested()) {
      LogMessage(kLogDebug, "Stop requested, giving up the Rexec Request from KESTA Server %s",
                 peer_host.c_str());
      return false;
    }
    const ssize_t peeked = recv(socket_fd, buffer, room, MSG_PEEK | MSG_DONTWAIT);
    if (peeked > 0) {
      const char* nul = static_cast<const char*>(memchr(buffer, '\0', peeked));
      if (nul != nullptr) {
        const size_t wanted = static_cast<size_t>(nul - buffer) + 1;
        const ssize_t got = recv(socket_fd, buffer, wanted, MSG_DONTWAIT);
        if (got == static_cast<ssize_t>(wanted)) {
          parameter->assign(buffer, wanted - 1);
          return true;
        }
        if (got >= 0) errno = EIO;
        const int err = errno;
        LogMessage(kLogError, "Failed to Receive Rexec Parameter from KESTA Server %s - %s",
                   peer_host.c_str(), SocketErrorText(err).c_str());
        return false;
      }
      if (static_cast<size_t>(peeked) == room) {
        LogMessage(kLogDebug, "Rexec Parameter from KESTA Server %s is longer than %d bytes",
                   peer_host.c_str(), static_cast<int>(room));
        return false;
      }
    } else if (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      const int err = errno;
      LogMessage(kLogError, "Failed to Receive Rexec Parameter from KESTA Server %s - %s",
                 peer_host.c_str(), SocketErrorText(err).c_str());
      return false;
    }
    if (peeked == 0 || PeerFinishedSending(socket_fd)) {
      LogMessage(kLogDebug,
                 "KESTA Server %s closed the connection before the Rexec parameter was complete",
                 peer_host.c_str());
      return false;
    }
    if (SocketClock::now() >= next_look) {
      if (++looks == kRexecParameterPeeks) {
        LogMessage(kLogDebug, "Did not receive the next Rexec parameter within %d msecs",
                   static_cast<int>(wait.count()));
        return false;
      }
      LogMessage(kLogDebug, "Awaiting for Rexec Parameter from KESTA Server %s ...",
                 peer_host.c_str());
      next_look += pause;
    }
    // Bytes already waiting keep the socket readable, so only a hang-up
    // can end the wait early then; otherwise new bytes do too.
    const short events = static_cast<short>(POLLRDHUP | (peeked > 0 ? 0 : POLLIN));
    if (WaitForSocket(socket_fd, events, pause, next_look) == SocketWaitEnd::kFailed) {
      const int err = errno;
      LogMessage(kLogError, "Failed to Receive Rexec Parameter from KESTA Server %s - %s",
                 peer_host.c_str(), SocketErrorText(err).c_str());
      return false;
    }
  }
}

bool ConnectErrorSocket(const std::string& error_port, UniqueFd* error_socket,
                        const std::string& peer_host) {
  error_socket->reset();
  if (error_port.empty() || error_port == "0") return false;
  int port = strToInt(error_port);
  const char* connect_failed = "Failed to Connect to KESTA Server via the Error socket for port %d - %s";
  if (!ValidPortText(error_port, &port)) {
    LogMessage(kLogError, connect_failed, port, SocketErrorText(EINVAL).c_str());
    return false;
  }
  UniqueFd connection(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!connection) {
    const int err = errno;
    LogMessage(kLogError, "Failed to create an Error socket for port %d - %s", port,
               SocketErrorText(err).c_str());
    return false;
  }
  struct sockaddr_in address;
  if (!ResolveHostAddress(peer_host, error_port, &address)) {
    LogMessage(kLogError, connect_failed, port, SocketErrorText(0).c_str());
    // The listener goes too; the service loop opens a new one later.
    StopListener();
    return false;
  }
  if (!ConnectWithin(connection.get(), address, CurrentTimings().rexec_error_connect)) {
    const int err = errno;
    LogMessage(kLogError, connect_failed, port, SocketErrorText(err).c_str());
    return false;
  }
  *error_socket = std::move(connection);
  return true;
}

bool ReceiveRexecRequest(RexecRequest& request, bool connect_error_port) {
  if (!ReadField(request, kRexecErrorPortMax, &request.errorPort)) return false;
  LogMessage(kLogDebug, "      Port      =  \"%s\"", request.errorPort.c_str());
  if (request.errorPort == "0") request.errorPort.clear();
  if (!request.errorPort.empty() && connect_error_port) {
    if (!ConnectErrorSocket(request.errorPort, &request.errorSocket, request.peerHost)) {
      CloseRexecSockets(request);
      return false;
    }
    LogMessage(kLogDebug, "Created Error Socket for Port %s to KESTA Server %s",
               request.errorPort.c_str(), request.peerHost.c_str());
  }

  if (!ReadField(request, kRexecCredentialMax, &request.userName)) return false;
  LogMessage(kLogDebug, "      UserName  =  \"%s\"", request.userName.c_str());
  DecodeField(&request.userName, kRexecCredentialMax, true);

  // The password is never logged, in either form.
  if (!ReadField(request, kRexecCredentialMax, &request.password)) return false;
  DecodeField(&request.password, kRexecCredentialMax, false);

  if (!ReadField(request, kRexecCommandMax, &request.command)) return false;
  LogMessage(kLogDebug, "      Command   =  \"%s\"", request.command.c_str());
  DecodeField(&request.command, kRexecCommandMax, true);
  return true;
}

bool AnswerRexecRequest(RexecRequest& request, const DeviceCredentials& expected) {
  // Without a DN the device has no credentials, and empty texts must not
  // pass for them.
  if (expected.userName.empty() || expected.password.empty() ||
      request.userName != expected.userName || !SameSecret(request.password, expected.password)) {
    LogMessage(kLogError, "%s", kRexecBadCredentials);
    RefuseRexecRequest(request, kRexecBadCredentials);
    return false;
  }

  std::string line = request.command, word, parameters;
  AttrTable options(kRexecCheckOptionSlots);
  SplitCommand(&line, &word, &options, &parameters, kRexecCommandMax, kRexecCheckParametersMax);
  LogMessage(kLogInfo, "   Cmd: %s", word.c_str());
  LogMessage(kLogInfo, "  Args:");
  LogAttrs(kLogInfo, options);
  LogMessage(kLogInfo, "Params: %s", parameters.c_str());
  if (!strEqualNoCase(word, kInstallAgentCommand)) {
    LogMessage(kLogError, "%s", kRexecBadCommand);
    RefuseRexecRequest(request, kRexecBadCommand);
    return false;
  }
  return SendRexecResponse(request, false, std::string_view(&kRexecAccepted, 1));
}

bool AcceptRexecRequest(RexecRequest& request, const std::string& server_host) {
  request = RexecRequest();
  if (!IsListening()) return false;
  // Resolved at the first connection, for all of this call.
  std::optional<RexecPeerRule> peers;
  // A request of the server's that ended unserved (closed early, broken)
  // lets the call go on to the next connection, so that a queue of them is
  // not worked off one per pass; only while the call is younger than one
  // parameter wait, so that slow ones cannot add up.
  const SocketClock::time_point give_up =
      SocketClock::now() + CurrentTimings().rexec_parameter_wait;
  for (int taken = 0; taken < kRexecConnectionsPerCall && !StopRequested(); ++taken) {
    const int connection =
        accept4(lSocket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (connection < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
      const int err = errno;
      LogMessage(kLogError, "Failed to accept Request - %s", SocketErrorText(err).c_str());
      return false;
    }
    request.socket.reset(connection);
    LogMessage(kLogDebug, "Rexec Request");
    GetPeerHost(connection, &request.peerHost);
    if (!peers) peers = ReadRexecPeerRule(server_host);

    // A stranger is refused before anything it sent is read, so that it
    // costs no wait, and it is never called back on an error port.
    if (!RexecPeerAllowed(request.peerHost, *peers)) {
      LogMessage(kLogError, "Refused Rexec Request from %s - not an address of KESTA Server %s",
                 request.peerHost.c_str(), server_host.c_str());
      RefuseRexecRequest(request, kRexecBadCredentials);
      request = RexecRequest();
      continue;
    }
    if (ReceiveRexecRequest(request, true))
      return AnswerRexecRequest(request, GetDeviceCredentials());
    request = RexecRequest();
    if (SocketClock::now() >= give_up) return false;
  }
  return false;
}

}  // namespace dusk
