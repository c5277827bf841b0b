#include "PanelTestSupport.h"
#include "editor_view/EditorCoordinatorTestSupport.h"

#include "library/folder/LibraryLock.h"
#include "model/PageArchiveState.h"
#include "panel/feedback/SaveProblem.h"
#include "panel/menu/PanelAlerts.h"
#include "panel/menu/PanelMenuView.h"
#include "panel/menu/RelativeDates.h"
#include "panel/menu/TextDrawingRecorder.h"
#include "panel/menu/VeltoPanelMenuController.h"
#include "platform/LockFile.h"
#include "platform/Text.h"
#include "preferences/CommandRegistry.h"
#include "store/ProductionLibraryOperations.h"
#include "store/Store.h"
#include "support/Documents.h"
#include "support/ManualClock.h"
#include "support/StoreHarness.h"

#include <QtGui/QActionGroup>
#include <QtGui/QFontInfo>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QTextDocument>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <gtest/gtest.h>
#include <qcoro/qcorotimer.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::documentOf;
using testing::finish;
using testing::processEventsUntil;

const Date start = dateFromSecondsSince1970(1'780'000'000);

Uuid pageID(int number) {
    char text[37];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", number);
    return *Uuid::parse(text);
}

VeltoPage loadedPage(int number, const std::string &body, std::optional<Date> updatedAt) {
    VeltoPage page;
    page.id = pageID(number);
    page.createdAt = start - 30 * 24h;
    page.updatedAt = updatedAt;
    page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, body, "\n"});
    return page;
}

VeltoPage archivedSummary(int number, const std::string &preview, Date archivedAt) {
    VeltoPage page = loadedPage(number, "", std::nullopt);
    page.archivedAt = archivedAt;
    page.content = VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{preview, 100, true, "abc", "def"});
    return page;
}

/// Keeps the library's preview reads (on its worker threads) waiting until the test lets them go, so that a
/// test sees the menu as it is before the titles arrive.
class PreviewReads {
public:
    void hold() {
        std::lock_guard lock(mutex_);
        holding_ = true;
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            holding_ = false;
        }
        released_.notify_all();
    }
    void waitWhileHeld() {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return !holding_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool holding_ = false;
};

/// A panel menu over an in-memory library; every action it calls is written down as a line.
class MenuHarness {
public:
    explicit MenuHarness(VeltoDocument document, VeltoAutoArchivePeriod period = VeltoAutoArchivePeriod::never(),
                         std::vector<VeltoUnreadablePageFile> unreadableFiles = {})
        : clock(start) {
        testing::ensureApplication();
        VeltoStore::Environment environment;
        environment.fileManager = &defaultFileSystem();
        environment.clock = &clock;
        environment.scheduler = &scheduler;
        environment.saveOperation = [this](const VeltoSaveRequest &request,
                                           std::filesystem::path folder) -> QCoro::Task<VeltoSaveResult> {
            if (writesToDisk) {
                co_return co_await productionSaveOperation(request, std::move(folder));
            }
            co_return saveResult ? saveResult(request) : VeltoSaveResult{};
        };
        // Archiving past the period reads each page from disk first; a read never ends before the menu that
        // started it is shown (a read that raced to the end first would archive the page under the menu).
        environment.latestPageLoadOperation = [](VeltoPage page,
                                                 std::filesystem::path) -> QCoro::Task<std::optional<VeltoPage>> {
            co_await QCoro::sleepFor(0ms);
            co_return page;
        };
        environment.archivedPreviewLoadOperation = [reads = previewReads](const VeltoPage &page,
                                                                          const std::filesystem::path &, FileSystem &) {
            reads->waitWhileHeld();
            VeltoPage loaded = page;
            const std::string preview = "Loaded " + page.id.uppercaseText().substr(30);
            loaded.content =
                VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{preview, 100, true, "abc", "def"});
            return loaded;
        };
        stores.openStore(std::move(environment),
                         VeltoLibraryLoadResult::loaded(std::move(document), std::nullopt, std::move(unreadableFiles)));
        store().setAutoArchivePeriod(period);
        registry = std::make_unique<VeltoCommandRegistry>(
            std::vector<VeltoCommandID>{VeltoCommandID::newPage, VeltoCommandID::openSettings},
            [] {
                return VeltoCommandContext{true, true, true, false};
            },
            [this](VeltoCommandID id) { calls.push_back("command " + rawValue(id).toStdString()); });

