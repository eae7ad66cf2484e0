#ifndef DUSK_SERVER_ENVELOPE_H_
#define DUSK_SERVER_ENVELOPE_H_

// The one road of every registration request (Register, Startup, Status,
// UnRegister) to the KESTA Server: the URL path chosen by request name, the
// fixed headers, the closing attributes that name the sender, the device DN
// sent along, and the DN taken back from the first line of the answer.
//
// The DN is the device's name on the server and is kept in the
// configuration and in the agent's object file, both of which hold at most
// kDeviceDnMax characters. An answer whose first line is longer cannot be a
// DN the device can keep; it is refused as a failed exchange rather than cut,
// because a cut DN would name some other device or none.

#include <cstddef>
#include <string>
#include <string_view>

#include "util/attr_table.h"

namespace dusk {

/// Slots of the request path table.
inline constexpr int kSignalProcsSlots = 10;

/// Request name to URL path: "Register", "Startup", "Status", "UnRegister".
extern const AttrTable SignalProcs;

/// The URL path of |request_name| (letter case ignored); "" for a name the
/// table lacks, which the HTTP client refuses as an invalid URL.
std::string SignalProcPath(std::string_view request_name);

/// Extra header lines of every request, in this order. The client adds its
/// own User-Agent line before them, so a request carries two.
inline constexpr char kServerRequestHeaders[] =
    "Accept: text/*\r\nUser-Agent: DUSK 1.0\r\nContent-type: application/x-tcl-list\r\n";

/// Name of the DN attribute appended to a body: the trailing blank is part
/// of it, so two blanks separate it from its value.
inline constexpr char kDevDnAttr[] = "devdn ";

/// Appends kmabuild "NA", kmadir (InstallPath without one trailing "/", ""
/// when the key is missing) and sender
/// "dusk://ADDRESS:AGENTPORT;major=7;minor=8;build=33;revision=1" to |list|
/// (Tcl list of |capacity|); AGENTPORT is AgentPort, kDefaultAgentPort when
/// the key is missing. ADDRESS is |device|'s detectedipaddress, else
/// its dnshostname, else "localhost"; an attribute present but empty is
/// used as it is.
void AppendSenderAttrs(std::string* list, size_t capacity, const AttrTable& device);

/// Sends |request_name| to |host|:|port| (a decimal text) as a POST of
/// |body| (a Tcl list of |capacity|), after appending the "devdn " attribute
/// when |device_dn| is not empty. True when the server answered 200; then
/// the first line of a non-empty answer replaces |device_dn|, and a 200
/// without a body leaves it as it was. False, with |device_dn| unchanged,
/// on a failed connection (Info line), a refused request or another status
/// (Error line), or a first answer line that cannot be a DN: over
/// kDeviceDnMax characters or holding a NUL byte (Error line).
bool sendKESTAServerRequest(const std::string& host, const std::string& port,
                            std::string_view request_name, std::string* body,
                            size_t capacity, std::string* device_dn);

class HttpSession;

/// sendKESTAServerRequest from the headers on, over |session|, already
/// connected to the server |server_text| ("host:port"); closes the session.
/// Split out so the handling of any answer can be driven without a
/// listening server.
bool ExchangeServerRequest(HttpSession& session, const std::string& server_text,
                           std::string_view request_name, std::string* body,
                           size_t capacity, std::string* device_dn);

}  // namespace dusk

#endif  // DUSK_SERVER_ENVELOPE_H_
