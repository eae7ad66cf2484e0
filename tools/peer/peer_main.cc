// kesta-peer: the reference KESTA Server for tests and demonstrations.
//
//   kesta-peer --port PORT --state DIR [--bind ADDR] [--zone ZONE] [--media DIR]
//   kesta-peer --rexec HOST [OPTION VALUE]...   (see peer_rexec.h)
//
// Runs in the foreground and serves one request at a time on ADDR:PORT
// (127.0.0.1 by default; PORT 0 picks a free port). Once it listens it
// writes DIR/ready holding "<pid> <port>". See peer_state.h for the state
// directory and peer_faults.h for the faults a test can set.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "peer/peer_faults.h"
#include "peer/peer_rexec.h"
#include "peer/peer_server.h"
#include "peer/peer_state.h"
#include "util/strings.h"
#include "util/unique_fd.h"

namespace {

constexpr char kUsage[] =
    "usage: kesta-peer --port PORT --state DIR [--bind ADDR] [--zone ZONE] [--media DIR]\n"
    "       kesta-peer --rexec HOST [--port PORT] [--dn DN] [--user TEXT] [--password TEXT]\n"
    "                  [--command TEXT] [--error-port TEXT|listen]\n"
    "                  [--protect port,user,password,command] [--bind ADDR] [--timeout SECONDS]\n";

int Usage(const char* problem) {
  fprintf(stderr, "kesta-peer: %s\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace dusk::peer;
  std::string port_text, state_dir, bind_address = "127.0.0.1";
  PeerConfig config;
  if (argc > 1 && std::string(argv[1]) == "--rexec") {
    RexecCall call;
    std::string problem;
    if (!ParseRexecCall(std::vector<std::string>(argv + 1, argv + argc), &call, &problem))
      return Usage(problem.c_str());
    signal(SIGPIPE, SIG_IGN);
    return RunRexecCall(call, stdout);
  }
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) return Usage(("missing value for " + option).c_str());
    std::string value = argv[++i];
    if (option == "--port") port_text = value;
    else if (option == "--state") state_dir = value;
    else if (option == "--bind") bind_address = value;
    else if (option == "--zone") config.zone = value;
    else if (option == "--media") config.media_dir = value;
    else return Usage(("unknown option " + option).c_str());
  }
  if (port_text.empty() || state_dir.empty()) return Usage("--port and --state are required");
  int port = dusk::strToInt(port_text);
  if (port < 0 || port > 65535 || port_text.find_first_not_of("0123456789") != std::string::npos)
    return Usage("bad port");

  signal(SIGPIPE, SIG_IGN);
  PeerState state(state_dir);
  if (!state.ok()) {
    fprintf(stderr, "kesta-peer: cannot use state directory %s\n", state_dir.c_str());
    return 1;
  }

  dusk::UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int on = 1;
  setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t size = sizeof address;
  if (inet_pton(AF_INET, bind_address.c_str(), &address.sin_addr) != 1)
    return Usage("--bind needs a dotted IPv4 address");
  // A whole fleet may connect at once while one connection is served: they
  // wait in the queue. A queue that overflows makes the kernel answer with
  // SYN cookies, which reset a connection whose request came in pieces.
  if (!listener || bind(listener.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(listener.get(), SOMAXCONN) != 0 ||
      getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    fprintf(stderr, "kesta-peer: cannot listen on %s:%s: %s\n", bind_address.c_str(),
            port_text.c_str(), strerror(errno));
    return 1;
  }
  port = ntohs(address.sin_port);
  if (!state.WriteReady(getpid(), port)) {
    fprintf(stderr, "kesta-peer: cannot write %s/ready\n", state_dir.c_str());
    return 1;
  }
  printf("kesta-peer: listening on %s:%d\n", bind_address.c_str(), port);
  fflush(stdout);

  FaultBook faults;
  for (;;) {
    dusk::UniqueFd connection(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!connection) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) continue;
      fprintf(stderr, "kesta-peer: accept failed: %s\n", strerror(errno));
      return 1;
    }
    ServeConnection(std::move(connection), config, state, faults);
  }
}
