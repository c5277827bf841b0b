#pragma once

namespace velto {

/// Gives the pages of freed memory back to the system. The C library keeps what is freed for later
/// allocations, so the copies that one piece of work makes of a big page (a save, the launch) would stay
/// resident long after they are gone. Call after such work; it costs a walk over the free lists.
void giveFreedMemoryBack();

} // namespace velto