        VeltoPanelMenuController::Actions actions;
        actions.selectPage = [this](Uuid id) { calls.push_back("select " + id.uppercaseText()); };
        actions.restoreArchivedPage = [this](Uuid id) { calls.push_back("restore " + id.uppercaseText()); };
        actions.archiveOtherPages = [this] { calls.push_back("archive others"); };
        actions.deleteConfirmedArchivedPages = [this](std::set<Uuid> ids) {
            calls.push_back("delete " + std::to_string(ids.size()));
        };
        actions.showBrowsePages = [this] { calls.push_back("browse"); };
        actions.showCurrentPageInFinder = [this] { calls.push_back("show page"); };
        actions.openPagesFolder = [this] { calls.push_back("open folder"); };
        actions.reviewConflictCopies = [this](std::vector<Uuid> ids) {
            calls.push_back("review " + std::to_string(ids.size()));
        };
        VeltoPanelMenuController::Options options;
        options.clock = &clock;
        options.commandShortcuts = [] {
            return CommandShortcuts{{VeltoCommandID::newPage, GlobalShortcut{45, ModifierFlags::command, "N"}},
                                    {VeltoCommandID::openSettings, std::nullopt}};
        };
        options.confirm = [this](const PanelMenuConfirmation &question) {
            calls.push_back("ask " + question.message.toStdString() + " / " + question.actionButton.toStdString());
            return answer;
        };
        options.inform = [this](const QString &message, const QString &informativeText) {
            calls.push_back("tell " + message.toStdString() + " / " + informativeText.toStdString());
        };
        controller = std::make_unique<VeltoPanelMenuController>(
            store(), *registry, [this] { return store().document().currentPage.visibleText(); }, std::move(actions),
            std::move(options));
    }

    ~MenuHarness() { previewReads->release(); }

    testing::ManualClock clock;
    testing::ManualScheduler scheduler;
    std::shared_ptr<PreviewReads> previewReads = std::make_shared<PreviewReads>();
    /// After the clock and the scheduler the store was built with, so that it goes before them.
    testing::StoreHarness stores;
    std::unique_ptr<VeltoCommandRegistry> registry;
    std::unique_ptr<VeltoPanelMenuController> controller;
    std::vector<std::string> calls;
    bool answer = true;
    /// What the next saves answer (or throw); empty: success.
    std::function<VeltoSaveResult(const VeltoSaveRequest &)> saveResult;
    /// Saves write the library in the harness's folder instead.
    bool writesToDisk = false;

    VeltoStore &store() const { return *stores.store; }

    /// Edits the current page and lets the save run.
    void editAndSave(const std::string &text) {
        store().setText(text, clock.now());
        scheduler.advance(1s);
        processEventsUntil([this] {
            return store().latestScheduledGeneration() && !store().isRefreshingFromDisk() &&
                   (store().latestCompletedGeneration() >= *store().latestScheduledGeneration() ||
                    store().latestFailedGeneration());
        });
    }
};

QMenu *submenuNamed(QMenu *menu, const QString &text) {
    for (QAction *action : menu->actions()) {
        if (action->text() == text && action->menu()) {
            return action->menu();
        }
    }
    return nullptr;
}

void open(QMenu *menu) {
    emit menu->aboutToShow();
}

/// One line per action: its text (tab shown as " ⇥ "), then what differs from an enabled plain item.
/// Submenus follow their item, indented; separators read "---".
std::string dump(QMenu *menu, int depth = 0) {
    std::string out;
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    for (QAction *action : menu->actions()) {
        if (action->isSeparator()) {
            out += indent + "---\n";
            continue;
        }
        QString text = action->text();
        text.replace(QLatin1Char('\t'), QStringLiteral(" ⇥ "));
        out += indent + text.toStdString();
        if (!action->isEnabled()) {
            out += " [disabled]";
        }
        if (action->isCheckable()) {
            out += action->isChecked() ? " [on]" : " [off]";
        }
        if (!action->data().toString().isEmpty()) {
            out += " {" + action->data().toString().right(4).toStdString() + "}";
        }
        QAction plain(action->text());
        if (action->toolTip() != plain.toolTip()) {
            QString tip = action->toolTip();
            tip.replace(QLatin1Char('\n'), QStringLiteral("¶"));
            out += " tip: " + tip.toStdString();
        }
        out += "\n";
        if (action->menu()) {
            out += dump(action->menu(), depth + 1);
        }
    }
    return out;
}

class PanelMenu : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale::getUS(), status);
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
    }
};

TEST_F(PanelMenu, ARecentLibraryWithoutProblems) {
    VeltoPage current = loadedPage(1, "# Groceries\nmilk eggs bread\n", start - 3min);
    VeltoPage other = loadedPage(2, "Notes from the call", start - 2h);
    VeltoPage copy = loadedPage(3, "Notes\nchanged elsewhere", start - 2h - 1min);
    copy.fileSlug = "conflict-copy";
    MenuHarness harness(documentOf(current, {other, copy}));
    std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
    EXPECT_TRUE(menu->toolTipsVisible());
    EXPECT_EQ(dump(menu.get()), "5 words · Saved 3 min. ago [disabled]\n"
                                "---\n"
                                "Start New Page ⇥ Ctrl+N\n"
                                "Browse Pages\n"
                                "  Groceries  ·  3m [on] {0001} tip: # Groceries¶milk eggs bread¶\n"
                                "  Notes from the call  ·  2h [off] {0002} tip: Notes from the call\n"
                                "  Conflict copy: Notes  ·  2h [off] {0003} tip: Saved because this page changed "
                                "elsewhere.¶¶Notes¶changed elsewhere\n"
                                "  ---\n"
                                "  Archived Pages [disabled]\n"
                                "    ---\n"
                                "    Delete 0 Archived Pages… [disabled]\n"
                                "  Archive 2 Other Pages…\n"
                                "  ---\n"
                                "  Open Pages Folder\n"
                                "---\n"
                                "Settings…\n");
    QMenu *browse = submenuNamed(menu.get(), QStringLiteral("Browse Pages"));
    for (int index = 0; index < 3; ++index) { // one chosen among the pages, marked as such and not as a checkbox
        QActionGroup *group = browse->actions().at(index)->actionGroup();
        ASSERT_NE(group, nullptr);
        EXPECT_TRUE(group->isExclusive());
        EXPECT_EQ(group->actions().size(), 3);
    }
    browse->actions().back()->trigger();
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"show page"}));
}

