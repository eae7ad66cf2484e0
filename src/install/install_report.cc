#include "install/install_report.h"

#include "log/log.h"

namespace dusk {

int InstallLogLevel(int level, bool console) {
  return console ? level | kLogConsoleFlag : level;
}

void InstallProgress(InstallReporter& reporter, int level, bool console, std::string_view text) {
  LogMessage(InstallLogLevel(level, console), "%.*s", static_cast<int>(text.size()),
             text.data());
  reporter.Progress(text);
}

bool InstallFailed(InstallReporter& reporter, int level, bool console, std::string_view text) {
  LogMessage(InstallLogLevel(level, console), "%.*s", static_cast<int>(text.size()),
             text.data());
  reporter.Event(kEventInstallFailed, text);
  return false;
}

}  // namespace dusk
