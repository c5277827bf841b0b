// A page file's text as a save makes it: appended to a piece at a time, growing past its room when it must,
// holding exactly what was appended, and starting a disk block when it is big, so the write takes it where it
// lies.
#include "model/FileTextBuffer.h"
#include "model/ReusedTextBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace velto {
namespace {

bool startsABlock(const FileTextBuffer &text) {
    return reinterpret_cast<std::uintptr_t>(text.data()) % FileTextBuffer::alignment == 0;
}

TEST(FileTextBuffer, HoldsWhatWasAppendedWhetherItFitsTheRoomOrOutgrowsIt) {
    struct Row {
        const char *name;
        std::size_t room;
        std::size_t pieces;
        std::size_t pieceBytes;
    };
    const Row rows[] = {
        {"no room", 0, 3, 5},
        {"outgrowing a small room", 10, 7, 3},
        {"a big text within its room", 3 * 1024 * 1024, 3, 1024 * 1024},
        {"a small room outgrown into a big text", 1000, 5, 100'000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FileTextBuffer text(row.room);
        std::string expected;
        for (std::size_t piece = 0; piece < row.pieces; ++piece) {
            const std::string bytes(row.pieceBytes, static_cast<char>('a' + piece));
            text.append(bytes);
            expected += bytes;
        }
        EXPECT_TRUE(text.view() == expected);
        EXPECT_GE(text.capacity(), text.size());
        EXPECT_EQ(startsABlock(text), text.capacity() >= FileTextBuffer::alignedMinimum);
    }
}

// The kept buffer is handed out empty, so none of the previous text's bytes can reach the next file, and it
// still starts a block.
TEST(FileTextBuffer, ABigTextLetGoComesBackEmptyAndStartingABlock) {
    const std::size_t bytes = 2 * 1024 * 1024;
    FileTextBuffer first = emptyTextWithRoomFor(bytes);
    first.append(std::string(bytes, 'x'));
    const char *memory = first.data();
    sharedTextReusingBuffer(std::move(first)).reset();

    FileTextBuffer next = emptyTextWithRoomFor(bytes - 100);
    EXPECT_EQ(next.data(), memory);
    EXPECT_TRUE(next.empty());
    EXPECT_TRUE(startsABlock(next));
    next.append("short");
    EXPECT_EQ(next.view(), "short");
}

} // namespace
} // namespace velto