TEST_F(PanelMenu, AFailedSaveAndSavedConflictCopiesComeFirst) {
    MenuHarness harness(documentOf(loadedPage(1, "word", start - 1h)));
    harness.saveResult = [](const VeltoSaveRequest &) -> VeltoSaveResult { throw std::runtime_error("disk full"); };
    harness.editAndSave("two words");
    ASSERT_TRUE(harness.store().lastSaveErrorDescription());
    std::unique_ptr<QMenu> failed(harness.controller->makeStatusMenu());
    std::string lines = dump(failed.get());
    EXPECT_EQ(lines.substr(0, lines.find('\n')),
              "⚠ Changes not saved · disk full [disabled] tip: " + *harness.store().lastSaveErrorDescription());
    EXPECT_NE(lines.find("\n2 words · Not saved [disabled]\n"), std::string::npos)
        << "the page's line does not call the unsaved edit saved: " << lines;
    harness.controller->setKeptText({SaveProblem::KeptText::State::kept, QStringLiteral("~/Unsaved Text")});
    std::unique_ptr<QMenu> kept(harness.controller->makeStatusMenu());
    lines = dump(kept.get());
    EXPECT_NE(lines.find(*harness.store().lastSaveErrorDescription() +
                         "\nKept in “~/Unsaved Text” [disabled]\n2 words · Not saved [disabled]\n"),
              std::string::npos)
        << "where the text is kept follows the failing saves' line: " << lines;

    VeltoPage copy = loadedPage(7, "Other version", start);
    copy.fileSlug = "conflict-copy";
    harness.saveResult = [copy](const VeltoSaveRequest &) {
        VeltoSaveResult result;
        result.conflicts.push_back({pageID(1), copy});
        return result;
    };
    harness.editAndSave("three words now");
    ASSERT_TRUE(harness.store().lastSaveConflictPresentation());
    std::unique_ptr<QMenu> conflicted(harness.controller->makeStatusMenu());
    lines = dump(conflicted.get());
    EXPECT_EQ(lines.substr(0, lines.find('\n')),
              "⚠ " + harness.store().lastSaveConflictPresentation()->title +
                  " tip: " + harness.store().lastSaveConflictPresentation()->message);
    conflicted->actions().front()->trigger();
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"review 1"}));
}

/// Another program holds the library's lock for a while: the save of an edit waits for it, and until the edit is
/// on disk the page's line says it is not saved, also before the save stops waiting and fails.
TEST_F(PanelMenu, ThePageLineSaysNotSavedWhileTheEditWaitsForAHeldLock) {
    MenuHarness harness(documentOf(loadedPage(1, "", std::nullopt)));
    harness.writesToDisk = true;
    harness.editAndSave("two words"); // the library's first save
    auto menuLines = [&] {
        std::string lines;
        for (const PanelMenuItem &item : harness.controller->makeStatusMenuModel().items) {
            lines += item.text.toStdString() + "\n";
        }
        return lines;
    };
    auto pageLine = [&] {
        const std::string lines = menuLines();
        return lines.substr(0, lines.find('\n'));
    };
    ASSERT_EQ(pageLine(), "2 words · Saved now");

    auto held = std::make_unique<LockFile>(VeltoPageLibrary::libraryLockFileURL(harness.stores.folder));
    ASSERT_TRUE(held->tryLock(LockFileMode::exclusive));
    harness.store().setText("three words now", harness.clock.now());
    harness.scheduler.advance(1s);
    testing::processEventsFor(100ms); // the save has begun to wait for the lock
    const std::string waiting = menuLines();
    EXPECT_EQ(waiting.substr(0, waiting.find('\n')), "3 words · Not saved") << waiting;
    EXPECT_EQ(waiting.find("⚠"), std::string::npos) << "a save that waits is no failure: " << waiting;

    held.reset();
    ASSERT_TRUE(processEventsUntil([&] { return !harness.store().hasUnsavedChanges(pageID(1)); }));
    EXPECT_EQ(pageLine(), "3 words · Saved now");
}

