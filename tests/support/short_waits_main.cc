// dusk-short-waits: the program with the waits of ShortTimings(), for the
// black-box scripts whose point is not how long a production wait lasts.
// Built beside dusk, never packaged.

#include "app/dusk_main.h"
#include "support/short_timings.h"
#include "util/layout.h"

int main(int argc, char** argv) {
  dusk::SetTimings(dusk::test::ShortTimings());
  return dusk::DuskMain(argc, argv, dusk::DeviceLayout());
}
