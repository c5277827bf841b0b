#pragma once

#include <cstddef>
#include <string_view>

namespace velto {

/// Texts of at least this many bytes (a big page) go to the disk past the page cache.
inline constexpr std::size_t uncachedWriteMinimumBytes = 1024 * 1024;

/// How far a write past the page cache got: the bytes written from the start, and the error that stopped it
/// (0: none).
struct UncachedWrite {
    std::size_t written = 0;
    int error = 0;
};

/// Writes the leading whole blocks of `bytes` to `fd`, a new empty file open for writing, straight to the device
/// (O_DIRECT), and leaves the descriptor writing through the page cache again for the rest. A big page's text
/// written through the cache takes a page-sized allocation of cache pages at every save, which the system has
/// often handed back to the host since, and copying into them costs more than the write itself. Where the file
/// system or the device refuses direct writes nothing, or less, is written and the caller writes the rest as
/// usual; texts under uncachedWriteMinimumBytes are left to the caller whole. The caller still syncs the file.
UncachedWrite writeWholeBlocksUncached(int fd, std::string_view bytes);

} // namespace velto