TEST_F(PanelMenu, AnEmptyNewPageOpensThePagesFolderItHasNoFileIn) {
    MenuHarness harness(documentOf(loadedPage(1, "", std::nullopt)));
    std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
    EXPECT_EQ(dump(menu.get()), "0 words · New page [disabled]\n"
                                "---\n"
                                "Start New Page ⇥ Ctrl+N\n"
                                "Browse Pages\n"
                                "  Untitled page  ·  Apr 28 [on] {0001}\n"
                                "  ---\n"
                                "  Archived Pages [disabled]\n"
                                "    ---\n"
                                "    Delete 0 Archived Pages… [disabled]\n"
                                "  Archive Other Pages… [disabled]\n"
                                "  ---\n"
                                "  Open Pages Folder\n"
                                "---\n"
                                "Settings…\n");
    submenuNamed(menu.get(), QStringLiteral("Browse Pages"))->actions().back()->trigger();
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"open folder"}));
}

} // namespace
} // namespace velto
namespace velto {
namespace {

std::vector<VeltoPage> archivedPages(int count, bool withPreviews) {
    std::vector<VeltoPage> pages;
    for (int index = 0; index < count; ++index) {
        // Archived one minute apart, the first most recently.
        pages.push_back(archivedSummary(100 + index, withPreviews ? "Archived " + std::to_string(index) : "",
                                        start - 10min - index * 1min));
    }
    return pages;
}

/// The page items of a menu: how many, and the first and last titles without their recency.
std::string pageItemsSummary(QMenu *menu) {
    std::vector<QString> titles;
    for (QAction *action : menu->actions()) {
        if (!action->data().toString().isEmpty()) {
            titles.push_back(action->text().section(QStringLiteral("  ·  "), 0, 0));
        }
    }
    if (titles.empty()) {
        return "0";
    }
    return std::to_string(titles.size()) + ": " + titles.front().toStdString() + " … " + titles.back().toStdString();
}

std::string nonPageItems(QMenu *menu) {
    std::string out;
    for (QAction *action : menu->actions()) {
        if (action->data().toString().isEmpty()) {
            out += (action->isSeparator() ? std::string("---") : action->text().toStdString()) +
                   (action->isEnabled() ? "" : " [disabled]") + "; ";
        }
    }
    return out;
}

TEST_F(PanelMenu, ArchivedPagesComeInBatchesOfFifty) {
    struct Case {
        int count;
        std::vector<std::string> levels; // each (sub)menu: page items, then the other items
    };
    const Case cases[] = {
        {0, {"0 | ---; Delete 0 Archived Pages… [disabled]; "}},
        {50, {"50: Archived 0 … Archived 49 | ---; Delete 50 Archived Pages…; "}},
        {120,
         {"50: Archived 0 … Archived 49 | Older Archived Pages; ---; Delete 120 Archived Pages…; ",
          "50: Archived 50 … Archived 99 | Older Archived Pages; ", "20: Archived 100 … Archived 119 | "}},
    };
    for (const Case &c : cases) {
        MenuHarness harness(documentOf(loadedPage(1, "text", start), archivedPages(c.count, true)));
        std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
        QMenu *level = submenuNamed(submenuNamed(menu.get(), "Browse Pages"), "Archived Pages");
        for (const std::string &expected : c.levels) {
            ASSERT_NE(level, nullptr) << c.count;
            open(level);
            EXPECT_EQ(pageItemsSummary(level) + " | " + nonPageItems(level), expected) << c.count;
            QMenu *older = submenuNamed(level, "Older Archived Pages");
            if (older != nullptr) {
                EXPECT_EQ(nonPageItems(older), "Loading… [disabled]; ") << "filled only when it opens";
            }
            level = older;
        }
        EXPECT_EQ(level, nullptr) << c.count;

        // Choosing an archived page restores it; deleting asks first and takes the whole archive.
        if (c.count > 0) {
            QMenu *archived = submenuNamed(submenuNamed(menu.get(), "Browse Pages"), "Archived Pages");
            archived->actions().front()->trigger();
            archived->actions().back()->trigger();
            harness.answer = false;
            archived->actions().back()->trigger();
            const std::string many = c.count == 1 ? "page" : "pages";
            const std::string question =
                "ask Delete " + std::to_string(c.count) + " archived " + many + "? / Delete " + many;
            EXPECT_EQ(harness.calls, (std::vector<std::string>{"restore " + pageID(100).uppercaseText(), question,
                                                               "delete " + std::to_string(c.count), question}));
        }
    }
}

TEST_F(PanelMenu, ArchivedTitlesArriveAfterTheirPreviewsLoad) {
    MenuHarness harness(documentOf(loadedPage(1, "text", start), archivedPages(60, false)));
    std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
    QMenu *archived = submenuNamed(submenuNamed(menu.get(), "Browse Pages"), "Archived Pages");
    // The previews are read on other threads: waited for as long as a loaded machine may need.
    const std::string loaded = "50: Loaded 000100 … Loaded 000149";
    processEventsUntil([&] { return pageItemsSummary(archived) == loaded; }, 60s);
    EXPECT_EQ(pageItemsSummary(archived), loaded);

    // The older batch loads when it opens; closing the menu before its load ends is harmless.
    QMenu *older = submenuNamed(archived, "Older Archived Pages");
    harness.previewReads->hold();
    open(older);
    EXPECT_EQ(pageItemsSummary(older), "10: Untitled page … Untitled page");
    menu.reset();
    harness.previewReads->release();
    EXPECT_TRUE(processEventsUntil(
        [&] {
            const VeltoArchivedPageSummary *summary =
                harness.store().document().pages.back().content.asArchivedSummary();
            return summary != nullptr && summary->preview == "Loaded 000159";
        },
        60s));
}

TEST_F(PanelMenu, RecentPagesFollowTheAutoArchivePeriod) {
    VeltoPage current = loadedPage(1, "current", start - 1min);
    VeltoPage recent = loadedPage(2, "recent", start - 1h);
    VeltoPage old = loadedPage(3, "old", start - 3 * 24h);
    // A page whose file could not be read: past the period too, but archiving cannot take it.
    VeltoPage unreadable = loadedPage(4, "", start - 3 * 24h);
    unreadable.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{});
    struct Case {
        VeltoAutoArchivePeriod period;
        std::vector<VeltoPage> others;
        std::string listed;
        std::string archiveOthers;
        bool browseMore; // "Browse Pages…" ends the menu
    };
    const Case cases[] = {
        {VeltoAutoArchivePeriod::never(), {recent, old}, "3: current … old", "Archive 2 Other Pages…", false},
        {VeltoAutoArchivePeriod::oneWeek(), {recent, old}, "3: current … old", "Archive 2 Other Pages…", false},
        // The old page is archived as the menu opens: it is neither listed nor left for Browse Pages….
        {VeltoAutoArchivePeriod::oneDay(), {recent, old}, "2: current … recent", "Archive 1 Other Page…", false},
        {VeltoAutoArchivePeriod::oneDay(),
         {recent, old, unreadable},
         "2: current … recent",
         "Archive 1 Other Page…",
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.others.size());
        MenuHarness harness(documentOf(current, c.others), c.period);
        std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
        QMenu *browse = submenuNamed(menu.get(), "Browse Pages");
        EXPECT_EQ(pageItemsSummary(browse), c.listed);
        EXPECT_NE(nonPageItems(browse).find("; " + c.archiveOthers + ";"), std::string::npos) << nonPageItems(browse);
        EXPECT_EQ(browse->actions().back()->text() == "Browse Pages…", c.browseMore);
        browse->actions()[1]->trigger();
        browse->actions().back()->trigger();
        EXPECT_EQ(harness.calls.front(), "select " + pageID(2).uppercaseText());
        EXPECT_EQ(harness.calls.back(), c.browseMore ? "browse" : "show page");
    }
}

// A page whose file cannot be read is listed by its file, says why in its tooltip, and choosing it (or restoring
// it from the archive) says why it cannot be opened instead of doing nothing.
TEST_F(PanelMenu, APageWhoseFileCannotBeReadIsNamedByItsFileAndSaysWhyItCannotOpen) {
    VeltoPage unreadable = loadedPage(9, "", start - 30 * 24h);
    unreadable.relativeFilePath = "Notes/old plan.md";
    unreadable.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{120, true, {}, {}, false});
    VeltoPage archived = unreadable;
    archived.id = pageID(8);
    archived.relativeFilePath = "gone.md";
    archived.archivedAt = start - 2h;
    archived.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{10, true, {}, {}, true});
    MenuHarness harness(documentOf(loadedPage(1, "current", start), {unreadable, archived}),
                        VeltoAutoArchivePeriod::never(), {{"Notes/old plan.md", "Permission denied"}});
    std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
    const std::string lines = dump(menu.get());
    const std::string why =
        "Velto can’t read its file “Notes/old plan.md”: Permission denied. Velto leaves it as it is.";
    EXPECT_NE(lines.find("  Can’t be read: old plan.md  ·  " +
                         RelativeDates::compactRecency(start - 30 * 24h, start).toStdString() +
                         " [off] {0009} tip: " + why + "\n"),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("    Can’t be read: gone.md  ·  2h {0008} tip: Velto can’t read its file “gone.md”. Velto "
                         "leaves it as it is.\n"),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("Untitled page"), std::string::npos) << lines;

    harness.controller->selectPage(QString::fromStdString(pageID(9).uppercaseText()));
    harness.controller->restoreArchivedPage(QString::fromStdString(pageID(8).uppercaseText()));
    harness.controller->selectPage(QString::fromStdString(pageID(1).uppercaseText()));
    EXPECT_EQ(harness.calls, (std::vector<std::string>{
                                 "tell This page can’t be opened / " + why,
                                 "tell This page can’t be opened / Velto can’t read its file “gone.md”. Velto leaves "
                                 "it as it is.",
                                 "select " + pageID(1).uppercaseText()}));
}

