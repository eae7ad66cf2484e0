#include "config/server_address.h"

#include <algorithm>

#include "config/config_file.h"
#include "util/strings.h"

namespace dusk {

ServerAddress ResolveServerAddress(std::string_view host_option, std::string_view port_option) {
  ServerAddress server;
  GetServerAddress(host_option, port_option, &server.host, &server.port);
  server.portNumber = strToInt(server.port);
  server.hostOption = host_option;
  server.portOption = port_option;
  return server;
}

bool IsPortNumber(std::string_view port) {
  constexpr int kTcpPortMax = 65535;
  if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  // Leading zeros are allowed ("0099" is what strToInt reads as 99); beyond
  // them, more digits than 65535 has are no port.
  port.remove_prefix(std::min(port.find_first_not_of('0'), port.size()));
  return !port.empty() && port.size() <= 5 && strToInt(port) <= kTcpPortMax;
}

std::string ServerAddressFault(const ServerAddress& server) {
  if (IsPortNumber(server.port)) return "";
  if (!server.portOption.empty())
    return strFormat("-port %s is not a port number", server.port.c_str());
  return strFormat("ServerPort %s in %s is not a port number", server.port.c_str(),
                   ConfigFilePath().c_str());
}

}  // namespace dusk
