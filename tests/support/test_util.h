#ifndef DUSK_TESTS_SUPPORT_TEST_UTIL_H_
#define DUSK_TESTS_SUPPORT_TEST_UTIL_H_

// Shared helpers of the unit tests: the sandbox guard, files, running the
// built program, and catching log lines.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "util/unique_fd.h"

namespace dusk::test {

/// True inside tests/sandbox, where /etc/kesta, /opt/kesta and /tmp/kesta
/// are private mounts.
bool InSandbox();

/// Skips the test unless the program's fixed directories are private.
#define DUSK_REQUIRE_SANDBOX()                                               \
  do {                                                                       \
    if (!::dusk::test::InSandbox())                                          \
      GTEST_SKIP() << "needs the private directories of tests/sandbox (root)"; \
  } while (0)

/// Empties /etc/kesta, /opt/kesta and /tmp/kesta and creates
/// /etc/kesta/dusk. Only inside the sandbox.
void ResetFixedDirs();

/// A fresh directory under /tmp, removed with its content at destruction.
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

/// A TCP connection to 127.0.0.1:|port|; a non-blocking socket whose
/// connect may still be under way when |nonblocking|. Invalid when a
/// blocking connect fails.
UniqueFd ConnectToLoopback(int port, bool nonblocking = false);

/// Points the program's installPath at the test binary's own directory
/// (where biosinfo.so is built) while it lives, then puts it back.
class ScopedInstallPath {
 public:
  ScopedInstallPath();
  ~ScopedInstallPath();
  ScopedInstallPath(const ScopedInstallPath&) = delete;
  ScopedInstallPath& operator=(const ScopedInstallPath&) = delete;

 private:
  std::string saved_;
};

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
