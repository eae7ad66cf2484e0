#include "rexec/rexec_listener.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>

#include "config/config_file.h"
#include "log/log.h"
#include "util/files.h"
#include "util/sockets.h"
#include "util/strings.h"

namespace dusk {

UniqueFd lSocket;

namespace {

/// Logs |format| (which takes the port and an error text) with errno's
/// text, closes the half-made listener and fails.
bool ListenerFailed(const char* format, int port) {
  const int err = errno;
  LogMessage(kLogError, format, port, SocketErrorText(err).c_str());
  CloseSocket(lSocket.release());
  return false;
}

}  // namespace

bool IsListening() {
  if (!lSocket) return false;
  int accepting = 0;
  socklen_t size = sizeof accepting;
  return getsockopt(lSocket.get(), SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) == 0 &&
         accepting != 0;
}

bool StartListener() {
  LogMessage(kLogTrace, "StartListener:");
  if (IsListening()) {
    LogMessage(kLogWarn, "Already Listening, disabling previous listener");
    StopListener();
  }
  std::string port_text = kDefaultAgentPort;
  GetConfigString(ConfigSection::kApplication, kAgentPortKey, &port_text);
  const int port = strToInt(port_text);
  LogMessage(kLogDebug, "Creating Listening Socket on port %d", port);

  lSocket.reset(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!lSocket) return ListenerFailed("Failed to create a socket for port %d - %s", port);
  int on = 1;
  setsockopt(lSocket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);

  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  // Port 0 would bind to a port nobody knows, and a larger number would be
  // cut to another port: neither is the configured one.
  if (port < 1 || port > 65535) {
    errno = EINVAL;
    return ListenerFailed("Failed to initialize listener on port %d - %s", port);
  }
  if (bind(lSocket.get(), reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0)
    return ListenerFailed("Failed to initialize listener on port %d - %s", port);
  if (listen(lSocket.get(), kListenerBacklog) != 0)
    return ListenerFailed("Failed to initialize listening on port %d - %s", port);
  return true;
}

void StopListener() {
  LogMessage(kLogTrace, "StopListener:");
  // A socket that never got to listening is closed as well: it is of no use.
  if (lSocket) CloseSocket(lSocket.release());
}

}  // namespace dusk
