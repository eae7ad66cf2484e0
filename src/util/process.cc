#include "util/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>

#include "util/report.h"
#include "util/files.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

/// The pid a /proc entry stands for; 0 for any other entry.
int PidOfEntry(const char* entry_name) {
  long pid = 0;
  if (*entry_name == '\0') return 0;
  for (const char* c = entry_name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 0;
    pid = pid * 10 + (*c - '0');
    if (pid > INT_MAX) return 0;
  }
  return static_cast<int>(pid);
}

/// argv[0] of the process whose cmdline file is |path|; "" when it cannot
/// be read or is empty.
std::string ReadCommandName(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::string();
  errno = 0;
  std::string text = ReadUpTo(fd.get(), kCommandLineReadMax);
  if (errno != 0) return std::string();
  return text.substr(0, text.find('\0'));
}

}  // namespace

bool CommandNameMatches(std::string_view command_name, std::string_view name) {
  if (!name.empty() && name.front() == '/') return command_name == name;
  size_t slash = command_name.rfind('/');
  std::string_view base =
      slash == std::string_view::npos ? command_name : command_name.substr(slash + 1);
  return base == name;
}

int FindProcessIn(const std::string& proc_root, std::string_view name, int own_pid) {
  if (name.empty()) return 0;
  std::unique_ptr<DIR, DirCloser> dir(opendir(proc_root.c_str()));
  if (!dir) {
    Report(kLogWarn, "Failed to open %s", proc_root.c_str());
    return 0;
  }
  while (const struct dirent* entry = readdir(dir.get())) {
    int pid = PidOfEntry(entry->d_name);
    if (pid == 0 || pid == own_pid) continue;
    // Kernel threads and processes that ended since the listing have no
    // command line; they are skipped like any other unreadable entry.
    std::string command = ReadCommandName(proc_root + "/" + entry->d_name + "/cmdline");
    if (!command.empty() && CommandNameMatches(command, name)) return pid;
  }
  return 0;
}

int FindProcessByName(const std::string& proc_root, std::string_view name) {
  return FindProcessIn(proc_root, name, static_cast<int>(getpid()));
}

}  // namespace dusk
