#include "StoreSessionFixture.h"
#include "model/PageArchiveState.h"
#include "store/OwnFileChanges.h"

#include <fstream>

namespace velto {
namespace {

using namespace velto::testing;
using namespace std::chrono_literals;

VeltoPage conflictCopyOf(const VeltoPage &original, const std::string &body) {
    VeltoPage copy = textPage(body, day(2), day(3));
    copy.fileSlug = "conflict-copy";
    copy.content.asLoaded()->writeVeltoMetadata(copy.id, false, original.id);
    return copy;
}

/// The Markdown file in the folder that holds `text`; empty when none does.
std::filesystem::path pageFileHolding(const std::filesystem::path &folder, const std::string &text) {
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".md" &&
            defaultFileSystem().readFile(entry.path()).find(text) != std::string::npos) {
            return entry.path();
        }
    }
    return {};
}

/// A store whose next save reports the given conflicts.
struct ConflictingSaves : MemoryStore {
    std::vector<VeltoSaveConflict> conflicts;
    std::map<Uuid, Uuid> replacements;

    ConflictingSaves() {
        saveResult = [this](const VeltoSaveRequest &) {
            VeltoSaveResult result;
            result.conflicts = std::exchange(conflicts, {});
            result.pageIDReplacements = std::exchange(replacements, {});
            return result;
        };
    }
};

TEST(StoreConflicts, NoticeCountsOnlyOrdinaryConflicts) {
    ConflictingSaves saves;
    VeltoPage original = textPage("original", day(0));
    VeltoPage removedOriginal = textPage("removed", day(0));
    VeltoStore &store = saves.open(documentOf(original, {removedOriginal}));
    VeltoPage copy = conflictCopyOf(original, "their version");
    VeltoPage recovered = textPage("kept local edit", day(0));
    saves.conflicts = {{original.id, copy}, {removedOriginal.id, recovered}};
    saves.replacements = {{removedOriginal.id, recovered.id}};
    store.setText("my version", day(1));

    ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
    EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Review Saved Conflict Copy…");
    EXPECT_EQ(store.lastSaveConflictPresentation()->message,
              "This page changed in another app or Velto window. Your edit is current, and the other version was "
              "saved as a separate page.");
    EXPECT_EQ(store.lastSaveConflictPresentation()->pageIDs, std::vector<Uuid>{copy.id});
    EXPECT_TRUE(hasPage(store.document(), copy.id));
}

TEST(StoreConflicts, NoticeOfRemovedOriginalsAloneSaysThePageWasRecovered) {
    ConflictingSaves saves;
    VeltoPage original = textPage("original", day(0));
    VeltoStore &store = saves.open(documentOf(original));
    VeltoPage recovered = textPage("kept", day(0));
    saves.conflicts = {{original.id, recovered}};
    saves.replacements = {{original.id, recovered.id}};
    store.setText("edit", day(1));

    ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
    EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Page Recovered After File Removal");
    EXPECT_EQ(store.lastSaveConflictPresentation()->pageIDs, std::vector<Uuid>{recovered.id});

    store.setText("a save without conflicts", day(2));
    EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Page Recovered After File Removal");
}

TEST(StoreConflicts, NoticeShrinksWithEveryResolvedCopyAndEndsWithTheLast) {
    ConflictingSaves saves;
    VeltoPage a = textPage("a", day(0));
    VeltoPage b = textPage("b", day(0));
    VeltoPage c = textPage("c", day(0));
    VeltoStore &store = saves.open(documentOf(a, {b, c}));
    std::vector<VeltoPage> copies{conflictCopyOf(a, "a'"), conflictCopyOf(b, "b'"), conflictCopyOf(c, "c'")};
    for (const VeltoPage &copy : copies) {
        saves.latestPages[copy.id] = copy;
    }
    saves.conflicts = {{a.id, copies[0]}, {b.id, copies[1]}, {c.id, copies[2]}};
    store.setText("a edited", day(1));
    const std::string message = "3 pages changed elsewhere. Your edits are current, and the other versions were "
                                "saved as separate pages.";
    ASSERT_EQ(store.lastSaveConflictPresentation()->title, "Review 3 Saved Conflict Copies…");
    ASSERT_EQ(store.lastSaveConflictPresentation()->message, message);

    EXPECT_EQ(awaitTask(store.resolveConflict(copies[1].id, VeltoConflictResolution::keepCurrentVersion, day(5))),
              VeltoConflictResolutionOutcome::resolved);
    EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Review 2 Saved Conflict Copies…");
    EXPECT_EQ(store.lastSaveConflictPresentation()->message, message);
    EXPECT_EQ(store.lastSaveConflictPresentation()->pageIDs, (std::vector<Uuid>{copies[0].id, copies[2].id}));

    awaitTask(store.resolveConflict(copies[0].id, VeltoConflictResolution::keepCurrentVersion, day(5)));
    EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Review Saved Conflict Copy…");
    awaitTask(store.resolveConflict(copies[2].id, VeltoConflictResolution::keepCurrentVersion, day(5)));
    EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
}

