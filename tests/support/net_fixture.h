#ifndef DUSK_TESTS_SUPPORT_NET_FIXTURE_H_
#define DUSK_TESTS_SUPPORT_NET_FIXTURE_H_

// Real surroundings for the device tests, made inside the test's private
// namespaces (tests/sandbox): a veth pair whose far end lies in a second
// network namespace with a TCP listener behind it, so traffic to the peer
// really crosses the pair. Everything is undone at destruction. (A DMI
// export of a test's own making is its layout's, support/test_layout.h.)

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/test_util.h"

namespace dusk::test {

/// A veth pair from this network namespace into a new one held by a child
/// process.
class VethPair {
 public:
  /// The device end, here.
  static constexpr char kDeviceName[] = "dusk-dev0";
  static constexpr char kDeviceMac[] = "02:1a:2b:3c:4d:5e";
  static constexpr char kDeviceAddress[] = "10.99.0.2";
  /// The peer end, in the other namespace.
  static constexpr char kPeerName[] = "dusk-peer0";
  static constexpr char kPeerAddress[] = "10.99.0.1";
  /// Both ends are in a /24.
  static constexpr int kPrefix = 24;

  VethPair() = default;
  ~VethPair();
  VethPair(const VethPair&) = delete;
  VethPair& operator=(const VethPair&) = delete;

  /// Creates the namespace and the pair and brings both ends up with their
  /// addresses. False, with |error| set, when a step fails.
  bool Create(std::string* error);

  /// Starts a TCP listener on kPeerAddress:|port| in the peer namespace:
  /// the reference server (tools/peer/kesta-peer) when it is built, else a
  /// plain accept loop. Returns once a connection through the pair
  /// succeeds; false, with |error| set, when none does within 5 seconds.
  bool Listen(int port, std::string* error);

  /// Runs |argv| (argv[0] a path) inside the peer namespace.
  ProgramResult RunInPeer(const std::vector<std::string>& argv) const;

  /// Waits up to 5 seconds until the device end is up and |running| (has a
  /// carrier) or not; true when it got there.
  bool WaitForDeviceState(bool running) const;

 private:
  /// Forks a child that joins the peer namespace and execs |argv|, or when
  /// |argv| is empty accepts and closes connections on kPeerAddress:|port|.
  pid_t SpawnInPeer(const std::vector<std::string>& argv, int port) const;

  /// The process that holds the peer namespace; 0 before Create.
  pid_t holder_ = 0;
  /// Listeners started by Listen.
  std::vector<pid_t> listeners_;
  /// State directory of the reference server.
  TempDir state_;
};

/// Full path of a system tool (ip, nsenter...) from the usual directories;
/// the bare name when it is in none.
std::string ToolPath(const std::string& name);

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_NET_FIXTURE_H_
