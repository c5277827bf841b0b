#include "ReliabilitySupport.h"
#include "WriteTestSupport.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <thread>

using namespace velto;
using namespace velto::reliabilitytesting;
using velto::testing::TemporaryFolder;

namespace {

/// The seed of the kill moments: VELTO_CRASH_TEST_SEED when set, so that a failing run can be replayed;
/// else a new one, which every failure prints.
unsigned crashTestSeed() {
    if (const char *given = std::getenv("VELTO_CRASH_TEST_SEED"); given != nullptr && *given != '\0') {
        return static_cast<unsigned>(std::stoul(given));
    }
    return std::random_device{}();
}

std::string pageIDText(const Json &json, const char *key) {
    return json.at(key).at(0).get<std::string>();
}

/// The number after "prefix" in the page's text, or -1.
long numberIn(const std::string &text, const std::string &prefix) {
    if (!text.starts_with(prefix)) {
        return -1;
    }
    return std::stol(text.substr(prefix.size()));
}

// Saves killed at random moments: each save adds a page and rewrites one shared page. After every kill a load
// must succeed without a recovery issue, every page whose save returned must be there, and the shared page
// must hold the text of the last save that returned, or of a later one.
TEST(ReliabilityCrash, KilledSavesLoseNothingThatAnEarlierSaveReturned) {
    TemporaryFolder folder;
    auto library = (folder / "library").string();
    auto scratch = (folder / "driver").string();
    auto started = std::chrono::steady_clock::now();
    auto first = runDriver({"write", library}, R"({"newPages": ["edit-0\n"]})", scratch);
    ASSERT_TRUE(first);
    auto oneSave = std::chrono::steady_clock::now() - started;
    auto editedID = *Uuid::parse(pageIDText(*first, "newPageIDs"));

    const int kills = longVariant() ? 400 : 12; // the long variant kills 320 saves
    const unsigned seed = crashTestSeed();
    SCOPED_TRACE("replay with VELTO_CRASH_TEST_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    // Saves grow slower as the library grows; every fifth save runs to its end to measure them again, so
    // that kills keep landing anywhere in a save.
    auto measured = std::chrono::duration_cast<std::chrono::microseconds>(oneSave).count();

    int killed = 0;
    std::set<std::string> returnedTexts;
    long lastReturnedEdit = 0;
    for (int n = 1; n <= kills; ++n) {
        std::string input = R"({"newPages": ["crash-)" + std::to_string(n) + R"(\n"], "setText": {")" +
                            editedID.uppercaseText() + R"(": "edit-)" + std::to_string(n) + R"(\n"}})";
        bool runsToItsEnd = n % 5 == 0;
        auto saveStarted = std::chrono::steady_clock::now();
        DriverProcess process({"write", library}, input, scratch);
        ASSERT_TRUE(process.started());
        std::optional<int> status;
        if (runsToItsEnd) {
            status = process.wait();
            measured =
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - saveStarted)
                    .count();
        } else {
            std::uniform_int_distribution<long> delay(0, std::max<long>(measured * 6 / 5, 1));
            std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
            status = process.kill();
        }
        if (status == 0) {
            returnedTexts.insert("crash-" + std::to_string(n) + "\n");
            lastReturnedEdit = n;
        } else if (!status) {
            ++killed;
        } else {
            ADD_FAILURE() << "save " << n << " failed on its own: " << process.errorOutput();
        }

        auto result = VeltoPageLibrary::load(library);
        ASSERT_NE(result.asLoaded(), nullptr)
            << "after kill " << n << " (seed " << seed
            << "): " << (result.failureIssue() != nullptr ? result.failureIssue()->message : "missing");
        std::set<std::string> texts;
        long edit = -1;
        for (const auto &page : writetesting::allPagesOf(result.asLoaded()->document)) {
            texts.insert(page.visibleText());
            if (page.id == editedID) {
                edit = numberIn(page.visibleText(), "edit-");
            }
        }
        for (const auto &text : returnedTexts) {
            ASSERT_TRUE(texts.contains(text)) << text << " lost after kill " << n << " (seed " << seed << ")";
        }
        ASSERT_GE(edit, lastReturnedEdit) << "after kill " << n << " (seed " << seed << ")";
    }
    std::cout << killed << " of " << kills << " saves killed before they returned\n";
    EXPECT_GT(killed, 0) << "no save was killed before it returned: the test proved nothing";
}

/// The texts of the library's page files, visible and hidden, by name.
std::map<std::string, std::string> pageFileTexts(const TemporaryFolder &folder, const std::string &library) {
    std::map<std::string, std::string> texts;
    for (const auto &entry : std::filesystem::directory_iterator(folder / library)) {
        auto name = entry.path().filename().string();
        if (entry.is_regular_file() && name.find(".md") != std::string::npos) {
            texts.emplace(name, folder.readFile(library + "/" + name));
        }
    }
    return texts;
}

/// The name of the page file that holds the text; empty when none does.
std::string fileHolding(const std::map<std::string, std::string> &texts, const std::string &text) {
    for (const auto &[name, fileText] : texts) {
        if (fileText.find(text) != std::string::npos) {
            return name;
        }
    }
    return {};
}

// A save killed as soon as it took a deleted page's file aside leaves the file pending. The next load puts it back,
// another program adds a line to it, and a later save of another page must not remove that line with the file.
TEST(ReliabilityCrash, KilledAfterTakingADeletedPagesFileAsideThenEditedLosesNoLine) {
    TemporaryFolder folder;
    auto library = (folder / "library").string();
    auto created =
        runDriver({"write", library}, R"({"newPages": ["kept page\n", "deleted page\n"]})", (folder / "run").string());
    ASSERT_TRUE(created);
    auto kept = created->at("newPageIDs").at(0).get<std::string>();
    auto deleted = created->at("newPageIDs").at(1).get<std::string>();
    auto deletedFile = fileHolding(pageFileTexts(folder, "library"), "deleted page");
    ASSERT_FALSE(deletedFile.empty());
    // Old enough that the file left aside counts as a killed save's at the next load.
    std::filesystem::last_write_time(folder / "library" / deletedFile,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));

    DriverProcess killed({"write", library, "--kill-after-taking-aside"}, R"({"delete": [")" + deleted + R"("]})",
                         (folder / "run").string());
    ASSERT_TRUE(killed.started());
    ASSERT_EQ(killed.wait(), std::nullopt) << "the save ended before it took the file aside";
    ASSERT_TRUE(runDriver({"load", library}, "", (folder / "run").string()));
    ASSERT_TRUE(folder.exists("library/" + deletedFile)) << "the load did not put the file back";
    folder.writeFile("library/" + deletedFile, folder.readFile("library/" + deletedFile) + "their line\n");

    auto saved = runDriver({"write", library}, R"({"setText": {")" + kept + R"(": "kept page edited\n"}})",
                           (folder / "run").string());

    ASSERT_TRUE(saved);
    auto texts = pageFileTexts(folder, "library");
    EXPECT_FALSE(fileHolding(texts, "kept page edited").empty());
    auto holding = fileHolding(texts, "their line");
    ASSERT_FALSE(holding.empty()) << "the line another program added went with the deleted page's file";
    EXPECT_NE(texts.at(holding).find("deleted page\n"), std::string::npos);
}

} // namespace
