#include "platform/FolderHandle.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <utility>

namespace velto {
namespace {

using testing::TemporaryFolder;

/// How many descriptors the process holds open now.
std::ptrdiff_t openDescriptors() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
}

TEST(FolderHandle, OpensOnlyAFolderThatIsThere) {
    TemporaryFolder files;
    std::filesystem::path folder = files.createFolder("Pages");
    files.writeFile("note.md", "text");
    std::filesystem::create_directory_symlink(folder, files / "link");
    struct Row {
        std::filesystem::path path;
        bool opens;
    };
    const Row rows[] = {{folder, true}, {files / "link", true}, {files / "missing", false}, {files / "note.md", false}};
    for (const Row &row : rows) {
        EXPECT_EQ(FolderHandle::open(row.path).has_value(), row.opens) << row.path;
    }
}

// A handle closes its descriptor exactly once, wherever it was moved to, and closes the one it held when another
// takes its place.
TEST(FolderHandle, ClosesItsDescriptorOnceWhenItGoes) {
    TemporaryFolder files;
    std::filesystem::path folder = files.createFolder("Pages");
    const std::ptrdiff_t before = openDescriptors();
    {
        std::optional<FolderHandle> first = FolderHandle::open(folder);
        ASSERT_TRUE(first);
        EXPECT_EQ(openDescriptors(), before + 1);
        FolderHandle moved = std::move(*first);
        first.reset();
        EXPECT_EQ(openDescriptors(), before + 1);
        moved = std::move(*FolderHandle::open(folder));
        EXPECT_EQ(openDescriptors(), before + 1);
    }
    EXPECT_EQ(openDescriptors(), before);
}

} // namespace
} // namespace velto
