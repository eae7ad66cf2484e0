#include "support/short_timings.h"

namespace dusk::test {

using std::chrono::milliseconds;
using std::chrono::seconds;

Timings ShortTimings() {
  // Short: the waits the scripts sit through. Every other wait keeps the
  // program's own figure, since a script meets it only when something is
  // wrong, and a shorter one would only fail a slow but healthy step.
  Timings timings;
  // The starting command still ends first, and the passes keep the
  // service's timers (whole seconds) to their own pace.
  timings.service_start_delay = milliseconds(200);
  timings.service_pass_pause = milliseconds(500);
  // Ample for any answer of kesta-peer on a loaded machine, so a server
  // that stalls is given up on within seconds.
  timings.http_connect = seconds(3);
  timings.http_idle = seconds(3);
  timings.http_head = seconds(6);
  timings.http_body_grace = seconds(3);
  timings.server_exchange = seconds(5);
  // The post-install command that outlives its time-out, and the look at
  // it that ends the wait.
  timings.post_install_command = seconds(3);
  timings.command_poll = milliseconds(250);
  return timings;
}

ScopedTimings::ScopedTimings(const Timings& timings) : saved_(CurrentTimings()) {
  SetTimings(timings);
}

ScopedTimings::~ScopedTimings() { SetTimings(saved_); }

}  // namespace dusk::test
