// Settling a saved conflict copy through the panel controller, over a real store on a temporary Pages folder.
#include "PanelControllerFixture.h"

#include "model/PageArchiveState.h"
#include "panel/browse/BrowsePagesWindow.h"
#include "panel/menu/VeltoPanelMenuController.h"
#include "platform/FileSystem.h"
#include "store/OwnFileChanges.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velto {
namespace {

using testing::finish;
using testing::PanelControllerSession;
using testing::processEventsUntil;

/// A page edited in the panel while another writer changed the same line of its file: the save keeps the
/// panel's text and keeps the other writer's as a saved conflict copy, made by the store as it is in use.
struct ConflictedSession : PanelControllerSession {
    ConflictedSession() {
        original = newPageWithText(u"shared line\n");
        settle();
        // The first save starts the folder monitor, whose first rescan reloads the library. A reload clears
        // the conflict notice, so it must come before the conflict.
        EXPECT_TRUE(processEventsUntil(
            [&] { return (fullLoads >= 1 || !store().isMonitoringFolder()) && !store().isRefreshingFromDisk(); },
            std::chrono::seconds(30)));
        const std::filesystem::path file = fileHolding("shared line");
        std::string theirs = defaultFileSystem().readFile(file);
        theirs.replace(theirs.find("shared line"), 11, "their line");
        // Another writer's change that the folder monitor never reports (it is recorded as this process's
        // own): the save, not a refresh, is the first to find it.
        ownChangeRecordingFileSystem().writeAtomically(file, theirs);

        core().setSelectedRange({0, core().length()});
        core().insertText(u"my line\n");
        settle();
        if (const auto &notice = store().lastSaveConflictPresentation(); notice && notice->pageIDs.size() == 1) {
            copy = notice->pageIDs.front();
        }
    }

    /// Hands the editor's text to the store and waits until the store has written it.
    void settle() {
        controller->flushPendingChanges();
        finish(store().flush());
    }

    std::filesystem::path fileHolding(std::string_view text) const {
        for (const auto &entry : std::filesystem::recursive_directory_iterator(stores.folder)) {
            if (entry.path().extension() == ".md" &&
                defaultFileSystem().readFile(entry.path()).find(text) != std::string::npos) {
                return entry.path();
            }
        }
        return {};
    }

    /// The Pages folder as a fresh load reads it.
    VeltoDocument onDisk() const {
        VeltoLibraryLoadResult loaded = finish(productionLoadOperation(stores.folder));
        return loaded.asLoaded() ? loaded.asLoaded()->document : VeltoDocument{};
    }

