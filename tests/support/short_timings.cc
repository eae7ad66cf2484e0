#include "support/short_timings.h"

namespace dusk::test {

using std::chrono::milliseconds;
using std::chrono::seconds;

Timings ShortTimings() {
  Timings timings;
  // The starting command still ends first, and the passes keep the
  // service's timers (whole seconds) to their own pace.
  timings.service_start_delay = milliseconds(200);
  timings.service_pass_pause = milliseconds(500);
  // Long enough for any answer of kesta-peer on a loaded machine; a server
  // that stalls is given up on within seconds.
  timings.http_connect = seconds(3);
  timings.http_idle = seconds(3);
  timings.http_head = seconds(6);
  timings.http_body_grace = seconds(3);
  timings.server_exchange = seconds(5);
  timings.rexec_parameter_wait = seconds(2);
  timings.rexec_error_connect = seconds(2);
  timings.socket_write_idle = seconds(3);
  // No script waits out an install, an initial connect or an uninstall:
  // these only end a command that hangs sooner than the real ones would.
  timings.install_command = seconds(30);
  timings.initial_connect_command = seconds(30);
  timings.uninstall_command = seconds(30);
  timings.post_install_command = seconds(3);
  timings.command_poll = milliseconds(250);
  // The lock is held for milliseconds; its wait is only ever sat through
  // when something is wrong, and a short one would fail busy writers.
  timings.config_lock_wait = seconds(5);
  return timings;
}

ScopedTimings::ScopedTimings(const Timings& timings) : saved_(CurrentTimings()) {
  SetTimings(timings);
}

ScopedTimings::~ScopedTimings() { SetTimings(saved_); }

}  // namespace dusk::test
