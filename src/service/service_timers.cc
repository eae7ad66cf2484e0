#include "service/service_timers.h"

#include <climits>
#include <cstdint>

#include "config/config_file.h"
#include "log/log.h"

namespace dusk {

namespace {

constexpr bool EverySettingHasADefault() {
  for (const TimerSettingInfo& setting : kTimerSettings)
    if (setting.defaultValue < 0) return false;
  return true;
}
static_assert(EverySettingHasADefault(), "a timer key is missing from kConfigIntDefaults");

/// |since| + |interval| < |now|, without overflow for any setting. A time
/// of 0 stands for "never", and anything is due after never: the clock
/// counts from boot, so 0 + an interval may well lie ahead.
bool After(time_t now, time_t since, const std::optional<int>& interval) {
  if (since == 0) return true;
  return static_cast<int64_t>(now) > static_cast<int64_t>(since) + interval.value_or(0);
}

}  // namespace

void LoadTimerSettings(TimerSettings* timers) {
  for (const TimerSettingInfo& setting : kTimerSettings) {
    std::optional<int>& slot = timers->*setting.field;
    if (slot) continue;
    int value = 0;
    if (GetConfigInt(ConfigSection::kConfig, setting.key, &value) == ConfigRead::kFound) {
      LogMessage(kLogInfo, "%s set to %d seconds (from Config)", setting.label, value);
    } else {
      value = setting.defaultValue;
      LogMessage(kLogInfo, "%s set to %d seconds (Default)", setting.label, value);
    }
    slot = value;
  }
}

bool ProbeTimeLimitExpired(const TimerSettings& timers, const ProbeState& probe,
                           time_t now) {
  return timers.probeTimeLimit.value_or(0) > 0 &&
         After(now, probe.initialProbeAttemptTime, timers.probeTimeLimit);
}

bool ProbeDue(const TimerSettings& timers, const ProbeState& probe, time_t now) {
  // The first probe of a service is due at once, whatever the settings.
  if (probe.probeAttemptTime == 0) return true;
  return After(now, probe.probeAttemptTime,
               probe.serverProbeAttempts != 0 ? timers.probeAttemptInterval
                                              : timers.probeRetryInterval);
}

void CountFailedProbe(const TimerSettings& timers, ProbeState* probe) {
  // A limit of 0 or less never ends a burst; the count stops short of
  // overflowing then.
  if (probe->serverProbeAttempts < INT_MAX) ++probe->serverProbeAttempts;
  if (probe->serverProbeAttempts == timers.probeAttemptLimit.value_or(0))
    probe->serverProbeAttempts = 0;
}

bool RegistrationDue(const TimerSettings& timers, const RegistrationState& registration,
                     bool first_pass, time_t now) {
  return first_pass ||
         After(now, registration.registrationTime, timers.registrationInterval);
}

bool RegistrationAttemptAllowed(const TimerSettings& timers,
                                const RegistrationState& registration, time_t now) {
  return !registration.registrationRetry ||
         After(now, registration.registrationAttemptTime,
               timers.registrationRetryInterval);
}

bool ServiceScanDue(const TimerSettings& timers, const RegistrationState& registration,
                    bool first_pass, time_t now) {
  return first_pass ||
         After(now, registration.servicescanTime, timers.servicescanInterval);
}

}  // namespace dusk
