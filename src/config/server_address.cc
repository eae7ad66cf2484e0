#include "config/server_address.h"

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

}  // namespace dusk
