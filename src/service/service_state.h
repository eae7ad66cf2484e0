#ifndef DUSK_SERVICE_SERVICE_STATE_H_
#define DUSK_SERVICE_SERVICE_STATE_H_

// Everything the running service remembers between passes. One process has
// one service, so this could be a set of globals; keeping it in one value
// lets each test start from a fresh service and lets the pass be read as a
// function of this state, the clock and the server's answers.

#include <ctime>
#include <optional>
#include <string>

namespace dusk {

/// The service's life: `duskStatus`.
enum class ServiceStatus : int {
  kInitialising = 0,
  kRunning = 1,
  kPaused = 2,
  kShutDown = 3,
};

/// The seven timer settings, in seconds (the attempt limit is a count).
/// Empty means: read it from the configuration on the next running pass.
/// Every value an int can hold is a valid setting, -1 included, so "not
/// read yet" is kept apart from the values.
struct TimerSettings {
  std::optional<int> registrationInterval;
  std::optional<int> registrationRetryInterval;
  std::optional<int> servicescanInterval;
  std::optional<int> probeRetryInterval;
  std::optional<int> probeTimeLimit;
  std::optional<int> probeAttemptInterval;
  std::optional<int> probeAttemptLimit;
};

/// Where the probing of the server stands.
struct ProbeState {
  /// Not 0 once a probe has succeeded; mirrors "serverprobed" in the file.
  int serverProbed = 0;
  /// Failed probes in the current burst; back to 0 when the burst is over.
  int serverProbeAttempts = 0;
  /// Time of the first probe attempt of this service; 0 = none yet.
  time_t initialProbeAttemptTime = 0;
  /// Time of the last probe; 0 = never, so the first is due at once.
  time_t probeAttemptTime = 0;
};

/// Timing of the registration exchanges and the service scan.
struct RegistrationState {
  /// Time of the last registration exchange.
  time_t registrationTime = 0;
  /// Time of the last failed attempt to gather the device information.
  time_t registrationAttemptTime = 0;
  /// A retry after a failed attempt or exchange is pending.
  bool registrationRetry = false;
  /// Time of the last service scan; 0 makes the next running pass scan.
  time_t servicescanTime = 0;
};

/// The whole service.
struct ServiceState {
  ServiceStatus duskStatus = ServiceStatus::kInitialising;
  TimerSettings timers;
  ProbeState probe;
  RegistrationState registration;
  /// The LogLevel word last taken from the configuration (at most
  /// kServiceLogLevelMax characters); empty = read it on the next running
  /// pass.
  std::string serviceLogLevel;
  /// True only during the first pass.
  bool firstPass = true;
  /// The server address is to be taken again on the next running pass.
  bool refreshServer = true;
  /// The server this service talks to: the -host and -port options, else
  /// the configuration, else the defaults.
  std::string host;
  std::string port;
  /// Zone named by the last successful probe.
  std::string zone;
};

/// Marks the registration and service-scan intervals for reading again.
void ResetServiceIntervals(ServiceState* state);

/// Marks the probe settings for reading again and forgets every probe.
void ResetProbeState(ServiceState* state);

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_STATE_H_
