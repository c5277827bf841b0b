#include "platform/FreedMemory.h"

#include <malloc.h>

namespace velto {

void giveFreedMemoryBack() {
    malloc_trim(0);
}

void giveBigBlocksBackWhenFreed() {
    // A fixed bound stops the C library from moving it; the free end of a heap is given back beyond twice
    // the bound, the ratio the library keeps itself when it moves the bound.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(bigBlockBytes));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * bigBlockBytes));
}

} // namespace velto
