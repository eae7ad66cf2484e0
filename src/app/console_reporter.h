#ifndef DUSK_APP_CONSOLE_REPORTER_H_
#define DUSK_APP_CONSOLE_REPORTER_H_

// The reports of an install or a download run from the command line.

#include <string_view>

#include "install/install_report.h"

namespace dusk {

/// Sends nothing: no server follows a command-line run, and the install's
/// own lines have reached the console already. The events are logged at
/// Debug as "Event: RECORD", as for an install the server asked for.
class ConsoleReporter final : public InstallReporter {
 public:
  void Progress(std::string_view) override {}
  void Event(std::string_view type, std::string_view text) override;
};

}  // namespace dusk

#endif  // DUSK_APP_CONSOLE_REPORTER_H_
