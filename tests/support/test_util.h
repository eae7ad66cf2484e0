#ifndef DUSK_TESTS_SUPPORT_TEST_UTIL_H_
#define DUSK_TESTS_SUPPORT_TEST_UTIL_H_

// Shared helpers of the unit tests: the sandbox guard, files, running the
// built program, and catching log lines. The program's directories for a
// test are in support/test_layout.h.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "util/unique_fd.h"

namespace dusk::test {

/// True inside tests/sandbox as root: the test has mount and network
/// namespaces of its own, in which it may mount and make interfaces.
bool InSandbox();

/// Skips the test unless it runs inside tests/sandbox; |why| names what it
/// does there that needs the private namespaces.
#define DUSK_REQUIRE_SANDBOX(why)                                            \
  do {                                                                       \
    if (!::dusk::test::InSandbox())                                          \
      GTEST_SKIP() << "needs tests/sandbox (root) for " << (why);            \
  } while (0)

/// A fresh directory under $TMPDIR (/tmp when unset), removed with its
/// content at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// Points the configuration module at a fresh directory of its own while it
/// lives, so a test that needs only a dusk.conf runs anywhere, without root.
class ConfigDir {
 public:
  ConfigDir();
  ~ConfigDir();
  ConfigDir(const ConfigDir&) = delete;
  ConfigDir& operator=(const ConfigDir&) = delete;
  /// The directory, and the paths of dusk.conf and dusk.conf.prev in it.
  const std::string& path() const { return dir_.path(); }
  std::string conf() const { return dir_ / "dusk.conf"; }
  std::string prev() const { return dir_ / "dusk.conf.prev"; }

 private:
  TempDir dir_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
/// Removes a file or a whole tree; missing is fine.
void RemoveTree(const std::string& path);

/// What a finished program left behind.
struct ProgramResult {
  int status = -1;   ///< exit status, or 128 + signal
  std::string out;   ///< standard output
  std::string err;   ///< standard error
};

/// Runs |argv| (argv[0] is a path) and waits for it.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::string& cwd = "");

/// Reads from |fd| until the peer closes it; what arrived.
std::string ReadUntilClosed(int fd);

/// A TCP socket bound to a free port of 127.0.0.1, listening with |backlog|
/// (bound only, which refuses every connection, when |backlog| is
/// negative). |port| receives the port; invalid on failure.
UniqueFd ListenOnLoopback(int backlog, int* port);

/// A TCP port on which nothing listened at the moment of the call, on any
/// address, for a listener the code under test opens by number; 0 when
/// none could be had.
int FreePort();

/// A TCP connection to 127.0.0.1:|port|; a non-blocking socket whose
/// connect may still be under way when |nonblocking|. Invalid when a
/// blocking connect fails.
UniqueFd ConnectToLoopback(int port, bool nonblocking = false);

/// Path of the built dusk program.
std::string DuskBinary();

/// Sets the log level while it lives, then puts the previous one back.
class ScopedLogLevel {
 public:
  explicit ScopedLogLevel(int level);
  ~ScopedLogLevel();
  ScopedLogLevel(const ScopedLogLevel&) = delete;
  ScopedLogLevel& operator=(const ScopedLogLevel&) = delete;

 private:
  int saved_;
};

/// Collects the log lines that pass the level filter while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  /// (level, message) pairs in order.
  const std::vector<std::pair<int, std::string>>& lines() const { return lines_; }
  /// Messages only.
  std::vector<std::string> messages() const;
  /// True when some message equals |text|.
  bool Has(const std::string& text) const;
  /// True when some message of |level| equals |text|.
  bool Has(int level, const std::string& text) const;
  void Clear() { lines_.clear(); }

 private:
  std::vector<std::pair<int, std::string>> lines_;
};

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_TEST_UTIL_H_