TEST(StoreConflicts, ResolutionsThatNeedTheOriginalAreRefusedWithoutIt) {
    MemoryStore memory;
    VeltoPage deletedOriginal = textPage("gone", day(0));
    VeltoPage copy = conflictCopyOf(deletedOriginal, "their version");
    VeltoPage slugOnly = textPage("slug only", day(0));
    slugOnly.fileSlug = "conflict-copy";
    memory.latestPages = {{copy.id, copy}, {slugOnly.id, slugOnly}};
    VeltoPage current = conflictCopyOf(deletedOriginal, "current copy");
    VeltoStore &store = memory.open(documentOf(current, {copy, slugOnly}));

    for (const Uuid &copyID : {copy.id, slugOnly.id}) {
        EXPECT_EQ(awaitTask(store.resolveConflict(copyID, VeltoConflictResolution::keepCurrentVersion, day(5))),
                  VeltoConflictResolutionOutcome::unavailable);
        EXPECT_EQ(awaitTask(store.resolveConflict(copyID, VeltoConflictResolution::useSavedCopy, day(5))),
                  VeltoConflictResolutionOutcome::unavailable);
    }
    EXPECT_EQ(awaitTask(store.resolveConflict(current.id, VeltoConflictResolution::keepBothVersions, day(5))),
              VeltoConflictResolutionOutcome::unavailable)
        << "the current page is never resolved";
    EXPECT_TRUE(memory.saves.empty());

    EXPECT_EQ(awaitTask(store.resolveConflict(slugOnly.id, VeltoConflictResolution::keepBothVersions, day(5))),
              VeltoConflictResolutionOutcome::resolved);
    EXPECT_EQ(awaitTask(store.resolveConflict(copy.id, VeltoConflictResolution::keepBothVersions, day(5))),
              VeltoConflictResolutionOutcome::resolved);
    ASSERT_EQ(store.document().pages.size(), 2u);
    EXPECT_EQ(store.document().pages[0].visibleText(), "their version");
    EXPECT_FALSE(isConflictCopy(store.document().pages[0]));
    EXPECT_NE(store.document().pages[0].id, copy.id);
}

/// A copy whose text names its own identifier as its original (a hand edit, a sync tool) has no other version:
/// keeping the current version or using the copy is refused and changes nothing; it can still be kept as a page.
TEST(StoreConflicts, ACopyNamingItselfAsItsOriginalIsRefusedWithoutChangingAnything) {
    MemoryStore memory;
    VeltoPage copy = textPage("their version", day(2), day(3));
    copy.fileSlug = "conflict-copy";
    copy.content.asLoaded()->writeVeltoMetadata(copy.id, false, copy.id);
    memory.latestPages[copy.id] = copy;
    VeltoStore &store = memory.open(documentOf(textPage("current", day(0)), {copy}));
    const VeltoDocument before = store.document();

    for (VeltoConflictResolution resolution :
         {VeltoConflictResolution::useSavedCopy, VeltoConflictResolution::keepCurrentVersion}) {
        EXPECT_EQ(awaitTask(store.resolveConflict(copy.id, resolution, day(5))),
                  VeltoConflictResolutionOutcome::unavailable);
        EXPECT_EQ(store.document(), before);
    }
    EXPECT_TRUE(memory.saves.empty());

    EXPECT_EQ(awaitTask(store.resolveConflict(copy.id, VeltoConflictResolution::keepBothVersions, day(5))),
              VeltoConflictResolutionOutcome::resolved);
    ASSERT_EQ(store.document().pages.size(), 1u);
    EXPECT_EQ(store.document().pages.front().visibleText(), "their version");
    EXPECT_FALSE(isConflictCopy(store.document().pages.front()));
}

