// A save killed at the moment it swaps its temporary file into place leaves one of two texts under the hidden
// temporary name: its own text, written whole, when killed just before the exchange, or the page's previous file when
// killed just after. The next load, run from outside through the library driver as the application runs it, keeps
// every line that is in no other file, as one conflict copy of the page, and makes no copy of the text the library
// recorded for the page, which the save was replacing.
#include "ReliabilitySupport.h"

#include "model/PageFileContent.h"
#include "platform/Clock.h"
#include "platform/Date.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace velto;
using namespace velto::reliabilitytesting;
using velto::testing::TemporaryFolder;

namespace {

struct KilledSaveCase {
    const char *name;
    std::string pageText;               // what the page holds before the killed save
    std::string savedText;              // what the killed save writes
    std::vector<std::string> interrupt; // the driver's options that kill the save
    std::vector<std::string> keptLines; // lines that must be in some page file after the next load
    std::size_t copies;                 // the conflict copies of the page that load makes
};

const KilledSaveCase killedSaveCases[] = {
    {"TypedTextWithoutALastLineBreakKilledBeforeItsExchange",
     "Plan\nitem one\n",
     "Plan\nitem one\nCall Anna at 5pm about the lease",
     {"--kill-before-exchange"},
     {"Call Anna at 5pm about the lease"},
     1},
    {"TypedTextWithALastLineBreakKilledBeforeItsExchange",
     "Plan\nitem one\n",
     "Plan\nitem one\nCall Anna at 5pm about the lease\n",
     {"--kill-before-exchange"},
     {"Call Anna at 5pm about the lease"},
     1},
    {"AnotherProgramsLineAppendedJustBeforeTheExchangeThenAKill",
     "Plan\nitem one\n",
     "Plan\nitem one\nitem two\n",
     {"--append-before-exchange", "Their line", "--kill-after-exchange"},
     {"Their line", "item two"},
     1},
    {"ASecondItemOneKilledBeforeItsExchange",
     "Plan\nitem one\n",
     "Plan\nitem one\nitem one\n",
     {"--kill-before-exchange"},
     {"item one\nitem one"},
     1},
    {"AWholePageRewriteKilledAfterItsExchange",
     "The old draft\nof the whole page\n",
     "A new text\nin place of every line\n",
     {"--kill-after-exchange"},
     {"A new text\nin place of every line"},
     0},
};

void PrintTo(const KilledSaveCase &c, std::ostream *out) {
    *out << c.name;
}

/// The texts of the library's page files by name; a hidden file left there fails the test.
std::map<std::string, std::string> pageFiles(const TemporaryFolder &folder) {
    std::map<std::string, std::string> texts;
    for (const auto &entry : std::filesystem::directory_iterator(folder / "library")) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file()) {
            continue;
        }
        if (name.starts_with(".")) {
            ADD_FAILURE() << name << " is left hidden";
        } else if (name.ends_with(".md")) {
            texts.emplace(name, folder.readFile("library/" + name));
        }
    }
    return texts;
}

/// A moment at which the killed save's temporary file counts as left behind.
std::string aQuarterOfAnHourLater() {
    return iso8601Text(systemClock().now() + std::chrono::minutes(15));
}

class KilledSaveLeftover : public ::testing::TestWithParam<KilledSaveCase> {};

TEST_P(KilledSaveLeftover, TheNextLoadKeepsEveryLineAsOneCopyOfThePage) {
    const KilledSaveCase &c = GetParam();
    TemporaryFolder folder;
    const std::string library = (folder / "library").string();
    const std::string scratch = (folder / "driver").string();
    auto created = runDriver({"write", library}, R"({"newPages": [)" + encodeJSON(Json(c.pageText)) + "]}", scratch);
    ASSERT_TRUE(created);
    const std::string pageID = created->at("newPageIDs").at(0).get<std::string>();
    std::vector<std::string> arguments{"write", library};
    arguments.insert(arguments.end(), c.interrupt.begin(), c.interrupt.end());
    DriverProcess killed(arguments, R"({"setText": {")" + pageID + R"(": )" + encodeJSON(Json(c.savedText)) + "}}",
                         scratch);
    ASSERT_TRUE(killed.started());
    ASSERT_EQ(killed.wait(), std::nullopt) << "the save was not killed: " << killed.errorOutput();

    auto loaded = runDriver({"load", library, "--now", aQuarterOfAnHourLater()}, "", scratch);

    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->at("outcome"), "loaded");
    auto texts = pageFiles(folder);
    for (const std::string &line : c.keptLines) {
        bool held = false;
        for (const auto &[name, text] : texts) {
            held = held || text.find(line) != std::string::npos;
        }
        EXPECT_TRUE(held) << "“" << line << "” is in no file";
    }
    std::size_t copies = 0;
    for (const auto &[name, text] : texts) {
        if (VeltoPageFileContent::parse(text).conflictOriginalPageID() == Uuid::parse(pageID)) {
            ++copies;
        }
    }
    EXPECT_EQ(copies, c.copies) << "conflict copies of the page";
    // The library goes on: the page saves again.
    auto saved = runDriver({"write", library}, R"({"setText": {")" + pageID + R"(": "saved again\n"}})", scratch);
    EXPECT_TRUE(saved);
}

INSTANTIATE_TEST_SUITE_P(Cases, KilledSaveLeftover, ::testing::ValuesIn(killedSaveCases),
                         [](const ::testing::TestParamInfo<KilledSaveCase> &info) { return info.param.name; });

} // namespace
