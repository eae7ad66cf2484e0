#include "device/agent_location.h"

#include "util/files.h"

namespace dusk {

bool FindAgentLocation(std::string* directory) {
  if (directory) directory->clear();
  for (std::string_view location : agentLocationPaths) {
    if (location.empty()) break;
    std::string candidate(location);
    if (!FileExists(candidate + "/" + kAgentMarkerProgram)) continue;
    if (directory) *directory = std::move(candidate);
    return true;
  }
  return false;
}

}  // namespace dusk