    Uuid original;
    std::optional<Uuid> copy;
};

/// The user is told at once over the editor, and the tray menu's review item outlasts the refresh that the
/// other writer's change brings.
TEST(PanelConflictNotice, ABannerTellsOfTheCopyAndTheMenuKeepsItsReviewItemThroughAReload) {
    ConflictedSession session;
    ASSERT_TRUE(session.copy.has_value());
    EXPECT_EQ(session.banner(), "Changed elsewhere · the other version was saved as a copy");

    finish(session.store().reloadFromDisk(false, std::nullopt));
    PanelMenu menu = session.controller->panelMenuController().makeStatusMenuModel();
    ASSERT_FALSE(menu.items.empty());
    EXPECT_EQ(menu.items.front().text.toStdString(), "⚠ Review Saved Conflict Copy…");
    ASSERT_TRUE(menu.items.front().trigger);
    menu.items.front().trigger();
    BrowsePagesWindow &window = session.controller->browsePagesWindow();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(window.model().rows().size(), 1u);
}

TEST(PanelConflictResolution, ACopyThatIsTheCurrentPageIsRefused) {
    PanelControllerSession session;
    session.newPageWithText(u"Original");
    const Uuid current = session.currentPageID();
    auto outcome = finish(
        session.controller->pageOperations().resolveConflict(current, VeltoConflictResolution::keepBothVersions));
    EXPECT_EQ(outcome, VeltoConflictResolutionOutcome::unavailable);
    EXPECT_EQ(session.shownText(), "Original");
}

/// Each choice from the review window, with more typed in the editor and not yet saved: the editor is saved
/// first, the copy is settled, the editor shows the page as it is now, and the folder holds the result.
TEST(PanelConflictResolution, EachChoiceSettlesTheSavedCopyOnDisk) {
    struct Case {
        VeltoConflictResolution resolution;
        std::vector<std::string> asked;
        std::string page;
        bool copyKeptAsPage;
    };
    const Case cases[] = {
        {VeltoConflictResolution::keepCurrentVersion, {"Keep the Current Version?"}, "my line\ntyped on", false},
        {VeltoConflictResolution::useSavedCopy, {"Use the Saved Copy?"}, "their line\n", false},
        {VeltoConflictResolution::keepBothVersions, {}, "my line\ntyped on", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.resolution));
        ConflictedSession session;
        ASSERT_TRUE(session.copy.has_value()) << "the save reports one conflict copy";
        const VeltoPage *listed = findPage(session.store().document(), *session.copy);
        ASSERT_NE(listed, nullptr);
        EXPECT_TRUE(isConflictCopy(*listed));
        EXPECT_EQ(listed->visibleText(), "their line\n");
        session.type(u"typed on");

        BrowsePagesWindow &window = session.controller->browsePagesWindow();
        window.showConflictCopies({*session.copy});
        ASSERT_EQ(window.model().rows().size(), 1u);
        window.selectRow(0);
        EXPECT_EQ(finish(window.resolveSelectedConflict(c.resolution)), VeltoConflictResolutionOutcome::resolved);
        EXPECT_EQ(session.confirmations, c.asked);
        EXPECT_FALSE(window.isVisible()) << "the last copy under review is settled";
        EXPECT_FALSE(session.store().lastSaveConflictPresentation().has_value());
        EXPECT_EQ(session.shownText(), c.page);
        EXPECT_EQ(session.view().undoHistories().canUndo(), c.resolution != VeltoConflictResolution::useSavedCopy)
            << "undo cannot bring back the text the saved copy replaced";

        session.settle(); // the editor, saved again, keeps the result
        const VeltoDocument disk = session.onDisk();
        const VeltoPage *original = findPage(disk, session.original);
        ASSERT_NE(original, nullptr);
        EXPECT_EQ(original->visibleText(), c.page);
        EXPECT_EQ(findPage(disk, *session.copy), nullptr) << "the copy's file is gone";
        std::vector<std::string> otherTexts;
        for (const VeltoPage &page : disk.pages) {
            if (page.id != session.original) {
                EXPECT_FALSE(isConflictCopy(page));
                otherTexts.push_back(page.visibleText());
            }
        }
        EXPECT_EQ(otherTexts, c.copyKeptAsPage ? std::vector<std::string>{"their line\n"} : std::vector<std::string>{});
    }
}

/// Another program rewrites the copy while the review is open: the folder's refresh lists it as it is now.
TEST(PanelConflictResolution, AnOpenReviewListsACopyRewrittenElsewhereAsItIsNow) {
    ConflictedSession session;
    ASSERT_TRUE(session.copy.has_value());
    BrowsePagesWindow &window = session.controller->browsePagesWindow();
    window.showConflictCopies({*session.copy});
    const std::filesystem::path file = session.fileHolding("their line");
    std::string rewritten = defaultFileSystem().readFile(file);
    rewritten.replace(rewritten.find("their line"), 10, "Their new title");
    defaultFileSystem().writeAtomically(file, rewritten); // not this process's own: the folder monitor reports it
    EXPECT_TRUE(processEventsUntil([&] {
        return window.model().rows().size() == 1 && window.model().rows().front().preview == "Their new title";
    }));
}

TEST(PanelConflictResolution, CancelLeavesTheCopyAndThePageAsTheyAre) {
    ConflictedSession session;
    ASSERT_TRUE(session.copy.has_value());
    session.confirmAnswer = false;
    BrowsePagesWindow &window = session.controller->browsePagesWindow();
    window.showConflictCopies({*session.copy});
    window.selectRow(0);
    EXPECT_EQ(finish(window.resolveSelectedConflict(VeltoConflictResolution::useSavedCopy)),
              VeltoConflictResolutionOutcome::unavailable);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(session.shownText(), "my line\n");
    const VeltoDocument disk = session.onDisk();
    ASSERT_NE(findPage(disk, *session.copy), nullptr);
    EXPECT_EQ(findPage(disk, *session.copy)->visibleText(), "their line\n");
    EXPECT_EQ(findPage(disk, session.original)->visibleText(), "my line\n");
}

} // namespace
} // namespace velto
