#include "platform/UncachedWrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace velto {
namespace {

// Direct writes need the memory, the length and the file offset aligned to the device's logical block, which is
// at most this on the disks a desktop has; a larger one refuses the first write, and the text is written as usual.
constexpr std::size_t blockBytes = 4096;
// The text is copied into an aligned buffer a piece at a time: a small buffer, not a second page-sized copy.
constexpr std::size_t pieceBytes = 256 * 1024;

struct FreeingBuffer {
    void operator()(char *buffer) const { std::free(buffer); }
};

/// Writes one aligned piece whole; a short write (a full disk) comes back as written so far.
UncachedWrite writePiece(int fd, const char *piece, std::size_t size) {
    UncachedWrite outcome;
    while (outcome.written < size) {
        ssize_t result = ::write(fd, piece + outcome.written, size - outcome.written);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            outcome.error = errno;
            return outcome;
        }
        if (result == 0 || static_cast<std::size_t>(result) % blockBytes != 0) {
            // Past an unaligned end no further direct write would be accepted: the rest goes through the cache.
            outcome.written += static_cast<std::size_t>(result);
            return outcome;
        }
        outcome.written += static_cast<std::size_t>(result);
    }
    return outcome;
}

} // namespace

UncachedWrite writeWholeBlocksUncached(int fd, std::string_view bytes) {
    const std::size_t wholeBlocks = bytes.size() / blockBytes * blockBytes;
    if (bytes.size() < uncachedWriteMinimumBytes) {
        return {};
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_DIRECT) < 0) {
        return {}; // not offered here (some network and FUSE file systems)
    }
    std::unique_ptr<char, FreeingBuffer> buffer(static_cast<char *>(std::aligned_alloc(blockBytes, pieceBytes)));
    UncachedWrite outcome;
    while (buffer != nullptr && outcome.written < wholeBlocks) {
        const std::size_t size = std::min(pieceBytes, wholeBlocks - outcome.written);
        std::memcpy(buffer.get(), bytes.data() + outcome.written, size);
        UncachedWrite piece = writePiece(fd, buffer.get(), size);
        outcome.written += piece.written;
        // EINVAL: the device's blocks are larger, or the file system takes no direct writes after all.
        if (piece.error != EINVAL) {
            outcome.error = piece.error;
        }
        if (piece.error != 0 || piece.written < size) {
            break;
        }
    }
    if (::fcntl(fd, F_SETFL, flags) < 0 && outcome.error == 0) {
        outcome.error = errno;
    }
    return outcome;
}

} // namespace velto
