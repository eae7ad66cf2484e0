#ifndef DUSK_TESTS_SUPPORT_SHORT_TIMINGS_H_
#define DUSK_TESTS_SUPPORT_SHORT_TIMINGS_H_

// The program's waits made short for tests: in-process for the unit tests
// (ScopedTimings), and for the black-box scripts in dusk-short-waits, the
// same program with ShortTimings() in force (short_waits_main.cc).

#include "util/timings.h"

namespace dusk::test {

/// The waits of dusk-short-waits: every wait a script sits through is a
/// few seconds at most; the figures the scripts check against are here.
Timings ShortTimings();

/// Puts |timings| in force while it lives, then the previous ones back.
class ScopedTimings {
 public:
  explicit ScopedTimings(const Timings& timings);
  ~ScopedTimings();
  ScopedTimings(const ScopedTimings&) = delete;
  ScopedTimings& operator=(const ScopedTimings&) = delete;

 private:
  Timings saved_;
};

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_SHORT_TIMINGS_H_
