#include "rexec/rexec_session.h"

#include "log/log.h"
#include "util/attr_list.h"
#include "util/text_encoding.h"

namespace dusk {

namespace {

constexpr std::string_view kEventKind = "event";
/// Room of a session line for its list, the line feed's byte kept aside.
constexpr size_t kSessionListCapacity = kSessionLineCapacity - 1;

}  // namespace

RexecSession* CreateRexecSession(RexecSessionTable& sessions, RexecRequest& request) {
  for (RexecSession& session : sessions) {
    if (session.inUse) continue;
    session.inUse = true;
    session.host = request.peerHost;
    session.errorPort = request.errorPort;
    session.request = &request;
    return &session;
  }
  LogMessage(kLogError, "Maximum number of Rexec Sessions Reached (%d)", kRexecSessionMax);
  return nullptr;
}

void FreeRexecSession(RexecSession* session) {
  if (session == nullptr) return;
  *session = RexecSession();
}

bool SendSessionResponse(RexecSession* session, bool use_error_socket,
                         std::string_view message) {
  if (session == nullptr || session->request == nullptr) {
    LogMessage(kLogError, "SendSessionResponse called with a NULL Rexec Session");
    return false;
  }
  return SendRexecResponse(*session->request, use_error_socket, message);
}

void SendSessionMessage(RexecSession* session, std::string_view text, std::string_view kind) {
  if (session == nullptr) return;
  std::string line(kind);
  TclListAppendElement(&line, kSessionListCapacity, text);
  line.push_back('\n');
  SendSessionResponse(session, false, line);
}

void SendSessionEvent(RexecSession* session, std::string_view type, std::string_view text,
                      std::string_view field2, std::string_view field3,
                      std::string_view field4) {
  // The record is cut to what the line has room for: one too long for it
  // would be dropped whole, and the server would get a bare "event".
  const std::string record =
      BuildEventRecord(type, text, field2, field3, field4,
                       TclListElementRoom(kEventKind, kSessionListCapacity));
  LogMessage(kLogDebug, "Event: %s", record.c_str());
  SendSessionMessage(session, record, kEventKind);
}

}  // namespace dusk
