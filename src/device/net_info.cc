// The interface behind the detected address, found by the classic ioctl
// interface queries: list the IPv4 interfaces, take the first up, running,
// non-loopback one whose address is the detected one, and read its hardware
// address and mask.

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstring>
#include <optional>
#include <vector>

#include "device/device_info.h"
#include "log/log.h"
#include "util/attr_list.h"
#include "util/strings.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

/// Largest interface list asked for; machines with more than ~25000 IPv4
/// interfaces are matched against the first ones only.
constexpr size_t kInterfaceListMax = 1 << 20;

/// The IPv4 address (network byte order) of an address an ioctl returned.
uint32_t Ipv4(const struct sockaddr& address) {
  struct sockaddr_in in;
  memcpy(&in, &address, sizeof in);
  return in.sin_addr.s_addr;
}

std::string Dotted(uint32_t ipv4) {
  struct in_addr in;
  in.s_addr = ipv4;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &in, text, sizeof text);
  return text;
}

/// The interface records SIOCGIFCONF gives; nullopt when the call fails. The
/// buffer grows until the list no longer fills it.
std::optional<std::vector<struct ifreq>> ListInterfaces(int socket_fd) {
  std::vector<struct ifreq> records(4096 / sizeof(struct ifreq));
  for (;;) {
    struct ifconf conf;
    memset(&conf, 0, sizeof conf);
    conf.ifc_len = static_cast<int>(records.size() * sizeof(struct ifreq));
    conf.ifc_req = records.data();
    if (ioctl(socket_fd, SIOCGIFCONF, &conf) != 0) return std::nullopt;
    const size_t count = static_cast<size_t>(conf.ifc_len) / sizeof(struct ifreq);
    if (count < records.size() ||
        (records.size() * 2) * sizeof(struct ifreq) > kInterfaceListMax) {
      records.resize(count);
      return records;
    }
    records.resize(records.size() * 2);
  }
}

}  // namespace

bool GetNetInfo(AttrTable& record) {
  LogMessage(kLogTrace, "GetNetInfo:");
  const std::string detected = GetAttrValue(record, "detectedipaddress", "", true);
  LogMessage(kLogDebug, "GetNetInfo: Interrogating interfaces for ipAddress %s ...",
             detected.c_str());

  UniqueFd socket_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket_fd) {
    LogMessage(kLogError, "Failed to open up an INET socket");
    return false;
  }
  std::optional<std::vector<struct ifreq>> interfaces = ListInterfaces(socket_fd.get());
  if (!interfaces) {
    LogMessage(kLogError, "ioctl(SIOCGIFCONF) failed");
    return false;
  }

  const struct ifreq* match = nullptr;
  uint32_t address = 0;
  for (const struct ifreq& entry : *interfaces) {
    struct ifreq query = entry;
    if (ioctl(socket_fd.get(), SIOCGIFFLAGS, &query) != 0) {
      LogMessage(kLogError, "Failed to get network interface flags for interface %.*s",
                 static_cast<int>(strnlen(entry.ifr_name, IFNAMSIZ)), entry.ifr_name);
      return false;
    }
    const short flags = query.ifr_flags;
    if ((flags & IFF_LOOPBACK) || !(flags & IFF_UP) || !(flags & IFF_RUNNING)) continue;
    query = entry;
    if (ioctl(socket_fd.get(), SIOCGIFADDR, &query) != 0) continue;
    if (strEqualNoCase(Dotted(Ipv4(query.ifr_addr)), detected)) {
      match = &entry;
      address = Ipv4(query.ifr_addr);
      break;
    }
  }
  if (match == nullptr) return true;

  struct ifreq query = *match;
  if (ioctl(socket_fd.get(), SIOCGIFHWADDR, &query) == 0) {
    const auto* mac = reinterpret_cast<const unsigned char*>(query.ifr_hwaddr.sa_data);
    SetAttrValue(record, "pxmhdwlana",
                 strFormat("%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2],
                           mac[3], mac[4], mac[5]));
  }
  query = *match;
  if (ioctl(socket_fd.get(), SIOCGIFNETMASK, &query) == 0) {
    const uint32_t mask = Ipv4(query.ifr_netmask);
    SetAttrValue(record, "pxmsubnet", Dotted(mask));
    if (address != 0 && mask != 0) {
      std::string network = Dotted(address & mask);
      SetAttrValue(record, "pxmipnetworknumber", strReplaceChar(network, '.', '-'));
    }
  }
  return true;
}

}  // namespace dusk
