// Big texts go to the disk and come back from it past the page cache in whole blocks, the rest through it:
// whatever the size and wherever the folder lies, the file holds exactly the text afterwards, and a comparison
// finds every difference, wherever it lies.
#include "platform/FileSystem.h"
#include "platform/UncachedFileAccess.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace velto {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

/// Bytes that differ from block to block and within each, so that a block written twice, shifted or left out
/// shows.
std::string patterned(std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t index = 0; index < size; ++index) {
        bytes[index] = static_cast<char>(seed + index * 7 + index / 4093);
    }
    return bytes;
}

constexpr std::size_t mebibyte = 1024 * 1024;
const std::vector<std::size_t> sizes = {
    0,
    uncachedAccessMinimumBytes - 1,
    uncachedAccessMinimumBytes,
    uncachedAccessMinimumBytes + 1,
    3 * mebibyte + 4095,
    5 * mebibyte + 143,
    256 * 1024 * 9 + 4096, // a piece and a block past the pieces
};

/// Folders on the disk and, where there is one, in memory, which may refuse direct writes.
std::vector<fs::path> folderPlaces(const TemporaryFolder &onDisk) {
    std::vector<fs::path> places = {onDisk.path()};
    if (access("/dev/shm", W_OK) == 0) {
        places.push_back("/dev/shm");
    }
    return places;
}

TEST(UncachedFileAccessTest, ReplacedFilesHoldExactlyTheTextAtEverySizeAndPlace) {
    TemporaryFolder folder;
    PosixFileSystem fileSystem;
    for (const fs::path &place : folderPlaces(folder)) {
        const fs::path page = place / ("velto-uncached-" + std::to_string(getpid()) + ".md");
        std::string previous;
        for (std::size_t size : sizes) {
            SCOPED_TRACE(page.string() + ", " + std::to_string(size) + " bytes");
            const std::string text = patterned(size, static_cast<char>(size % 251));
            if (size % 2 == 0) {
                fileSystem.writeAtomically(page, text);
            } else {
                ASSERT_EQ(fileSystem.replaceIfUnchanged(page, text, previous), ReplacementOutcome::replaced);
            }
            EXPECT_EQ(fileSystem.readFile(page), text);
            EXPECT_TRUE(fileSystem.holdsExactly(page, text));
            previous = text;
        }
        fs::remove(page);
    }
}

TEST(UncachedFileAccessTest, WritesWholeBlocksOnlyAndLeavesTheDescriptorWritingThroughTheCache) {
    TemporaryFolder folder;
    for (const fs::path &place : folderPlaces(folder)) {
        const fs::path file = place / ("velto-blocks-" + std::to_string(getpid()));
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        const int flags = ::fcntl(fd, F_GETFL);
        const std::string text = patterned(2 * mebibyte + 100, 'a');

        UncachedWrite outcome = writeWholeBlocksUncached(fd, text);

        EXPECT_EQ(outcome.error, 0);
        EXPECT_EQ(outcome.written % 4096, 0U);
        EXPECT_LE(outcome.written, text.size() - 100);
        EXPECT_EQ(::fcntl(fd, F_GETFL), flags);
        EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), static_cast<off_t>(outcome.written));
        ::close(fd);
        fs::remove(file);
    }
}

struct ComparisonCase {
    const char *name;
    std::size_t size;
    std::function<void(std::string &)> change; // what the file holds instead of the text
    bool holds;
};

const ComparisonCase comparisonCases[] = {
    {"Same", 5 * mebibyte + 143, [](std::string &) {}, true},
    {"SameWholeBlocks", 2 * mebibyte, [](std::string &) {}, true},
    {"ByteChangedInTheFirstBlock", 5 * mebibyte + 143, [](std::string &t) { t[10] ^= 1; }, false},
    {"ByteChangedInALaterPiece", 5 * mebibyte + 143, [](std::string &t) { t[3 * mebibyte + 5] ^= 1; }, false},
    {"ByteChangedInTheTail", 5 * mebibyte + 143, [](std::string &t) { t[t.size() - 2] ^= 1; }, false},
    {"ShorterByABlock", 5 * mebibyte + 143, [](std::string &t) { t.resize(t.size() - 4096); }, false},
    {"ShorterByAByte", 5 * mebibyte + 143, [](std::string &t) { t.pop_back(); }, false},
    {"LongerByAByte", 5 * mebibyte, [](std::string &t) { t.push_back('x'); }, false},
    {"LongerByAPiece", 3 * mebibyte, [](std::string &t) { t += std::string(mebibyte, 'y'); }, false},
    {"Empty", 2 * mebibyte + 1, [](std::string &t) { t.clear(); }, false},
};

TEST(UncachedFileAccessTest, ComparisonFindsEveryDifferenceWhereverItLies) {
    TemporaryFolder folder;
    PosixFileSystem fileSystem;
    for (const fs::path &place : folderPlaces(folder)) {
        const fs::path page = place / ("velto-compared-" + std::to_string(getpid()) + ".md");
        for (const ComparisonCase &example : comparisonCases) {
            SCOPED_TRACE(page.string() + ", " + example.name);
            const std::string text = patterned(example.size, 'c');
            std::string onDisk = text;
            example.change(onDisk);
            fileSystem.writeAtomically(page, onDisk);
            EXPECT_EQ(fileSystem.holdsExactly(page, text), example.holds);
        }
        fs::remove(page);
    }
}

TEST(UncachedFileAccessTest, ComparisonLeavesTheDescriptorReadingOnThroughTheCache) {
    TemporaryFolder folder;
    const std::string text = patterned(2 * mebibyte + 100, 'r');
    const fs::path file = folder.writeFile("compared", text);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const int flags = ::fcntl(fd, F_GETFL);

    UncachedComparison outcome = compareWholeBlocksUncached(fd, text);

    EXPECT_EQ(outcome.error, 0);
    EXPECT_FALSE(outcome.differs);
    EXPECT_EQ(outcome.compared % 4096, 0U);
    EXPECT_EQ(::fcntl(fd, F_GETFL), flags);
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), static_cast<off_t>(outcome.compared));
    ::close(fd);
}

} // namespace
} // namespace velto
