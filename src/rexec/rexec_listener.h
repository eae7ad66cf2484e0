#ifndef DUSK_REXEC_REXEC_LISTENER_H_
#define DUSK_REXEC_REXEC_LISTENER_H_

// The port on which the KESTA Server asks for remote execution while the
// agent is missing. There is one listener per process. It is non-blocking,
// so the service loop can poll it on every pass without waiting, and its
// backlog is the smallest the system allows: requests are served one at a
// time and one that finds the listener busy is refused rather than queued.

#include "util/unique_fd.h"

namespace dusk {

/// Backlog given to listen().
inline constexpr int kListenerBacklog = 0;

/// The listening socket; invalid while nothing listens.
extern UniqueFd lSocket;

/// True when lSocket is a socket in the listening state (SO_ACCEPTCONN);
/// nothing else counts.
bool IsListening();

/// Listens on AgentPort of [Application] (kDefaultAgentPort when the key is
/// missing) on every local address, replacing a listener that is already up
/// (Warn "Already Listening, disabling previous listener"). False after an Error
/// line when the socket cannot be created, bound or put to listening; a
/// port outside 1 to 65535 cannot be bound.
bool StartListener();

/// Closes the listening socket, if there is one.
void StopListener();

}  // namespace dusk

#endif  // DUSK_REXEC_REXEC_LISTENER_H_
