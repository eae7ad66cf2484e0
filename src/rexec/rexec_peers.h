#ifndef DUSK_REXEC_REXEC_PEERS_H_
#define DUSK_REXEC_REXEC_PEERS_H_

// Who may ask the device to install software. The credentials of a request
// are derived from the device DN, which every registration carries in clear
// text, so they prove little on their own: a request is also taken only
// from an address of the KESTA Server the service talks to. Sites where the
// server's requests come from another address name it in the Application
// key AgentAllowedPeers (blank-separated dotted IPv4 addresses, or "*" for
// every peer).

#include <netinet/in.h>

#include <string>
#include <string_view>
#include <vector>

namespace dusk {

/// Application key of the further addresses allowed to send requests.
inline constexpr char kAgentAllowedPeersKey[] = "AgentAllowedPeers";
/// The AgentAllowedPeers entry that admits every peer.
inline constexpr char kAnyPeer[] = "*";

/// Every IPv4 address |host| resolves to (a dotted address gives itself);
/// none when it does not resolve.
std::vector<struct in_addr> ResolveAllIPv4(const std::string& host);

/// True when the dotted address |peer_host| is one of |server_addresses| or
/// is admitted by |allowed_peers| (AgentAllowedPeers text). Entries of
/// |allowed_peers| that are not dotted IPv4 addresses are ignored with a
/// Warn line. An empty or malformed |peer_host| is admitted only by "*".
bool PeerAllowedBy(std::string_view peer_host,
                   const std::vector<struct in_addr>& server_addresses,
                   std::string_view allowed_peers);

/// Who may send requests: the addresses of the server and the configured
/// AgentAllowedPeers, taken once for a burst of connections.
struct RexecPeerRule {
  std::vector<struct in_addr> serverAddresses;
  std::string allowedPeers;
};

/// The rule for the server |server_host|, resolved, and AgentAllowedPeers of
/// the configuration.
RexecPeerRule ReadRexecPeerRule(const std::string& server_host);

/// PeerAllowedBy with |rule|.
bool RexecPeerAllowed(const std::string& peer_host, const RexecPeerRule& rule);

}  // namespace dusk

#endif  // DUSK_REXEC_REXEC_PEERS_H_
