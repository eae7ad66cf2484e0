#include "support/loopback_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <thread>

#include "peer/peer_faults.h"
#include "peer/peer_server.h"
#include "peer/peer_state.h"
#include "support/test_util.h"
#include "util/unique_fd.h"

namespace dusk::test {

namespace {

/// Connections that may wait to be served while one is.
constexpr int kBacklog = 16;
/// How often WaitForRequests looks at the recorded requests: they are files
/// of the peer's state, with no event to wait on.
constexpr std::chrono::milliseconds kRequestLook(5);

}  // namespace

struct LoopbackPeer::Running {
  explicit Running(const std::string& media_dir) : state(dir.path()) {
    config.media_dir = media_dir;
  }

  void Serve() {
    for (;;) {
      struct pollfd entries[2] = {{listener.get(), POLLIN, 0}, {wake_read.get(), POLLIN, 0}};
      if (poll(entries, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (entries[1].revents != 0) return;
      UniqueFd connection(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (!connection) continue;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) return;
        // A second handle on the socket lets the destructor cut it while
        // the serving code holds the first.
        serving = UniqueFd(dup(connection.get()));
      }
      peer::ServeConnection(std::move(connection), config, state, faults);
      std::lock_guard<std::mutex> lock(mutex);
      serving.reset();
    }
  }

  TempDir dir;
  peer::PeerConfig config;
  peer::PeerState state;
  peer::FaultBook faults;
  UniqueFd listener;
  int port = 0;
  UniqueFd wake_read, wake_write;
  std::mutex mutex;
  bool stopping = false;  ///< under mutex
  UniqueFd serving;       ///< under mutex
  std::thread thread;
};

LoopbackPeer::LoopbackPeer(const std::string& media_dir)
    : running_(std::make_unique<Running>(media_dir)) {
  Running& r = *running_;
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return;
  r.wake_read = UniqueFd(pipe_ends[0]);
  r.wake_write = UniqueFd(pipe_ends[1]);
  r.listener = ListenOnLoopback(kBacklog, &r.port);
  if (!r.listener || !r.state.ok()) {
    r.port = 0;
    return;
  }
  r.thread = std::thread([&r] { r.Serve(); });
}

LoopbackPeer::~LoopbackPeer() {
  Running& r = *running_;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    r.stopping = true;
    if (r.serving) shutdown(r.serving.get(), SHUT_RDWR);
  }
  if (r.wake_write) {
    [[maybe_unused]] const ssize_t woken = write(r.wake_write.get(), "x", 1);
  }
  if (r.thread.joinable()) r.thread.join();
}

int LoopbackPeer::port() const { return running_->port; }

void LoopbackPeer::SetFaults(const std::string& text) {
  peer::WriteFileAtomically(running_->dir / "faults", text);
}

void LoopbackPeer::WriteStateFile(const std::string& name, const std::string& bytes) {
  peer::WriteFileAtomically(running_->dir / name, bytes);
}

std::vector<std::string> LoopbackPeer::requests() const {
  // requests/NNNN.txt, numbered in arrival order.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(running_->dir / "requests"))
    if (entry.path().extension() == ".txt") names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> requests;
  for (const std::string& name : names) requests.push_back(ReadFile(name));
  return requests;
}

bool LoopbackPeer::WaitForRequests(size_t count, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (requests().size() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kRequestLook);
  }
  return true;
}

}  // namespace dusk::test
