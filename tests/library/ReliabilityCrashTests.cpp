#include "ReliabilitySupport.h"
#include "WriteTestSupport.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
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

} // namespace
