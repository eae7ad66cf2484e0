#ifndef DUSK_SERVER_PROBE_H_
#define DUSK_SERVER_PROBE_H_

// The server probe: does the KESTA Server answer, and which zone does it
// name?

#include <string>

#include "config/server_address.h"

namespace dusk {

/// Path of the probe request.
inline constexpr char kProbePath[] =
    "/proc/Zelmar?WebService.Name=AuthenticateUser&Response.Format=Text&getauthds=true";
/// A body line beginning with this names the server's zone.
inline constexpr char kZonePrefix[] = "ZelmarInfo.zone: ";
/// Longest zone text kept.
inline constexpr size_t kZoneMax = 255;

/// Probes |server| (resolved from the options and the configuration,
/// config/server_address.h).
bool probeKESTAServer(const ServerAddress& server, std::string* zone,
                      std::string* failure = nullptr);

/// Probes |host|:|port|; true when it answered 200. |zone| is set when the
/// answer names one and left as it was otherwise. A failure's log line
/// ("KESTA Server %s Not Available - %s") also goes into |failure| when
/// given.
bool _probeKESTAServer(const std::string& host, const std::string& port,
                       std::string* zone, std::string* failure = nullptr);

}  // namespace dusk

#endif  // DUSK_SERVER_PROBE_H_
