#ifndef DUSK_DEVICE_AGENT_LOCATION_H_
#define DUSK_DEVICE_AGENT_LOCATION_H_

// Where the KESTA Agent lives once installed: the layout's agent directory.
// The agent counts as installed there when its notify daemon's executable
// is there.

#include <string>

#include "util/layout.h"

namespace dusk {

/// The file whose presence marks an installed agent.
inline constexpr char kAgentMarkerProgram[] = "zelexecd";

/// True, with |directory| (may be null) set to |layout|.agentDir, when that
/// directory holds kAgentMarkerProgram; false and "" otherwise.
bool FindAgentLocation(const Layout& layout, std::string* directory);

}  // namespace dusk

#endif  // DUSK_DEVICE_AGENT_LOCATION_H_
