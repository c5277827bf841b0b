#include "platform/FreedMemory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <thread>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTO_ALLOCATOR_REPLACED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELTO_ALLOCATOR_REPLACED 1
#endif

namespace velto {
namespace {

/// The bytes the C library has mapped for blocks of their own, which go back to the system when freed.
std::size_t bytesInOwnMappings() {
    return mallinfo2().hblkhd;
}

/// Where the last block was made: the compiler may not leave out a block whose address is seen elsewhere.
void *volatile lastBlock = nullptr;

void *touched(std::size_t bytes) {
    void *block = std::malloc(bytes);
    std::memset(block, 1, bytes);
    lastBlock = block;
    return block;
}

TEST(FreedMemory, BigBlocksMadeOnAnyThreadLeaveTheProcessWhenFreed) {
#ifdef VELTO_ALLOCATOR_REPLACED
    GTEST_SKIP() << "the sanitizers' allocator stands in for the C library's";
#endif
    giveBigBlocksBackWhenFreed();
    // Left to itself, the C library would now take blocks up to this size from a thread's heap, where they
    // stay resident once freed (as the text of the save before stayed after every save).
    std::free(touched(8 * 1024 * 1024));

    for (const std::size_t bytes : {bigBlockBytes, std::size_t{5} * 1024 * 1024, std::size_t{60'000'000}}) {
        std::size_t whileHeld = 0;
        std::size_t afterFree = 0;
        std::thread([&] {
            const std::size_t before = bytesInOwnMappings();
            void *block = touched(bytes);
            whileHeld = bytesInOwnMappings() - before;
            std::free(block);
            afterFree = bytesInOwnMappings() - before;
        }).join();
        EXPECT_GE(whileHeld, bytes) << bytes;
        EXPECT_EQ(afterFree, 0u) << bytes;
    }
}

} // namespace
} // namespace velto
