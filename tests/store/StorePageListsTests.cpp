#include "StoreSessionFixture.h"
#include "model/PageArchiveState.h"
#include "store/PageLists.h"

#include <future>

namespace velto {
namespace {

using namespace velto::testing;

std::vector<Uuid> idsOf(const std::vector<VeltoPage> &pages) {
    std::vector<Uuid> ids;
    for (const VeltoPage &page : pages) {
        ids.push_back(page.id);
    }
    return ids;
}

TEST(StorePageLists, CurrentPageStandsAloneWhenEveryOtherPageIsArchived) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(1));
    VeltoStore &store = memory.open(documentOf(
        current, {archivedVersion(textPage("old", day(0)), day(2)), archivedSummaryPage("summary", day(0))}));
    EXPECT_TRUE(activeOtherPages(store.document()).empty());
    EXPECT_EQ(idsOf(activePagesSortedByActivity(store.document())), std::vector<Uuid>{current.id});
    EXPECT_EQ(idsOf(activePagesInNavigationOrder(store.document())), std::vector<Uuid>{current.id});
    EXPECT_EQ(archivedPagesSortedByArchiveDate(store.document()).size(), 2u);
}

TEST(StorePageLists, UnavailablePagesAreListedByTheirArchiveFlagButNeverNavigated) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(1));
    VeltoPage unavailableActive = unavailablePage(std::nullopt, day(3));
    VeltoPage unavailableArchived = unavailablePage(true, day(2));
    VeltoPage loaded = textPage("loaded", day(0));
    VeltoStore &store = memory.open(documentOf(current, {unavailableActive, unavailableArchived, loaded}));

    EXPECT_EQ(idsOf(activeOtherPages(store.document())), (std::vector<Uuid>{unavailableActive.id, loaded.id}));
    EXPECT_EQ(idsOf(activePagesSortedByActivity(store.document())),
              (std::vector<Uuid>{unavailableActive.id, current.id, loaded.id}));
    EXPECT_EQ(idsOf(activePagesInNavigationOrder(store.document())), (std::vector<Uuid>{current.id, loaded.id}));
    EXPECT_EQ(idsOf(archivedPagesSortedByArchiveDate(store.document())), std::vector<Uuid>{unavailableArchived.id});
}

TEST(StorePageLists, EqualDatesSortBySmallerIdentifierTextFirst) {
    MemoryStore memory;
    VeltoPage a = textPage("a", day(1));
    VeltoPage b = textPage("b", day(1));
    VeltoPage current = textPage("current", day(0));
    VeltoStore &store = memory.open(documentOf(current, {a, b}));
    std::vector<Uuid> expected =
        a.id.uppercaseText() < b.id.uppercaseText() ? std::vector<Uuid>{a.id, b.id} : std::vector<Uuid>{b.id, a.id};
    expected.push_back(current.id);
    EXPECT_EQ(idsOf(activePagesSortedByActivity(store.document())), expected);
}

TEST(StorePageLists, ArchivedPagesWithoutArchiveDateSortByUpdateElseCreationDate) {
    MemoryStore memory;
    VeltoPage archivedOnDay5 = archivedVersion(textPage("a", day(0)), day(5));
    VeltoPage updatedOnDay7 = archivedVersion(textPage("b", day(0), day(7)), day(0));
    updatedOnDay7.archivedAt.reset();
    VeltoPage createdOnDay6 = archivedVersion(textPage("c", day(6)), day(0));
    createdOnDay6.archivedAt.reset();
    VeltoStore &store =
        memory.open(documentOf(textPage("current", day(0)), {archivedOnDay5, updatedOnDay7, createdOnDay6}));
    EXPECT_EQ(idsOf(archivedPagesSortedByArchiveDate(store.document())),
              (std::vector<Uuid>{updatedOnDay7.id, createdOnDay6.id, archivedOnDay5.id}));
}

