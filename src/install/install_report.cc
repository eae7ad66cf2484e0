#include "install/install_report.h"

#include "log/log.h"

namespace dusk {

int InstallLogLevel(int level, bool console) {
  return console ? level | kLogConsoleFlag : level;
}

void InstallProgress(RexecSession* session, int level, bool console, std::string_view text) {
  LogMessage(InstallLogLevel(level, console), "%.*s", static_cast<int>(text.size()),
             text.data());
  SendSessionMessage(session, text, "info");
}

bool InstallFailed(RexecSession* session, int level, bool console, std::string_view text) {
  LogMessage(InstallLogLevel(level, console), "%.*s", static_cast<int>(text.size()),
             text.data());
  SendSessionEvent(session, kEventInstallFailed, text);
  return false;
}

}  // namespace dusk
