#include "util/timings.h"

namespace dusk {

namespace {

Timings& Current() {
  static Timings timings;
  return timings;
}

}  // namespace

const Timings& CurrentTimings() { return Current(); }

void SetTimings(const Timings& timings) { Current() = timings; }

}  // namespace dusk
