#ifndef DUSK_SERVICE_CLOCK_H_
#define DUSK_SERVICE_CLOCK_H_

#include <ctime>

namespace dusk {

/// Where the service loop takes the current time from. Every timer of the
/// loop is decided against one reading per pass, so a test can drive days of
/// schedule by setting this clock instead of waiting.
class Clock {
 public:
  virtual ~Clock() = default;
  /// Whole seconds since the epoch.
  virtual time_t Now() = 0;
};

/// The clock of the running service: time().
class SystemClock final : public Clock {
 public:
  time_t Now() override { return time(nullptr); }
};

}  // namespace dusk

#endif  // DUSK_SERVICE_CLOCK_H_
