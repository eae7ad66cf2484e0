#ifndef DUSK_UTIL_SOCKET_WAIT_H_
#define DUSK_UTIL_SOCKET_WAIT_H_

// The one bounded wait on a socket and the one bounded connect. Every wait
// of the process on the network goes through here, so each ends at its
// own bound and within kStopCheckIntervalMs of a stop request, and a
// signal that asks for something else never cuts one short (a pause of a
// second stays a second long).

#include <netinet/in.h>

#include <chrono>

namespace dusk {

/// The clock of every network bound: it never jumps with the wall clock.
using SocketClock = std::chrono::steady_clock;

/// Why WaitForSocket ended.
enum class SocketWaitEnd {
  kReady,     ///< an awaited event, a hang-up or an error is there
  kIdle,      ///< nothing came within the wait without progress
  kDeadline,  ///< the absolute deadline passed
  kStopped,   ///< a stop was requested
  kFailed,    ///< poll failed; errno tells why
};

/// Waits until |events| (poll flags) are ready on |fd|, at most |idle|
/// (up to a few days) and never past |deadline| (time_point::max() for
/// none). A stop already pending, a deadline already passed and an |idle|
/// of zero end it before it looks at |fd|: none of them waits for what is
/// already there. Looks at StopRequested() at least every
/// kStopCheckIntervalMs.
SocketWaitEnd WaitForSocket(int fd, short events, std::chrono::milliseconds idle,
                            SocketClock::time_point deadline);

/// Puts |fd| into non-blocking mode; false when fcntl fails.
bool SetNonBlocking(int fd);

/// Connects |fd| to |address| without ever blocking in connect (|fd| is
/// made non-blocking and stays so), waiting at most |timeout| for the
/// peer's answer. True when connected; otherwise errno tells why: the
/// connect's own error (ECONNREFUSED, ENETUNREACH, ...), or ETIMEDOUT after
/// the time-out or a stop request.
bool ConnectWithin(int fd, const struct sockaddr_in& address,
                   std::chrono::milliseconds timeout);

}  // namespace dusk

#endif  // DUSK_UTIL_SOCKET_WAIT_H_
