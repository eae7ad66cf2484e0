#ifndef DUSK_UTIL_REPORT_H_
#define DUSK_UTIL_REPORT_H_

// The levels of a log line, and the way the helpers of this bottom layer
// write one without depending on the log above them.

#include <cstdarg>

namespace dusk {

/// Message levels. A message is written when its level is at most the
/// current level; level 0 switches logging off.
enum LogLevelValue : int {
  kLogOff = 0,
  kLogPlain = 1,
  kLogFatal = 2,
  kLogError = 3,
  kLogWarn = 4,
  kLogAudit = 5,
  kLogInfo = 6,
  kLogDebug = 7,
  kLogTrace = 8,
};

/// Added to a level: the line is also echoed to standard output.
inline constexpr int kLogConsoleFlag = 256;
/// Added to a level: the line also goes to standard error, where a script
/// or an administrator looks for what went wrong, whatever its level.
inline constexpr int kLogStderrFlag = 512;

/// Receives one line: the level with its flags, and the printf format with
/// its arguments.
using ReportSink = void (*)(int level_and_flags, const char* format, va_list args);

/// The seam between util and the log: util sits below the log and cannot
/// call it, so its functions write their lines through Report, which hands
/// them to the sink that the log installs as the process starts (the same
/// path as LogMessage: level filter, console echo, file). Until a sink is
/// installed, and in a program without the log, the lines go nowhere.
void Report(int level_and_flags, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// Installs |sink| (nullptr: lines go nowhere).
void SetReportSink(ReportSink sink);

}  // namespace dusk

#endif  // DUSK_UTIL_REPORT_H_
