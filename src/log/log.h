#ifndef DUSK_LOG_LOG_H_
#define DUSK_LOG_LOG_H_

// The one log of the program. Every line goes to "dusk.log" in the
// directory named by the configuration's LogPath, or to standard output
// while no log file is open. A line is written with one write() on a file
// opened for appending, so the service and a command started beside it
// (they share the file after the fork) never mix inside a line, and a line
// is on its way to the disk when LogMessage returns.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "util/report.h"
#include "util/unique_fd.h"

namespace dusk {

/// Longest message text; longer ones are cut here.
inline constexpr size_t kLogMessageMax = 2046;

/// Name of the log file inside LogPath.
inline constexpr char kLogFileName[] = "dusk.log";

/// Writes one message. The low 8 bits of |level_and_flags| are the level
/// (LogLevelValue), kLogConsoleFlag asks for a console copy and
/// kLogStderrFlag for a copy on standard error. Fatal lines always reach
/// the console as well. The log is also the sink of util's
/// Report from the start of the process (util/report.h).
void LogMessage(int level_and_flags, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

/// Makes Error and Fatal lines also reach standard error (a command's, so
/// that a failure shows where a script or an administrator looks for it).
/// A line that already went to standard output is not written again when
/// standard error is the same file.
void LogCopyErrorsToStderr(bool copy);

/// Calls |hook| before a line goes to standard output or standard error
/// (nullptr: nothing), so that what a command draws on the terminal between
/// its lines, a progress meter, is cleared before a line runs into it.
void LogSetConsoleHook(void (*hook)());

/// Mode of the log directory when the log creates it.
inline constexpr mode_t kLogDirectoryMode = 0755;
/// Mode of a new log file, whatever the umask: others read a log (field
/// tools, administrators), only its writer writes it. An existing file
/// keeps its mode, less any write permission of its group or of others.
inline constexpr mode_t kLogFileMode = 0644;

/// Opens the log file |path| for appending and reading, never through a
/// symbolic link, creating it with kLogFileMode; an existing file loses
/// the write permission of its group and of others. The one way a log of
/// the program (dusk.log, and the agent's install and uninstall logs) is
/// opened. Invalid, with errno set, when it cannot be opened.
UniqueFd OpenLogFile(const std::string& path);

/// Sets the level; does nothing once logging has been switched off.
void LogLevel(int level);
/// The current level (6 at start).
int LogCurrentLevel();
/// Switches logging off for good.
void LogSilence();
/// True when logging is off.
bool LogDisabled();

/// The directory of the log: the configured LogPath, or nullopt when none is
/// configured (the log is then the bare name in the current directory).
using LogDirectory = std::optional<std::string>;

/// Opens the log file |name| in |directory| (OpenLogFile). A symbolic link
/// there is never followed: the service writes as root into a directory
/// others may write to. True when the log is usable; false after
/// an Error line when it cannot be opened, and later lines then go to
/// standard output.
bool LogFileOpen(const std::string& name, const LogDirectory& directory);
/// Keeps the current log file |name| in |directory| as |name| + ".prev" (one
/// older generation). Only a regular file is moved.
void LogFileSave(const std::string& name, const LogDirectory& directory);
/// Closes the log file.
void LogFileClose();
/// True while the log file is open.
bool LogFileIsOpen();
/// Path of the log file in use ("" before LogFileOpen).
const std::string& LogFileName();

/// Works out where |name| lives: |path_out| = directory + "/" + name,
/// creating the directory (one level, kLogDirectoryMode) when missing. False, with |path_out|
/// the bare name, when there is no directory or it cannot be created.
bool LogFilePath(const std::string& name, const LogDirectory& directory,
                 std::string* path_out);

/// Back to the state of a new process: level Info, no file open, no
/// observer; logging on again even after LogSilence. For tests, which share
/// one process.
void LogReset();

/// Test hook: called with the level and the message text of every line that
/// passes the level filter. Pass nullptr to remove it.
void LogSetObserver(std::function<void(int level, std::string_view message)> observer);

/// The tag written before a message of |level| ("  Info: " and so on).
const char* LogTag(int level);

}  // namespace dusk

#endif  // DUSK_LOG_LOG_H_
