#include "service/service_pid_file.h"

#include <unistd.h>

#include "util/files.h"

namespace dusk {

namespace {

/// The file's content for |pid|.
std::string PidFileText(int pid) { return std::to_string(pid) + "\n"; }

}  // namespace

bool WriteServicePidFile(const std::string& path, int pid, int* error) {
  ReplaceOptions options;
  // Readable by all, writable by its owner only: a service manager trusts a
  // pid file that no other user can have written.
  options.mode = 0644;
  const ReplaceResult result = ReplaceFileAtomically(path, PidFileText(pid), options);
  if (error != nullptr) *error = result.error;
  return result.ok();
}

void RemoveServicePidFile(const std::string& path, int pid) {
  std::string content;
  if (!ReadWholeFile(path, &content) || content != PidFileText(pid)) return;
  unlink(path.c_str());
}

}  // namespace dusk