TEST(StoreConflicts, CopyChangedElsewhereIsRefreshedBeforeItIsResolved) {
    MemoryStore memory;
    VeltoPage original = textPage("original", day(0));
    VeltoPage copy = conflictCopyOf(original, "their version");
    VeltoPage changed = copy;
    changed.content.asLoaded()->body = "their version, changed again";
    memory.latestPages[copy.id] = changed;
    VeltoStore &store = memory.open(documentOf(original, {copy}));

    EXPECT_EQ(awaitTask(store.resolveConflict(copy.id, VeltoConflictResolution::useSavedCopy, day(5))),
              VeltoConflictResolutionOutcome::refreshed);
    EXPECT_EQ(store.document().currentPage.visibleText(), "original");
    EXPECT_EQ(pageIn(store.document(), copy.id).visibleText(), "their version, changed again");
    EXPECT_TRUE(memory.saves.empty());

    EXPECT_EQ(awaitTask(store.resolveConflict(copy.id, VeltoConflictResolution::useSavedCopy, day(5))),
              VeltoConflictResolutionOutcome::resolved);
    EXPECT_EQ(store.document().currentPage.visibleText(), "their version, changed again");
}

TEST(StoreConflicts, SavedCopyMakesAnArchivedOriginalActive) {
    MemoryStore memory;
    VeltoPage original = archivedVersion(textPage("original", day(0)), day(1));
    VeltoPage copy = conflictCopyOf(original, "their version");
    memory.latestPages[copy.id] = copy;
    VeltoStore &store = memory.open(documentOf(textPage("current", day(0)), {original, copy}));

    EXPECT_EQ(awaitTask(store.resolveConflict(copy.id, VeltoConflictResolution::useSavedCopy, day(6))),
              VeltoConflictResolutionOutcome::resolved);
    const VeltoPage &resolved = pageIn(store.document(), original.id);
    EXPECT_EQ(resolved.visibleText(), "their version");
    EXPECT_FALSE(isArchivedPage(resolved));
    EXPECT_FALSE(resolved.archivedAt.has_value());
    EXPECT_EQ(resolved.updatedAt, day(6));
    EXPECT_FALSE(hasPage(store.document(), copy.id));
}

TEST(StoreConflicts, ConflictingEditsOnDiskLeaveACopyAndANotice) {
    DiskStore disk;
    VeltoPage original = textPage("shared line\n", day(0));
    writeLibrary(disk.folder, documentOf(original));
    VeltoStore &store = disk.open();
    std::filesystem::path file = pageFileHolding(disk.folder, "shared line");
    ASSERT_FALSE(file.empty());
    std::string theirs = defaultFileSystem().readFile(file);
    theirs.replace(theirs.find("shared line"), 11, "their line");
    // Another writer's change that the folder monitor never reports (it is recorded as this process's own):
    // the save, not a refresh, is the first to find it. A refresh would reload the library, and a reload
    // clears the conflict notice.
    ownChangeRecordingFileSystem().writeAtomically(file, theirs);
    store.setText("my line\n", day(1));
    disk.flush();

    ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
    EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Review Saved Conflict Copy…");
    ASSERT_EQ(store.lastSaveConflictPresentation()->pageIDs.size(), 1u);
    const VeltoPage &copy = pageIn(store.document(), store.lastSaveConflictPresentation()->pageIDs.front());
    EXPECT_TRUE(isConflictCopy(copy));
    EXPECT_EQ(copy.visibleText(), "their line\n");
    EXPECT_EQ(store.document().currentPage.visibleText(), "my line\n");
}

