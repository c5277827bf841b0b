#pragma once

#include <cstddef>
#include <string_view>

namespace velto {

// A big page's file is written at every save and read back at the next: through the page cache, each save takes a
// page-sized allocation of cache pages, which the system has often handed back to the host since, and copying into
// and out of them costs more than the disk's work. Past the cache (O_DIRECT) the device copies the bytes itself.
// Direct transfers need whole blocks, so only the leading whole blocks go that way; the caller moves the rest
// through the cache as usual, and where the file system or the device refuses, all of it.

/// Texts of at least this many bytes (a big page) go past the page cache.
inline constexpr std::size_t uncachedAccessMinimumBytes = 1024 * 1024;

/// How far a write past the page cache got: the bytes written from the start, and the error that stopped it
/// (0: none).
struct UncachedWrite {
    std::size_t written = 0;
    int error = 0;
};

/// Writes the leading whole blocks of `bytes` to `fd`, a new empty file open for writing, straight to the device,
/// and leaves the descriptor writing through the page cache again. Bytes whose first one starts a block go from
/// where they lie; others are copied a piece at a time into an aligned buffer first. Texts under
/// uncachedAccessMinimumBytes are left to the caller whole. The caller still syncs the file.
UncachedWrite writeWholeBlocksUncached(int fd, std::string_view bytes);

/// How far a comparison past the page cache got: the bytes found equal from the start, whether a difference (or
/// an early end of the file) was found, and the error that stopped it (0: none).
struct UncachedComparison {
    std::size_t compared = 0;
    bool differs = false;
    int error = 0;
};

/// Compares the leading whole blocks of `expected` with the file `fd` is reading from its start, read straight
/// from the device, and leaves the descriptor reading through the page cache again, just past the bytes compared.
/// What the file held in the page cache and not yet on the disk is written out first by the system, so the bytes
/// compared are the file's, as any reader sees them. Texts under uncachedAccessMinimumBytes are left to the caller.
UncachedComparison compareWholeBlocksUncached(int fd, std::string_view expected);

} // namespace velto
