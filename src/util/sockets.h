#ifndef DUSK_UTIL_SOCKETS_H_
#define DUSK_UTIL_SOCKETS_H_

// IPv4 socket helpers shared by the HTTP client, the device information and
// the listener.

#include <netinet/in.h>

#include <string>
#include <string_view>

namespace dusk {

/// The first IPv4 address of |host|; a dotted address resolves to itself.
/// Logs nothing; false when the name does not resolve.
bool ResolveIPv4(const std::string& host, struct in_addr* out);

/// Fills |address| from a host text and a decimal port text. Both must be
/// non-empty (else Error "Must specify a host and port for attempting to
/// connect"); a host that does not resolve gives Error "Unknown host %s".
bool ResolveHostAddress(const std::string& host, const std::string& port,
                        struct sockaddr_in* address);

/// Shuts down both directions, then closes.
void CloseSocket(int socket_fd);

/// One write call; its result. Never raises SIGPIPE.
long SocketWrite(int socket_fd, const void* data, size_t size);

/// Writes all of |data| to |socket_fd| (blocking or not), waiting at most
/// the socket_write_idle wait (util/timings.h) without progress, and giving
/// up within a second of a stop request. True when everything was written;
/// errno tells why not (ETIMEDOUT after a stall or a stop).
bool SocketWriteAll(int socket_fd, std::string_view data);

/// The peer's dotted address (at most 255 characters); false when
/// getpeername fails.
bool GetPeerHost(int socket_fd, std::string* host);

}  // namespace dusk

#endif  // DUSK_UTIL_SOCKETS_H_
