#ifndef DUSK_DEVICE_AGENT_LOCATION_H_
#define DUSK_DEVICE_AGENT_LOCATION_H_

// Where the KESTA Agent lives once installed. The agent counts as installed
// in a directory when its notify daemon's executable is there.

#include <array>
#include <string>
#include <string_view>

namespace dusk {

/// Directories where the agent is looked for, in order.
inline constexpr std::array<std::string_view, 1> agentLocationPaths = {"/opt/kesta/agent"};

/// The file whose presence marks an installed agent.
inline constexpr char kAgentMarkerProgram[] = "zelexecd";

/// True, with |directory| (may be null) set, when some directory of
/// agentLocationPaths holds kAgentMarkerProgram; false and "" otherwise.
bool FindAgentLocation(std::string* directory);

}  // namespace dusk

#endif  // DUSK_DEVICE_AGENT_LOCATION_H_
