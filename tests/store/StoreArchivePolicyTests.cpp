#include "StoreSessionFixture.h"
#include "model/PageArchiveState.h"

namespace velto {
namespace {

using namespace velto::testing;
using namespace std::chrono_literals;

/// One case of the active limits: the other pages, the limits, and which pages end up archived.
struct ActiveLimitCase {
    std::string name;
    std::vector<VeltoPage> others;
    std::int64_t maximumPageCount;
    std::int64_t maximumPageBytes;
    std::set<Uuid> expectedArchived;
};

std::vector<ActiveLimitCase> activeLimitCases() {
    std::vector<ActiveLimitCase> cases;
    {
        ActiveLimitCase limit{"101 pages: the least recently active goes", {}, 100, 5'242'880, {}};
        for (int index = 0; index < 101; ++index) {
            limit.others.push_back(textPage("same size", day(0), day(1) + std::chrono::minutes(index)));
        }
        limit.expectedArchived = {limit.others.front().id};
        cases.push_back(limit);
    }
    {
        VeltoPage newer = textPage("x", day(2), day(5));
        VeltoPage older = textPage("x", day(1), day(5));
        cases.push_back({"equal activity: the older-created goes", {older, newer}, 1, 5'242'880, {older.id}});
    }
    {
        VeltoPage a = textPage("x", day(1), day(5));
        VeltoPage b = textPage("x", day(1), day(5));
        const Uuid larger = a.id.uppercaseText() > b.id.uppercaseText() ? a.id : b.id;
        cases.push_back({"equal creation: the larger identifier text goes", {a, b}, 1, 5'242'880, {larger}});
    }
    {
        VeltoPage huge = textPage(std::string(5'242'881, 'a'), day(0), day(5));
        VeltoPage next = textPage("small", day(0), day(4));
        cases.push_back({"a page over 5 MiB alone stays active", {huge, next}, 100, 5'242'880, {next.id}});
    }
    {
        VeltoPage empty1 = textPage("", day(0), day(9));
        VeltoPage empty2 = textPage("", day(0), day(8));
        VeltoPage big = textPage(std::string(20, 'b'), day(0), day(7));
        VeltoPage after = textPage("c", day(0), day(6));
        cases.push_back({"leading empty pages use no budget", {empty1, empty2, big, after}, 100, 10, {after.id}});
    }
    {
        VeltoPage first = textPage("12345", day(0), day(9));
        VeltoPage exact = textPage("67890", day(0), day(8));
        VeltoPage over = textPage("1", day(0), day(7));
        cases.push_back({"reaching the limit exactly stays active", {first, exact, over}, 100, 10, {over.id}});
    }
    {
        VeltoPage unavailable = unavailablePage(false, day(9));
        VeltoPage kept = textPage("kept", day(0), day(8));
        VeltoPage beyond = textPage("beyond", day(0), day(7));
        cases.push_back(
            {"unavailable pages neither count nor go", {unavailable, kept, beyond}, 1, 5'242'880, {beyond.id}});
    }
    return cases;
}

TEST(StoreArchivePolicy, ActiveLimitsArchiveTheExcessWhenTheStoreIsBuilt) {
    for (const ActiveLimitCase &limitCase : activeLimitCases()) {
        SCOPED_TRACE(limitCase.name);
        MemoryStore memory;
        VeltoPage current = textPage(std::string(64, 'z'), day(0), day(0)); // old and large: never archived
        VeltoStore &store =
            memory.open(documentOf(current, limitCase.others), limitCase.maximumPageCount, limitCase.maximumPageBytes);
        EXPECT_EQ(store.archiveSnapshot().pageIDs, limitCase.expectedArchived);
        EXPECT_FALSE(isArchivedPage(store.document().currentPage));
        ASSERT_EQ(memory.saves.size(), 1u);
        for (const Uuid &pageID : limitCase.expectedArchived) {
            EXPECT_EQ(memory.saves.front().archiveMetadataPageRevisions.count(pageID), 1u);
        }
    }
}

TEST(StoreArchivePolicy, LibraryWithinTheLimitsIsNotSavedWhenBuilt) {
    MemoryStore memory;
    memory.open(documentOf(textPage("current", day(0)), {textPage("other", day(0))}));
    EXPECT_TRUE(memory.saves.empty());
}

TEST(StoreArchivePolicy, NeverArchivesNothingAndItsWindowHoldsEveryActivePage) {
    MemoryStore memory;
    VeltoPage ancient = textPage("ancient", day(-400));
    VeltoStore &store = memory.open(documentOf(textPage("current", day(0)), {ancient}));
    store.setAutoArchivePeriod(VeltoAutoArchivePeriod::never());
    EXPECT_EQ(awaitTask(store.autoArchiveEligiblePages(day(40))), 0);
    EXPECT_TRUE(store.archiveSnapshot().pageIDs.empty());
    EXPECT_EQ(store.otherActivePagesWithinAutoArchiveWindow(day(40), VeltoAutoArchivePeriod::never()).size(), 1u);
}

TEST(StoreArchivePolicy, AStoreBuiltWithAPeriodArchivesThePagesPastItAsItOpens) {
    struct Case {
        std::string name;
        std::optional<VeltoAutoArchivePeriod> period;
        VeltoAutoArchivePeriod expectedPeriod;
        bool archivesStale;
        bool archivesRecent;
    };
    const std::vector<Case> cases = {
        {"no period: one week, nothing archived until asked", std::nullopt, VeltoAutoArchivePeriod::oneWeek(), false,
         false},
        {"never", VeltoAutoArchivePeriod::never(), VeltoAutoArchivePeriod::never(), false, false},
        {"one week: the month-old page", VeltoAutoArchivePeriod::oneWeek(), VeltoAutoArchivePeriod::oneWeek(), true,
         false},
        {"one day: both older pages", VeltoAutoArchivePeriod::oneDay(), VeltoAutoArchivePeriod::oneDay(), true, true},
    };
    for (const Case &periodCase : cases) {
        SCOPED_TRACE(periodCase.name);
        MemoryStore memory; // its clock reads day 40
        VeltoPage stale = textPage("untouched for a month", day(0), day(10));
        VeltoPage recent = textPage("edited yesterday", day(0), day(39));
        memory.latestPages = {{stale.id, stale}, {recent.id, recent}};
        std::set<Uuid> expected;
        if (periodCase.archivesStale) {
            expected.insert(stale.id);
        }
        if (periodCase.archivesRecent) {
            expected.insert(recent.id);
        }
        VeltoStore::Environment environment = memory.environment();
        environment.autoArchivePeriod = periodCase.period;
        memory.openStore(
            std::move(environment),
            VeltoLibraryLoadResult::loaded(documentOf(textPage("current", day(0)), {stale, recent}), std::nullopt));

        EXPECT_TRUE(processEventsUntil([&] { return memory.store->archiveSnapshot().pageIDs == expected; }));
        EXPECT_EQ(memory.store->autoArchivePeriod(), periodCase.expectedPeriod);
        EXPECT_EQ(memory.latestPageReads, static_cast<int>(expected.size())) << "only the pages past the period";
        EXPECT_TRUE(processEventsUntil([&] { return memory.saves.size() == (expected.empty() ? 0u : 1u); }));
    }
}

TEST(StoreArchivePolicy, PageExactlyAtTheCutoffIsArchivedOnDisk) {
    DiskStore disk;
    VeltoPage current = textPage("current", day(0), day(39));
    VeltoPage atCutoff = textPage("a week old exactly", day(0), day(33));
    VeltoPage justInside = textPage("a second younger", day(0), day(33) + 1s);
    VeltoPage createdLongAgo = textPage("never updated", day(2)); // its creation date is its activity date
    writeLibrary(disk.folder, documentOf(current, {atCutoff, justInside, createdLongAgo}));
    VeltoStore &store = disk.open();
    store.setAutoArchivePeriod(VeltoAutoArchivePeriod::oneWeek());

    std::vector<VeltoPage> window =
        store.otherActivePagesWithinAutoArchiveWindow(day(40), VeltoAutoArchivePeriod::oneWeek());
    ASSERT_EQ(window.size(), 1u) << "a page exactly one period old is outside the window";
    EXPECT_EQ(window.front().id, justInside.id);

    int archivals = 0;
    QObject::connect(&store, &VeltoStoreSignals::archiveStateChanged, [&] { archivals += 1; });
    EXPECT_EQ(awaitTask(store.autoArchiveEligiblePages(day(40))), 2);
    EXPECT_EQ(archivals, 1);
    disk.flush();
    VeltoDocument onDisk = disk.reloadedFromDisk();
    EXPECT_EQ(onDisk.archivedPageIDs(), (std::set<Uuid>{atCutoff.id, createdLongAgo.id}));
    std::string file = pageFileText(disk.folder, atCutoff.id);
    EXPECT_NE(file.find("archived: true"), std::string::npos) << file;
    EXPECT_NE(file.find("a week old exactly"), std::string::npos) << file;
}

TEST(StoreArchivePolicy, PageEditedElsewhereWithinThePeriodStaysActive) {
    MemoryStore memory;
    VeltoPage old = textPage("old", day(0), day(1));
    VeltoPage editedElsewhere = old;
    editedElsewhere.content.asLoaded()->body = "edited by another writer yesterday";
    editedElsewhere.updatedAt = day(39);
    memory.latestPages[old.id] = editedElsewhere;
    VeltoStore &store = memory.open(documentOf(textPage("current", day(0)), {old}));
    store.setAutoArchivePeriod(VeltoAutoArchivePeriod::oneWeek());

    EXPECT_EQ(awaitTask(store.autoArchiveEligiblePages(day(40))), 0);
    EXPECT_EQ(pageIn(store.document(), old.id).visibleText(), "edited by another writer yesterday");
    EXPECT_FALSE(isArchivedPage(pageIn(store.document(), old.id)));
}

TEST(StoreArchivePolicy, SnapshotCountsArchivedPagesAsTheyAreStored) {
    MemoryStore none;
    EXPECT_EQ(none.open(documentOf(textPage("current", day(0)))).archiveSnapshot(), VeltoArchiveSnapshot::empty());

    MemoryStore memory;
    VeltoPage loaded = archivedVersion(textPage("body\n", day(0)), day(1));
    loaded.content.asLoaded()->lineEnding = "\r\n";
    VeltoPage summary = archivedSummaryPage("preview", day(0)); // a file of 100 bytes
    VeltoStore &store = memory.open(documentOf(textPage("current", day(0)), {loaded, summary}));
    VeltoArchiveSnapshot snapshot = store.archiveSnapshot();
    EXPECT_EQ(snapshot.pageIDs, (std::set<Uuid>{loaded.id, summary.id}));
    EXPECT_EQ(snapshot.totalBytes, static_cast<std::int64_t>(loaded.content.asLoaded()->fileContents().size()) + 100);
}

/// A library whose current page was just archived, ready for undo.
struct ArchivedCurrentPage {
    MemoryStore memory;
    VeltoPage first = textPage("first page", day(0));
    VeltoPage second = textPage("second page", day(0));
    VeltoPage third = textPage("third page", day(0));
    VeltoArchiveTransition transition;