// After a relaunch the notice of the recovery is gone: the recovered page's tooltip names the file it was recovered
// from while that file can't be read. The page recorded at that file has the recovered page's creation date; a file
// readable again, another page's file, or two such files named nothing.
TEST_F(PanelMenu, ARecoveredPageNamesTheFileThatCannotBeReadOrChanged) {
    VeltoPage recovered = loadedPage(1, "Shopping list", start);
    recovered.fileSlug = "recovered-page";
    recovered.createdAt = start - 2h;
    VeltoPage original = loadedPage(2, "", start - 1h);
    original.createdAt = recovered.createdAt;
    original.relativeFilePath = "Notes/list.md";
    VeltoPage readableAgain = original;
    original.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{});
    VeltoPage other = original;
    other.id = pageID(3);
    other.createdAt = start - 3h;
    other.relativeFilePath = "other.md";
    VeltoPage twin = original;
    twin.id = pageID(4);
    twin.relativeFilePath = "twin.md";
    const QString named = QStringLiteral("Recovered from “list.md”, a page file that can’t be read or changed.");
    const QString unnamed = QStringLiteral("Recovered after the original page file was removed or emptied");
    struct Case {
        std::vector<VeltoPage> others;
        QString tip;
    };
    const Case cases[] = {
        {{original, other}, named},
        {{readableAgain, other}, unnamed},
        {{other}, unnamed},
        {{original, twin}, unnamed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.others.size());
        MenuHarness harness(documentOf(recovered, c.others), VeltoAutoArchivePeriod::never(),
                            {{"Notes/list.md", "Permission denied"}, {"other.md", ""}, {"twin.md", ""}});
        QString tip;
        for (const PanelMenuItem &entry : harness.controller->makeStatusMenuModel().items) {
            for (const PanelMenuItem &item : entry.submenu ? entry.submenu->items : std::vector<PanelMenuItem>{}) {
                if (item.data == QString::fromStdString(pageID(1).uppercaseText())) {
                    tip = item.toolTip;
                }
            }
        }
        EXPECT_TRUE(tip.startsWith(c.tip)) << tip.toStdString();
        EXPECT_TRUE(tip.endsWith(QStringLiteral("Shopping list"))) << tip.toStdString();
    }
}

