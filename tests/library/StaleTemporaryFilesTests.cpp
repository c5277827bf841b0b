// The temporary files a killed or interrupted save leaves beside page files may hold another program's text: the
// page's previous file, swapped out by a replacement. Their clean-up removes only what the page holds already, and what
// the library recorded the page's file as holding.
#include "library/removal/StaleTemporaryFiles.h"

#include "model/ContentChecksum.h"
#include "model/PageFileContent.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

const std::string pageText = "---\nvelto:\n  id: A1000000-0000-4000-8000-000000000001\n---\nmine\nshared\n";

struct StaleCase {
    const char *name;
    const char *leftName;
    std::string leftText;
    std::chrono::minutes age;
    std::optional<std::string> copied; // the body of a conflict copy made of it; nothing: none
    bool leftStays;
    std::optional<std::string> recorded = std::nullopt; // the text the library recorded for page.md
};

const std::string recordedDraft = "---\nvelto:\n  id: A1000000-0000-4000-8000-000000000001\n---\nold draft\n";

const StaleCase staleCases[] = {
    {"PreviousFileWithTheirLineBecomesAConflictCopy", ".page.md.tmp-0123456789ab", pageText + "their line\n",
     std::chrono::minutes(10), "mine\nshared\ntheir line\n", false},
    {"WhatThePageHoldsGoes", ".page.md.tmp-0123456789ab", "mine\nshared\n", std::chrono::minutes(10), std::nullopt,
     false},
    // A text without the page's identifier is a copy of the page it was left beside.
    {"LinesInAnotherOrderBecomeAConflictCopy", ".page.md.tmp-0123456789ab", "shared\nmine\n", std::chrono::minutes(10),
     "shared\nmine\n", false},
    {"AFreshOneStays", ".page.md.tmp-0123456789ab", "their line\n", std::chrono::minutes(1), std::nullopt, true},
    {"NoUTF8TextStays", ".page.md.tmp-0123456789ab", "caf\xe9\n", std::chrono::minutes(10), std::nullopt, true},
    // A write killed before its rename: the text is cut off anywhere, and its torn last line is no line of anyone's.
    {"ACopyOfThePageCutOffMidLineGoes", ".page.md.tmp-0123456789ab", pageText.substr(0, pageText.size() - 4),
     std::chrono::minutes(10), std::nullopt, false},
    // Typed text usually ends without a line break: a last line no line of the page begins with is someone's words.
    {"ALastLineWithoutABreakAfterThePagesLinesBecomesAConflictCopy", ".page.md.tmp-0123456789ab",
     pageText + "half a li", std::chrono::minutes(10), "mine\nshared\nhalf a li", false},
    {"ATornTextWithALineThePageLacksBecomesAConflictCopy", ".page.md.tmp-0123456789ab", pageText + "their line\nhal",
     std::chrono::minutes(10), "mine\nshared\ntheir line\nhal", false},
    // What a save killed right after its exchange leaves: the page's file as the library recorded it, which the save
    // was replacing with newer text. Only exactly that text.
    {"TheTextRecordedForThePageGoes", ".page.md.tmp-0123456789ab", recordedDraft, std::chrono::minutes(10),
     std::nullopt, false, recordedDraft},
    {"ATextOtherThanTheRecordedOneBecomesAConflictCopy", ".page.md.tmp-0123456789ab", recordedDraft + "their line\n",
     std::chrono::minutes(10), "old draft\ntheir line\n", false, recordedDraft},
};

void PrintTo(const StaleCase &c, std::ostream *out) {
    *out << c.name;
}

class StaleTemporaryFiles : public ::testing::TestWithParam<StaleCase> {};

