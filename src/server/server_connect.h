#ifndef DUSK_SERVER_SERVER_CONNECT_H_
#define DUSK_SERVER_SERVER_CONNECT_H_

#include <cstddef>
#include <string>

#include "http/http_session.h"

namespace dusk {

/// Most bytes of an answer's body read; the rest is left unread and the
/// connection closed.
inline constexpr size_t kServerAnswerBodyMax = 64 * 1024;

/// Connects |session| to the KESTA Server |host|:|port|, the whole exchange
/// bounded by the server_exchange wait (util/timings.h): the server's answers
/// are a line or two, so a server that takes longer is treated as gone, and a
/// stop of the service (which still unregisters) is never held up for longer
/// than this. On failure logs "KESTA Server %s Not Available - %s" (with
/// |server|, the host:port text, and the client's reason) followed by two
/// empty lines, puts that text (without them) into |failure| when given,
/// and returns false; when a stop cut the connect short it logs
/// ExchangeStoppedText(|exchange|) instead, and that is the failure.
bool ConnectToServer(HttpSession& session, const std::string& host,
                     const std::string& port, const std::string& server,
                     const std::string& exchange, std::string* failure = nullptr);

/// "|exchange| stopped - the KESTA-DUSK service is stopping", for an
/// exchange ("Probe of KESTA Server HOST:PORT", "Register Request to KESTA
/// Server HOST:PORT") that a stop of the service cut short: the server did
/// not fail, the service went away.
std::string ExchangeStoppedText(const std::string& exchange);

/// Logs ExchangeStoppedText(|exchange|) at Info.
void LogExchangeStopped(const std::string& exchange);

}  // namespace dusk

#endif  // DUSK_SERVER_SERVER_CONNECT_H_
