#include "ReliabilitySupport.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::reliabilitytesting;
using velto::testing::TemporaryFolder;

namespace {

TEST(WriteDriver, WritePrintsTheSaveResultAndTheNewPagesInOrder) {
    TemporaryFolder folder;
    auto library = (folder / "library").string();
    auto created = runDriver({"write", library}, R"({"newPages": ["one\n", "two\n"]})", (folder / "run").string());
    ASSERT_TRUE(created);
    ASSERT_EQ(created->at("newPageIDs").size(), 2u);
    for (const char *key : {"persistedPageIDs", "conflicts", "pageIDReplacements", "mergedPageIDs"}) {
        EXPECT_TRUE(created->contains(key)) << key;
    }
    auto first = created->at("newPageIDs").at(0).get<std::string>();

    auto edited = runDriver({"write", library, "--pause-ms", "0"},
                            R"({"setText": {")" + first + R"(": "one edited\n"}, "current": ")" + first + R"("})",
                            (folder / "run").string());
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->at("persistedPageIDs"), Json::array({first}));

    auto loaded = runDriver({"load", library}, "", (folder / "run").string());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->at("currentPageID"), first);
}

TEST(WriteDriver, UnknownPageFailsWithExitStatus2AndAMessage) {
    TemporaryFolder folder;
    DriverProcess process({"write", (folder / "library").string()},
                          R"({"setText": {"A1000000-0000-4000-8000-000000000001": "x"}})", (folder / "run").string());
    ASSERT_TRUE(process.started());
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(process.errorOutput().find("no page"), std::string::npos);
}

TEST(WriteDriver, CopyRecoverAndAssessPrintTheirResults) {
    TemporaryFolder folder;
    auto library = (folder / "library").string();
    ASSERT_TRUE(runDriver({"write", library}, R"({"newPages": ["kept\n"]})", (folder / "run").string()));

    auto assessed = runDriver({"assess", library}, "", (folder / "run").string());
    ASSERT_TRUE(assessed);
    EXPECT_EQ(assessed->at("kind"), "existingLibrary");
    EXPECT_EQ(assessed->at("markdownFileCount"), 1);

    auto copied = runDriver({"copy", library, (folder / "copy").string()}, "", (folder / "run").string());
    ASSERT_TRUE(copied);
    EXPECT_FALSE(copied->at("pageIDs").empty());

    folder.writeFile("library/.velto/manifest.json", "{ damaged");
    auto recovered = runDriver({"recover", library}, "", (folder / "run").string());
    ASSERT_TRUE(recovered);
    EXPECT_TRUE(recovered->at("recoveryFile").is_string());
    auto loaded = runDriver({"load", library}, "", (folder / "run").string());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->at("outcome"), "loaded");
}

} // namespace
