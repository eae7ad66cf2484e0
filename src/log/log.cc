#include "log/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include <algorithm>

#include "util/files.h"
#include "util/product.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

struct LogState {
  /// Messages up to this level are written; 0 means off for good.
  int level = kLogInfo;
  /// Full path of the log file in use.
  std::string file_name;
  /// The open log file; invalid while no file is open.
  UniqueFd file;
  std::function<void(int, std::string_view)> observer;
  /// Error and Fatal lines also go to standard error.
  bool errors_to_stderr = false;
  /// Called before a console line (LogSetConsoleHook).
  void (*console_hook)() = nullptr;
  /// The last line was not written whole (a full disk): it may have left
  /// a piece without its line break.
  bool line_cut = false;
};

LogState& State() {
  static LogState state;
  return state;
}

/// LogMessage with its arguments in a va_list; also util's report sink.
void LogMessageV(int level_and_flags, const char* format, va_list args);

// The lines of util reach the log from the start of the process, before
// main() and in every test and fuzz program that has the log.
[[maybe_unused]] const bool report_sink_installed = (SetReportSink(&LogMessageV), true);

// A line is written with one write() in the normal case, so it is not split
// between two processes appending to the same file.

void WriteConsole(const char* line, size_t size) {
  fflush(stdout);
  WriteAll(STDOUT_FILENO, std::string_view(line, size));
}

/// Ends the piece of a line that a full disk cut short, so that the next
/// line does not run on from it. True when the file ends a line now.
bool EndCutLine(int fd) {
  struct stat st;
  char last = '\n';
  if (fstat(fd, &st) == 0 && st.st_size > 0 && pread(fd, &last, 1, st.st_size - 1) != 1)
    return false;
  return last == '\n' || WriteAll(fd, "\n");
}

/// True when standard output and standard error are the same file, so a
/// line written to one is already on the other.
bool StderrIsStdout() {
  struct stat out, err;
  return fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 &&
         out.st_dev == err.st_dev && out.st_ino == err.st_ino;
}

}  // namespace

const char* LogTag(int level) {
  static const char* const kTags[] = {"",         "        ", " Fatal: ",
                                      " Error: ", "  Warn: ", " Audit: ",
                                      "  Info: ", " Debug: ", " Trace: "};
  if (level < 1 || level > 8) return "";
  return kTags[level];
}

void LogMessage(int level_and_flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogMessageV(level_and_flags, format, args);
  va_end(args);
}

namespace {

void LogMessageV(int level_and_flags, const char* format, va_list args) {
  LogState& state = State();
  if (state.level == kLogOff) return;
  int level = level_and_flags & 0xff;
  bool echo = (level_and_flags & kLogConsoleFlag) != 0;
  if (level > state.level) return;

  char message[kLogMessageMax + 1];
  int length = vsnprintf(message, sizeof message, format, args);
  if (length < 0) length = 0;
  size_t message_size = static_cast<size_t>(length) < kLogMessageMax
                            ? static_cast<size_t>(length)
                            : kLogMessageMax;
  if (state.observer) state.observer(level, std::string_view(message, message_size));

  const char* tag = LogTag(level);
  const bool to_stderr =
      (state.errors_to_stderr && (level == kLogError || level == kLogFatal)) ||
      (level_and_flags & kLogStderrFlag) != 0;
  bool on_stdout = !state.file || echo || level == kLogFatal;
  if (state.file) {
    char stamp[64];
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d %H:%M:%S", &local);
    // Stamp, tag, service name, ": ", the message and the line break.
    char line[sizeof stamp + 16 + sizeof kServiceName + 2 + kLogMessageMax + 2];
    int size = snprintf(line, sizeof line, "%s%s%s: %.*s\n", stamp, tag,
                        kServiceName, static_cast<int>(message_size), message);
    if (size > 0) {
      const int fd = state.file.get();
      const std::string_view text(line, std::min(static_cast<size_t>(size), sizeof line - 1));
      // After a cut line the file is brought to a line end first.
      state.line_cut = (state.line_cut && !EndCutLine(fd)) || !WriteAll(fd, text);
    }
  }
  if (!on_stdout && !to_stderr) return;
  char console[16 + kLogMessageMax + 2];
  int size = snprintf(console, sizeof console, "%s%.*s\n", tag,
                      static_cast<int>(message_size), message);
  if (size <= 0) return;
  const std::string_view line(console, std::min(static_cast<size_t>(size), sizeof console - 1));
  if (state.console_hook != nullptr) state.console_hook();
  if (on_stdout) WriteConsole(line.data(), line.size());
  if (to_stderr && !(on_stdout && StderrIsStdout())) WriteAll(STDERR_FILENO, line);
}

}  // namespace

