#ifndef DUSK_SERVICE_SERVICE_LOG_LEVEL_H_
#define DUSK_SERVICE_SERVICE_LOG_LEVEL_H_

// The running service follows the LogLevel key of [Application] instead
// of the -debug and -trace options it was started with. The word is read
// once and remembered; pause, resume and interrupt forget it, so the next
// running pass reads the file again.

#include <cstddef>

#include "service/service_state.h"

namespace dusk {

/// Longest LogLevel word remembered; a longer word is no level name and
/// gives Info.
inline constexpr size_t kServiceLogLevelMax = 31;

/// When no word is remembered: reads LogLevel ("info" when missing), trims
/// blanks and lower-cases it, and sets the level: "debug" Debug, "trace"
/// Trace, anything else Info.
void LoadServiceLogLevel(ServiceState* state);

/// Forgets the remembered word.
void ClearServiceLogLevel(ServiceState* state);

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_LOG_LEVEL_H_
