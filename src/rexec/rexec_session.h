#ifndef DUSK_REXEC_REXEC_SESSION_H_
#define DUSK_REXEC_REXEC_SESSION_H_

// While the device carries out an accepted request, the KESTA Server
// follows the work through lines written back on the request's connection:
// "info" lines with progress texts and "event" lines with event records. A
// session ties the request to the work that reports on it. Every sending
// operation takes a null session and then sends nothing, so work that no
// server asked for reports through the same calls.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "rexec/rexec_request.h"

namespace dusk {

/// Sessions that can be in use at once. Requests are served one at a time,
/// so this bounds the table, not the protocol.
inline constexpr int kRexecSessionMax = 10;
/// Longest line a session writes, its line feed included.
inline constexpr size_t kSessionLineCapacity = 1024;

/// One accepted request being carried out.
struct RexecSession {
  /// True while the record belongs to a request.
  bool inUse = false;
  /// The server's address, as the request's peerHost.
  std::string host;
  /// The request's error port; "" when it has no error connection.
  std::string errorPort;
  /// The request whose connections the session writes to; not owned.
  RexecRequest* request = nullptr;
};

/// The sessions of requests being carried out; the service keeps its own.
using RexecSessionTable = std::array<RexecSession, kRexecSessionMax>;

/// The free session of |sessions| with the lowest index, taken for
/// |request|; null after the Error line "Maximum number of Rexec Sessions
/// Reached (%d)" when all are in use.
RexecSession* CreateRexecSession(RexecSessionTable& sessions, RexecRequest& request);

/// Gives |session| back (null is fine).
void FreeRexecSession(RexecSession* session);

/// Writes |message| for the session's request (SendRexecResponse): on the
/// error connection when |use_error_socket| is set and there is one. False,
/// after an Error line, for a null session or a failed write.
bool SendSessionResponse(RexecSession* session, bool use_error_socket,
                         std::string_view message);

/// Sends the line "KIND TEXT\n", the text as one Tcl list element, on the
/// main connection. A text that does not fit the line is dropped with the
/// list's Error line and the line carries the kind alone. Nothing for a null
/// session.
void SendSessionMessage(RexecSession* session, std::string_view text, std::string_view kind);

/// Logs "Event: RECORD" at Debug and sends the "event" line with the record
/// of BuildEventRecord(|type|, |text|, |field2|, |field3|, |field4|), its
/// data cut so that the whole line fits kSessionLineCapacity. The Debug line
/// is written for a null session too.
void SendSessionEvent(RexecSession* session, std::string_view type, std::string_view text,
                      std::string_view field2 = {}, std::string_view field3 = {},
                      std::string_view field4 = {});

}  // namespace dusk

#endif  // DUSK_REXEC_REXEC_SESSION_H_
