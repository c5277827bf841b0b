// The driver's load commands, run as a separate process the way the multi-process tests run them.

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace velto::librarytesting;
using velto::testing::TemporaryFolder;

/// Runs the driver and returns its standard output parsed as JSON (null when it printed none).
velto::Json driverOutput(std::vector<std::string> arguments) {
    auto run = runDriver(std::move(arguments));
    EXPECT_EQ(run.exitStatus, 0);
    return run.output.empty() ? velto::Json() : velto::decodeJSON(run.output);
}

TEST(LoadDriver, EmptyFolderIsMissing) {
    TemporaryFolder library;
    EXPECT_EQ(driverOutput({"load", library.path()}), velto::decodeJSON(R"({"outcome":"missing"})"));
}

TEST(LoadDriver, LoadedLibraryListsEveryPageCurrentFirst) {
    TemporaryFolder library;
    library.writeFile("a.md", pageFileText(uuid("a0"), "Active\n"));
    library.writeFile("old.md", archivedPageFileText(uuid("b0"), "Old\n"));
    auto output = driverOutput({"load", library.path(), "--now", "2026-01-05T09:30:00Z"});

    EXPECT_EQ(output["outcome"], "loaded");
    EXPECT_EQ(output["currentPageID"], uuid("a0").uppercaseText());
    ASSERT_EQ(output["pages"].size(), 2u);
    EXPECT_EQ(output["pages"][0],
              velto::decodeJSON(R"({"id":")" + uuid("a0").uppercaseText() +
                                R"(","relativeFilePath":"a.md","isArchived":false,)"
                                R"("availability":"available","kind":"content","text":"Active\n"})"));
    EXPECT_EQ(output["pages"][1]["kind"], "archivedSummary");
    EXPECT_EQ(output["pages"][1]["text"], "Old\n");
    EXPECT_EQ(output["pages"][1]["isArchived"], true);
}

TEST(LoadDriver, FailureCarriesTheRecoveryIssue) {
    TemporaryFolder library;
    library.writeFile(".velto/manifest.json", R"({"schemaVersion": 5})");
    auto output = driverOutput({"load", library.path()});
    EXPECT_EQ(output["outcome"], "failed");
    EXPECT_EQ(output["recoveryIssue"]["kind"], "corrupt");
    EXPECT_EQ(output["recoveryIssue"]["message"],
              "This Velto library uses newer metadata version 5. Update Velto before opening it.");
}

TEST(LoadDriver, LoadChangesAddsTheChangedFiles) {
    TemporaryFolder library;
    library.writeFile("a.md", pageFileText(uuid("a0"), "Active\n"));
    ASSERT_EQ(driverOutput({"load", library.path()})["pages"].size(), 1u);
    library.writeFile("notes/new.md", "Added\n");
    auto output = driverOutput({"load-changes", library.path(), "notes/new.md"});
    EXPECT_EQ(output["outcome"], "loaded");
    ASSERT_EQ(output["pages"].size(), 2u);
    EXPECT_EQ(output["pages"][1]["relativeFilePath"], "notes/new.md");
    EXPECT_EQ(output["pages"][1]["text"], "Added\n");
}

} // namespace
