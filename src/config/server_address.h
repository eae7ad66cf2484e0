#ifndef DUSK_CONFIG_SERVER_ADDRESS_H_
#define DUSK_CONFIG_SERVER_ADDRESS_H_

// The KESTA Server that a command or a request talks to, worked out once
// from the -host and -port options and the configuration, and handed to
// everything that needs it.

#include <string>
#include <string_view>

namespace dusk {

struct ServerAddress {
  std::string host;
  /// The port as given or configured; log lines show this text.
  std::string port;
  /// The port as a number, as strToInt reads the text (0 when it is none).
  int portNumber = 0;
  /// The -host and -port options it was made from ("" when not given), as
  /// the trace lines of the work name them.
  std::string hostOption = "";
  std::string portOption = "";
};

/// The server of the options |host_option| and |port_option| ("" when not
/// given), else of the configuration, else the defaults (GetServerAddress,
/// with its Warn line for each key it misses).
ServerAddress ResolveServerAddress(std::string_view host_option, std::string_view port_option);

/// True when |port| is a TCP port: decimal digits only, 1 to 65535.
bool IsPortNumber(std::string_view port);

/// What keeps |server| from being reached, naming where the bad value came
/// from, so that the administrator knows what to change: "-port abc is not a
/// port number" or "ServerPort abc in /etc/kesta/dusk/dusk.conf is not a port
/// number". "" when nothing does (whether the host name resolves is for the
/// connection to find out).
std::string ServerAddressFault(const ServerAddress& server);

}  // namespace dusk

#endif  // DUSK_CONFIG_SERVER_ADDRESS_H_