TEST(StorePageLists, ConflictCopyIsKnownBySlugOrByItsConflictOrigin) {
    VeltoPage bySlug = textPage("x", day(0));
    bySlug.fileSlug = "conflict-copy";
    EXPECT_TRUE(isConflictCopy(bySlug));

    VeltoPage byOrigin = textPage("x", day(0));
    byOrigin.content.asLoaded()->writeVeltoMetadata(byOrigin.id, false, Uuid::random());
    EXPECT_TRUE(isConflictCopy(byOrigin));

    VeltoPage plain = textPage("x", day(0));
    plain.fileSlug.reset();
    EXPECT_FALSE(isConflictCopy(plain));
}

/// Archived previews read by a test-controlled operation, which can be held until the test lets it go.
struct PreviewStore : MemoryStore {
    std::shared_ptr<std::promise<void>> release;
    std::shared_future<void> released;
    std::set<Uuid> failing;

    VeltoStore &openWithPreviews(const VeltoDocument &document, bool hold) {
        VeltoStore::Environment environment = this->environment();
        if (hold) {
            release = std::make_shared<std::promise<void>>();
            released = release->get_future().share();
        }
        environment.archivedPreviewLoadOperation = [released = released,
                                                    failing = failing](const VeltoPage &page,
                                                                       const std::filesystem::path &, FileSystem &) {
            if (released.valid()) {
                released.wait();
            }
            if (failing.count(page.id) != 0) {
                throw std::runtime_error("The page file “old.md” could not be read.");
            }
            VeltoPage preview = page;
            preview.content =
                VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{"preview text", 12, true, "abc", "def"});
            return preview;
        };
        return openStore(std::move(environment), VeltoLibraryLoadResult::loaded(document, std::nullopt));
    }
};

TEST(StorePageLists, PreviewsOfNoPagesAreEmpty) {
    PreviewStore memory;
    VeltoStore &store = memory.openWithPreviews(documentOf(textPage("current", day(0))), false);
    EXPECT_TRUE(awaitTask(store.loadArchivedPreviews({})).empty());
    EXPECT_TRUE(awaitTask(store.loadArchivedPreviews({Uuid::random()})).empty());
}

TEST(StorePageLists, LoadedPreviewsReplaceTheirPagesAndFailuresAreReported) {
    PreviewStore memory;
    VeltoPage archived = archivedSummaryPage("", day(0));
    VeltoPage broken = archivedSummaryPage("", day(1));
    memory.failing = {broken.id};
    VeltoStore &store = memory.openWithPreviews(documentOf(textPage("current", day(2)), {archived, broken}), false);

    std::map<Uuid, VeltoPage> answer = awaitTask(store.loadArchivedPreviews({archived.id, broken.id}));
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer.at(archived.id).visibleText(), "preview text");
    EXPECT_EQ(pageIn(store.document(), archived.id).visibleText(), "preview text");
    EXPECT_EQ(pageIn(store.document(), broken.id), broken);
    EXPECT_EQ(store.lastSaveErrorDescription(), "The page file “old.md” could not be read.");
    EXPECT_FALSE(store.latestScheduledGeneration().has_value()) << "a preview is not a change to save";
}

TEST(StorePageLists, PreviewNeverReplacesAPageRestoredWhileItWasRead) {
    PreviewStore memory;
    VeltoPage archived = archivedVersion(textPage("the whole text", day(0)), day(1));
    memory.latestPages[archived.id] = archived;
    VeltoStore &store = memory.openWithPreviews(documentOf(textPage("current", day(2)), {archived}), true);

    auto previews = observe(store.loadArchivedPreviews({archived.id}));
    ASSERT_TRUE(awaitTask(store.restoreArchivedPage(archived.id, day(3))));
    memory.release->set_value();
    ASSERT_TRUE(processEventsUntil([&] { return previews->finished; }));

    EXPECT_TRUE(previews->value->empty());
    EXPECT_EQ(store.document().currentPage.id, archived.id);
    EXPECT_EQ(store.document().currentPage.visibleText(), "the whole text");
    EXPECT_FALSE(isArchivedPage(store.document().currentPage));
}

} // namespace
} // namespace velto
