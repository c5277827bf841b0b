#include "platform/UncachedFileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace velto {
namespace {

// Direct transfers need the memory, the length and the file offset aligned to the device's logical block, which is
// at most this on the disks a desktop has; a larger one refuses the first transfer, and the caller does it all.
constexpr std::size_t blockBytes = 4096;
// Each transfer is a request to the device, and on a virtual machine each request costs an exit to the host: a
// piece of a mebibyte keeps a 5 MiB page to a few of them.
constexpr std::size_t pieceBytes = 1024 * 1024;

struct FreeingBuffer {
    void operator()(char *buffer) const { std::free(buffer); }
};

/// The aligned buffer pieces pass through, one for each thread that moves big pages and kept for its next save:
/// a fresh one would be a mebibyte of new memory to fault in at every save.
char *pieceBuffer() {
    thread_local std::unique_ptr<char, FreeingBuffer> buffer(
        static_cast<char *>(std::aligned_alloc(blockBytes, pieceBytes)));
    return buffer.get();
}

/// Turns direct transfers on for the descriptor; restores its flags when it goes.
class DirectTransfers {
public:
    explicit DirectTransfers(int fd)
        : fd_(fd)
        , flags_(::fcntl(fd, F_GETFL)) {
        on_ = flags_ >= 0 && ::fcntl(fd, F_SETFL, flags_ | O_DIRECT) == 0;
    }
    DirectTransfers(const DirectTransfers &) = delete;
    DirectTransfers &operator=(const DirectTransfers &) = delete;
    ~DirectTransfers() { restore(); }

    /// Not offered here (some network and FUSE file systems).
    bool on() const { return on_; }

    /// Ends direct transfers; the error of restoring the flags, 0 when there is none.
    int restore() {
        if (!on_) {
            return 0;
        }
        on_ = false;
        return ::fcntl(fd_, F_SETFL, flags_) < 0 ? errno : 0;
    }

private:
    int fd_;
    int flags_;
    bool on_ = false;
};

/// The bytes one piece moved, and the error that stopped it (0: none).
struct Moved {
    std::size_t bytes = 0;
    int error = 0;
};

/// Moves one aligned piece whole with `transfer` (read or write); a short transfer (the end of the file, a full
/// disk) comes back as moved so far.
template <typename Transfer> Moved movePiece(Transfer transfer, std::size_t size) {
    Moved outcome;
    while (outcome.bytes < size) {
        ssize_t result = transfer(outcome.bytes, size - outcome.bytes);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            outcome.error = errno;
            return outcome;
        }
        outcome.bytes += static_cast<std::size_t>(result);
        if (result == 0 || static_cast<std::size_t>(result) % blockBytes != 0) {
            return outcome; // past an unaligned end no further direct transfer would be accepted
        }
    }
    return outcome;
}

} // namespace

UncachedWrite writeWholeBlocksUncached(int fd, std::string_view bytes) {
    if (bytes.size() < uncachedAccessMinimumBytes) {
        return {};
    }
    const std::size_t wholeBlocks = bytes.size() / blockBytes * blockBytes;
    // Bytes that start a block go to the device from where they lie; others pass through the kept buffer.
    const bool startsABlock = reinterpret_cast<std::uintptr_t>(bytes.data()) % blockBytes == 0;
    char *buffer = startsABlock ? nullptr : pieceBuffer();
    if (!startsABlock && buffer == nullptr) {
        return {};
    }
    DirectTransfers direct(fd);
    UncachedWrite outcome;
    while (direct.on() && outcome.written < wholeBlocks) {
        const std::size_t size = std::min(pieceBytes, wholeBlocks - outcome.written);
        const char *source = bytes.data() + outcome.written;
        if (!startsABlock) {
            std::memcpy(buffer, source, size);
            source = buffer;
        }
        Moved piece =
            movePiece([&](std::size_t done, std::size_t left) { return ::write(fd, source + done, left); }, size);
        outcome.written += piece.bytes;
        // EINVAL: the device's blocks are larger, or the file system takes no direct writes after all.
        if (piece.error != EINVAL) {
            outcome.error = piece.error;
        }
        if (piece.error != 0 || piece.bytes < size) {
            break;
        }
    }
    const int restoring = direct.restore();
    if (outcome.error == 0) {
        outcome.error = restoring;
    }
    return outcome;
}

UncachedComparison compareWholeBlocksUncached(int fd, std::string_view expected) {
    const std::size_t wholeBlocks = expected.size() / blockBytes * blockBytes;
    char *buffer = expected.size() >= uncachedAccessMinimumBytes ? pieceBuffer() : nullptr;
    if (buffer == nullptr) {
        return {};
    }
    DirectTransfers direct(fd);
    UncachedComparison outcome;
    while (direct.on() && outcome.compared < wholeBlocks) {
        const std::size_t size = std::min(pieceBytes, wholeBlocks - outcome.compared);
        Moved piece =
            movePiece([&](std::size_t done, std::size_t left) { return ::read(fd, buffer + done, left); }, size);
        if (std::memcmp(buffer, expected.data() + outcome.compared, piece.bytes) != 0) {
            outcome.differs = true;
            break;
        }
        outcome.compared += piece.bytes;
        // EINVAL: the file system takes no direct reads after all, and the caller reads on from here.
        if (piece.error != EINVAL) {
            outcome.error = piece.error;
        }
        if (piece.error != 0) {
            break;
        }
        if (piece.bytes < size) {
            outcome.differs = true; // the file ends before what was read did
            break;
        }
    }
    const int restoring = direct.restore();
    if (outcome.error == 0) {
        outcome.error = restoring;
    }
    return outcome;
}

} // namespace velto
