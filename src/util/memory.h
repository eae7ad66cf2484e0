#ifndef DUSK_UTIL_MEMORY_H_
#define DUSK_UTIL_MEMORY_H_

// The service idles for months between short bursts of work (a registration,
// a download of many megabytes), so what a burst allocated must not stay
// resident afterwards.

#include <cstddef>

namespace dusk {

/// Blocks of this size and up get pages of their own that go back to the
/// system when freed, instead of growing the heap for good.
inline constexpr size_t kOwnPagesFrom = 64 * 1024;

/// Makes every later allocation of kOwnPagesFrom bytes or more use pages of
/// its own. Process-wide; call once before the work starts.
void KeepLargeBlocksOutOfHeap();

/// Gives the free pages of the heap back to the system.
void ReturnFreeMemory();

}  // namespace dusk

#endif  // DUSK_UTIL_MEMORY_H_