// Files that turn unreadable while Velto runs are named here, without a window that would take the keyboard from
// the page; the list is the store's, read again at each opening, so a file readable again has left it.
TEST_F(PanelMenu, FilesThatCannotBeReadAreListedFirstAndEachOpensThePagesFolder) {
    MenuHarness harness(documentOf(loadedPage(1, "current", start)), VeltoAutoArchivePeriod::never(),
                        {{"latin.md", "“latin.md” is not UTF-8 text."}, {"Notes/plan.md", "Permission denied"}});
    std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
    const std::string lines = dump(menu.get());
    EXPECT_EQ(lines.rfind("⚠ Some Files Can’t Be Read or Changed tip: Velto can’t read or change these files in "
                          "your Pages folder and leaves them as they are.\n"
                          "  latin.md tip: “latin.md” is not UTF-8 text. Velto leaves the file as it is.\n"
                          "  Notes/plan.md tip: Velto can’t read its file “Notes/plan.md”: Permission denied. Velto "
                          "leaves it as it is.\n",
                          0),
              0u)
        << lines;

    QMenu *files = submenuNamed(menu.get(), QStringLiteral("⚠ Some Files Can’t Be Read or Changed"));
    ASSERT_NE(files, nullptr);
    files->actions().at(1)->trigger();
    EXPECT_EQ(harness.calls, std::vector<std::string>{"open folder"});
}

// The menu, its question and the archiving itself count the same pages: a page whose file cannot be read has no
// text here to archive, so it is listed but neither counted nor taken.
TEST_F(PanelMenu, ArchivingOtherPagesCountsAndTakesOnlyThePagesWhoseTextIsHere) {
    VeltoPage readable = loadedPage(2, "readable", start - 1h);
    VeltoPage unreadable = loadedPage(3, "", start - 2h);
    unreadable.relativeFilePath = "note.md";
    unreadable.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{});
    struct Case {
        const char *name;
        std::vector<VeltoPage> others;
        std::string menuItem;
        std::vector<std::string> confirmed;
        int archived;
    };
    const Case cases[] = {
        {"one readable, one not",
         {readable, unreadable},
         "Archive 1 Other Page…",
         {"ask Archive 1 page? / Archive page", "archive others"},
         1},
        {"only one that cannot be read", {unreadable}, "Archive Other Pages… [disabled]", {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MenuHarness harness(documentOf(loadedPage(1, "current", start), c.others), VeltoAutoArchivePeriod::never(),
                            {{"note.md", "Permission denied"}});
        std::unique_ptr<QMenu> menu(harness.controller->makeStatusMenu());
        const std::string lines = dump(menu.get());
        EXPECT_NE(lines.find("  Can’t be read: note.md  ·  "), std::string::npos) << lines;
        EXPECT_NE(lines.find("  " + c.menuItem + "\n"), std::string::npos) << lines;
        if (c.archived > 0) {
            harness.controller->confirmArchiveOtherPages();
        }
        EXPECT_EQ(harness.calls, c.confirmed);
        EXPECT_EQ(finish(harness.store().archiveOtherPages(start)), c.archived);
        for (const VeltoPage &page : harness.store().document().pages) {
            EXPECT_EQ(isArchivedPage(page), page.id == pageID(2)) << page.id.uppercaseText();
        }
    }
}

TEST_F(PanelMenu, PageItemsReadTheirIdentifierBackAndIgnoreAnythingElse) {
    MenuHarness harness(documentOf(loadedPage(1, "one", start), {loadedPage(2, "two", start - 1h)}));
    harness.controller->selectPage("not an identifier");
    harness.controller->selectPage("");
    harness.controller->restoreArchivedPage(QString::fromStdString(pageID(2).lowercaseText()));
    harness.controller->confirmArchiveOtherPages();
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"restore " + pageID(2).uppercaseText(),
                                                       "ask Archive 1 page? / Archive page", "archive others"}));
}

