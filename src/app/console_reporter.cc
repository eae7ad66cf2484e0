#include "app/console_reporter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "app/progress_meter.h"
#include "log/log.h"
#include "util/files.h"
#include "util/text_encoding.h"

namespace dusk {

namespace {

/// Columns of a terminal that does not say how wide it is.
constexpr size_t kDefaultColumns = 80;
/// Back to the start of the line, and the line erased from there.
constexpr char kEraseLine[] = "\r\033[K";

/// The reporter whose meter is on the terminal; one command runs one.
ConsoleReporter* active_reporter = nullptr;

size_t TerminalColumns() {
  struct winsize size = {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

}  // namespace

ConsoleReporter::ConsoleReporter(bool console)
    : meter_(console && isatty(STDERR_FILENO) == 1) {
  if (!meter_) return;
  active_reporter = this;
  LogSetConsoleHook(&ConsoleReporter::ClearActiveMeter);
}

ConsoleReporter::~ConsoleReporter() {
  if (!meter_) return;
  ClearMeter();
  LogSetConsoleHook(nullptr);
  active_reporter = nullptr;
}

void ConsoleReporter::Event(std::string_view type, std::string_view text) {
  const std::string record = BuildEventRecord(type, text, {}, {}, {});
  LogMessage(kLogDebug, "Event: %s", record.c_str());
  if (type == kEventInstallFailed) failure_ = text;
}

void ConsoleReporter::Arriving(const FileArrival& arrival) {
  if (!meter_) return;
  if (arrival.ended) {
    ClearMeter();
    return;
  }
  // One column is left free: a line that fills the last one wraps on some
  // terminals, and the erase would then miss its first part.
  const std::string line = MeterLine(arrival, TerminalColumns() - 1);
  WriteAll(STDERR_FILENO, "\r" + line + "\033[K");
  drawn_ = true;
}

void ConsoleReporter::ClearMeter() {
  if (!drawn_) return;
  WriteAll(STDERR_FILENO, kEraseLine);
  drawn_ = false;
}

void ConsoleReporter::ClearActiveMeter() {
  if (active_reporter != nullptr) active_reporter->ClearMeter();
}

}  // namespace dusk
