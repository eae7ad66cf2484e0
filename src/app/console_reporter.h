#ifndef DUSK_APP_CONSOLE_REPORTER_H_
#define DUSK_APP_CONSOLE_REPORTER_H_

// The reports of an install or a download run from the command line.

#include <string>
#include <string_view>

#include "install/install_report.h"

namespace dusk {

/// Sends nothing: no server follows a command-line run, and the install's
/// own lines have reached the console already. The events are logged at
/// Debug as "Event: RECORD", as for an install the server asked for, and the
/// text of the last failure is kept for the command's last line.
///
/// With |console| set and standard error a terminal, a file that arrives
/// shows a one-line meter there (progress_meter.h), redrawn at each report
/// and cleared when the file has come or before any other line is written
/// (LogSetConsoleHook). It never reaches the log, a pipe or a file.
class ConsoleReporter final : public InstallReporter {
 public:
  explicit ConsoleReporter(bool console);
  ~ConsoleReporter() override;
  ConsoleReporter(const ConsoleReporter&) = delete;
  ConsoleReporter& operator=(const ConsoleReporter&) = delete;

  void Progress(std::string_view) override {}
  void Event(std::string_view type, std::string_view text) override;
  void Arriving(const FileArrival& arrival) override;

  /// The text of the last "installagentfailed" event ("" when none came).
  const std::string& failure() const { return failure_; }

 private:
  /// Erases the meter from the terminal, when one is drawn.
  void ClearMeter();
  static void ClearActiveMeter();

  /// The meter is drawn (standard error is a terminal and not -silent).
  bool meter_ = false;
  /// Something of the meter is on the terminal now.
  bool drawn_ = false;
  std::string failure_;
};

}  // namespace dusk

#endif  // DUSK_APP_CONSOLE_REPORTER_H_
