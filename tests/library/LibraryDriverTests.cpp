// The test driver as the multi-process tests and reviewers use it: one command per run.

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "platform/JsonCoding.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace velto::librarytesting;
using velto::testing::TemporaryFolder;

TEST(LibraryDriver, ChecksumOfStandardInput) {
    EXPECT_EQ(runDriver({"checksum"}, "abc").output, "e71fa2190541574b\n");
    auto empty = runDriver({"checksum"}, "");
    EXPECT_EQ(empty.exitStatus, 0);
    EXPECT_EQ(empty.output, "");
}

TEST(LibraryDriver, PageParseReportsTheMetadata) {
    auto pageID = uuid("a1");
    auto run = runDriver({"page-parse"}, "---\r\nvelto:\r\n  id: " + pageID.lowercaseText() +
                                             "\r\n  archived: true\r\n---\r\nBody\r\n");
    ASSERT_EQ(run.exitStatus, 0);
    auto json = velto::decodeJSON(run.output);
    EXPECT_EQ(json["body"], "Body\n");
    EXPECT_EQ(json["lineEnding"], "\r\n");
    EXPECT_EQ(json["pageID"], pageID.uppercaseText());
    EXPECT_EQ(json["isArchived"], true);
    EXPECT_TRUE(json["conflictOf"].is_null());
    EXPECT_TRUE(velto::decodeJSON(runDriver({"page-parse"}, "plain").output)["frontMatter"].is_null());
}

TEST(LibraryDriver, PageWriteRewritesTheMetadata) {
    auto pageID = uuid("a1");
    auto origin = uuid("b2");
    auto run =
        runDriver({"page-write", "--id", pageID.uppercaseText(), "--archived", "--conflict-of", origin.lowercaseText()},
                  "Hello\n");
    ASSERT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, "---\nvelto:\n  id: " + pageID.lowercaseText() +
                              "\n  archived: true\n  conflict-of: " + origin.lowercaseText() + "\n---\nHello\n");
    EXPECT_EQ(runDriver({"page-write", "--id", "not-a-uuid"}, "x").exitStatus, 2);
}

TEST(LibraryDriver, MergeJoinsSeparateEditsAndReportsConflicts) {
    TemporaryFolder temporary;
    auto base = temporary.writeFile("base.md", "one\ntwo\nthree\n");
    auto ours = temporary.writeFile("ours.md", "ONE\ntwo\nthree\n");
    auto theirs = temporary.writeFile("theirs.md", "one\ntwo\nTHREE\n");
    auto clash = temporary.writeFile("clash.md", "uno\ntwo\nthree\n");
    auto merged = runDriver({"merge", base.string(), ours.string(), theirs.string()});
    EXPECT_EQ(merged.exitStatus, 0);
    EXPECT_EQ(merged.output, "ONE\ntwo\nTHREE\n");
    EXPECT_EQ(runDriver({"merge", base.string(), ours.string(), clash.string()}).exitStatus, 1);
}

TEST(LibraryDriver, BadCommandsExitWithStatusTwo) {
    EXPECT_EQ(runDriver({}).exitStatus, 2);
    EXPECT_EQ(runDriver({"unknown"}).exitStatus, 2);
    EXPECT_EQ(runDriver({"lock", "/nonexistent-folder", "--seconds", "0"}).exitStatus, 2);
    EXPECT_EQ(runDriver({"lock", "/tmp", "--seconds", "soon"}).exitStatus, 2);
    EXPECT_EQ(runDriver({"merge", "/nonexistent/a", "/nonexistent/b", "/nonexistent/c"}).exitStatus, 2);
}

} // namespace
