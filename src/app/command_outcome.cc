#include "app/command_outcome.h"

#include "app/exit_code.h"
#include "log/log.h"

namespace dusk {

int CommandFailed(const char* command, const std::string& reason) {
  LogMessage(kLogError, "%s failed: %s", command, reason.c_str());
  return kExitFailed;
}

}  // namespace dusk
