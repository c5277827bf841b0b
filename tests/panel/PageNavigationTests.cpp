#include "PanelTestSupport.h"

#include "library/load/LoadResult.h"
#include "panel/pages/PageNavigation.h"
#include "store/PageLists.h"
#include "store/Store.h"
#include "support/ManualClock.h"
#include "support/StoreHarness.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

VeltoPage page(const std::string &body, int hoursAgo) {
    VeltoPage page;
    page.id = Uuid::random();
    page.createdAt = dateFromSecondsSince1970(1'767'225'600 - hoursAgo * 3600);
    page.fileSlug = "calm-cove";
    page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, body, "\n"});
    return page;
}

/// A store over a document held in memory; saves succeed without touching a disk.
class PageNavigationTest : public ::testing::Test, protected testing::StoreHarness {
protected:
    VeltoStore &open(VeltoPage current, std::vector<VeltoPage> others) {
        VeltoStore::Environment environment;
        environment.clock = &clock;
        environment.scheduler = &scheduler;
        environment.saveOperation = testing::quietSuccessfulSaves();
        return openStore(
            std::move(environment),
            VeltoLibraryLoadResult::loaded(testing::documentOf(std::move(current), std::move(others)), std::nullopt));
    }

    ~PageNavigationTest() override { store.reset(); } // before the clock and the scheduler it was built with

    testing::ManualClock clock;
    testing::ManualScheduler scheduler;
};

using Selection = PageNavigationOutcome::Selection;

TEST_F(PageNavigationTest, CyclingWalksTheSnapshotInBothDirections) {
    VeltoPage a = page("a", 0), b = page("b", 1), c = page("c", 2);
    PageNavigationCoordinator navigation(open(a, {b, c}));
    std::vector<Uuid> order = navigationSnapshot(activePagesInNavigationOrder(store->document()), a).pageIDs;
    ASSERT_EQ(order.size(), 3u);

    EXPECT_EQ(navigation.selectNextPage(false).selection, (Selection{2, 3}));
    EXPECT_EQ(store->document().currentPage.id, order[1]);
    EXPECT_EQ(navigation.selectNextPage(false).selection, (Selection{3, 3}));
    EXPECT_EQ(navigation.selectNextPage(false).selection, (Selection{1, 3})) << "the snapshot stays across steps";
    EXPECT_EQ(store->document().currentPage.id, order[0]);
    EXPECT_EQ(navigation.selectNextPage(true).selection, (Selection{3, 3}));
}

TEST_F(PageNavigationTest, TheOnlyPageGivesNoSelection) {
    PageNavigationCoordinator navigation(open(page("only", 0), {}));
    EXPECT_EQ(navigation.selectNextPage(false).selection, std::nullopt);
}

TEST_F(PageNavigationTest, FromAnEmptyPageTheOtherIsPageOneOfOne) {
    VeltoPage other = page("notes", 1);
    PageNavigationCoordinator navigation(open(page("", 0), {other}));
    EXPECT_EQ(navigation.selectNextPage(false).selection, (Selection{1, 1}));
    EXPECT_EQ(store->document().currentPage.id, other.id);
}

} // namespace
} // namespace velto
