#include "platform/FreedMemory.h"

#include <malloc.h>

namespace velto {

void giveFreedMemoryBack() {
    malloc_trim(0);
}

} // namespace velto
