#ifndef DUSK_SERVICE_SERVICE_TIMERS_H_
#define DUSK_SERVICE_SERVICE_TIMERS_H_

// The timer settings of the service and the decisions taken on them. Every
// decision is a plain function of the settings, the timer state and the
// current time, compared strictly and in 64 bits, so that a huge or negative
// setting read from the file can neither overflow nor stop the loop: a
// negative interval only makes its work due on every pass. The decisions
// expect loaded settings; one not loaded counts as 0.

#include <array>
#include <ctime>
#include <optional>
#include <string_view>

#include "config/config_defaults.h"
#include "service/service_state.h"

namespace dusk {

/// One timer setting: its field, its [Config] key, its default and the
/// words that open its log lines.
struct TimerSettingInfo {
  std::optional<int> TimerSettings::*field;
  std::string_view key;
  int defaultValue;
  const char* label;
};

/// Default of a [Config] integer key; -1 for a key without one.
constexpr int TimerDefault(std::string_view key) {
  for (const ConfigIntDefault& entry : kConfigIntDefaults)
    if (entry.key == key) return entry.value;
  return -1;
}

/// The settings in the order they are read and logged.
inline constexpr std::array<TimerSettingInfo, 7> kTimerSettings = {{
    {&TimerSettings::registrationInterval, "registrationinterval",
     TimerDefault("registrationinterval"), "Registration Interval"},
    {&TimerSettings::registrationRetryInterval, "registrationretryinterval",
     TimerDefault("registrationretryinterval"), "Registration Retry Interval"},
    {&TimerSettings::servicescanInterval, "servicescaninterval",
     TimerDefault("servicescaninterval"), "Service Scan Interval"},
    {&TimerSettings::probeRetryInterval, "proberetryinterval",
     TimerDefault("proberetryinterval"), "Probe Retry Interval"},
    {&TimerSettings::probeTimeLimit, "probetimelimit", TimerDefault("probetimelimit"),
     "Probe Time Limit"},
    {&TimerSettings::probeAttemptInterval, "probeattemptinterval",
     TimerDefault("probeattemptinterval"), "Probe Attempt Interval"},
    {&TimerSettings::probeAttemptLimit, "probeattemptlimit",
     TimerDefault("probeattemptlimit"), "Probe Attempt Limit"},
}};

/// [Config] key that remembers a successful probe across service starts.
inline constexpr char kServerProbedKey[] = "serverprobed";

/// Reads every unset setting from [Config], logging "%s set to %d seconds
/// (from Config)", or takes its default with "... (Default)" when the key is
/// missing (after the Warn line of the configuration reader).
void LoadTimerSettings(TimerSettings* timers);

/// True when probing has gone on longer than probeTimeLimit (a limit of 0
/// or less means no limit). |probe|'s initialProbeAttemptTime must be set.
bool ProbeTimeLimitExpired(const TimerSettings& timers, const ProbeState& probe,
                           time_t now);

/// True when the next probe is due: within a burst more than
/// probeAttemptInterval after the last probe, else more than
/// probeRetryInterval after it.
bool ProbeDue(const TimerSettings& timers, const ProbeState& probe, time_t now);

/// Counts a failed probe; the burst ends when probeAttemptLimit failures in
/// a row are reached.
void CountFailedProbe(const TimerSettings& timers, ProbeState* probe);

/// True when a registration exchange is due: on the first pass, or more
/// than registrationInterval after the last one.
bool RegistrationDue(const TimerSettings& timers, const RegistrationState& registration,
                     bool first_pass, time_t now);

/// True unless a pending retry is still within registrationRetryInterval of
/// the failed attempt.
bool RegistrationAttemptAllowed(const TimerSettings& timers,
                                const RegistrationState& registration, time_t now);

/// True when the service scan is due: on the first pass, or more than
/// servicescanInterval after the last scan.
bool ServiceScanDue(const TimerSettings& timers, const RegistrationState& registration,
                    bool first_pass, time_t now);

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_TIMERS_H_
