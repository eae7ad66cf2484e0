#ifndef DUSK_SERVER_SERVER_CONNECT_H_
#define DUSK_SERVER_SERVER_CONNECT_H_

#include <chrono>
#include <cstddef>
#include <string>

#include "http/http_session.h"

namespace dusk {

/// Longest exchange with the server, from the connect to the last byte read:
/// its answers are a line or two, so a server that takes longer is treated
/// as gone, and a stop of the service (which still unregisters) is never held
/// up for longer than this.
inline constexpr std::chrono::milliseconds kServerExchangeLimit{60'000};

/// Most bytes of an answer's body read; the rest is left unread and the
/// connection closed.
inline constexpr size_t kServerAnswerBodyMax = 64 * 1024;

/// Connects |session| to the KESTA Server |host|:|port|, the exchange bounded
/// by kServerExchangeLimit. On failure logs
/// "KESTA Server %s Not Available - %s" (with |server|, the host:port text,
/// and the client's reason) followed by two empty lines, and returns false.
bool ConnectToServer(HttpSession& session, const std::string& host,
                     const std::string& port, const std::string& server);

}  // namespace dusk

#endif  // DUSK_SERVER_SERVER_CONNECT_H_
