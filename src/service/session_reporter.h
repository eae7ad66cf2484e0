#ifndef DUSK_SERVICE_SESSION_REPORTER_H_
#define DUSK_SERVICE_SESSION_REPORTER_H_

// The install's reports as the server that asked for it follows them.

#include <string_view>

#include "install/install_report.h"
#include "rexec/rexec_session.h"

namespace dusk {

/// Sends the install's progress texts as "info" lines and its events as
/// "event" lines on |session| (SendSessionMessage, SendSessionEvent). A
/// null session, for work no server asked for, sends nothing; the event
/// lines are logged either way.
class SessionReporter final : public InstallReporter {
 public:
  explicit SessionReporter(RexecSession* session) : session_(session) {}
  void Progress(std::string_view text) override;
  void Event(std::string_view type, std::string_view text) override;

 private:
  RexecSession* session_;
};

}  // namespace dusk

#endif  // DUSK_SERVICE_SESSION_REPORTER_H_
