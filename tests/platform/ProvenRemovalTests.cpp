// Removing a file only when its bytes prove it the remover's at the moment it goes: a change another program makes
// while the bytes are tested (written through a descriptor it already held, or a new file put at the path) is
// never removed.
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>

namespace velto {
namespace {

namespace fs = std::filesystem;
using testing::FailingFileSystem;
using testing::TemporaryFolder;

struct RemovalCase {
    const char *name;
    std::optional<std::string> onDisk;
    /// What another program does while the bytes are tested; `held` was opened on the file before the removal.
    std::function<void(const fs::path &page, std::ofstream &held)> meanwhile;
    ProvenRemovalOutcome outcome;
    std::optional<std::string> left; // what the path holds afterwards; nothing: no file
    std::optional<std::string> kept; // what a file kept beside it under another name holds; nothing: none
};

const auto nothing = [](const fs::path &, std::ofstream &) {};
const auto theyWriteThroughTheirDescriptor = [](const fs::path &, std::ofstream &held) {
    held << " and their edit";
    held.flush();
};
const auto theyPutANewFileThere = [](const fs::path &page, std::ofstream &) {
    std::ofstream(page, std::ios::binary) << "their new file";
};

constexpr auto removed = ProvenRemovalOutcome::removed;
constexpr auto kept = ProvenRemovalOutcome::kept;

const RemovalCase removalCases[] = {
    {"ProvenGoes", "ours", nothing, removed, std::nullopt, std::nullopt},
    {"AbsentIsNothingToRemove", std::nullopt, nothing, ProvenRemovalOutcome::absent, std::nullopt, std::nullopt},
    {"UnprovenGoesBack", "theirs", nothing, kept, "theirs", std::nullopt},
    {"WrittenIntoWhileTestedGoesBack", "ours", theyWriteThroughTheirDescriptor, kept, "ours and their edit",
     std::nullopt},
    {"ANewFileAtThePathStays", "ours", theyPutANewFileThere, removed, "their new file", std::nullopt},
    {"UnprovenBesideANewFileIsKeptUnderAnotherName", "theirs", theyPutANewFileThere, kept, "their new file", "theirs"},
};

void PrintTo(const RemovalCase &c, std::ostream *out) {
    *out << c.name;
}

class ProvenRemoval : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(ProvenRemoval, RemovesOnlyWhatItsBytesProveAsItGoes) {
    const RemovalCase &c = GetParam();
    TemporaryFolder folder;
    fs::path page = folder / "page.md";
    if (c.onDisk) {
        folder.writeFile("page.md", *c.onDisk);
    }
    std::ofstream held;
    if (c.onDisk) {
        held.open(page, std::ios::binary | std::ios::app);
    }
    PosixFileSystem fileSystem;

    std::optional<fs::path> keptBeside;
    auto outcome = fileSystem.removeIfProvenNotingKept(
        page,
        [&](std::string_view bytes) {
            c.meanwhile(page, held);
            return bytes == "ours";
        },
        keptBeside);

    EXPECT_EQ(outcome, c.outcome);
    if (c.left) {
        EXPECT_EQ(folder.readFile("page.md"), *c.left);
    } else {
        EXPECT_FALSE(fs::exists(page));
    }
    std::vector<std::string> others;
    for (const std::string &name : fileSystem.contentsOfDirectory(folder.path())) {
        if (name != "page.md") {
            others.push_back(name);
        }
    }
    if (c.kept) {
        ASSERT_EQ(others.size(), 1u);
        EXPECT_TRUE(others[0].starts_with("page (kept ")) << others[0];
        EXPECT_EQ(folder.readFile(others[0]), *c.kept);
        EXPECT_EQ(keptBeside, folder / others[0]) << "the caller is not told where the file was kept";
    } else {
        EXPECT_TRUE(others.empty()) << "left beside it: " << others[0];
        EXPECT_EQ(keptBeside, std::nullopt);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProvenRemoval, ::testing::ValuesIn(removalCases),
                         [](const ::testing::TestParamInfo<RemovalCase> &info) { return info.param.name; });

// A file whose test fails to complete (a failing disk, a removal refused) is back at its path as it was, and the
// error is thrown; one larger than the proof may read is proven by nothing; a link goes, never its target.
TEST(ProvenRemoval, AFailedStepPutsTheFileBack) {
    for (FileOperation failing : {FileOperation::read, FileOperation::remove}) {
        SCOPED_TRACE(fileOperationName(failing));
        TemporaryFolder folder;
        folder.writeFile("page.md", "ours");
        FailingFileSystem fileSystem;
        fileSystem.countOnly({failing});
        fileSystem.failOperation(1, EIO);
        EXPECT_THROW(
            fileSystem.removeIfProven(folder / "page.md", [](std::string_view bytes) { return bytes == "ours"; }),
            FileSystemError);
        EXPECT_EQ(folder.readFile("page.md"), "ours");
        EXPECT_EQ(fileSystem.contentsOfDirectory(folder.path()), std::vector<std::string>{"page.md"});
    }
}

TEST(ProvenRemoval, ATooLargeFileOrALinksTargetIsNeverRemoved) {
    TemporaryFolder folder;
    folder.writeFile("page.md", "ours, and more");
    folder.writeFile("target.md", "ours");
    fs::create_symlink("target.md", folder / "link.md");
    PosixFileSystem fileSystem;
    auto isOurs = [](std::string_view bytes) { return bytes.starts_with("ours"); };

    EXPECT_EQ(fileSystem.removeIfProven(folder / "page.md", isOurs, 4), kept);
    EXPECT_EQ(folder.readFile("page.md"), "ours, and more");
    EXPECT_EQ(fileSystem.removeIfProven(folder / "link.md", isOurs), removed);
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "link.md")));
    EXPECT_EQ(folder.readFile("target.md"), "ours");
}

std::string repeated(const std::string &piece, int times) {
    std::string text;
    for (int time = 0; time < times; ++time) {
        text += piece;
    }
    return text;
}

// The name a file is kept under fits the 255 bytes of a name however long the name it had, cut between whole
// characters of its stem, and stays a Markdown file's.
TEST(ProvenRemoval, TheNameAFileIsKeptUnderFitsAName) {
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467"; // 18 bytes, one character
    struct Case {
        std::string name;
        std::string stemStart;
        std::string extension;
    };
    const Case cases[] = {
        {"page.md", "page (kept ", ".md"},
        {std::string(252, 'n') + ".md", std::string(238, 'n') + " (kept ", ".md"},
        {repeated(family, 14) + ".md", repeated(family, 13) + " (kept ", ".md"}, // 252 bytes, whole characters
        {"a." + std::string(250, 'x'), "a." + std::string(100, 'x'), ""},        // no usual extension: the mark ends it
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const std::string kept = keptFileName(fs::path("/pages") / test.name).filename().string();
        EXPECT_LE(kept.size(), 255u);
        EXPECT_TRUE(kept.starts_with(test.stemStart)) << kept;
        EXPECT_TRUE(kept.ends_with(")" + test.extension)) << kept;
        EXPECT_TRUE(text::isValidUTF8(kept)) << kept;
    }
}

} // namespace
} // namespace velto
