#include "util/report.h"

namespace dusk {

namespace {
// Constant-initialised, so it is valid before any constructor of another
// file runs, the log's own included.
ReportSink report_sink = nullptr;
}  // namespace

void Report(int level_and_flags, const char* format, ...) {
  ReportSink sink = report_sink;
  if (sink == nullptr) return;
  va_list args;
  va_start(args, format);
  sink(level_and_flags, format, args);
  va_end(args);
}

void SetReportSink(ReportSink sink) { report_sink = sink; }

}  // namespace dusk
