#ifndef DUSK_UTIL_TIMINGS_H_
#define DUSK_UTIL_TIMINGS_H_

// Every wait of the program, in one value. Each module takes its waits from
// CurrentTimings() when the wait begins, so that nothing holds a copy of
// its own that could drift from the rest.
//
// The program runs with the constants below and never changes them: no
// option, no configuration key and no environment variable reaches them.
// Only code built for tests calls SetTimings, to run the same program with
// waits short enough to be sat through.
//
// It lives at the bottom because the waits are in every layer.

#include <chrono>
#include <cstdint>

namespace dusk {

/// Pause of a newly started service before its first pass, so that the
/// command that started it has ended first.
inline constexpr std::chrono::milliseconds kServiceStartDelay = std::chrono::seconds(2);
/// Pause between the end of one pass of the service and the next.
inline constexpr std::chrono::milliseconds kServicePassPause = std::chrono::seconds(5);

/// HTTP: the longest connect, and the longest wait without progress of any
/// write or read.
inline constexpr std::chrono::milliseconds kHttpConnectTimeout = std::chrono::seconds(60);
inline constexpr std::chrono::milliseconds kHttpIdleTimeout = std::chrono::seconds(60);
/// HTTP: the whole head of a request, from its first byte written to the
/// end of the server's headers.
inline constexpr std::chrono::milliseconds kHttpHeadLimit = std::chrono::seconds(120);
/// HTTP: the time a body gets on top of one second per kHttpBodyMinRate
/// bytes received.
inline constexpr std::chrono::milliseconds kHttpBodyGrace = std::chrono::seconds(60);
/// Bytes per second a body must average to never hit its deadline.
inline constexpr uint64_t kHttpBodyMinRate = 1024;

/// Longest media download, the list and all its files together: a server
/// that keeps every transfer just alive must not hold the install (and so
/// the service) for as long as it likes.
inline constexpr std::chrono::milliseconds kMediaDownloadLimit = std::chrono::minutes(30);

/// Longest exchange with the server, from the connect to the last byte read.
inline constexpr std::chrono::milliseconds kServerExchangeLimit = std::chrono::seconds(60);

/// Longest wait for one parameter of a remote-execution request, and for
/// the connection to the server's error port.
inline constexpr std::chrono::milliseconds kRexecParameterWait = std::chrono::seconds(5);
inline constexpr std::chrono::milliseconds kRexecErrorConnectTimeout = std::chrono::seconds(5);

/// Longest wait for room while writing to a remote-execution peer.
inline constexpr std::chrono::milliseconds kSocketWriteIdleTimeout = std::chrono::seconds(30);

/// How long an agent command may run before it is abandoned (it goes on
/// running), and how often a running command is looked at.
inline constexpr std::chrono::milliseconds kInstallCommandTimeout = std::chrono::seconds(120);
inline constexpr std::chrono::milliseconds kPostInstallTimeout = std::chrono::seconds(30);
inline constexpr std::chrono::milliseconds kInitialConnectTimeout = std::chrono::seconds(120);
inline constexpr std::chrono::milliseconds kUninstallTimeout = std::chrono::seconds(120);
inline constexpr std::chrono::milliseconds kCommandPollInterval = std::chrono::seconds(1);

/// Longest wait for the lock that keeps two writers of dusk.conf apart.
inline constexpr std::chrono::milliseconds kConfigLockWait = std::chrono::seconds(5);

/// The waits of the program; a default value holds the constants above.
struct Timings {
  std::chrono::milliseconds service_start_delay = kServiceStartDelay;
  std::chrono::milliseconds service_pass_pause = kServicePassPause;
  std::chrono::milliseconds http_connect = kHttpConnectTimeout;
  std::chrono::milliseconds http_idle = kHttpIdleTimeout;
  std::chrono::milliseconds http_head = kHttpHeadLimit;
  std::chrono::milliseconds http_body_grace = kHttpBodyGrace;
  uint64_t http_body_min_rate = kHttpBodyMinRate;  ///< bytes per second, above 0
  std::chrono::milliseconds media_download = kMediaDownloadLimit;
  std::chrono::milliseconds server_exchange = kServerExchangeLimit;
  std::chrono::milliseconds rexec_parameter_wait = kRexecParameterWait;
  std::chrono::milliseconds rexec_error_connect = kRexecErrorConnectTimeout;
  std::chrono::milliseconds socket_write_idle = kSocketWriteIdleTimeout;
  std::chrono::milliseconds install_command = kInstallCommandTimeout;
  std::chrono::milliseconds post_install_command = kPostInstallTimeout;
  std::chrono::milliseconds initial_connect_command = kInitialConnectTimeout;
  std::chrono::milliseconds uninstall_command = kUninstallTimeout;
  std::chrono::milliseconds command_poll = kCommandPollInterval;
  std::chrono::milliseconds config_lock_wait = kConfigLockWait;

  bool operator==(const Timings&) const = default;
};

/// The waits in force: Timings() unless SetTimings changed them.
const Timings& CurrentTimings();

/// Puts |timings| in force for every wait that begins from now on. Not for
/// the program itself; call it while no other thread waits.
void SetTimings(const Timings& timings);

}  // namespace dusk

#endif  // DUSK_UTIL_TIMINGS_H_
