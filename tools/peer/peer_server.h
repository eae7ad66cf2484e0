#ifndef DUSK_TOOLS_PEER_PEER_SERVER_H_
#define DUSK_TOOLS_PEER_PEER_SERVER_H_

// The answers of kesta-peer: the probe, the four registration requests and
// the media files, unless a fault set by a test takes their place. One
// connection carries one request; every answer ends by closing it.

#include <optional>
#include <string>

#include "peer/peer_faults.h"
#include "peer/peer_request.h"
#include "peer/peer_state.h"
#include "util/unique_fd.h"

namespace dusk::peer {

inline constexpr char kProbeRequestPath[] = "/proc/Zelmar";
inline constexpr char kZoneLinePrefix[] = "ZelmarInfo.zone: ";

struct PeerConfig {
  std::string zone = "default";  ///< "" leaves the zone line out
  std::string media_dir;         ///< "" serves no media
};

/// An answer before it is sent.
struct Answer {
  int status = 200;
  std::string content_type = "text/plain";
  std::string body;
  std::string file;  ///< when set, the body is this file's bytes
};

/// "HTTP/1.0 <status> <reason>" and the headers of |answer|, up to the
/// blank line; Content-Length is |length|.
std::string AnswerHead(const Answer& answer, size_t length);

/// The reason phrase of a status ("Unknown" for one without).
const char* ReasonPhrase(int status);

/// The media file a request path names under |media_dir|: nothing when the
/// path leaves the directory ("..", a NUL, a symbolic link pointing out) or
/// names no regular file.
std::optional<std::string> MediaFile(const std::string& media_dir, const std::string& path);

/// True for the paths of Register, Startup, Status and UnRegister.
bool IsRegistrationPath(std::string_view path);

/// The regular answer to |request|; registration requests update |state|.
/// A registration is answered with |answer_dn| as the device's DN when it is
/// given, else with the DN the body names (devdn), else with one made from
/// its hostname.
Answer Route(const Request& request, const PeerConfig& config, PeerState& state,
             const std::optional<std::string>& answer_dn = std::nullopt);

/// Serves the one request of |connection|: reads it, records it, answers
/// (or shows the fault set for its path) and closes.
void ServeConnection(UniqueFd connection, const PeerConfig& config, PeerState& state,
                     FaultBook& faults);

}  // namespace dusk::peer

#endif  // DUSK_TOOLS_PEER_PEER_SERVER_H_
