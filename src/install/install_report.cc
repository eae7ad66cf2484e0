#include "install/install_report.h"

#include "log/log.h"

namespace dusk {

ArrivalReports::ArrivalReports(InstallReporter& reporter, std::string_view file, int64_t size)
    : reporter_(reporter),
      start_(std::chrono::steady_clock::now()),
      next_(start_ + kArrivalReportInterval) {
  arrival_.file = file;
  arrival_.size = size;
}

ArrivalReports::~ArrivalReports() { End(); }

void ArrivalReports::Received(int64_t received) {
  arrival_.received = received;
  // The clock is read once per piece; a report goes out only when the
  // interval has passed, however fast the pieces come.
  const auto now = std::chrono::steady_clock::now();
  if (arrival_.ended || now < next_) return;
  next_ = now + kArrivalReportInterval;
  arrival_.elapsed = now - start_;
  reporter_.Arriving(arrival_);
}

void ArrivalReports::End() {
  if (arrival_.ended) return;
  arrival_.ended = true;
  arrival_.elapsed = std::chrono::steady_clock::now() - start_;
  reporter_.Arriving(arrival_);
}

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
