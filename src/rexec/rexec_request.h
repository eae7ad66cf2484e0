#ifndef DUSK_REXEC_REXEC_REQUEST_H_
#define DUSK_REXEC_REXEC_REQUEST_H_

// One remote-execution request from the KESTA Server: its connections and
// the four parameters it sent. The service loop owns it from the accept to
// the end of its processing; a session (rexec_session.h) only refers to it.
//
// The connections are owned descriptors. Closing them, for whatever reason
// (a refused request, a failed write, the end of the processing), leaves
// them invalid, so nothing later acts on a descriptor number that the
// process may have handed out again in the meantime.

#include <cstddef>
#include <string>
#include <string_view>

#include "util/unique_fd.h"

namespace dusk {

/// Longest texts kept of the parameters, as the protocol's fields hold them.
inline constexpr size_t kRexecErrorPortMax = 31;
inline constexpr size_t kRexecCredentialMax = 255;
inline constexpr size_t kRexecPeerHostMax = 255;
/// Longest parameter on the wire, its NUL included.
inline constexpr size_t kRexecParameterMax = 2048;

/// Status bytes of the answer to a request.
inline constexpr char kRexecAccepted = 0x00;
inline constexpr char kRexecRefused = 0x01;

/// Texts sent after kRexecRefused.
inline constexpr char kRexecBadCredentials[] = "Invalid credentials specified.";
inline constexpr char kRexecBadCommand[] = "Invalid command specified.";

/// An accepted connection and what arrived on it.
struct RexecRequest {
  /// The connection the server opened; invalid once closed.
  UniqueFd socket;
  /// Parameter 1: the server's error port, "" when it asked for none.
  std::string errorPort;
  /// The connection to the error port; valid only while errorPort is set
  /// and it is open.
  UniqueFd errorSocket;
  /// The server's dotted IPv4 address.
  std::string peerHost;
  /// Parameters 2 to 4, decoded when they came protected.
  std::string userName;
  std::string password;
  std::string command;
};

/// Writes |message| (its bytes, no terminator) on the error connection when
/// |use_error_socket| is set and the request has one, else on the main
/// connection. On failure logs "Failed to Send Response \"%s\" to KESTA
/// Server %s - %s", closes both connections and returns false; on success
/// logs "Sent %d bytes to KESTA Server %s" at Debug. A write never waits
/// longer than socket_write_idle (util/timings.h) without progress, nor past
/// a stop request.
bool SendRexecResponse(RexecRequest& request, bool use_error_socket, std::string_view message);

/// Closes the main connection and the error connection, those that are
/// still open.
void CloseRexecSockets(RexecRequest& request);

}  // namespace dusk

#endif  // DUSK_REXEC_REXEC_REQUEST_H_
