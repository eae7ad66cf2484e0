#ifndef DUSK_SERVER_SERVER_CONNECT_H_
#define DUSK_SERVER_SERVER_CONNECT_H_

#include <string>

#include "http/http_session.h"

namespace dusk {

/// Connects |session| to the KESTA Server |host|:|port|. On failure logs
/// "KESTA Server %s Not Available - %s" (with |server|, the host:port text,
/// and the client's reason) followed by two empty lines, and returns false.
bool ConnectToServer(HttpSession& session, const std::string& host,
                     const std::string& port, const std::string& server);

}  // namespace dusk

#endif  // DUSK_SERVER_SERVER_CONNECT_H_