void LogCopyErrorsToStderr(bool copy) { State().errors_to_stderr = copy; }

void LogSetConsoleHook(void (*hook)()) { State().console_hook = hook; }

void LogLevel(int level) {
  LogState& state = State();
  if (state.level == kLogOff) return;
  LogMessage(kLogTrace, "LogLevel: level=%d", level);
  state.level = level;
}

int LogCurrentLevel() { return State().level; }

void LogSilence() { State().level = kLogOff; }

bool LogDisabled() { return State().level == kLogOff; }

bool LogFileIsOpen() { return State().file.valid(); }

const std::string& LogFileName() { return State().file_name; }

void LogReset() {
  LogState& state = State();
  state.file.reset();
  state.file_name.clear();
  state.observer = nullptr;
  state.level = kLogInfo;
  state.errors_to_stderr = false;
  state.console_hook = nullptr;
  SetReportSink(&LogMessageV);
}

void LogSetObserver(std::function<void(int, std::string_view)> observer) {
  State().observer = std::move(observer);
}

bool LogFilePath(const std::string& name, const LogDirectory& directory,
                 std::string* path_out) {
  if (LogDisabled()) return true;
  *path_out = name;
  if (!directory) return false;
  if (!directory->empty() && !FileExists(*directory)) {
    if (!CreateDirectory(*directory, kLogDirectoryMode)) {
      LogMessage(kLogError, "Failed to create Log directory %s", directory->c_str());
      return false;
    }
    LogMessage(kLogInfo, "Created Log directory %s", directory->c_str());
  }
  if (!directory->empty()) *path_out = *directory + "/" + name;
  return true;
}

UniqueFd OpenLogFile(const std::string& path) {
  constexpr int kFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW;
  // Made here, or found: a new file gets its mode exactly, whatever the
  // umask; a found one only loses what would let others write to it.
  bool made = true;
  UniqueFd fd(open(path.c_str(), kFlags | O_CREAT | O_EXCL, kLogFileMode));
  if (!fd && errno == EEXIST) {
    made = false;
    fd.reset(open(path.c_str(), kFlags));
  }
  if (!fd) return fd;
  struct stat st;
  if (made) {
    fchmod(fd.get(), kLogFileMode);
  } else if (fstat(fd.get(), &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    fchmod(fd.get(), st.st_mode & 07777 & ~static_cast<mode_t>(S_IWGRP | S_IWOTH));
  }
  return fd;
}

bool LogFileOpen(const std::string& name, const LogDirectory& directory) {
  LogState& state = State();
  if (LogDisabled()) return true;
  LogMessage(kLogTrace, "LogFileOpen: fname=%s", name.c_str());
  if (state.file) return true;
  LogFilePath(name, directory, &state.file_name);
  LogMessage(kLogDebug, "Log File Path Used: %s", state.file_name.c_str());
  UniqueFd fd = OpenLogFile(state.file_name);
  if (!fd) {
    int err = errno;
    LogMessage(kLogError, "Could not open log file %s - %s",
               state.file_name.c_str(), ErrorText(err).c_str());
    return false;
  }
  state.file = std::move(fd);
  return true;
}

void LogFileSave(const std::string& name, const LogDirectory& directory) {
  if (LogDisabled()) return;
  LogMessage(kLogTrace, "LogFileSave: fname=%s", name.c_str());
  std::string path;
  LogFilePath(name, directory, &path);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (!S_ISREG(st.st_mode)) {
    LogMessage(kLogError, "Failed to Save %s - not a regular file", path.c_str());
    return;
  }
  std::string previous = path + ".prev";
  DeleteFile(previous);
  LogMessage(kLogDebug, "Saving previous %s", path.c_str());
  LogMessage(kLogDebug, "             to %s", previous.c_str());
  if (rename(path.c_str(), previous.c_str()) != 0) {
    int err = errno;
    LogMessage(kLogError, "Failed to Save %s - %s", path.c_str(),
               ErrorText(err).c_str());
  }
}

void LogFileClose() {
  if (LogDisabled()) return;
  LogMessage(kLogTrace, "LogFileClose:");
  State().file.reset();
}

}  // namespace dusk
