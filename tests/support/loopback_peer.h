#ifndef DUSK_TESTS_SUPPORT_LOOPBACK_PEER_H_
#define DUSK_TESTS_SUPPORT_LOOPBACK_PEER_H_

// kesta-peer's own serving code on a loopback port, in a thread of the
// test: the unit tests meet the same answers and set the same faults as the
// black-box scripts that run the kesta-peer program. It answers the probe,
// the registration requests and the files of a media directory, one
// connection at a time, and records every request.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace dusk::test {

class LoopbackPeer {
 public:
  /// Serves the files below |media_dir| ("" serves none): a request for
  /// /a/b gets |media_dir|/a/b.
  explicit LoopbackPeer(const std::string& media_dir = "");
  /// Cuts a connection still being served, then stops.
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  /// The listening port on 127.0.0.1; 0 when listening failed.
  int port() const;
  /// Replaces the faults file with |text|, read before the next request:
  /// one fault per line, "PATH MODE [ARG] [times=N]" (peer/peer_faults.h
  /// lists the modes); "" clears them.
  void SetFaults(const std::string& text);
  /// Writes |bytes| as the file |name| of the peer's state directory, which
  /// the fault "raw NAME" sends as the whole answer.
  void WriteStateFile(const std::string& name, const std::string& bytes);
  /// Every request received so far, head and body as sent, in order.
  std::vector<std::string> requests() const;
  /// Waits until |count| requests have been received, |limit| at most; false
  /// when they have not. A request counts once it is read, before any fault
  /// holds its answer back.
  bool WaitForRequests(size_t count, std::chrono::milliseconds limit) const;

 private:
  struct Running;
  std::unique_ptr<Running> running_;
};

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_LOOPBACK_PEER_H_
