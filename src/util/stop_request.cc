#include "util/stop_request.h"

#include <atomic>

namespace dusk {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free,
              "a signal handler may only touch a lock-free atomic");

std::atomic<bool> stopRequested{false};

}  // namespace

void RequestStop() { stopRequested.store(true); }

bool StopRequested() { return stopRequested.load(); }

void ClearStopRequest() { stopRequested.store(false); }

}  // namespace dusk
