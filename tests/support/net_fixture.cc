#include "support/net_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace dusk::test {

namespace {

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

/// Runs |argv|; false with |error| naming the command and its output when
/// it does not exit with 0.
bool Run(const std::vector<std::string>& argv, std::string* error) {
  ProgramResult result = RunProgram(argv);
  if (result.status == 0) return true;
  *error = "";
  for (const std::string& arg : argv) *error += arg + " ";
  *error += "failed (" + std::to_string(result.status) + "): " + result.err;
  return false;
}

bool ConnectsTo(const char* address, int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  struct sockaddr_in peer;
  memset(&peer, 0, sizeof peer);
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address, &peer.sin_addr);
  bool ok = connect(fd, reinterpret_cast<struct sockaddr*>(&peer), sizeof peer) == 0;
  close(fd);
  return ok;
}

}  // namespace

std::string ToolPath(const std::string& name) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
    std::string path = std::string(dir) + "/" + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return name;
}

VethPair::~VethPair() {
  for (pid_t pid : listeners_) Stop(pid);
  if (holder_ > 0) {
    // Deleting one end removes both.
    RunProgram({ToolPath("ip"), "link", "del", kDeviceName});
    Stop(holder_);
  }
}

bool VethPair::Create(std::string* error) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) {
    *error = "pipe failed";
    return false;
  }
  fflush(nullptr);
  holder_ = fork();
  if (holder_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    char ok = unshare(CLONE_NEWNET) == 0 ? '1' : '0';
    if (write(ready[1], &ok, 1) != 1) _exit(1);
    for (;;) pause();
  }
  close(ready[1]);
  char ok = '0';
  if (holder_ < 0 || read(ready[0], &ok, 1) != 1 || ok != '1') {
    close(ready[0]);
    *error = "cannot make the peer network namespace";
    return false;
  }
  close(ready[0]);

  const std::string ip = ToolPath("ip");
  const std::string holder = std::to_string(holder_);
  const std::string prefix = "/" + std::to_string(kPrefix);
  if (!Run({ip, "link", "add", kDeviceName, "address", kDeviceMac, "type", "veth", "peer",
            "name", kPeerName, "netns", holder},
           error) ||
      !Run({ip, "addr", "add", kDeviceAddress + prefix, "dev", kDeviceName}, error) ||
      !Run({ip, "link", "set", kDeviceName, "up"}, error))
    return false;
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{ip, "addr", "add", kPeerAddress + prefix, "dev",
                                 kPeerName},
        std::vector<std::string>{ip, "link", "set", kPeerName, "up"},
        std::vector<std::string>{ip, "link", "set", "lo", "up"}}) {
    ProgramResult result = RunInPeer(command);
    if (result.status != 0) {
      *error =
          "in the peer namespace: " + command[1] + " " + command[2] + ": " + result.err;
      return false;
    }
  }
  if (!WaitForDeviceState(true)) {
    *error = std::string(kDeviceName) + " did not get a carrier";
    return false;
  }
  return true;
}

bool VethPair::WaitForDeviceState(bool running) const {
  // The kernel reports a carrier change a moment after the peer's change.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  do {
    ProgramResult result =
        RunProgram({ToolPath("ip"), "-o", "link", "show", kDeviceName});
    const bool no_carrier = result.out.find("NO-CARRIER") != std::string::npos;
    const bool up = result.out.find(",UP") != std::string::npos ||
                    result.out.find("<UP") != std::string::npos;
    if (result.status == 0 && up && no_carrier != running) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

ProgramResult VethPair::RunInPeer(const std::vector<std::string>& argv) const {
  std::vector<std::string> full = {ToolPath("nsenter"), "-t", std::to_string(holder_),
                                   "-n", "--"};
  full.insert(full.end(), argv.begin(), argv.end());
  return RunProgram(full);
}

pid_t VethPair::SpawnInPeer(const std::vector<std::string>& argv, int port) const {
  const std::string ns_path = "/proc/" + std::to_string(holder_) + "/ns/net";
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  struct sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, kPeerAddress, &address.sin_addr);

  fflush(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  // Only async-signal-safe calls from here on.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  int ns = open(ns_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) _exit(126);
  if (!argv.empty()) {
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    execv(args[0], args.data());
    _exit(127);
  }
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 16) != 0)
    _exit(125);
  for (;;) {
    int client = accept(fd, nullptr, nullptr);
    if (client >= 0) close(client);
  }
}

bool VethPair::Listen(int port, std::string* error) {
  std::vector<std::string> argv;
  const char* build_dir = getenv("DUSK_BUILD_DIR");
  const std::string peer =
      std::string(build_dir ? build_dir : "") + "/tools/peer/kesta-peer";
  if (build_dir && access(peer.c_str(), X_OK) == 0)
    argv = {peer,          "--port", std::to_string(port), "--state",
            state_.path(), "--bind", kPeerAddress};
  pid_t pid = SpawnInPeer(argv, port);
  if (pid < 0) {
    *error = "fork failed";
    return false;
  }
  listeners_.push_back(pid);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ConnectsTo(kPeerAddress, port)) return true;
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      listeners_.pop_back();
      *error =
          "the listener in the peer namespace ended: " + (argv.empty() ? "" : argv[0]);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  *error = "no connection to the peer within 5 seconds";
  return false;
}

}  // namespace dusk::test
