#include "device/device_info.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "log/log.h"
#include "util/attr_list.h"
#include "util/files.h"
#include "util/program.h"
#include "util/socket_wait.h"
#include "util/sockets.h"
#include "util/strings.h"
#include "util/timings.h"
#include "util/unique_fd.h"

namespace dusk {

AttrTable thisDeviceInfo(kDeviceInfoSlots);

namespace {

/// Longest host name kept.
constexpr size_t kHostNameMax = 255;

/// The name a reverse lookup gives for |address|; |host_name| when there is
/// none.
std::string ReverseLookup(const struct in_addr& address, const std::string& host_name) {
  const struct hostent* entry = gethostbyaddr(&address, sizeof address, AF_INET);
  if (entry == nullptr) return host_name;
  if (entry->h_name == nullptr || entry->h_name[0] == '\0') {
    LogMessage(kLogWarn, "Failed to get this host's dnsHostName, keeping %s",
               host_name.c_str());
    return host_name;
  }
  std::string name = strCut(entry->h_name, kHostNameMax);
  LogMessage(kLogDebug, "Detected Device's dnsHostName of %s", name.c_str());
  return name;
}

}  // namespace

bool IsNameInList(std::span<const std::string_view> list, std::string_view name) {
  for (std::string_view entry : list) {
    if (entry.empty()) break;
    if (strEqualNoCase(entry, name)) return true;
  }
  return false;
}

bool GetHostInfo(const std::string& host, const std::string& port, AttrTable& record) {
  LogMessage(kLogTrace, "GetHostInfo: host=%s port=%s", host.c_str(), port.c_str());
  char name_buffer[kHostNameMax + 1] = {};
  if (gethostname(name_buffer, sizeof name_buffer - 1) != 0) {
    LogMessage(kLogError, "Failed to gethostname - %s", ErrorText(errno).c_str());
    return false;
  }
  const std::string host_name = name_buffer;
  LogMessage(kLogDebug, "Device's hostname is %s", host_name.c_str());

  UniqueFd socket_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket_fd) {
    LogMessage(kLogError, "Failed to Create Socket - %s", SocketErrorText(errno).c_str());
    return false;
  }
  LogMessage(kLogDebug, "About to Connect to %s:%s", host.c_str(), port.c_str());
  struct sockaddr_in server;
  if (!ResolveHostAddress(host, port, &server)) {
    LogMessage(kLogError, "Failed to Create a Socket Address - %s",
               SocketErrorText(errno).c_str());
    return false;
  }
  // The device learns its own address from this connection; a server that
  // never answers must not hold the service longer than any other connect.
  if (!ConnectWithin(socket_fd.get(), server, CurrentTimings().http_connect)) {
    LogMessage(kLogError, "Failed to connect to %s:%s - %s", host.c_str(), port.c_str(),
               SocketErrorText(errno).c_str());
    return false;
  }
  struct sockaddr_in local;
  socklen_t local_size = sizeof local;
  if (getsockname(socket_fd.get(), reinterpret_cast<struct sockaddr*>(&local),
                  &local_size) != 0) {
    LogMessage(kLogError, "Failed to get the sockname - %s",
               SocketErrorText(errno).c_str());
    return false;
  }
  char address_text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &local.sin_addr, address_text, sizeof address_text);
  const std::string address = address_text;
  const std::string dns_name = ReverseLookup(local.sin_addr, host_name);
  LogMessage(kLogDebug, "Detected Device's IP Address of %s", address.c_str());
  socket_fd.reset();

  SetAttrValue(record, "hostname", host_name);
  SetAttrValue(record, "dnshostname", dns_name);
  SetAttrValue(record, "detecteddnshostname", dns_name);
  SetAttrValue(record, "ipaddress", address);
  SetAttrValue(record, "detectedipaddress", address);
  std::string os_name;
  GetOSName(&os_name);
  SetAttrValue(record, "operatingsystem", os_name);
  return true;
}

bool GetDeviceInfo(const Layout& layout, const std::string& host, const std::string& port,
                   AttrTable& record) {
  LogMessage(kLogTrace, "GetDeviceInfo: host=%s port=%s", host.c_str(), port.c_str());
  if (!GetHostInfo(host, port, record)) {
    LogMessage(kLogError, "Failed to query Device Information");
    return false;
  }
  if (!GetSMBIOSInfo(layout, record)) {
    LogMessage(kLogError, "Failed to query SMBIOS information for this Device");
    return false;
  }
  if (!GetNetInfo(record)) {
    LogMessage(kLogError, "Failed to query Network information for this Device");
    return false;
  }
  // The record just gathered, which for the service is thisDeviceInfo; a
  // command gathering into a table of its own sees that table.
  LogMessage(kLogDebug, "thisDeviceInfo:");
  LogAttrs(kLogDebug, record);
  return true;
}

}  // namespace dusk
