// Every file the library takes away that may hold someone's words goes by one rule: only while the bytes it holds as
// it goes are the ones judged to lose nothing. A file that changed since it was judged stays, whatever the judgment.
#include "library/removal/FileRemoval.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using velto::ProvenRemovalOutcome;

struct RemovalCase {
    const char *name;
    std::string judged;                          // the text the caller read and judged
    std::string pageText;                        // the page beside it
    std::optional<std::string> onDiskAsItGoes;   // the file's bytes by the time it goes; none: the file is gone
    std::optional<ProvenRemovalOutcome> outcome; // none: the page lacks a line, and nothing was tried
};

const RemovalCase removalCases[] = {
    {"HeldByThePageAndUnchanged", "Plan\nitem one\n", "Plan\nitem one\nitem two\n", "Plan\nitem one\n",
     ProvenRemovalOutcome::removed},
    {"ALineAddedSinceItWasJudged", "Plan\nitem one\n", "Plan\nitem one\n", "Plan\nitem one\ntheir line\n",
     ProvenRemovalOutcome::kept},
    {"RewrittenToTheSameLengthSince", "Plan\nitem one\n", "Plan\nitem one\n", "Plan\nitem two\n",
     ProvenRemovalOutcome::kept},
    {"GoneBeforeItsRemoval", "Plan\n", "Plan\n", std::nullopt, ProvenRemovalOutcome::absent},
    {"ALineThePageLacks", "Plan\ntheir line\n", "Plan\nitem one\n", "Plan\ntheir line\n", std::nullopt},
};

void PrintTo(const RemovalCase &c, std::ostream *out) {
    *out << c.name;
}

class FileRemoval : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(FileRemoval, GoesOnlyWhileItHoldsWhatWasJudged) {
    const RemovalCase &c = GetParam();
    velto::testing::TemporaryFolder folder;
    auto file = folder.writeFile(".page.md.tmp-3f2a9c01b2d4", c.onDiskAsItGoes.value_or(""));
    if (!c.onDiskAsItGoes) {
        std::filesystem::remove(file);
    }
    velto::PosixFileSystem fileSystem;
    EXPECT_EQ(VeltoPageLibrary::removeIfThePageHoldsEveryLine(file, c.judged, c.pageText, true, fileSystem), c.outcome);
    bool stays = c.onDiskAsItGoes && c.outcome != ProvenRemovalOutcome::removed;
    ASSERT_EQ(std::filesystem::exists(file), stays);
    if (stays) {
        EXPECT_EQ(folder.readFile(file.filename()), *c.onDiskAsItGoes);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FileRemoval, ::testing::ValuesIn(removalCases),
                         [](const ::testing::TestParamInfo<RemovalCase> &info) { return info.param.name; });

// A test's injected removal is asked only for a file whose bytes passed the proof.
TEST(FileRemoval, AnInjectedRemovalIsCalledOnlyForAProvenFile) {
    velto::testing::TemporaryFolder folder;
    auto ours = folder.writeFile("ours.md", "ours\n");
    auto theirs = folder.writeFile("theirs.md", "ours\ntheirs\n");
    velto::PosixFileSystem fileSystem;
    std::vector<std::filesystem::path> removed;
    auto removeItem = [&](const std::filesystem::path &url) {
        removed.push_back(url);
        std::filesystem::remove(url);
    };
    EXPECT_EQ(VeltoPageLibrary::removeIfHolding(ours, "ours\n", fileSystem, removeItem), ProvenRemovalOutcome::removed);
    EXPECT_EQ(VeltoPageLibrary::removeIfHolding(theirs, "ours\n", fileSystem, removeItem), ProvenRemovalOutcome::kept);
    EXPECT_EQ(removed, std::vector<std::filesystem::path>{ours});
    EXPECT_EQ(folder.readFile("theirs.md"), "ours\ntheirs\n");
}

} // namespace
