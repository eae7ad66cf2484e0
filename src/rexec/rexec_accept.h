#ifndef DUSK_REXEC_REXEC_ACCEPT_H_
#define DUSK_REXEC_REXEC_ACCEPT_H_

// Reading and checking one remote-execution request. The server sends four
// NUL-terminated parameters on the connection it opened (error port, user
// name, password, command; the last three may come as protected values)
// and reads one status byte: 0x00 when the request is accepted, after which
// the connection carries the session's lines, or 0x01 followed by the
// reason, after which both connections are closed. A request that breaks
// off (a parameter that does not arrive, an error port that cannot be
// reached) gets no status byte at all, only the closed connection.
//
// No wait here outlasts a second once a stop has been requested, and none
// depends on the peer sending anything: a peer that is not the server is
// refused before anything is read from it, and the server's own peer that
// connects and falls silent costs the service a few seconds, never the
// loop.

#include <cstddef>
#include <string>

#include "rexec/rexec_listener.h"
#include "rexec/rexec_request.h"
#include "util/unique_fd.h"

namespace dusk {

struct DeviceCredentials;  // crypto/credentials.h

/// The one command a request may carry (letter case is ignored).
inline constexpr char kInstallAgentCommand[] = "InstallAgent";

/// Looks at the connection for a complete parameter this many times, the
/// looks spread evenly over the rexec_parameter_wait (util/timings.h).
inline constexpr int kRexecParameterPeeks = 5;
/// Most connections one AcceptRexecRequest takes: more than the listener's
/// backlog holds, so that a connection queued when the call begins is
/// reached in it, and few enough that strangers connecting again and again
/// cannot keep the call going.
inline constexpr int kRexecConnectionsPerCall = 4 * kListenerBacklog;
static_assert(kRexecConnectionsPerCall > kListenerBacklog);
/// Slots of the option table used while checking a command.
inline constexpr int kRexecCheckOptionSlots = 32;
/// Longest command text, command word and parameters text kept.
inline constexpr size_t kRexecCommandMax = kRexecParameterMax - 1;
inline constexpr size_t kRexecCheckParametersMax = 4095;

/// Reads one parameter from |socket_fd|: the bytes up to the first NUL,
/// which is consumed too; bytes after it stay for the next call. Gives up
/// (false) after kRexecParameterPeeks looks without a NUL (Debug "Did not
/// receive the next Rexec parameter within %d msecs" with the whole
/// rexec_parameter_wait, 5000 in the program), as soon as the
/// peer has closed its side or has sent kRexecParameterMax - 1 bytes
/// without one, on a receive error (Error "Failed to Receive Rexec
/// Parameter from KESTA Server %s - %s") and when a stop is requested.
bool ReceiveRexecParameter(int socket_fd, const std::string& peer_host, std::string* parameter);

/// Opens the connection to |peer_host| on |error_port| into |error_socket|.
/// False without a message for "" and "0"; false after an Error line for a
/// port that is not decimal digits from 1 to 65535, for a connection that
/// fails or is not made within rexec_error_connect, and when a stop is
/// requested. When |peer_host| cannot be resolved the listener is closed
/// as well.
bool ConnectErrorSocket(const std::string& error_port, UniqueFd* error_socket,
                        const std::string& peer_host);

/// Reads the four parameters of the request whose connection is
/// |request|.socket into its fields: each cut to its field, one trailing
/// newline removed, protected values decoded. Right after the error port
/// the error connection is made, when the request names one and
/// |connect_error_port| is set. False, with both connections closed, when a
/// parameter or the error connection fails.
bool ReceiveRexecRequest(RexecRequest& request, bool connect_error_port);

/// Checks a received request against |expected| credentials and then its
/// command word, and answers it. A request passes only when the device has
/// credentials at all and both texts equal them; otherwise it is refused
/// with "Invalid credentials specified.", and a command word other than
/// kInstallAgentCommand with "Invalid command specified.". True when the
/// accepting status byte was sent; the connections are then the caller's.
/// A refusal closes both connections.
bool AnswerRexecRequest(RexecRequest& request, const DeviceCredentials& expected);

/// Takes the pending connections from the listener, up to
/// kRexecConnectionsPerCall, until one comes from an address of
/// |server_host| or one admitted by AgentAllowedPeers, and carries that
/// one's request to the status byte; the connections after it wait for the
/// next call. A request of such an address that ends before it is complete
/// (see ReceiveRexecRequest) does not end the call unless it has lasted a
/// rexec_parameter_wait (util/timings.h) by then. Every other connection is refused at once, before anything
/// is read from it: Error "Refused Rexec Request from %s - not an address
/// of KESTA Server %s", the refusal for invalid credentials, and the close.
/// False when nothing (more) is pending; true when the request was
/// accepted (see AnswerRexecRequest). Every field of |request| is reset
/// first.
bool AcceptRexecRequest(RexecRequest& request, const std::string& server_host);

}  // namespace dusk

#endif  // DUSK_REXEC_REXEC_ACCEPT_H_
