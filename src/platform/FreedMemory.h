#pragma once

#include <cstddef>

namespace velto {

/// Gives the pages of freed memory back to the system. The C library keeps what is freed for later
/// allocations, so the copies that one piece of work makes of a big page (a save, the launch) would stay
/// resident long after they are gone. Call after such work; it costs a walk over the free lists.
void giveFreedMemoryBack();

/// Blocks of at least this many bytes (a big page's text) each get memory of their own from the system.
inline constexpr std::size_t bigBlockBytes = 1024 * 1024;

/// Makes every block of bigBlockBytes or more go back to the system the moment it is freed, whichever thread
/// made it. By default the C library raises that bound to the largest block freed so far, so a big page's
/// texts then come from the heaps of the threads that made them; a text a save made on a pool thread and
/// freed at the next save stays resident at the end of that thread's heap, which giveFreedMemoryBack cannot
/// reach. Call once, before any thread starts.
void giveBigBlocksBackWhenFreed();

} // namespace velto
