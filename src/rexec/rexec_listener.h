#ifndef DUSK_REXEC_REXEC_LISTENER_H_
#define DUSK_REXEC_REXEC_LISTENER_H_

// The port on which the KESTA Server asks for remote execution while the
// agent is missing. There is one per process. It is non-blocking, so the
// service loop can poll it on every pass without waiting.
//
// AgentPort is unprivileged, and whoever listens on it receives the
// server's request with the device's credentials and answers it. So the
// service binds it at its start and keeps it bound to its end (BindAgentPort),
// and the listener only switches listening on and off on that one socket:
// the port is never free for another local account to take, not while the
// listener is off nor during an install. The socket is bound with
// SO_REUSEADDR, so that a restart is not kept off by the closed connections
// of the last run, and the option is cleared right after the bind: no other
// socket can then bind the port. It is set again only while listening (where
// no other socket can bind the port either), so that listening again is not
// refused over the connections taken before. Nothing else is set
// (SO_REUSEPORT would let another process of the same account bind the port
// too and share its connections).

#include "util/unique_fd.h"

namespace dusk {

/// Backlog given to listen(): room for a burst of connections. Strangers
/// are refused as soon as they are taken (rexec_accept.h), and the server's
/// connection waits in the queue behind them instead of finding it full,
/// which would drop its connect attempts for the kernel's back-off.
inline constexpr int kListenerBacklog = 32;

/// The socket bound to AgentPort; invalid while the port is not held.
extern UniqueFd lSocket;

/// True when lSocket is a socket in the listening state (SO_ACCEPTCONN);
/// nothing else counts.
bool IsListening();

/// Binds AgentPort of [Application] (kDefaultAgentPort when the key is
/// missing) on every local address into lSocket, without listening, unless
/// it is bound to that port already; a socket bound to another port is
/// given up first. False after an Error line ("Failed to create a socket
/// for port %d - %s", "Failed to initialize listener on port %d - %s") when
/// the socket cannot be made or bound, for instance when another process
/// holds the port; a port outside 1 to 65535 cannot be bound.
bool BindAgentPort();

/// Listens on AgentPort, binding it first when it is not held yet
/// (BindAgentPort), and replacing a listener that is already up (Warn
/// "Already Listening, disabling previous listener"). Debug "Creating
/// Listening Socket on port %d". False after an Error line when the port
/// cannot be bound or put to listening ("Failed to initialize listening on
/// port %d - %s").
bool StartListener();

/// Stops listening: pending connections are dropped, and the port stays
/// bound.
void StopListener();

/// Closes lSocket: AgentPort is free again. For the end of the service.
void ReleaseAgentPort();

}  // namespace dusk

#endif  // DUSK_REXEC_REXEC_LISTENER_H_
