#include "library/folder/PageFileNaming.h"

#include "LibraryTestValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace velto::librarytesting;
using VeltoPageLibrary::contentChecksum;
using VeltoPageLibrary::isManagedPageFileName;
using VeltoPageLibrary::pageFileName;
using VeltoPageLibrary::pageFileStem;
using VeltoPageLibrary::recordActivityPrecedes;

TEST(PageFileNaming, ContentChecksumIsLowerCaseFNV1aWithoutLeadingZeros) {
    struct Case {
        std::string text;
        std::optional<std::string> checksum;
    };
    const std::vector<Case> cases{
        {"", std::nullopt},
        {"abc", "e71fa2190541574b"},
        {"\xC3\xA9", "ac21707b7181e01"}, // é: two bytes, fifteen digits
        {"aa", "89c4307b54596b7"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(contentChecksum(c.text), c.checksum) << c.text;
    }
}

TEST(PageFileNaming, StemIsTheCreationDayInUTC) {
    auto page = record(uuid("a1b2c3d4"));
    page.createdAt = at(1'741'393'800); // 2025-03-08T00:30:00Z, still 7 March west of Greenwich
    EXPECT_EQ(pageFileStem(page), "2025-03-08");
}

TEST(PageFileNaming, FileNameComesFromDateSlugAndIdentifierUnlessThePathIsFixed) {
    auto page = record(uuid("a1b2c3d4"));
    page.createdAt = at(1'741'305'600); // 2025-03-07T00:00:00Z
    EXPECT_EQ(pageFileName(page), "2025-03-07-a1b2c3d4.md");
    page.fileSlug = "conflict-copy";
    EXPECT_EQ(pageFileName(page), "2025-03-07-conflict-copy-a1b2c3d4.md");
    page.relativeFilePath = "Notes/plan.md";
    EXPECT_EQ(pageFileName(page), "Notes/plan.md");
}

TEST(PageFileNaming, ManagedNamesAreRelativeMarkdownPathsOutsideTheMetadata) {
    for (const char *name : {"a.md", "Notes/a.MD", ".md", "x/.velto/a.md", ".Velto/a.md"}) {
        EXPECT_TRUE(isManagedPageFileName(name)) << name;
    }
    for (const char *name :
         {"/a.md", "a.txt", "a//b.md", "./a.md", "x/../a.md", ".velto/manifest.md", "a.md/", "", "..md/../b.md"}) {
        EXPECT_FALSE(isManagedPageFileName(name)) << name;
    }
}

TEST(PageFileNaming, ActivityOrderIsNewestFirstThenNewestCreatedThenIdentifierText) {
    auto older = record(uuid("01"));
    older.updatedAt = at(100);
    auto newer = record(uuid("02"));
    newer.updatedAt = at(200);
    EXPECT_TRUE(recordActivityPrecedes(newer, older));
    EXPECT_FALSE(recordActivityPrecedes(older, newer));

    // Without an update date the creation date is the activity date.
    auto createdLater = record(uuid("03"));
    createdLater.createdAt = at(150);
    EXPECT_TRUE(recordActivityPrecedes(createdLater, older));

    auto sameDatesLowID = record(uuid("0a"));
    auto sameDatesHighID = record(uuid("0b"));
    EXPECT_TRUE(recordActivityPrecedes(sameDatesLowID, sameDatesHighID));
    EXPECT_FALSE(recordActivityPrecedes(sameDatesHighID, sameDatesLowID));
    EXPECT_FALSE(recordActivityPrecedes(sameDatesLowID, sameDatesLowID));

    auto sameActivityCreatedLater = record(uuid("ff"));
    sameActivityCreatedLater.createdAt = at(50);
    sameActivityCreatedLater.updatedAt = at(100);
    auto sameActivityCreatedEarlier = record(uuid("00"));
    sameActivityCreatedEarlier.createdAt = at(10);
    sameActivityCreatedEarlier.updatedAt = at(100);
    EXPECT_TRUE(recordActivityPrecedes(sameActivityCreatedLater, sameActivityCreatedEarlier));
}

} // namespace
