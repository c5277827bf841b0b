#include "model/ReusedTextBuffer.h"

#include <mutex>
#include <utility>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTO_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELTO_ADDRESS_SANITIZER 1
#endif
#if defined(VELTO_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif

namespace velto {

namespace {

/// A kept buffer belongs to no text. Under the address sanitizer it is marked so while kept: a read through a
/// view that outlived its text is then reported as it was when the buffer was freed, instead of finding the
/// next text's bytes there.
void markBelongingToNoText(const FileTextBuffer &buffer, bool belongsToNone) {
#if defined(VELTO_ADDRESS_SANITIZER)
    if (buffer.data() == nullptr) {
        return;
    }
    if (belongsToNone) {
        ASAN_POISON_MEMORY_REGION(buffer.data(), buffer.capacity());
    } else {
        ASAN_UNPOISON_MEMORY_REGION(buffer.data(), buffer.capacity());
    }
#else
    (void)buffer;
    (void)belongsToNone;
#endif
}

/// The one kept buffer. Baselines are let go on the save's thread and on the main thread alike.
class KeptBuffer {
public:
    static KeptBuffer &shared() {
        // Never destroyed: a text held by a static object may be let go after static destruction began.
        static auto *kept = new KeptBuffer();
        return *kept;
    }

    void keep(FileTextBuffer text) {
        text.clear();
        markBelongingToNoText(text, true);
        FileTextBuffer replaced;
        {
            std::lock_guard lock{mutex_};
            replaced = std::exchange(buffer_, std::move(text));
        }
        markBelongingToNoText(replaced, false); // and freed
    }

    FileTextBuffer take() {
        FileTextBuffer taken;
        {
            std::lock_guard lock{mutex_};
            taken = std::exchange(buffer_, FileTextBuffer());
        }
        markBelongingToNoText(taken, false);
        return taken;
    }

private:
    std::mutex mutex_;
    FileTextBuffer buffer_;
};

/// Whether a buffer of `capacity` bytes suits a text of `bytes`: it holds it, and a holder that trims texts with
/// more than a quarter to spare (SharedText does) would not copy it into a smaller one.
bool suits(std::size_t capacity, std::size_t bytes) {
    return capacity >= bytes && capacity <= bytes + bytes / 4;
}

} // namespace

FileTextBuffer emptyTextWithRoomFor(std::size_t bytes) {
    if (bytes >= reusedTextBufferMinimum) {
        FileTextBuffer kept = KeptBuffer::shared().take();
        if (suits(kept.capacity(), bytes)) {
            kept.clear(); // kept empty already; cleared again so that no byte of an earlier text can ever be read
            return kept;
        }
        // A buffer that does not suit is freed here, before the new one is made.
    }
    return FileTextBuffer(bytes < reusedTextBufferMinimum ? bytes : bytes + bytes / 64);
}

std::shared_ptr<const FileTextBuffer> sharedTextReusingBuffer(FileTextBuffer text) {
    if (text.capacity() < reusedTextBufferMinimum) {
        return std::make_shared<const FileTextBuffer>(std::move(text));
    }
    return std::shared_ptr<const FileTextBuffer>(new FileTextBuffer(std::move(text)), [](FileTextBuffer *released) {
        KeptBuffer::shared().keep(std::move(*released));
        delete released;
    });
}

} // namespace velto