/// The other writer's change is also reported by the folder monitor, whose refresh reloads the library after
/// the save: the notice must outlive that reload for as long as its copies are in the library.
TEST(StoreConflicts, NoticeOutlivesReloadsWhileItsCopiesAreHeld) {
    DiskStore disk;
    VeltoPage original = textPage("shared line\n", day(0));
    VeltoPage other = textPage("other line\n", day(0));
    writeLibrary(disk.folder, documentOf(original, {other}));
    VeltoStore &store = disk.open();
    std::filesystem::path file = pageFileHolding(disk.folder, "shared line");
    ASSERT_FALSE(file.empty());
    std::string theirs = defaultFileSystem().readFile(file);
    theirs.replace(theirs.find("shared line"), 11, "their line");
    ownChangeRecordingFileSystem().writeAtomically(file, theirs);
    store.setText("my line\n", day(1));
    disk.flush();
    ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
    const Uuid copyID = store.lastSaveConflictPresentation()->pageIDs.front();

    awaitTask(store.reloadFromDisk(false, std::nullopt));
    ASSERT_TRUE(store.lastSaveConflictPresentation().has_value()) << "a reload dropped the notice";
    EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Review Saved Conflict Copy…");
    EXPECT_EQ(store.lastSaveConflictPresentation()->pageIDs, std::vector<Uuid>{copyID});
}

TEST(StoreConflicts, AReloadKeepsTheNoticeOnlyForCopiesStillActiveInTheLibrary) {
    struct Case {
        const char *name;
        bool recovered;
        std::vector<int> keptCopies; // indexes of the copies the reloaded library still holds as active pages
        std::optional<std::string> title;
    };
    const Case cases[] = {
        {"all copies still there", false, {0, 1}, "Review 2 Saved Conflict Copies…"},
        {"one copy deleted elsewhere", false, {1}, "Review Saved Conflict Copy…"},
        {"every copy deleted elsewhere", false, {}, std::nullopt},
        {"one recovered page removed elsewhere", true, {0}, "Page Recovered After File Removal"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ConflictingSaves saves;
        VeltoPage a = textPage("a", day(0));
        VeltoPage b = textPage("b", day(0));
        const VeltoDocument before = documentOf(a, {b});
        VeltoStore &store = saves.open(before);
        std::vector<VeltoPage> copies{conflictCopyOf(a, "a'"), conflictCopyOf(b, "b'")};
        saves.conflicts = {{a.id, copies[0]}, {b.id, copies[1]}};
        if (c.recovered) {
            saves.replacements = {{a.id, copies[0].id}, {b.id, copies[1].id}};
        }
        store.setText("a edited", day(1));
        ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
        const VeltoSaveConflictPresentation raised = *store.lastSaveConflictPresentation();

        VeltoDocument reloaded = store.document();
        std::erase_if(reloaded.pages, [&](const VeltoPage &page) {
            return (page.id == copies[0].id || page.id == copies[1].id) &&
                   std::find_if(c.keptCopies.begin(), c.keptCopies.end(), [&](int kept) {
                       return copies[static_cast<std::size_t>(kept)].id == page.id;
                   }) == c.keptCopies.end();
        });
        saves.reloadResult = [reloaded] { return VeltoLibraryLoadResult::loaded(reloaded, std::nullopt); };
        awaitTask(store.reloadFromDisk(false, std::nullopt));

        if (!c.title) {
            EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
            continue;
        }
        ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
        EXPECT_EQ(store.lastSaveConflictPresentation()->title, *c.title);
        EXPECT_EQ(store.lastSaveConflictPresentation()->message, raised.message);
        std::vector<Uuid> expected;
        for (int kept : c.keptCopies) {
            expected.push_back(copies[static_cast<std::size_t>(kept)].id);
        }
        EXPECT_EQ(store.lastSaveConflictPresentation()->pageIDs, expected);
    }
}

/// The page file in the folder whose name holds `part`; empty when there is none.
std::filesystem::path fileNamed(const std::filesystem::path &folder, std::string_view part) {
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".md" && entry.path().filename().string().find(part) != std::string::npos) {
            return entry.path();
        }
    }
    return {};
}

/// Opens a library of one page whose line another program changes as a shell does, seen by the folder monitor,
/// while the store types "my line" on it: the save meets the change first and keeps it as a copy, then the
/// monitor's refresh loads the changed files and takes the others over as held. Answers the copy's identifier.
std::optional<Uuid> openWithACopyOfAShellsChange(DiskStore &disk, const VeltoPage &original) {
    writeLibrary(disk.folder, documentOf(original));
    VeltoStore &store = disk.open();
    const std::filesystem::path file = fileNamed(disk.folder, "");
    std::string theirs = defaultFileSystem().readFile(file);
    theirs.replace(theirs.find("shared line"), 11, "their line");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << theirs;
    store.setText("my line\n", day(1));
    disk.flush();
    if (!store.lastSaveConflictPresentation().has_value()) {
        return std::nullopt;
    }
    std::set<std::string> changedFiles;
    for (const auto &entry : std::filesystem::directory_iterator(disk.folder)) {
        changedFiles.insert(entry.path().filename().string());
    }
    awaitTask(store.reloadFromDisk(false, changedFiles));
    return store.lastSaveConflictPresentation()->pageIDs.front();
}