TEST_P(StaleTemporaryFiles, GoOnlyWhenThePageHoldsTheirLines) {
    const StaleCase &c = GetParam();
    TemporaryFolder folder;
    folder.writeFile("page.md", pageText);
    folder.writeFile(c.leftName, c.leftText);

    VeltoPageLibrary::RecordedPageVersions recorded;
    if (c.recorded) {
        recorded.note("page.md", *velto::contentChecksum(*c.recorded), static_cast<std::int64_t>(c.recorded->size()));
    }

    VeltoPageLibrary::removeStaleTemporaryFiles(folder.path(), {}, recorded, std::chrono::system_clock::now() + c.age,
                                                velto::defaultFileSystem());

    EXPECT_EQ(folder.exists(c.leftName), c.leftStays);
    EXPECT_EQ(folder.readFile("page.md"), pageText);
    std::map<std::string, std::string> copies;
    for (const auto &entry : fs::directory_iterator(folder.path())) {
        auto name = entry.path().filename().string();
        if (name != "page.md" && !name.starts_with(".")) {
            copies.emplace(name, folder.readFile(name));
        }
    }
    if (!c.copied) {
        EXPECT_TRUE(copies.empty()) << copies.begin()->first;
        return;
    }
    ASSERT_EQ(copies.size(), 1u);
    auto copy = velto::VeltoPageFileContent::parse(copies.begin()->second);
    EXPECT_EQ(copy.body.text(), *c.copied);
    EXPECT_EQ(copy.conflictOriginalPageID(), velto::Uuid::parse("A1000000-0000-4000-8000-000000000001"));
}

INSTANTIATE_TEST_SUITE_P(Cases, StaleTemporaryFiles, ::testing::ValuesIn(staleCases),
                         [](const ::testing::TestParamInfo<StaleCase> &info) { return info.param.name; });

// A file a removal took aside to prove it, left there by a process killed before it was removed or put back, was
// never proven: it goes back to its name.
TEST(StaleTemporaryFiles, AFileLeftAsideGoesBack) {
    TemporaryFolder folder;
    folder.writeFile(".page.md.aside-0123456789ab", pageText);

    VeltoPageLibrary::removeStaleTemporaryFiles(
        folder.path(), {}, {}, std::chrono::system_clock::now() + std::chrono::minutes(10), velto::defaultFileSystem());

    EXPECT_FALSE(folder.exists(".page.md.aside-0123456789ab"));
    EXPECT_EQ(folder.readFile("page.md"), pageText);
}

// Where another file has come to the name since, both stay: that file in place, the one left aside beside it under
// the visible "(kept …)" name, where it is found, as a removal that did not go ahead leaves it while it runs.
/// The names of the folder's files that start with the text.
std::vector<std::string> filesStartingWith(const TemporaryFolder &folder, const std::string &start) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder.path())) {
        if (entry.path().filename().string().starts_with(start)) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

TEST(StaleTemporaryFiles, AFileLeftAsideWhoseNameIsTakenIsKeptBesideIt) {
    TemporaryFolder folder;
    folder.writeFile(".page.md.aside-0123456789ab", pageText);
    folder.writeFile("page.md", "their new file\n");

    VeltoPageLibrary::removeStaleTemporaryFiles(
        folder.path(), {}, {}, std::chrono::system_clock::now() + std::chrono::minutes(10), velto::defaultFileSystem());

    EXPECT_FALSE(folder.exists(".page.md.aside-0123456789ab"));
    EXPECT_EQ(folder.readFile("page.md"), "their new file\n");
    auto kept = filesStartingWith(folder, "page (kept ");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(folder.readFile(kept[0]), pageText);
}

// A name too long for the prefix gives the short form, which names no file: the file comes back under a visible
// "(kept …)" page file name instead of staying hidden.
TEST(StaleTemporaryFiles, AFileLeftAsideUnderTheShortFormComesBackAsAKeptPageFile) {
    TemporaryFolder folder;
    folder.writeFile(".velto.aside-0123456789ab", pageText);

    VeltoPageLibrary::removeStaleTemporaryFiles(
        folder.path(), {}, {}, std::chrono::system_clock::now() + std::chrono::minutes(10), velto::defaultFileSystem());

    EXPECT_FALSE(folder.exists(".velto.aside-0123456789ab"));
    auto kept = filesStartingWith(folder, "velto (kept ");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(kept[0].ends_with(".md")) << kept[0];
    EXPECT_EQ(folder.readFile(kept[0]), pageText);
}

} // namespace
