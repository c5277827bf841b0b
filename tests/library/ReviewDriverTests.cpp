// The driver as an outside reviewer runs it: its output for pages the library names itself, its refusal of
// malformed operations, and a recovery that keeps the pages the library already knows.

#include "LibraryTestSupport.h"
#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace velto::librarytesting;
using velto::Json;
using velto::testing::TemporaryFolder;

Json driverJson(std::vector<std::string> arguments, const std::string &input = "") {
    auto run = runDriver(std::move(arguments), input);
    EXPECT_EQ(run.exitStatus, 0);
    return run.output.empty() ? Json() : velto::decodeJSON(run.output);
}

TEST(ReviewDriver, LoadGivesTheFileOfAPageWhoseNameTheLibraryMade) {
    TemporaryFolder library;
    auto written = driverJson({"write", library.path()}, R"({"newPages": ["Made here\n"]})");
    auto id = written["newPageIDs"][0].get<std::string>();

    auto loaded = driverJson({"load", library.path()});
    ASSERT_EQ(loaded["outcome"], "loaded");
    bool found = false;
    for (const auto &page : loaded["pages"]) {
        if (page["id"] == id) {
            found = true;
            auto name = page["relativeFilePath"].get<std::string>();
            EXPECT_TRUE(std::filesystem::is_regular_file(library.path() / name)) << name;
        }
    }
    EXPECT_TRUE(found);
}

TEST(ReviewDriver, MalformedOperationsFailWithStatus2AndWriteNothing) {
    const std::vector<std::string> malformed{
        R"({"settext": {}})",          // misspelt: would otherwise be a save that does nothing
        R"({"newPages": [1]})",        // not a text
        R"({"archive": "x"})",         // not an array
        R"({"setText": ["x"]})",       // not an object
        R"({"insertLines": {"x": 1}})" // not a list of insertions
    };
    for (const auto &operations : malformed) {
        TemporaryFolder library;
        library.writeFile("a.md", "Kept\n");
        EXPECT_EQ(runDriver({"write", library.path()}, operations).exitStatus, 2) << operations;
        EXPECT_FALSE(std::filesystem::exists(library.path() / ".velto")) << operations;
        EXPECT_EQ(library.readFile("a.md"), "Kept\n");
    }
}

TEST(ReviewDriver, PauseThatIsNotAWholeNumberIsAUsageError) {
    TemporaryFolder library;
    for (const char *pause : {"abc", "-5", "1.5", "99999999999999999999"}) {
        EXPECT_EQ(runDriver({"write", library.path(), "--pause-ms", pause}, "{}").exitStatus, 2) << pause;
    }
}

TEST(ReviewDriver, UnknownPageIsReportedBeforeThePause) {
    TemporaryFolder library;
    library.writeFile("a.md", "A\n");
    auto started = std::chrono::steady_clock::now();
    auto run = runDriver({"write", library.path(), "--pause-ms", "60000"},
                         R"({"setText": {"A1000000-0000-4000-8000-000000000001": "x"}})");
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(ReviewDriver, LockOfAFolderWithoutLibraryCanBeHeld) {
    TemporaryFolder folder;
    auto run = runDriver({"lock", folder.path(), "--seconds", "0"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, "locked\n");
}

TEST(ReviewDriver, LockSecondsMustBeAFiniteNumber) {
    TemporaryFolder folder;
    for (const char *seconds : {"nan", "inf", "-1", "x"}) {
        EXPECT_EQ(runDriver({"lock", folder.path(), "--seconds", seconds}).exitStatus, 2) << seconds;
    }
}

TEST(ReviewDriver, RecoveryKeepsThePagesOfFilesWithoutIdentifier) {
    TemporaryFolder library;
    library.writeFile("r.md", "R\n");
    library.writeFile("q.md", "Q\n");
    auto before = driverJson({"load", library.path()});
    ASSERT_EQ(before["pages"].size(), 2u);

    auto recovered = driverJson({"recover", library.path()});
    EXPECT_TRUE(recovered["recoveryFile"].is_string());

    auto after = driverJson({"load", library.path()});
    ASSERT_EQ(after["outcome"], "loaded");
    std::set<std::string> beforeIDs;
    std::set<std::string> afterIDs;
    for (const auto &page : before["pages"]) {
        beforeIDs.insert(page["id"].get<std::string>());
    }
    for (const auto &page : after["pages"]) {
        afterIDs.insert(page["id"].get<std::string>());
    }
    EXPECT_EQ(afterIDs, beforeIDs);
}

} // namespace