/// A copy this store's own save made is settled by each choice in one step: after the save that follows, the
/// folder holds no copy, and neither a new copy nor a notice comes back. The library's list of pages keeps whole
/// seconds, a save made at a person's pace falls between two of them.
TEST(StoreConflicts, ACopyMadeByASaveIsSettledByEachChoiceWithoutANewCopy) {
    struct Case {
        VeltoConflictResolution resolution;
        const char *originalText;
        std::size_t otherPages; // after the resolution: the copy kept as a page, or nothing
    };
    const Case cases[] = {
        {VeltoConflictResolution::keepCurrentVersion, "my line\n", 0},
        {VeltoConflictResolution::useSavedCopy, "their line\n", 0},
        {VeltoConflictResolution::keepBothVersions, "my line\n", 1},
    };
    for (const Case &c : cases) {
        for (const std::chrono::milliseconds pastTheSecond : {0ms, 250ms}) {
            SCOPED_TRACE(static_cast<int>(c.resolution));
            SCOPED_TRACE(pastTheSecond.count());
            DiskStore disk;
            disk.clock.advance(pastTheSecond);
            VeltoPage original = textPage("shared line\n", day(0));
            const std::optional<Uuid> copyID = openWithACopyOfAShellsChange(disk, original);
            ASSERT_TRUE(copyID.has_value());
            VeltoStore &store = *disk.store;

            ASSERT_EQ(awaitTask(store.resolveConflict(*copyID, c.resolution, day(2))),
                      VeltoConflictResolutionOutcome::resolved);
            disk.flush();
            awaitTask(store.reloadFromDisk(false, std::nullopt));
            disk.flush();

            EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
            EXPECT_EQ(store.document().currentPage.visibleText(), c.originalText);
            VeltoDocument onDisk = disk.reloadedFromDisk();
            EXPECT_EQ(pageIn(onDisk, original.id).visibleText(), c.originalText);
            ASSERT_EQ(onDisk.pages.size(), c.otherPages);
            for (const VeltoPage &page : onDisk.pages) {
                EXPECT_FALSE(isConflictCopy(page)) << page.visibleText();
                EXPECT_EQ(page.visibleText(), "their line\n");
            }
            EXPECT_TRUE(fileNamed(disk.folder, "conflict-copy").empty());
        }
    }
}

/// Another program deletes the copy while it is reviewed: a choice on it does nothing and answers that it is gone,
/// which takes it off the notice; the library holds the page until its file has stayed away for a while.
TEST(StoreConflicts, AChoiceOnACopyDeletedElsewhereAnswersThatItIsGone) {
    DiskStore disk;
    const std::optional<Uuid> copyID = openWithACopyOfAShellsChange(disk, textPage("shared line\n", day(0)));
    ASSERT_TRUE(copyID.has_value());
    VeltoStore &store = *disk.store;
    std::filesystem::remove(fileNamed(disk.folder, "conflict-copy"));
    const VeltoDocument before = store.document();

    EXPECT_EQ(awaitTask(store.resolveConflict(*copyID, VeltoConflictResolution::keepCurrentVersion, day(2))),
              VeltoConflictResolutionOutcome::deleted);
    EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
    EXPECT_EQ(store.document(), before);
    EXPECT_FALSE(store.hasUnsavedChanges(*copyID));
    EXPECT_TRUE(store.isRefreshingFromDisk()) << "the folder is read again";
    EXPECT_TRUE(fileNamed(disk.folder, "conflict-copy").empty()) << "nothing wrote the copy back";
}

