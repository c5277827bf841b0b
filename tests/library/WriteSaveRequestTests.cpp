#include "WriteTestSupport.h"

#include "library/save/SaveRequest.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::writetesting;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
const Uuid pageC = *Uuid::parse("C3000000-0000-4000-8000-000000000003");

VeltoSaveRequest markedRequest() {
    auto request = requestFor(documentOf(pageWithBody(pageA, "a\n"), {pageWithBody(pageB, "b\n")}), {});
    request.changedPageRevisions = {{pageA, 5}, {pageB, 3}};
    request.archiveMetadataPageRevisions = {{pageB, 3}};
    request.removedPageRevisions = {{pageC, 6}};
    request.structureRevision = 6;
    request.expectedPageBaselines = {{pageA, {"1", "x"}}, {pageB, {"2", "y"}}};
    return request;
}

TEST(SaveRequest, DiscardingKeepsOnlyMarksLaterThanWhatWasPersisted) {
    auto request = markedRequest();
    auto kept = request.discardingMutations({{pageA, 4}, {pageB, 3}}, 6);
    EXPECT_EQ(kept.changedPageRevisions, (VeltoSaveRequest::Revisions{{pageA, 5}}));
    EXPECT_TRUE(kept.archiveMetadataPageRevisions.empty());
    EXPECT_EQ(kept.removedPageRevisions, (VeltoSaveRequest::Revisions{{pageC, 6}}));
    EXPECT_FALSE(kept.structureRevision);
    EXPECT_EQ(kept.expectedPageBaselines.size(), 1u);
    EXPECT_TRUE(kept.expectedPageBaselines.contains(pageA));

    auto nothingLeft = request.discardingMutations({{pageA, 5}, {pageB, 9}, {pageC, 6}}, 9);
    EXPECT_TRUE(nothingLeft.changedPageRevisions.empty());
    EXPECT_TRUE(nothingLeft.expectedPageBaselines.empty());
    EXPECT_EQ(nothingLeft.document, request.document);
    EXPECT_EQ(nothingLeft.generation, request.generation);
}

TEST(SaveRequest, RebasingBaselinesTouchesOnlyChangedPages) {
    auto rebased = markedRequest().rebasingExpectedPageBaselines({{pageA, {"new", "n"}}, {pageC, {"c", "c"}}});
    EXPECT_EQ(rebased.expectedPageBaselines.at(pageA), (VeltoPageBaseline{"new", "n"}));
    EXPECT_FALSE(rebased.expectedPageBaselines.contains(pageC));
}

TEST(SaveRequest, ReplacingIdentifiersMovesMarksAndBaselinesButNotRemovals) {
    auto request = markedRequest();
    EXPECT_EQ(request.replacingPageIDs({}), request);
    auto replaced = request.replacingPageIDs({{pageA, pageC}});
    EXPECT_EQ(replaced.changedPageRevisions, (VeltoSaveRequest::Revisions{{pageB, 3}, {pageC, 5}}));
    EXPECT_EQ(replaced.removedPageRevisions, request.removedPageRevisions);
    EXPECT_EQ(replaced.document.currentPage.id, pageC);
    EXPECT_TRUE(replaced.expectedPageBaselines.contains(pageC));
    EXPECT_FALSE(replaced.expectedPageBaselines.contains(pageA));
}

TEST(SaveRequest, RebasingMergedPagesFoldsTheOtherSideIntoNewerEdits) {
    auto base = documentOf(pageWithBody(pageA, "one\ntwo\nthree\n"));
    auto merged = pageWithBody(pageA, "ONE\ntwo\nthree\n");
    auto newer = requestFor(documentOf(pageWithBody(pageA, "one\ntwo\nTHREE\n")), {pageA});
    auto rebased = newer.rebasingMergedPages({{pageA, merged}}, base);
    EXPECT_EQ(rebased.document.currentPage.visibleText(), "ONE\ntwo\nTHREE\n");

    auto conflicting = requestFor(documentOf(pageWithBody(pageA, "uno\ntwo\nthree\n")), {pageA});
    EXPECT_EQ(conflicting.rebasingMergedPages({{pageA, merged}}, base), conflicting);
}

TEST(SaveRequest, RebasedPageThatIsNoLongerArchivedLosesItsArchiveDate) {
    auto archivedText = "---\nvelto:\n  archived: true\n---\none\ntwo\n";
    auto base = pageWithText(pageA, archivedText);
    base.archivedAt = day(2);
    auto restoredElsewhere = pageWithText(pageA, "---\nvelto:\n  archived: false\n---\none\ntwo\n");
    restoredElsewhere.archivedAt = day(3);
    auto local = pageWithText(pageA, "---\nvelto:\n  archived: true\n---\none\nTWO\n");
    local.archivedAt = day(2);
    auto newer = requestFor(documentOf(local), {pageA});

    auto rebased = newer.rebasingMergedPages({{pageA, restoredElsewhere}}, documentOf(base));

    EXPECT_EQ(rebased.document.currentPage.visibleText(), "one\nTWO\n");
    EXPECT_FALSE(rebased.document.currentPage.archivedAt);
}

TEST(SaveRequest, BaselineOfALoadedPageKeepsItsLineEndingsAndAnEmptyPageHasNoChecksum) {
    auto crlf = pageWithText(pageA, "---\r\nvelto:\r\n  id: x\r\n---\r\nhi\r\n");
    auto baseline = VeltoPageBaseline::fromPage(crlf);
    EXPECT_EQ(baseline.fileContents, "---\r\nvelto:\r\n  id: x\r\n---\r\nhi\r\n");
    EXPECT_EQ(baseline.checksum, contentChecksum(*baseline.fileContents));
    EXPECT_EQ(VeltoPageBaseline::fromPage(pageWithText(pageA, "")), (VeltoPageBaseline{std::nullopt, ""}));
}

} // namespace
