#include "rexec/rexec_request.h"

#include <cerrno>

#include "log/log.h"
#include "util/files.h"
#include "util/sockets.h"

namespace dusk {

namespace {

void CloseConnection(UniqueFd& connection) {
  if (connection) CloseSocket(connection.release());
}

}  // namespace

bool SendRexecResponse(RexecRequest& request, bool use_error_socket,
                       std::string_view message) {
  UniqueFd* target = &request.socket;
  if (use_error_socket && !request.errorPort.empty()) {
    LogMessage(kLogDebug, "Sending Message %.*s to ErrorPort %s",
               static_cast<int>(message.size()), message.data(), request.errorPort.c_str());
    target = &request.errorSocket;
  }
  errno = EBADF;
  if (*target && SocketWriteAll(target->get(), message)) {
    LogMessage(kLogDebug, "Sent %d bytes to KESTA Server %s", static_cast<int>(message.size()),
               request.peerHost.c_str());
    return true;
  }
  const int err = errno;
  LogMessage(kLogError, "Failed to Send Response \"%.*s\" to KESTA Server %s - %s",
             static_cast<int>(message.size()), message.data(), request.peerHost.c_str(),
             SocketErrorText(err).c_str());
  CloseRexecSockets(request);
  return false;
}

void CloseRexecSockets(RexecRequest& request) {
  CloseConnection(request.socket);
  CloseConnection(request.errorSocket);
}

}  // namespace dusk