/// Another writer's save met this store's text in the file and kept it as a conflict copy: the reload that brings
/// the copy tells this store's user where their text went, whether the copy comes with the other version or after
/// it. A copy of someone else's text, or of a text never replaced here, tells nothing.
TEST(StoreConflicts, AReloadBringingACopyOfTextReplacedHereTellsOfIt) {
    struct Case {
        const char *name;
        const char *copyText;
        bool copyInLaterReload;
        bool replaced; // the other writer's version took the page's place here
        bool told;
    };
    const Case cases[] = {
        {"the copy comes with the other version", "mine BBB", false, true, true},
        {"the copy comes after the other version", "mine BBB", true, true, true},
        {"the copy holds someone else's text", "someone else's", false, true, false},
        {"the page was not replaced here", "mine BBB", false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStore memory;
        VeltoPage original = textPage("mine BBB", day(0));
        VeltoStore &store = memory.open(documentOf(original));
        int raised = 0;
        QObject::connect(&store, &VeltoStoreSignals::conflictNoticeRaised, [&raised] { raised += 1; });

        VeltoPage theirs = original;
        theirs.content.asLoaded()->body = c.replaced ? "mine AAA" : "mine BBB";
        VeltoPage copy = conflictCopyOf(original, c.copyText);
        if (c.copyInLaterReload) {
            memory.reloadResult = [&] { return VeltoLibraryLoadResult::loaded(documentOf(theirs), std::nullopt); };
            awaitTask(store.reloadFromDisk(false, std::nullopt));
            EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
        }
        memory.reloadResult = [&] { return VeltoLibraryLoadResult::loaded(documentOf(theirs, {copy}), std::nullopt); };
        awaitTask(store.reloadFromDisk(false, std::nullopt));
        awaitTask(store.reloadFromDisk(false, std::nullopt)); // the copy is known now: told once

        if (!c.told) {
            EXPECT_FALSE(store.lastSaveConflictPresentation().has_value());
            EXPECT_EQ(raised, 0);
            continue;
        }
        ASSERT_TRUE(store.lastSaveConflictPresentation().has_value());
        EXPECT_EQ(raised, 1);
        EXPECT_TRUE(store.conflictNoticeHoldsOwnEdits());
        EXPECT_EQ(store.lastSaveConflictPresentation()->title, "Review Saved Conflict Copy…");
        EXPECT_EQ(store.lastSaveConflictPresentation()->message,
                  "This page changed in another app or Velto window. The other version is current, and your edit "
                  "was saved as a separate page.");
        EXPECT_EQ(store.lastSaveConflictPresentation()->pageIDs, std::vector<Uuid>{copy.id});
    }
}

/// Each resolution on a real folder, and what the folder holds after the flush.
TEST(StoreConflicts, ThreeResolutionsReachTheDisk) {
    for (VeltoConflictResolution resolution :
         {VeltoConflictResolution::keepCurrentVersion, VeltoConflictResolution::useSavedCopy,
          VeltoConflictResolution::keepBothVersions}) {
        SCOPED_TRACE(static_cast<int>(resolution));
        DiskStore disk;
        VeltoPage original = textPage("my version\n", day(0));
        VeltoPage copy = conflictCopyOf(original, "their version\n");
        writeLibrary(disk.folder, documentOf(original, {copy}));
        VeltoStore &store = disk.open();
        store.setText("my version, typed on\n", day(7)); // pending while the conflict is resolved

        ASSERT_EQ(awaitTask(store.resolveConflict(copy.id, resolution, day(8))),
                  VeltoConflictResolutionOutcome::resolved);
        disk.flush();
        VeltoDocument onDisk = disk.reloadedFromDisk();
        EXPECT_FALSE(hasPage(onDisk, copy.id));
        EXPECT_TRUE(pageFileText(disk.folder, copy.id).empty()) << "the copy's file is gone";
        const std::string originalText = pageIn(onDisk, original.id).visibleText();
        if (resolution == VeltoConflictResolution::useSavedCopy) {
            EXPECT_EQ(originalText, "their version\n");
        } else {
            EXPECT_EQ(originalText, "my version, typed on\n");
        }
        if (resolution == VeltoConflictResolution::keepBothVersions) {
            ASSERT_EQ(onDisk.pages.size(), 1u);
            EXPECT_EQ(onDisk.pages.front().visibleText(), "their version\n");
            EXPECT_FALSE(isConflictCopy(onDisk.pages.front()));
        } else {
            EXPECT_TRUE(onDisk.pages.empty());
        }
    }
}

} // namespace
} // namespace velto
