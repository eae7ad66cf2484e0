#include "support/test_util.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/config_file.h"
#include "log/log.h"
#include "rexec/rexec_listener.h"
#include "util/stop_request.h"

namespace dusk::test {

namespace {

/// Puts the process-wide state back before every test, so that no test
/// sees what an earlier one left behind: the log's level, file and
/// observer, the configuration directory (none: a test that needs one sets
/// it up), a stop request and the listener of remote requests.
class ProcessStateReset final : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    LogReset();
    SetConfigDirectory("");
    ClearStopRequest();
    ReleaseAgentPort();
  }
};

const bool kResetRegistered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ProcessStateReset);
  return true;
}();

/// Where temporary files go: $TMPDIR, else /tmp.
std::string TempBase() {
  const char* dir = getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

}  // namespace

bool InSandbox() {
  const char* flag = getenv("DUSK_SANDBOX");
  return flag && strcmp(flag, "1") == 0 && geteuid() == 0;
}

TempDir::TempDir() {
  std::string pattern = TempBase() + "/dusk-test.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() { RemoveTree(path_); }

UniqueFd ListenOnLoopback(int backlog, int* port) {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (!fd || bind(fd.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      (backlog >= 0 && listen(fd.get(), backlog) != 0) ||
      getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return UniqueFd();
  *port = ntohs(address.sin_port);
  return fd;
}

int FreePort() {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t size = sizeof address;
  if (!fd || bind(fd.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return 0;
  return ntohs(address.sin_port);
}

UniqueFd ConnectToLoopback(int port, bool nonblocking) {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0), 0));
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      !nonblocking)
    return UniqueFd();
  return fd;
}

ConfigDir::ConfigDir() { SetConfigDirectory(dir_.path()); }

ConfigDir::~ConfigDir() { SetConfigDirectory(""); }

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd) {
  ProgramResult result;
  std::string out_name = TempBase() + "/dusk-out.XXXXXX";
  std::string err_name = TempBase() + "/dusk-err.XXXXXX";
  int out_fd = mkstemp(out_name.data());
  int err_fd = mkstemp(err_name.data());
  unlink(out_name.c_str());
  unlink(err_name.c_str());
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  lseek(out_fd, 0, SEEK_SET);
  lseek(err_fd, 0, SEEK_SET);
  result.out = ReadUntilClosed(out_fd);
  result.err = ReadUntilClosed(err_fd);
  close(out_fd);
  close(err_fd);
  return result;
}

std::string ReadUntilClosed(int fd) {
  std::string out;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, got);
  return out;
}

std::string DuskBinary() {
  const char* path = getenv("DUSK_BINARY");
  return path ? path : "";
}

ScopedLogLevel::ScopedLogLevel(int level) : saved_(LogCurrentLevel()) { LogLevel(level); }

ScopedLogLevel::~ScopedLogLevel() { LogLevel(saved_); }

LogCapture::LogCapture() {
  LogSetObserver([this](int level, std::string_view message) {
    lines_.emplace_back(level, std::string(message));
  });
}

LogCapture::~LogCapture() { LogSetObserver(nullptr); }

std::vector<std::string> LogCapture::messages() const {
  std::vector<std::string> out;
  for (const auto& line : lines_) out.push_back(line.second);
  return out;
}

bool LogCapture::Has(const std::string& text) const {
  for (const auto& line : lines_)
    if (line.second == text) return true;
  return false;
}

bool LogCapture::Has(int level, const std::string& text) const {
  for (const auto& line : lines_)
    if (line.first == level && line.second == text) return true;
  return false;
}

}  // namespace dusk::test
