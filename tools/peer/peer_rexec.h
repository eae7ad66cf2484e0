#ifndef DUSK_TOOLS_PEER_PEER_REXEC_H_
#define DUSK_TOOLS_PEER_PEER_REXEC_H_

// kesta-peer as the server that asks a device for remote execution:
//
//   kesta-peer --rexec HOST [--port PORT] [--dn DN] [--user TEXT]
//              [--password TEXT] [--command TEXT] [--error-port TEXT|listen]
//              [--protect port,user,password,command] [--bind ADDR]
//              [--timeout SECONDS]
//
// Connects to HOST:PORT (3465 by default) and sends the four parameters:
// the error port ("0" by default; "listen" opens a port here and sends its
// number), the user name and password (those of the device DN computed as
// the device computes them, unless given), and the command ("InstallAgent"
// by default). The parameters named by --protect go as "{AES256}" values.
// Prints "status 0x00" or "status 0x01" when the status byte arrives, then
// every byte the device sends on the connection until it closes it, and each
// line from the error connection as "error: LINE". Exit status: 0 accepted,
// 1 refused, 3 closed without a status byte, 4 no connection or time-out,
// 2 bad usage.

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dusk::peer {

/// Exit statuses of a call.
inline constexpr int kCallAccepted = 0;
inline constexpr int kCallRefused = 1;
inline constexpr int kCallUsage = 2;
inline constexpr int kCallNoStatus = 3;
inline constexpr int kCallFailed = 4;

/// Error port text that asks the caller to listen for the error connection.
inline constexpr char kListenErrorPort[] = "listen";

struct RexecCall {
  std::string host;
  int port = 3465;
  std::string bind_address;  ///< "" = any
  std::string error_port = "0";
  std::optional<std::string> dn, user, password;
  std::string command = "InstallAgent";
  /// Parameters sent protected: "port", "user", "password", "command".
  std::set<std::string> protect;
  int timeout_seconds = 60;
};

/// Reads the options after "--rexec HOST". False, with |error| set, for an
/// unknown option, a missing value or a bad number.
bool ParseRexecCall(const std::vector<std::string>& args, RexecCall* call, std::string* error);

/// The bytes of the four parameters, each with its NUL; |error_port| is the
/// text sent as the first one.
std::string RexecCallBytes(const RexecCall& call, const std::string& error_port);

/// Makes the call and prints what comes back to |out|; the exit status.
int RunRexecCall(const RexecCall& call, FILE* out);

}  // namespace dusk::peer

#endif  // DUSK_TOOLS_PEER_PEER_REXEC_H_
