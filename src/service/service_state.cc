#include "service/service_state.h"

namespace dusk {

void ResetServiceIntervals(ServiceState* state) {
  state->timers.registrationInterval.reset();
  state->timers.registrationRetryInterval.reset();
  state->timers.servicescanInterval.reset();
}

void ResetProbeState(ServiceState* state) {
  state->timers.probeRetryInterval.reset();
  state->timers.probeTimeLimit.reset();
  state->timers.probeAttemptInterval.reset();
  state->timers.probeAttemptLimit.reset();
  state->probe = ProbeState();
}

}  // namespace dusk
