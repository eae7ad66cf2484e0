#include "rexec/rexec_peers.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

#include "config/config_file.h"
#include "log/log.h"

namespace dusk {

namespace {

/// Parses a dotted IPv4 address, nothing else.
bool ParseDotted(std::string_view text, struct in_addr* address) {
  std::string copy(text);
  return inet_pton(AF_INET, copy.c_str(), address) == 1;
}

}  // namespace

std::vector<struct in_addr> ResolveAllIPv4(const std::string& host) {
  std::vector<struct in_addr> addresses;
  if (host.empty()) return addresses;
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* result = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0) return addresses;
  for (const struct addrinfo* entry = result; entry != nullptr; entry = entry->ai_next)
    addresses.push_back(reinterpret_cast<const struct sockaddr_in*>(entry->ai_addr)->sin_addr);
  freeaddrinfo(result);
  return addresses;
}

bool PeerAllowedBy(std::string_view peer_host,
                   const std::vector<struct in_addr>& server_addresses,
                   std::string_view allowed_peers) {
  struct in_addr peer;
  const bool peer_known = ParseDotted(peer_host, &peer);
  if (peer_known) {
    for (const struct in_addr& address : server_addresses)
      if (address.s_addr == peer.s_addr) return true;
  }
  size_t position = 0;
  while (position < allowed_peers.size()) {
    const size_t start = allowed_peers.find_first_not_of(" \t", position);
    if (start == std::string_view::npos) break;
    size_t end = allowed_peers.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = allowed_peers.size();
    position = end;
    const std::string_view entry = allowed_peers.substr(start, end - start);
    if (entry == kAnyPeer) return true;
    struct in_addr address;
    if (!ParseDotted(entry, &address)) {
      LogMessage(kLogWarn, "Ignoring \"%.*s\" in %s - not an IPv4 address",
                 static_cast<int>(entry.size()), entry.data(), kAgentAllowedPeersKey);
      continue;
    }
    if (peer_known && address.s_addr == peer.s_addr) return true;
  }
  return false;
}

RexecPeerRule ReadRexecPeerRule(const std::string& server_host) {
  RexecPeerRule rule;
  rule.serverAddresses = ResolveAllIPv4(server_host);
  // The key is optional: a missing one is no cause for a Warn line.
  ReadConfigValue(ConfigSection::kApplication, kAgentAllowedPeersKey, &rule.allowedPeers);
  return rule;
}

bool RexecPeerAllowed(const std::string& peer_host, const RexecPeerRule& rule) {
  return PeerAllowedBy(peer_host, rule.serverAddresses, rule.allowedPeers);
}

}  // namespace dusk
