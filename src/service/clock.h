#ifndef DUSK_SERVICE_CLOCK_H_
#define DUSK_SERVICE_CLOCK_H_

#include <time.h>

#include <ctime>

namespace dusk {

/// Where the service loop takes the current time from. Every timer of the
/// loop is decided against one reading per pass, so a test can drive days of
/// schedule by setting this clock instead of waiting.
class Clock {
 public:
  virtual ~Clock() = default;
  /// Whole seconds on a clock that only moves forward; never 0, which the
  /// timers keep for "never".
  virtual time_t Now() = 0;
};

/// The clock of the running service: seconds since boot (CLOCK_BOOTTIME),
/// suspended time included. Thin clients without a clock battery set the
/// date after they boot, and anyone may set it later: intervals measured on
/// the wall clock would then stop the service at once or never probe again.
class BootClock final : public Clock {
 public:
  time_t Now() override {
    struct timespec now = {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + 1;
  }
};

}  // namespace dusk

#endif  // DUSK_SERVICE_CLOCK_H_
