#ifndef DUSK_SERVER_PROBE_H_
#define DUSK_SERVER_PROBE_H_

// The server probe: does the KESTA Server answer, and which zone does it
// name?

#include <string>

namespace dusk {

/// Path of the probe request.
inline constexpr char kProbePath[] =
    "/proc/Zelmar?WebService.Name=AuthenticateUser&Response.Format=Text&getauthds=true";
/// A body line beginning with this names the server's zone.
inline constexpr char kZonePrefix[] = "ZelmarInfo.zone: ";
/// Longest zone text kept.
inline constexpr size_t kZoneMax = 255;

/// Probes the server named by the options, else by the configuration.
bool probeKESTAServer(const std::string& option_host, const std::string& option_port,
                      std::string* zone);

/// Probes |host|:|port|; true when it answered 200. |zone| is set when the
/// answer names one and left as it was otherwise.
bool _probeKESTAServer(const std::string& host, const std::string& port,
                       std::string* zone);

}  // namespace dusk

#endif  // DUSK_SERVER_PROBE_H_
