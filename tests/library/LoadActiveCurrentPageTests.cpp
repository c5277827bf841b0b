// After every load the current page is one the user can type into at once.

#include "library/load/ActiveCurrentPage.h"

#include "LibraryTestValues.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

namespace {

using namespace velto::librarytesting;
using namespace VeltoPageLibrary;
using velto::VeltoPage;
using velto::VeltoPageContent;
using velto::VeltoPageFileContent;

VeltoPage loadedPage(const std::string &idDigits, const std::string &text) {
    VeltoPage page;
    page.id = uuid(idDigits);
    page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(text));
    return page;
}

VeltoPage archivedPage(const std::string &idDigits) {
    return loadedPage(idDigits, "---\nvelto:\n  archived: true\n---\nOld\n");
}

VeltoPage summarizedPage(const std::string &idDigits) {
    VeltoPage page;
    page.id = uuid(idDigits);
    page.content = VeltoPageContent::archivedSummary({});
    return page;
}

VeltoPage downloadingPage(const std::string &idDigits) {
    VeltoPage page;
    page.id = uuid(idDigits);
    page.content = VeltoPageContent::unavailable({});
    return page;
}

std::vector<velto::Uuid> idsOf(const std::vector<VeltoPage> &pages) {
    std::vector<velto::Uuid> ids;
    for (const auto &page : pages) {
        ids.push_back(page.id);
    }
    return ids;
}

TEST(ActiveCurrentPage, ActiveRecordedPageStaysWithoutRepair) {
    auto [document, repair] =
        documentWithActiveCurrentPage(loadedPage("a1", "Hello\n"), {archivedPage("b1"), downloadingPage("c1")});
    EXPECT_EQ(document.currentPage.id, uuid("a1"));
    EXPECT_EQ(idsOf(document.pages), (std::vector{uuid("b1"), uuid("c1")}));
    EXPECT_FALSE(repair);
}

TEST(ActiveCurrentPage, FirstActivePageIsPromotedAndTheFormerCurrentPageLeadsTheOthers) {
    auto [document, repair] = documentWithActiveCurrentPage(
        summarizedPage("a1"), {summarizedPage("b1"), loadedPage("c1", "Active\n"), loadedPage("d1", "Too\n")});
    EXPECT_EQ(document.currentPage.id, uuid("c1"));
    EXPECT_EQ(idsOf(document.pages), (std::vector{uuid("a1"), uuid("b1"), uuid("d1")}));
    ASSERT_TRUE(repair);
    EXPECT_EQ(*repair, VeltoLibraryStructureRepair::promotedExistingPageRepair());
}

TEST(ActiveCurrentPage, WithoutActivePageANewEmptyPageIsCreatedAtTheClocksTime) {
    velto::testing::ManualClock clock;
    auto [document, repair] = documentWithActiveCurrentPage(downloadingPage("a1"), {archivedPage("b1")}, clock);
    EXPECT_EQ(idsOf(document.pages), (std::vector{uuid("a1"), uuid("b1")}));
    const auto &created = document.currentPage;
    EXPECT_EQ(created.createdAt, clock.now());
    EXPECT_TRUE(created.fileSlug.has_value());
    EXPECT_FALSE(created.relativeFilePath.has_value());
    ASSERT_NE(created.content.asLoaded(), nullptr);
    EXPECT_EQ(*created.content.asLoaded(), VeltoPageFileContent{});
    ASSERT_TRUE(repair);
    EXPECT_FALSE(repair->promotedExistingPage);
    EXPECT_EQ(repair->createdPageID, created.id);
}

TEST(ActiveCurrentPage, ArchiveFlagIsReadAsThePageFileFormatReadsIt) {
    struct Example {
        const char *flag;
        bool active;
    };
    for (const auto &example : {Example{"true", false}, Example{"TRUE", false}, Example{"true  # old", false},
                                Example{"yes", true}, Example{"false", true}}) {
        auto page = loadedPage("a1", std::string("---\nvelto:\n  archived: ") + example.flag + "\n---\nText\n");
        EXPECT_EQ(isActivePage(page), example.active) << example.flag;
    }
}

} // namespace
