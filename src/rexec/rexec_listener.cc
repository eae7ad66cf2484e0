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

/// The port lSocket is bound to; 0 while it holds none.
int bound_port = 0;

/// AgentPort as configured.
int ConfiguredAgentPort() {
  std::string port_text = kDefaultAgentPort;
  GetConfigString(ConfigSection::kApplication, kAgentPortKey, &port_text);
  return strToInt(port_text);
}

/// Logs |format| (which takes the port and an error text) with errno's
/// text, gives the half-made socket up and fails.
bool BindFailed(const char* format, int port) {
  const int err = errno;
  LogMessage(kLogError, format, port, SocketErrorText(err).c_str());
  ReleaseAgentPort();
  return false;
}

void SetSocketFlag(int fd, int option, int value) {
  setsockopt(fd, SOL_SOCKET, option, &value, sizeof value);
}

bool BindPort(int port) {
  if (lSocket && bound_port == port) return true;
  ReleaseAgentPort();
  lSocket.reset(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!lSocket) return BindFailed("Failed to create a socket for port %d - %s", port);
  // Port 0 would bind to a port nobody knows, and a larger number would be
  // cut to another port: neither is the configured one.
  if (port < 1 || port > 65535) {
    errno = EINVAL;
    return BindFailed("Failed to initialize listener on port %d - %s", port);
  }
  // SO_REUSEADDR lets a restarted service bind over the connections the
  // last one left in TIME_WAIT. Left set, it would also let a socket of any
  // account bind the port beside this one while it does not listen, so it
  // is cleared once the bind is done.
  SetSocketFlag(lSocket.get(), SO_REUSEADDR, 1);
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(lSocket.get(), reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0)
    return BindFailed("Failed to initialize listener on port %d - %s", port);
  SetSocketFlag(lSocket.get(), SO_REUSEADDR, 0);
  bound_port = port;
  return true;
}

}  // namespace

bool IsListening() {
  if (!lSocket) return false;
  int accepting = 0;
  socklen_t size = sizeof accepting;
  return getsockopt(lSocket.get(), SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) == 0 &&
         accepting != 0;
}

bool BindAgentPort() { return BindPort(ConfiguredAgentPort()); }

bool StartListener() {
  LogMessage(kLogTrace, "StartListener:");
  if (IsListening()) {
    LogMessage(kLogWarn, "Already Listening, disabling previous listener");
    StopListener();
  }
  const int port = ConfiguredAgentPort();
  LogMessage(kLogDebug, "Creating Listening Socket on port %d", port);
  if (!BindPort(port)) return false;
  // listen() checks the port again, against the connections taken earlier
  // (an install's request may still be open, or in TIME_WAIT): with
  // SO_REUSEADDR on both sides they are no conflict. It stays set while
  // listening, where no other socket can bind the port anyway, so that the
  // connections taken now carry it too; StopListener clears it.
  SetSocketFlag(lSocket.get(), SO_REUSEADDR, 1);
  if (listen(lSocket.get(), kListenerBacklog) != 0) {
    const int err = errno;
    SetSocketFlag(lSocket.get(), SO_REUSEADDR, 0);
    LogMessage(kLogError, "Failed to initialize listening on port %d - %s", port,
               SocketErrorText(err).c_str());
    return false;
  }
  return true;
}

void StopListener() {
  LogMessage(kLogTrace, "StopListener:");
  // The socket leaves the listening state and stays bound to the port, which
  // no other socket may then share.
  if (IsListening()) shutdown(lSocket.get(), SHUT_RDWR);
  if (lSocket) SetSocketFlag(lSocket.get(), SO_REUSEADDR, 0);
}

void ReleaseAgentPort() {
  if (lSocket) CloseSocket(lSocket.release());
  bound_port = 0;
}

}  // namespace dusk
