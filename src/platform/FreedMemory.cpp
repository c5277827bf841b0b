#include "platform/FreedMemory.h"

#include <malloc.h>

namespace velto {

void giveFreedMemoryBack() {
#ifndef __SANITIZE_ADDRESS__
    malloc_trim(0);
#endif
    // Under the address sanitizer the sanitizer's allocator holds every block, and the C library's heaps were
    // never set up: walking them from pool threads side by side, as a trim does, crashed the tests now and then.
}

void giveBigBlocksBackWhenFreed() {
    // A fixed bound stops the C library from moving it; the free end of a heap is given back beyond twice
    // the bound, the ratio the library keeps itself when it moves the bound.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(bigBlockBytes));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * bigBlockBytes));
}

} // namespace velto
