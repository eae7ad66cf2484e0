#include "device/agent_location.h"

#include "util/files.h"

namespace dusk {

bool FindAgentLocation(const Layout& layout, std::string* directory) {
  if (directory) directory->clear();
  if (layout.agentDir.empty() ||
      !FileExists(layout.agentDir + "/" + kAgentMarkerProgram))
    return false;
  if (directory) *directory = layout.agentDir;
  return true;
}

}  // namespace dusk