    explicit ArchivedCurrentPage(bool holdSaves = false) {
        memory.holdSaves = holdSaves;
        memory.latestPages = {{first.id, first}, {second.id, second}, {third.id, third}};
        memory.open(documentOf(first, {second, third}));
        transition = *store().archiveCurrentPage(day(10));
    }
    VeltoStore &store() { return *memory.store; }
};

TEST(StoreArchivePolicy, UndoOfArchivingRestoresThePageAndRedoArchivesItAgain) {
    ArchivedCurrentPage library;
    VeltoStore &store = library.store();
    ASSERT_EQ(store.document().currentPage.id, library.second.id);
    library.memory.latestPages[library.first.id] = archivedVersion(library.first, day(10));

    ASSERT_TRUE(store.canApplyArchive(library.transition, true, "second page"));
    ASSERT_TRUE(awaitTask(store.applyArchiveTransition(library.transition.before)));
    EXPECT_EQ(store.document().currentPage.id, library.first.id);
    EXPECT_FALSE(isArchivedPage(store.document().currentPage));
    EXPECT_FALSE(store.document().currentPage.archivedAt.has_value());

    ASSERT_TRUE(store.canApplyArchive(library.transition, false, "first page"));
    ASSERT_TRUE(awaitTask(store.applyArchiveTransition(library.transition.after)));
    EXPECT_EQ(store.document().currentPage.id, library.second.id);
    EXPECT_EQ(store.archiveSnapshot().pageIDs, std::set<Uuid>{library.first.id});
}

TEST(StoreArchivePolicy, UndoOfArchivingIsRefusedAfterTyping) {
    ArchivedCurrentPage library;
    EXPECT_FALSE(library.store().canApplyArchive(library.transition, true, "second page, typed on"));
}

TEST(StoreArchivePolicy, UndoOfArchivingIsRefusedAfterAnotherWriterArchivedAThirdPage) {
    ArchivedCurrentPage library;
    VeltoStore &store = library.store();
    library.memory.latestPages[library.third.id] = archivedVersion(library.third, day(11));
    awaitTask(store.refreshPagesFromDisk({library.third.id}));
    ASSERT_TRUE(isArchivedPage(pageIn(store.document(), library.third.id)));

    EXPECT_FALSE(store.matchesArchiveTimelineState(library.transition.after, library.transition));
    EXPECT_FALSE(store.canApplyArchive(library.transition, true, "second page"));
}

TEST(StoreArchivePolicy, ArchiveTransitionThatCannotReadAFileChangesNothing) {
    ArchivedCurrentPage library;
    VeltoStore &store = library.store();
    library.memory.unreadablePages = {library.first.id};
    VeltoDocument before = store.document();
    EXPECT_FALSE(awaitTask(store.applyArchiveTransition(library.transition.before)));
    EXPECT_EQ(store.document(), before);
    EXPECT_TRUE(store.lastSaveErrorDescription().has_value());
}

TEST(StoreArchivePolicy, UndoOfArchivingKeepsUnsavedEditsOfThePage) {
    ArchivedCurrentPage library(true);
    VeltoStore &store = library.store();
    // Select the archived page's neighbour, type into it, and archive it: nothing of that is on disk yet.
    store.setText("second page, typed", day(11));
    VeltoArchiveTransition typedThenArchived = *store.archiveCurrentPage(day(12));

    ASSERT_TRUE(store.canApplyArchive(typedThenArchived, true, "third page"));
    ASSERT_TRUE(awaitTask(store.applyArchiveTransition(typedThenArchived.before)));
    EXPECT_EQ(store.document().currentPage.id, library.second.id);
    EXPECT_EQ(store.document().currentPage.visibleText(), "second page, typed");
    EXPECT_EQ(store.mutations().archiveMetadataPageRevisions.count(library.second.id), 0u);
}

// The store tells the shell of a change of archive state after every reload and save by this comparison, so it
// answers what comparing the two documents' archivedPageIDs() answers.
TEST(StoreArchivePolicy, ArchiveStateDiffersAsTheArchivedIdentifiersDo) {
    const VeltoPage active = textPage("active", day(0));
    const VeltoPage other = textPage("other", day(0));
    VeltoPage archived = active;
    archived.content = VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{"active", 6, true, {}, {}});
    const VeltoDocument base = documentOf(textPage("current", day(0)), {active, other});
    struct Case {
        const char *name;
        VeltoDocument other;
    };
    const Case cases[] = {
        {"the same document", base},
        {"the pages in another order", documentOf(base.currentPage, {other, active})},
        {"a page archived", documentOf(base.currentPage, {archived, other})},
        {"an archived page repeated", documentOf(base.currentPage, {archived, archived, other})},
        {"a page gone", documentOf(base.currentPage, {other})},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        EXPECT_EQ(archiveStateDiffers(base, testCase.other),
                  base.archivedPageIDs() != testCase.other.archivedPageIDs());
        EXPECT_EQ(archiveStateDiffers(testCase.other, base),
                  base.archivedPageIDs() != testCase.other.archivedPageIDs());
    }
}

} // namespace
} // namespace velto
