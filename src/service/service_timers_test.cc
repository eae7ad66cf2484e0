#include "service/service_timers.h"

#include <time.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "service/clock.h"

namespace dusk {
namespace {

constexpr time_t kNow = 1700000000;

TEST(ServiceTimersTest, RegistrationAndScanDecisions) {
  struct Case {
    const char* name;
    bool first_pass;
    int interval;
    time_t last;  // registrationTime and servicescanTime
    bool due;
  };
  const std::vector<Case> cases = {
      {"first pass, whatever the times", true, 86400, kNow, true},
      {"exactly one interval later is not yet due", false, 86400, kNow - 86400, false},
      {"a second more is due", false, 86400, kNow - 86401, true},
      {"huge interval does not overflow", false, INT_MAX, kNow, false},
      {"negative interval is due on every pass", false, -5, kNow, true},
      {"zero interval is due on the next second", false, 0, kNow - 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TimerSettings timers;
    timers.registrationInterval = c.interval;
    timers.servicescanInterval = c.interval;
    RegistrationState registration;
    registration.registrationTime = c.last;
    registration.servicescanTime = c.last;
    EXPECT_EQ(RegistrationDue(timers, registration, c.first_pass, kNow), c.due);
    EXPECT_EQ(ServiceScanDue(timers, registration, c.first_pass, kNow), c.due);
  }
}

TEST(ServiceTimersTest, RegistrationRetryWaitsForItsInterval) {
  struct Case {
    const char* name;
    bool retry;
    time_t attempt;
    bool allowed;
  };
  const std::vector<Case> cases = {
      {"no retry pending", false, kNow, true},
      {"within the retry interval", true, kNow - 120, false},
      {"past the retry interval", true, kNow - 121, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TimerSettings timers;
    timers.registrationRetryInterval = 120;
    RegistrationState registration;
    registration.registrationRetry = c.retry;
    registration.registrationAttemptTime = c.attempt;
    EXPECT_EQ(RegistrationAttemptAllowed(timers, registration, kNow), c.allowed);
  }
}

// The service counts seconds from boot: work never done (time 0) is due at
// once, even when the device booted less than an interval ago.
TEST(ServiceTimersTest, NeverDoneIsDueRightAfterBoot) {
  constexpr time_t kSoonAfterBoot = 40;
  TimerSettings timers;
  timers.registrationInterval = 86400;
  timers.servicescanInterval = 1800;
  RegistrationState registration;
  EXPECT_TRUE(RegistrationDue(timers, registration, false, kSoonAfterBoot));
  EXPECT_TRUE(ServiceScanDue(timers, registration, false, kSoonAfterBoot));
  registration.servicescanTime = kSoonAfterBoot - 5;
  EXPECT_FALSE(ServiceScanDue(timers, registration, false, kSoonAfterBoot));
}

// Intervals are measured on the boot clock, which a new date does not move.
TEST(ServiceTimersTest, ServiceClockIsTheBootClock) {
  struct timespec boot = {};
  ASSERT_EQ(clock_gettime(CLOCK_BOOTTIME, &boot), 0);
  BootClock clock;
  const time_t now = clock.Now();
  EXPECT_GE(now, 1);
  EXPECT_LE(now - boot.tv_sec, 2);
  EXPECT_GE(now - boot.tv_sec, 0);
  EXPECT_GT(std::llabs(static_cast<long long>(time(nullptr) - now)), 365LL * 86400)
      << "the service clock follows the date";
}

}  // namespace
}  // namespace dusk
