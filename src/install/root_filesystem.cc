#include "install/root_filesystem.h"

#include <cstdlib>
#include <cstdio>

#include "log/log.h"
#include "util/files.h"

namespace dusk {

namespace {

void RunRootTool(const char* tool, const char* message) {
  if (!FileExists(tool)) return;
  LogMessage(kLogDebug, "%s", message);
  // Buffered console text would otherwise be written twice.
  fflush(nullptr);
  // The tool's outcome changes nothing: a root that stays locked makes the
  // agent command itself fail, and that is reported.
  [[maybe_unused]] int status = system(tool);
}

}  // namespace

void UnlockRootFilesystem() { RunRootTool(kRootUnlockTool, "Unlocking / Filesystem"); }

void LockRootFilesystem() { RunRootTool(kRootLockTool, "Locking / Filesystem"); }

}  // namespace dusk
