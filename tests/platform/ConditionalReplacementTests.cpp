// Replacing a file only while it holds what was read: another program's change that lands at any moment of the
// replacement is never overwritten, and no temporary file is left behind.
#include "platform/FileSystem.h"

#include "support/ChangedAtRenameFileSystem.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace velto {
namespace {

namespace fs = std::filesystem;
using testing::ChangedAtRenameFileSystem;
using testing::FailingFileSystem;
using testing::TemporaryFolder;

/// What another program does to the file: a new file renamed over it, or new bytes written into it.
void replaceWith(const fs::path &path, const std::string &bytes) {
    std::ofstream(path.string() + ".theirs", std::ios::binary) << bytes;
    fs::rename(path.string() + ".theirs", path);
}

void writeInPlace(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

using Action = std::function<void(const fs::path &)>;
const Action theyReplaceIt = [](const fs::path &p) { replaceWith(p, "theirs"); };
const Action theyReplaceItAgain = [](const fs::path &p) { replaceWith(p, "newest"); };
const Action theyWriteIntoIt = [](const fs::path &p) { writeInPlace(p, "newest, longer"); };
const Action theyAppendToIt = [](const fs::path &p) { writeInPlace(p, "read on"); };
const Action theyRemoveIt = [](const fs::path &p) { fs::remove(p); };
const Action theyAppendALine = [](const fs::path &p) {
    std::ofstream(p, std::ios::binary | std::ios::app) << "\nearly";
};
const Action theyAppendALater = [](const fs::path &p) {
    std::ofstream(p, std::ios::binary | std::ios::app) << "\nlater";
};
const Action theyLinkIt = [](const fs::path &p) {
    std::ofstream(p.parent_path() / "elsewhere", std::ios::binary) << "elsewhere";
    fs::remove(p);
    fs::create_symlink("elsewhere", p);
};

struct ReplacementCase {
    const char *name;
    std::optional<std::string> onDisk; // what the caller read, and what is there when the call begins
    std::map<int, Action> meanwhile;   // by the rename step it comes before (1: the swap in, 2: back)
    ReplacementOutcome outcome;
    std::optional<std::string> left; // what the path holds afterwards (a link followed); nothing: no file
    std::optional<std::string> kept; // what a temporary file left beside it holds; nothing: none is left
};

constexpr auto replaced = ReplacementOutcome::replaced;
constexpr auto changed = ReplacementOutcome::changedMeanwhile;

const ReplacementCase replacementCases[] = {
    {"Unchanged", "read", {}, replaced, "ours", std::nullopt},
    {"StillAbsent", std::nullopt, {}, replaced, "ours", std::nullopt},
    {"Changed", "read", {{1, theyReplaceIt}}, changed, "theirs", std::nullopt},
    {"GrownPastWhatWasRead", "read", {{1, theyAppendToIt}}, changed, "read on", std::nullopt},
    {"Deleted", "read", {{1, theyRemoveIt}}, changed, std::nullopt, std::nullopt},
    {"Created", std::nullopt, {{1, theyReplaceIt}}, changed, "theirs", std::nullopt},
    {"ReplacedByALink", "read", {{1, theyLinkIt}}, changed, "elsewhere", std::nullopt},
    // The file the first swap took out holds their first change, and nothing else may: it stays.
    {"ReplacedAgainBetweenTheSwaps",
     "read",
     {{1, theyReplaceIt}, {2, theyReplaceItAgain}},
     changed,
     "newest",
     "theirs"},
    {"WrittenIntoOursBetweenTheSwaps",
     "read",
     {{1, theyReplaceIt}, {2, theyWriteIntoIt}},
     changed,
     "newest, longer",
     "theirs"},
    {"AppendedToBeforeAndAfterTheSwap",
     "read",
     {{1, theyAppendALine}, {2, theyAppendALater}},
     changed,
     "ours\nlater",
     "read\nearly"},
};

void PrintTo(const ReplacementCase &c, std::ostream *out) {
    *out << c.name;
}

class ConditionalReplacement : public ::testing::TestWithParam<ReplacementCase> {};

TEST_P(ConditionalReplacement, ReplacesOnlyWhatStillHoldsWhatWasRead) {
    const ReplacementCase &c = GetParam();
    TemporaryFolder folder;
    fs::path page = folder / "page.md";
    if (c.onDisk) {
        folder.writeFile("page.md", *c.onDisk);
    }
    ChangedAtRenameFileSystem fileSystem(page, [&](const fs::path &changed, int rename) {
        if (auto action = c.meanwhile.find(rename); action != c.meanwhile.end()) {
            action->second(changed);
        }
    });

    std::optional<std::string_view> expected;
    if (c.onDisk) {
        expected = *c.onDisk;
    }
    std::optional<fs::path> theirFile;
    EXPECT_EQ(fileSystem.replaceIfUnchangedNotingTheirs(page, "ours", expected, theirFile), c.outcome);

    if (c.left) {
        EXPECT_EQ(folder.readFile("page.md"), *c.left);
    } else {
        EXPECT_FALSE(fs::exists(fs::symlink_status(page)));
    }
    std::vector<std::string> temporaries;
    for (const std::string &name : fileSystem.contentsOfDirectory(folder.path())) {
        if (name.front() == '.') {
            temporaries.push_back(name);
        }
    }
    if (c.kept) {
        ASSERT_EQ(temporaries.size(), 1u) << "their first change was removed";
        EXPECT_EQ(folder.readFile(temporaries[0]), *c.kept);
        ASSERT_TRUE(theirFile) << "the caller is not told where their change was left";
        EXPECT_EQ(*theirFile, folder / temporaries[0]);
    } else {
        EXPECT_TRUE(temporaries.empty()) << "a temporary file was left: " << temporaries[0];
        EXPECT_FALSE(theirFile);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConditionalReplacement, ::testing::ValuesIn(replacementCases),
                         [](const ::testing::TestParamInfo<ReplacementCase> &info) { return info.param.name; });

// A page of megabytes is compared as it is read, piece by piece: another program's change is found wherever it
// lies, at the edges of the pieces read as well as in the last byte, and a file one byte longer or shorter is
// a change too.
struct LongFileChange {
    const char *name;
    std::function<void(std::string &)> apply;
};

const LongFileChange longFileChanges[] = {
    {"the first byte", [](std::string &text) { text.front() = 't'; }},
    {"the last byte of a 64 KiB piece", [](std::string &text) { text[65'535] = 't'; }},
    {"the first byte after a 64 KiB piece", [](std::string &text) { text[65'536] = 't'; }},
    {"the last byte", [](std::string &text) { text.back() = 't'; }},
    {"one byte more", [](std::string &text) { text += 'r'; }},
    {"one byte less", [](std::string &text) { text.pop_back(); }},
    {"a 64 KiB piece less", [](std::string &text) { text.resize(text.size() - 65'536); }},
};

const std::string longFileRead(200'000, 'r');

TEST(ConditionalReplacement, FindsAChangeAnywhereInALongFile) {
    for (const LongFileChange &change : longFileChanges) {
        TemporaryFolder folder;
        std::string theirs = longFileRead;
        change.apply(theirs);
        folder.writeFile("page.md", theirs);
        PosixFileSystem fileSystem;
        EXPECT_EQ(fileSystem.replaceIfUnchanged(folder / "page.md", "ours", longFileRead), changed) << change.name;
        EXPECT_EQ(folder.readFile("page.md"), theirs) << change.name;
    }
    TemporaryFolder folder;
    folder.writeFile("page.md", longFileRead);
    PosixFileSystem fileSystem;
    EXPECT_EQ(fileSystem.replaceIfUnchanged(folder / "page.md", "ours", longFileRead), replaced);
}

// The check a save makes before it writes compares the same way, and tells what is not a readable file from a
// file holding the bytes without waiting for a FIFO's writer or failing.
TEST(ConditionalReplacement, HoldsExactlyOnlyTheSameBytesInARegularFile) {
    TemporaryFolder folder;
    PosixFileSystem fileSystem;
    for (const LongFileChange &change : longFileChanges) {
        std::string theirs = longFileRead;
        change.apply(theirs);
        folder.writeFile("page.md", theirs);
        EXPECT_FALSE(fileSystem.holdsExactly(folder / "page.md", longFileRead)) << change.name;
    }
    folder.writeFile("page.md", longFileRead);
    EXPECT_TRUE(fileSystem.holdsExactly(folder / "page.md", longFileRead));
    folder.writeFile("empty.md", "");
    EXPECT_TRUE(fileSystem.holdsExactly(folder / "empty.md", ""));

    fs::create_directory(folder / "folder.md");
    fs::create_symlink("nowhere.md", folder / "dangling.md");
    ASSERT_EQ(::mkfifo((folder / "fifo.md").c_str(), 0600), 0);
    for (const char *name : {"missing.md", "folder.md", "dangling.md", "fifo.md"}) {
        EXPECT_FALSE(fileSystem.holdsExactly(folder / name, "")) << name;
    }
}

// A file taken out by the swap that fails to be read (a failing disk) is no change by another program: it goes back
// in place, and the replacement fails with the read's error, named by the file replaced. A small page and one big
// enough to be read back past the page cache fail alike.
TEST(ConditionalReplacement, FileThatFailsToBeReadBackIsPutBackAndItsErrorThrown) {
    for (std::size_t size : {std::size_t{4}, std::size_t{5} * 1024 * 1024}) {
        SCOPED_TRACE(size);
        TemporaryFolder folder;
        const std::string read(size, 'r');
        folder.writeFile("page.md", read);
        struct stat before {};
        ASSERT_EQ(::stat((folder / "page.md").c_str(), &before), 0);
        FailingFileSystem fileSystem;
        fileSystem.countOnly({FileOperation::read});
        fileSystem.countOnlyPathsContaining(".page.md.tmp-");
        fileSystem.failOperation(1, EIO);

        try {
            fileSystem.replaceIfUnchanged(folder / "page.md", "ours", read);
            ADD_FAILURE() << "a file that could not be read back was taken for replaced or changed";
        } catch (const FileSystemError &error) {
            EXPECT_EQ(error.code(), EIO);
            EXPECT_EQ(error.path(), folder / "page.md");
            EXPECT_EQ(error.operation(), "Reading");
        }
        EXPECT_EQ(fileSystem.countedOperations(), 1u) << "read back once";
        struct stat after {};
        ASSERT_EQ(::stat((folder / "page.md").c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << "the file taken out is back in place";
        EXPECT_EQ(folder.readFile("page.md"), read);
        EXPECT_EQ(fileSystem.contentsOfDirectory(folder.path()), std::vector<std::string>{"page.md"});
    }
}

} // namespace
} // namespace velto