TEST(PanelMenuTexts, RecencyWordsAndTitles) {
    struct Case {
        double secondsAgo;
        QString recency;
    };
    const Case cases[] = {{59, "now"},    {60, "1m"},      {3'599, "59m"},  {3'600, "1h"}, {86'399, "23h"},
                          {86'400, "1d"}, {604'799, "6d"}, {-3'600, "now"}, {0, "now"}};
    for (const Case &c : cases) {
        Date date = start - std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(c.secondsAgo));
        EXPECT_EQ(RelativeDates::compactRecency(date, start), c.recency) << c.secondsAgo;
    }
    const QString monthDay = RelativeDates::compactRecency(start - 604'800s, start);
    EXPECT_EQ(monthDay, RelativeDates::monthDay(start - 604'800s));
    EXPECT_FALSE(monthDay.isEmpty());
    EXPECT_FALSE(monthDay.contains(QStringLiteral("2026"))) << "no year";

    EXPECT_EQ(VeltoPanelMenuController::wordCount(""), 0U);
    EXPECT_EQ(VeltoPanelMenuController::wordCount("one"), 1U);
    EXPECT_EQ(VeltoPanelMenuController::wordCount(" a\tb\n\nc\u2028d\u00a0e "), 5U);
    // Long texts are counted in blocks of plain ASCII: words that cross a block's edge, and white space
    // beyond ASCII inside a block, count as they do one character at a time.
    struct Count {
        std::string text;
        std::size_t words;
    };
    const Count counts[] = {
        {std::string(63, 'a') + " " + std::string(70, 'b'), 2},
        {std::string(64, 'a') + std::string(64, 'b') + "\r\n", 1},
        {std::string(64, ' ') + "x" + std::string(63, '\t'), 1},
        {std::string(60, 'a') + "\u3000b\u2003c\u00e9\u1680" + std::string(60, 'd'), 4},
        {std::string(200, 'a').replace(100, 1, "\xc2\xa0"), 2},
    };
    for (const Count &count : counts) {
        EXPECT_EQ(VeltoPanelMenuController::wordCount(count.text), count.words) << count.text;
    }
    std::string pairs;
    for (int word = 0; word < 1'000; ++word) {
        pairs += word % 7 ? "ab " : "\u00e9\u00e9\u00a0";
    }
    EXPECT_EQ(VeltoPanelMenuController::wordCount(pairs), 1'000U);
    EXPECT_EQ(VeltoPanelMenuController::metadataDescription("one", std::nullopt, start), "1 word · New page");
    EXPECT_EQ(VeltoPanelMenuController::metadataDescription("a b", start - 5s, start), "2 words · Saved now");
    EXPECT_EQ(VeltoPanelMenuController::metadataDescription("a b", start - 5s, start, true), "2 words · Not saved");

    VeltoPage sixty = loadedPage(1, std::string(60, 'x'), start - 2h);
    EXPECT_EQ(VeltoPanelMenuController::pageDescription(sixty, start),
              QString(48, QLatin1Char('x')) + QStringLiteral("…  ·  2h"));
    VeltoPage recovered = loadedPage(2, "Kept", start);
    recovered.fileSlug = "recovered-page";
    EXPECT_EQ(VeltoPanelMenuController::pageDescription(recovered, start), "Recovered page: Kept  ·  now");

    // A tooltip holds an excerpt, never a whole 5 MB page.
    VeltoPage huge = loadedPage(3, std::string(5 * 1024 * 1024, 'y'), start);
    QString tip = VeltoPanelMenuController::pageToolTip(huge);
    EXPECT_EQ(tip.size(), 1'001);
    EXPECT_TRUE(tip.endsWith(QStringLiteral("…")));
    std::string manyLines;
    for (int line = 0; line < 30; ++line) {
        manyLines += "line\n";
    }
    EXPECT_EQ(VeltoPanelMenuController::pageToolTip(loadedPage(4, manyLines, start)).count(QLatin1Char('\n')), 19);
}

TEST(PanelMenuTexts, AFailedSaveIsNamedWithItsReasonInAFewWords) {
    struct Case {
        std::string description;
        QString title;
    };
    const Case cases[] = {
        {"Locking “/p/.velto/transaction.lock”: The library is busy: another program has held its lock file "
         "“/p/.velto/transaction.lock” for a while. Velto tries again by itself.",
         "Changes not saved · The library is busy"},
        {"Writing “/p/a.md”: No space left on device", "Changes not saved · No space left on device"},
        {"The page file “a.md” could not be read. Input/output error", "Changes not saved · Input/output error"},
        {"open “/p/.velto/transaction.lock”: The library file “.velto/transaction.lock” can’t be opened: Read-only "
         "file system.",
         "Changes not saved · Read-only file system"},
        {"The library file “.velto/transaction.lock” can’t be opened: the folder “/p” is on a disk that was removed.",
         "Changes not saved"},
        {"disk full", "Changes not saved · disk full"},
        {"Velto couldn’t save your change because this page isn’t fully loaded yet.", "Changes not saved"},
        {"Renaming “/p/a.md”: The page file “/p/b.md” is in the way of this page’s new name.", "Changes not saved"},
        {"", "Changes not saved"},
    };
    for (const Case &test : cases) {
        EXPECT_EQ(SaveProblem::title(test.description), test.title) << test.description;
    }
}

// While saves fail, the banner and the tray menu say where the typed text is: in the Unsaved Text folder, written
// from the home folder on, or, once keeping it failed too, only in Velto; nothing before a keep has said.
TEST(PanelMenuTexts, FailingSavesSayWhereTheTextIsKept) {
    using State = SaveProblem::KeptText::State;
    struct Case {
        SaveProblem::KeptText kept;
        QString line;
        QString banner;
    };
    const QString folder = QStringLiteral("~/.local/share/Velto/Unsaved Text");
    const Case cases[] = {
        {{State::notYetKept, folder}, QString(), QStringLiteral("Changes not saved · disk full")},
        {{State::kept, folder},
         QStringLiteral("Kept in “~/.local/share/Velto/Unsaved Text”"),
         QStringLiteral("Changes not saved · disk full\nKept in “~/.local/share/Velto/Unsaved Text”")},
        {{State::onlyInVelto, QString()},
         QStringLiteral("Only in Velto, in no file · keep Velto open"),
         QStringLiteral("Changes not saved · disk full\nOnly in Velto, in no file · keep Velto open")},
    };
    for (const Case &test : cases) {
        EXPECT_EQ(SaveProblem::keptTextLine(test.kept), test.line) << test.line.toStdString();
        EXPECT_EQ(SaveProblem::banner("disk full", test.kept).message, test.banner) << test.line.toStdString();
    }

    struct Folder {
        QString path;
        QString home;
        QString shown;
    };
    const Folder folders[] = {
        {"/home/ann/.local/share/Velto/Unsaved Text", "/home/ann", "~/.local/share/Velto/Unsaved Text"},
        {"/home/ann/.local/share/Velto/Unsaved Text", "/home/ann/", "~/.local/share/Velto/Unsaved Text"},
        {"/home/ann", "/home/ann", "~"},
        {"/home/anna/Unsaved Text", "/home/ann", "/home/anna/Unsaved Text"},
        {"/data/Velto/Unsaved Text", "/home/ann", "/data/Velto/Unsaved Text"},
        {"/Velto/Unsaved Text", "/", "/Velto/Unsaved Text"},
        {"/Velto/Unsaved Text", "", "/Velto/Unsaved Text"},
    };
    for (const Folder &test : folders) {
        EXPECT_EQ(SaveProblem::folderForDisplay(test.path, test.home), test.shown) << test.path.toStdString();
    }
}

TEST(PanelMenuDrawing, PageItemsWriteTheirRecencyInTheSmallMenuFontAfterTheTitle) {
    testing::ensureApplication();
    velto::PanelMenu model;
    for (const auto &[text, small] :
         std::vector<std::pair<QString, int>>{{QStringLiteral("Notes  ·  2h"), 2},
                                              {QStringLiteral("Tom & Jerry  ·  Apr 28"), 6},
                                              {QStringLiteral("Archive 1 Other Page…"), 0}}) {
        PanelMenuItem item;
        item.text = text;
        item.smallTextLength = small;
        model.items.push_back(item);
    }
    std::unique_ptr<QMenu> menu(PanelMenuView::make(model));
    menu->adjustSize();
    QImage screen(menu->size(), QImage::Format_ARGB32);
    TextDrawingRecorder recorder(screen);
    menu->render(&recorder);
    const auto run = [&](const QString &text) -> const DrawnText * {
        for (const DrawnText &drawn : recorder.drawn()) {
            if (drawn.text == text) {
                return &drawn;
            }
        }
        return nullptr;
    };
    struct Case {
        QString title;
        QString recency;
    };
    for (const Case &c : {Case{"Notes  ·", "2h"}, Case{"Tom & Jerry  ·", "Apr 28"}}) {
        const DrawnText *title = run(c.title);
        const DrawnText *recency = run(c.recency);
        ASSERT_NE(title, nullptr) << c.title.toStdString();
        ASSERT_NE(recency, nullptr) << c.recency.toStdString();
        EXPECT_LT(QFontInfo(recency->font).pixelSize(), QFontInfo(title->font).pixelSize());
        EXPECT_GT(recency->origin.x(), title->origin.x() + title->width) << "after the title and its blanks";
        EXPECT_EQ(recency->origin.y(), title->origin.y()) << "on the title's baseline";
        EXPECT_EQ(recency->color, title->color);
    }
    EXPECT_NE(run(QStringLiteral("Archive 1 Other Page…")), nullptr) << "other items are written whole";
}

TEST(PanelMenuDrawing, AMenuTallerThanTheScreenScrollsInOneColumn) {
    testing::ensureApplication();
    const int screenHeight = QGuiApplication::primaryScreen()->availableGeometry().height();
    velto::PanelMenu model;
    for (int index = 0; index < screenHeight / 8; ++index) {
        PanelMenuItem item;
        item.text = QStringLiteral("Archived page %1  ·  3d").arg(index);
        item.smallTextLength = 2;
        model.items.push_back(item);
    }
    // The menu's size, and the width of one of its items (known once the size is).
    const auto measure = [](QMenu &menu) {
        const QSize size = menu.sizeHint();
        return std::pair(size, menu.actionGeometry(menu.actions().front()).width());
    };
    std::unique_ptr<QMenu> inColumns(PanelMenuView::make(model));
    inColumns->setStyle(QApplication::style());
    const auto [columnsSize, columnsItemWidth] = measure(*inColumns);
    ASSERT_GE(columnsSize.width(), 2 * columnsItemWidth) << "the application's style breaks this menu into columns";
    std::unique_ptr<QMenu> menu(PanelMenuView::make(model));
    const auto [size, itemWidth] = measure(*menu);
    EXPECT_LT(size.width(), 2 * itemWidth) << "one column, as wide as its items";
    menu->popup(QPoint(0, 0));
    EXPECT_LE(menu->height(), screenHeight) << "shown as tall as the screen allows, the rest scrolled";
    menu->hide();
}

TEST(PanelMenuDrawing, ToolTipsShowTextThatLooksLikeMarkupAsItIs) {
    const QString texts[] = {QStringLiteral("Plain notes\n  indented"), QStringLiteral("<b>bold</b> and <i>more"),
                             QStringLiteral("<!-- hidden? -->\nno, shown"),
                             QStringLiteral("<img src=\"/etc/passwd\">\n\ta & b  <br>")};
    for (const QString &text : texts) {
        const QString tip = PanelMenuView::plainTextToolTip(text);
        QTextDocument shown;
        if (Qt::mightBeRichText(tip)) {
            shown.setHtml(tip);
        } else {
            shown.setPlainText(tip);
        }
        EXPECT_EQ(shown.toPlainText(), text) << tip.toStdString();
    }
}

TEST(PanelAlertTests, ConfirmationsShowTheApplicationIconNotAWarningSign) {
    const QIcon before = QApplication::windowIcon();
    QPixmap drawn(64, 64);
    drawn.fill(Qt::darkCyan);
    QApplication::setWindowIcon(QIcon(drawn));
    std::unique_ptr<QMessageBox> box = PanelAlerts::makeConfirmation(
        nullptr, QStringLiteral("Delete 2 archived pages?"), QString(), QStringLiteral("Delete pages"));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->iconPixmap().toImage().pixelColor(32, 32), QColor(Qt::darkCyan));
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Delete pages"));
    QApplication::setWindowIcon(before);
}

} // namespace
} // namespace velto
