#include "util/memory.h"

#include <malloc.h>

namespace dusk {

void KeepLargeBlocksOutOfHeap() {
  // A fixed threshold also stops the allocator from raising it after the
  // first large block is freed, which would put the next ones in the heap.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kOwnPagesFrom));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kOwnPagesFrom));
}

void ReturnFreeMemory() { malloc_trim(0); }

}  // namespace dusk
