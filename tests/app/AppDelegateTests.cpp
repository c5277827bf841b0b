// The launch sequence and the shell's own steps, with a recording panel in place of the real one, on a store
// over a temporary Pages folder. Without a display there is neither a tray nor global shortcuts.
#include "AppTestSupport.h"
#include "app/lifecycle/ShellTermination.h"
#include "app/menus/MainMenu.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/Composition.h"
#include "app/shell/ShellSettings.h"
#include "app/shell/UnreadableFilesNotice.h"
#include "app/welcome/WelcomePresenter.h"
#include "app/welcome/WelcomeWindowController.h"
#include "library/folder/PageFileSize.h"
#include "library/load/LoadResult.h"
#include "panel/feedback/SaveProblem.h"
#include "panel/window/PanelPageControlling.h"
#include "platform/FileSystem.h"
#include "preferences/PagesFolderBookmark.h"
#include "preferences/Preferences.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsWindowController.h"
#include "store/LibraryPool.h"
#include "store/Store.h"
#include "support/ChildProcess.h"
#include "support/StoreHarness.h"
#include "support/async/EventLoopWaits.h"
#include "ui/HoverButton.h"

#include <QtCore/QDir>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <map>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;
using testing::StoreHarness;

class RecordingPanel : public VeltoPanelControlling {
public:
    explicit RecordingPanel(std::vector<std::string> &log)
        : log_(log) {}

    void show(std::optional<QRect>) override {
        log_.push_back("show");
        shown = true;
    }
    bool isShown() const override { return shown; }
    std::optional<std::chrono::steady_clock::time_point> lastSelfCloseTime() const override { return std::nullopt; }
    void close() override {
        log_.push_back("close");
        shown = false;
    }
    void dropNavigationSession() override { log_.push_back("drop navigation"); }
    void stopShortcutHintMonitoring() override { log_.push_back("stop hints"); }
    void flushPendingChanges() override { log_.push_back("flush"); }
    bool canAppendToCurrentPage() const override { return pageTextHeld; }
    QString currentPageText() const override { return pageText; }
    bool append(const QString &text) override {
        log_.push_back("append " + text.toStdString());
        return pageTextHeld;
    }
    void showFeedback(const PanelFeedback &feedback) override {
        log_.push_back("feedback " + feedback.message.toStdString());
    }
    void setKeptText(const SaveProblem::KeptText &kept) override { keptText = kept; }
    void applyPreferredAppearance() override {}
    QMenu *makeStatusMenu() override { return new QMenu(); }

    SaveProblem::KeptText keptText;
    bool shown = false;
    bool pageTextHeld = true;
    QString pageText = QStringLiteral("page");

private:
    std::vector<std::string> &log_;
};

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::widgetApplication();
        preferences = testing::usePreferencesFile(folder / "Velto.json");
        // The Welcome has been answered: a launch goes straight to the tray (the Welcome's tests unset this).
        preferences->defaults().set(QString::fromLatin1(PreferenceKeys::hasCompletedWelcome), true);
    }
    void TearDown() override {
        delegate.reset();
        // A save the launch started may still be writing on the library's threads: it must end before the
        // temporary folder goes, and before the process's exit tears down what the save uses.
        libraryThreadPool().waitForDone();
        VeltoPreferences::useStorage(nullptr);
    }

    /// Launches on a store over `folder`/Pages; `adjust` may put other operations in before the launch.
    void launch(ApplicationTestLaunchConfiguration configuration = {},
                const std::function<void(AppDelegate::Options &)> &adjust = {}) {
        startLaunching(std::move(configuration), adjust);
        ASSERT_TRUE(processEventsUntil([this] { return delegate->isRunning(); }));
    }

    /// Launches as launch() does without waiting for the launch to finish.
    void startLaunching(ApplicationTestLaunchConfiguration configuration = {},
                        const std::function<void(AppDelegate::Options &)> &adjust = {}) {
        AppDelegate::Options options;
        std::filesystem::path pages = folder / "Pages";
        options.loadStore = [pages] {
            return VeltoStore::loadForApplication(pages, StoreHarness::maximumPageCount,
                                                  StoreHarness::maximumPageBytes);
        };
        options.makePanel = [this](VeltoStore &) {
            auto made = std::make_unique<RecordingPanel>(log);
            panel = made.get();
            return made;
        };
        options.presentAlert = presentAlert;
        ShellServices services = recordingServices();
        services.launchAtLoginService = launchAtLoginService;
        services.presentAlert = presentAlert;
        services.settingsPresentation = SettingsPresentationCoordinator{
            [this](SettingsPresentationMode mode) { presentationModes.push_back(mode); }};
        if (adjust) {
            adjust(options);
        }
        delegate = std::make_unique<AppDelegate>(std::move(configuration), std::move(options),
                                                 makeShellParts(std::move(services)));
        delegate->applicationWillFinishLaunching();
        delegate->applicationDidFinishLaunching();
    }

    /// The desktop's services with the exit statuses recorded instead of leaving the event loop.
    ShellServices recordingServices() {
        ShellServices services;
        services.exitApplication = [this](int status) { exitStatuses.push_back(status); };
        return services;
    }

    testing::TemporaryFolder folder;
    std::unique_ptr<PreferencesStore> preferences;
    std::unique_ptr<AppDelegate> delegate;
    RecordingPanel *panel = nullptr;
    std::vector<std::string> log;
    std::vector<int> exitStatuses;
    std::optional<LaunchAtLoginService> launchAtLoginService;
    ShellAlertPresenter presentAlert;
    std::vector<SettingsPresentationMode> presentationModes;

    /// Answers every alert with its first button and keeps the messages of those naming files that cannot be read.
    void collectUnreadableFileNotices(std::vector<std::string> &notices) {
        presentAlert = [&notices](const ShellAlert &alert) {
            if (alert.title == QStringLiteral("Some Files Can’t Be Read")) {
                notices.push_back(alert.message.toStdString());
            }
            return firstAlertButton;
        };
    }
};

TEST_F(AppDelegateTest, TheLaunchLoadsTheStoreBuildsThePanelAndReportsShortcutsUnavailableWithoutX11) {
    launch();
    ASSERT_NE(delegate->store(), nullptr);
    EXPECT_EQ(delegate->store()->folderURL(), folder / "Pages");
    EXPECT_EQ(delegate->panelController(), panel);
    ASSERT_NE(delegate->hotKeyController(), nullptr);
    EXPECT_TRUE(delegate->hotKeyController()->hotKeys().empty());
    EXPECT_TRUE(exitStatuses.empty());
}

TEST_F(AppDelegateTest, TogglingClosesAfterHandingTheTextToTheStoreAndOpensAgain) {
    launch();
    delegate->togglePanel();
    delegate->togglePanel();
    delegate->showPage();
    delegate->showPage(); // never closes
    EXPECT_EQ(log,
              (std::vector<std::string>{"show", "drop navigation", "stop hints", "flush", "close", "show", "show"}));
}

// The shortcuts work before the current page is loaded: what they ask for then is answered once the panel is made.
TEST_F(AppDelegateTest, RequestsMadeBeforeThePanelIsMadeAreAnsweredOnceItIs) {
    struct Case {
        const char *name;
        std::function<void(AppDelegate &)> request;
        std::vector<std::string> answered;
    };
    const std::vector<Case> cases{
        {"the shortcut", [](AppDelegate &shell) { shell.togglePanel(42); }, {"show"}},
        {"the shortcut pressed twice", [](AppDelegate &shell) { shell.togglePanel(42), shell.togglePanel(43); }, {}},
        {"Open Velto twice", [](AppDelegate &shell) { shell.showPage(), shell.showPage(); }, {"show"}},
        {"a tray click", [](AppDelegate &shell) { shell.togglePanel(); }, {"show"}},
        {"the clipboard shortcut", [](AppDelegate &shell) { shell.appendClipboard(); }, {"append kept words"}},
    };
    for (const Case &example : cases) {
        SCOPED_TRACE(example.name);
        QGuiApplication::clipboard()->setText(QStringLiteral("kept words"));
        log.clear();
        panel = nullptr;
        startLaunching();
        ASSERT_TRUE(processEventsUntil([this] { return delegate->hotKeyController() != nullptr; }));
        ASSERT_EQ(delegate->panelController(), nullptr);
        example.request(*delegate);
        ASSERT_TRUE(processEventsUntil([this] { return delegate->isRunning(); }));
        processEventsUntil([&] { return log == example.answered; }); // the clipboard is read from the loop
        EXPECT_EQ(log, example.answered);
        delegate.reset();
    }
}

// The panel asks while its own work runs (Browse Pages opening a page): the shell shows it from the event loop.
TEST_F(AppDelegateTest, ThePanelsRequestForTheEditorShowsItOnceItsOwnWorkIsDone) {
    launch();
    emit panel->editorOpenRequested();
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(processEventsUntil([this] { return panel->shown; }));
    EXPECT_EQ(log, std::vector<std::string>{"show"});
}

TEST_F(AppDelegateTest, ClipboardAppendAppendsCleanedTextAndRefusesWhatWouldAddNothingOrCannotBeAdded) {
    launch();
    struct Case {
        const char *name;
        std::optional<QString> clipboard;
        bool pageTextHeld;
        std::string expected;
    };
    const Case cases[] = {
        {"text", QStringLiteral("one\r\ntwo  "), true, "append one\ntwo"},
        {"blanks", QStringLiteral(" \n\t"), true, "feedback Nothing to append"},
        {"nothing", std::nullopt, true, "feedback Clipboard doesn’t contain text"},
        {"page not held", QStringLiteral("text"), false, "feedback The current page can’t be changed right now"},
    };
    for (const Case &test : cases) {
        log.clear();
        panel->pageTextHeld = test.pageTextHeld;
        if (test.clipboard) {
            QGuiApplication::clipboard()->setText(*test.clipboard);
        } else {
            QGuiApplication::clipboard()->clear();
        }
        delegate->appendClipboard();
        ASSERT_TRUE(processEventsUntil([this] { return !log.empty(); })) << test.name;
        EXPECT_EQ(log, std::vector<std::string>{test.expected}) << test.name;
    }
}

TEST_F(AppDelegateTest, QuittingHandsTheEditorsTextToTheStoreSavesAndEndsWithStatusZero) {
    launch();
    delegate->store()->setText("the final words", std::chrono::system_clock::now());
    delegate->quit();
    EXPECT_EQ(log.front(), "flush");
    ASSERT_TRUE(processEventsUntil([this] { return !exitStatuses.empty(); }));
    EXPECT_EQ(exitStatuses, std::vector<int>{0});
    auto file = delegate->store()->currentPageFileURL();
    ASSERT_TRUE(file.has_value());
    EXPECT_NE(testing::readWholeFile(file->string()).find("the final words"), std::string::npos);
}

TEST_F(AppDelegateTest, ASmokeLaunchRunsOnItsStorageFolderWithItsOwnPreferences) {
    ApplicationTestLaunchConfiguration configuration(
        {"velto", "--packaged-launch-smoke"}, {{"VELTO_SMOKE_TEST_STORAGE_DIRECTORY", (folder / "Smoke").string()}});
    AppDelegate::Options options;
    options.makePanel = [this](VeltoStore &) { return std::make_unique<RecordingPanel>(log); };
    delegate = std::make_unique<AppDelegate>(configuration, std::move(options), makeShellParts(recordingServices()));
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(processEventsUntil([this] { return delegate->isRunning(); }));
    EXPECT_EQ(delegate->store()->folderURL(), folder / "Smoke");
    EXPECT_NE(&VeltoPreferences::storage(), preferences.get());
    std::filesystem::remove_all(delegate->testLaunchConfiguration().privatePreferencesFile.parent_path());
}

// The Settings window, as the shell creates and serves it.

TEST_F(AppDelegateTest, TheTrayMenuOpensVeltoOffersFeedbackAndQuitsAlsoBeforeLaunchingHasFinished) {
    AppDelegate early({}, AppDelegate::Options{}, makeShellParts());
    std::unique_ptr<QMenu> menu(early.makeStatusItemMenu());
    // This build names no feedback address; Qt folds the two separators around the missing page items.
    EXPECT_EQ(describeMenu(*menu).join(QLatin1Char('\n')).toStdString(),
              "Open Velto\tAlt+Space\n-\n-\nSend Feedback… (disabled)\n-\nQuit Velto\tCtrl+Q");
    menu->actions().front()->trigger(); // nothing to open yet

    launch();
    menu.reset(delegate->makeStatusItemMenu());
    // Without an X server the shortcut was not registered: the menu does not promise it.
    EXPECT_EQ(menu->actions().front()->text().toStdString(), "Open Velto\tAlt+Space (unavailable)");
    menu->actions().front()->trigger();
    EXPECT_EQ(log, (std::vector<std::string>{"show"}));
}

// The tray menu shows the show/hide shortcut in the key names Linux desktops use, glyph keys named too.
TEST_F(AppDelegateTest, TheTrayMenuNamesTheShortcutsKeysInLinuxWords) {
    struct Row {
        GlobalShortcut shortcut;
        const char *openTitle;
    };
    const Row rows[] = {
        {{0x30, ModifierFlags::command, QStringLiteral("⇥")}, "Open Velto\tCtrl+Tab"},
        {{0x24, ModifierFlags::option | ModifierFlags::control, QStringLiteral("↩")}, "Open Velto\tAlt+Super+Enter"},
        {{0x00, ModifierFlags::shift | ModifierFlags::command, QStringLiteral("A")}, "Open Velto\tCtrl+Shift+A"},
    };
    AppDelegate shell({}, AppDelegate::Options{}, makeShellParts());
    for (const Row &row : rows) {
        VeltoPreferences::setGlobalShortcut(row.shortcut);
        std::unique_ptr<QMenu> menu(shell.makeStatusItemMenu());
        EXPECT_EQ(menu->actions().front()->text().toStdString(), row.openTitle);
    }
}

// An item of the tray menu that asks first (deleting archived pages, archiving the others) runs the question's
// event loop after the menu hid and before the menu's own code has returned from choosing it: the menu must
// still be there then, and goes once the next menu is shown.
TEST_F(AppDelegateTest, TheTrayMenuOutlivesAnItemThatAsksFirst) {
    launch();
    delegate->showMenu();
    QPointer<QMenu> menu = delegate->shownMenu();
    ASSERT_FALSE(menu.isNull());
    bool menuThereAfterTheQuestion = false;
    QAction *asking = menu->addAction(QStringLiteral("Delete 1 Archived Page…"));
    QObject::connect(asking, &QAction::triggered, [&] {
        menu->hide(); // as when an item is chosen
        // What the question's own event loop does with objects let go meanwhile.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        menuThereAfterTheQuestion = !menu.isNull();
    });
    asking->trigger();
    EXPECT_TRUE(menuThereAfterTheQuestion) << "the menu was deleted while its item still ran";

    delegate->showMenu();
    EXPECT_TRUE(menu.isNull()) << "the menu shown before stays for good";
    EXPECT_NE(delegate->shownMenu(), nullptr);
}

TEST_F(AppDelegateTest, ASavedPagesFolderThatIsGoneAsksFirstAndUseDefaultFolderForgetsIt) {
    std::vector<std::string> titles;
    presentAlert = [&](const ShellAlert &alert) {
        titles.push_back(alert.title.toStdString());
        return firstAlertButton + 1; // "Use Default Folder"
    };
    QByteArray bookmark = pagesFolderBookmarkData(folder / "Unplugged" / "Pages");
    VeltoPreferences::setPagesFolder(bookmark, VeltoFolderOwnershipMode::wholeFolder);
    launch();
    EXPECT_EQ(titles, (std::vector<std::string>{"Velto Couldn’t Access Your Pages Folder"}));
    EXPECT_EQ(delegate->activePagesFolder(), VeltoPageLibrary::defaultFolderURL());
    EXPECT_FALSE(preferences->defaults().data(QString::fromLatin1(PreferenceKeys::pagesFolderBookmark)).has_value())
        << "the stale folder is forgotten, so the alert does not return at the next launch";

    delegate.reset();
    titles.clear();
    launch();
    EXPECT_TRUE(titles.empty());
    EXPECT_EQ(delegate->activePagesFolder(), VeltoPageLibrary::defaultFolderURL());
}

TEST_F(AppDelegateTest, ThePanelsRequestOpensThePagesFolderAfterHandingTheTextToTheStore) {
    std::vector<std::filesystem::path> opened;
    launch({}, [&](AppDelegate::Options &options) {
        PagesFinderWorkflow::Operations operations;
        operations.openFolder = [&](std::filesystem::path shown) { opened.push_back(shown); };
        operations.revealFile = [](std::filesystem::path) {};
        operations.presentFailure = [](QString, std::string) {};
        options.fileManagerOperations = operations;
    });
    emit panel->pagesFolderOpenRequested();
    ASSERT_TRUE(processEventsUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, (std::vector<std::filesystem::path>{folder / "Pages"}));
    EXPECT_EQ(log, (std::vector<std::string>{"flush"}));
}

TEST_F(AppDelegateTest, QuittingAtAnUnreachableSavedPagesFolderKeepsItChosen) {
    presentAlert = [](const ShellAlert &) { return firstAlertButton; }; // "Quit"
    QByteArray bookmark = pagesFolderBookmarkData(folder / "Unplugged" / "Pages");
    VeltoPreferences::setPagesFolder(bookmark, VeltoFolderOwnershipMode::wholeFolder);
    AppDelegate::Options options;
    options.presentAlert = presentAlert;
    ShellServices services = recordingServices();
    services.presentAlert = presentAlert;
    delegate = std::make_unique<AppDelegate>(ApplicationTestLaunchConfiguration{}, std::move(options),
                                             makeShellParts(std::move(services)));
    delegate->applicationWillFinishLaunching();
    EXPECT_EQ(preferences->defaults().data(QString::fromLatin1(PreferenceKeys::pagesFolderBookmark)), bookmark);
}

TEST_F(AppDelegateTest, AnUnreadablePageAsksBeforeAnythingAndQuitLeavesNoPanel) {
    std::vector<std::string> titles;
    presentAlert = [&](const ShellAlert &alert) {
        titles.push_back(alert.title.toStdString());
        return firstAlertButton + 1; // "Quit"
    };
    AppDelegate::Options options;
    std::filesystem::path pages = folder / "Pages";
    options.loadStore = [pages]() -> QCoro::Task<std::unique_ptr<VeltoStore>> {
        co_return std::make_unique<VeltoStore>(
            pages, StoreHarness::maximumPageCount, StoreHarness::maximumPageBytes, VeltoStore::Environment{},
            VeltoLibraryLoadResult::failed({VeltoStoreRecoveryIssue::Kind::corrupt, "The page file is damaged."}));
    };
    options.makePanel = [this](VeltoStore &) {
        auto made = std::make_unique<RecordingPanel>(log);
        panel = made.get();
        return made;
    };
    options.presentAlert = presentAlert;
    ShellServices services = recordingServices();
    services.presentAlert = presentAlert;
    delegate = std::make_unique<AppDelegate>(ApplicationTestLaunchConfiguration{}, std::move(options),
                                             makeShellParts(std::move(services)));
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(processEventsUntil([&] { return !titles.empty(); }));
    testing::processEventsFor(100ms);
    EXPECT_EQ(titles, (std::vector<std::string>{"Velto Couldn’t Read Your Page"}));
    EXPECT_EQ(panel, nullptr);
    EXPECT_FALSE(delegate->isRunning());
}

TEST_F(AppDelegateTest, AReloadThatCannotSaveFirstSaysSoAndKeepsTheTypedText) {
    std::vector<ShellAlert> alerts;
    presentAlert = [&](const ShellAlert &alert) {
        alerts.push_back(alert);
        return firstAlertButton;
    };
    launch({}, [this](AppDelegate::Options &options) {
        std::filesystem::path pages = folder / "Pages";
        options.loadStore = [pages] {
            VeltoStore::SaveOperation failingWrite = [](VeltoSaveRequest,
                                                        std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
                throw std::runtime_error("The disk is full.");
                co_return VeltoSaveResult{};
            };
            return VeltoStore::loadForApplication(pages, StoreHarness::maximumPageCount, StoreHarness::maximumPageBytes,
                                                  std::nullopt, failingWrite);
        };
        // the real panel: the reload is its operation
        options.makePanel = productionPanelFactory(PopoverBehavior::transient);
    });
    ASSERT_TRUE(delegate->panelController()->append(QStringLiteral("typed before the reload")));
    delegate->reloadFromDisk();
    ASSERT_TRUE(processEventsUntil([&] { return !alerts.empty(); }));
    EXPECT_EQ(alerts.front().title, QStringLiteral("Couldn’t Reload from Disk"));
    EXPECT_EQ(alerts.front().message, QStringLiteral("The disk is full."));
    // Nothing was read back over the text that could not be saved.
    EXPECT_EQ(delegate->panelController()->currentPageText(), QStringLiteral("typed before the reload"));
    EXPECT_EQ(delegate->store()->document().currentPage.visibleText(), "typed before the reload");
}

/// The kept files of the folder (not its hidden list of files to name), by name, with their text.
std::map<std::string, std::string> keptFiles(const std::filesystem::path &folder) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::is_directory(folder)) {
        return files;
    }
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.front() != '.') {
            files[name] = testing::readWholeFile(entry.path().string());
        }
    }
    return files;
}

/// Loads the Pages folder into a store whose every save a read-only disk refuses.
AppDelegate::LoadStore storeWhoseSavesAreRefused(std::filesystem::path pages) {
    return [pages] {
        VeltoStore::SaveOperation refusedWrite = [](VeltoSaveRequest,
                                                    std::filesystem::path folderURL) -> QCoro::Task<VeltoSaveResult> {
            throw FileSystemError(EROFS, folderURL / "page.md", "Writing");
            co_return VeltoSaveResult{};
        };
        return VeltoStore::loadForApplication(pages, StoreHarness::maximumPageCount, StoreHarness::maximumPageBytes,
                                              std::nullopt, refusedWrite);
    };
}

// Text that no save can put into its page is kept in a file of Velto's own while saves fail (a kill then loses
// nothing), again as more is typed, and at a quit nobody is asked about, which reports it by its exit status; the
// next launch names the file once, and the one after names nothing.
TEST_F(AppDelegateTest, TextNoSaveTakesIsKeptOutsideThePagesAndTheNextLaunchNamesItOnce) {
    const std::filesystem::path keptFolder = folder / "Unsaved Text";
    std::vector<ShellAlert> alerts;
    presentAlert = [&](const ShellAlert &alert) {
        alerts.push_back(alert);
        return firstAlertButton;
    };
    auto launchSaving = [&](bool savesFail) {
        launch({}, [&, savesFail](AppDelegate::Options &options) {
            options.unsavedTextFolder = keptFolder;
            if (!savesFail) {
                return;
            }
            options.loadStore = storeWhoseSavesAreRefused(folder / "Pages");
        });
    };

    launchSaving(true);
    delegate->store()->setText("# Plans\nfirst words\n", std::chrono::system_clock::now());
    ASSERT_TRUE(processEventsUntil([&] { return keptFiles(keptFolder).size() == 1; }));
    EXPECT_TRUE(processEventsUntil([&] { return panel->keptText.state == SaveProblem::KeptText::State::kept; }))
        << "the panel learns that the text is kept";
    EXPECT_EQ(panel->keptText.folder,
              SaveProblem::folderForDisplay(QString::fromStdString(keptFolder.string()), QDir::homePath()));
    delegate->store()->setText("# Plans\nfirst words\nmore words\n", std::chrono::system_clock::now());
    ASSERT_TRUE(processEventsUntil([&] {
        auto files = keptFiles(keptFolder);
        return files.size() == 1 && files.begin()->second == "# Plans\nfirst words\nmore words\n";
    })) << "the same file holds what was typed since";
    delegate->store()->setText("# Plans\nfirst words\nmore words\nlast words\n", std::chrono::system_clock::now());
    delegate->quitWithoutAsking();
    ASSERT_TRUE(processEventsUntil([this] { return !exitStatuses.empty(); }));
    EXPECT_EQ(exitStatuses, std::vector<int>{1});
    auto kept = keptFiles(keptFolder);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.begin()->second, "# Plans\nfirst words\nmore words\nlast words\n");
    EXPECT_EQ(kept.begin()->first.rfind("Plans ", 0), 0u) << kept.begin()->first;
    delegate.reset();
    libraryThreadPool().waitForDone();

    for (int relaunch = 1; relaunch <= 2; ++relaunch) {
        alerts.clear();
        launchSaving(false);
        processEventsUntil([&] { return !alerts.empty(); }, std::chrono::milliseconds(500));
        std::vector<QString> titles;
        for (const ShellAlert &alert : alerts) {
            titles.push_back(alert.title);
        }
        if (relaunch == 1) {
            ASSERT_EQ(titles, std::vector<QString>{QStringLiteral("Some Text Is Kept Outside Your Pages")});
            EXPECT_TRUE(alerts.front().message.contains(QString::fromStdString(kept.begin()->first)))
                << alerts.front().message.toStdString();
        } else {
            EXPECT_TRUE(titles.empty()) << "named once";
        }
        EXPECT_EQ(keptFiles(keptFolder), kept) << "the kept file stays";
        delegate.reset();
        libraryThreadPool().waitForDone();
    }
}

// Keeping the text fails too (a file stands where the Unsaved Text folder goes): the panel learns that the text is
// only in Velto, not that it is kept somewhere.
TEST_F(AppDelegateTest, TextThatCannotBeKeptEitherIsOnlyInVeltoForThePanel) {
    const std::filesystem::path blocked = folder / "Unsaved Text";
    std::ofstream(blocked) << "a file, not a folder";
    launch({}, [&](AppDelegate::Options &options) {
        options.unsavedTextFolder = blocked;
        options.loadStore = storeWhoseSavesAreRefused(folder / "Pages");
    });
    delegate->store()->setText("# Plans\nfirst words\n", std::chrono::system_clock::now());
    EXPECT_TRUE(processEventsUntil([&] { return panel->keptText.state == SaveProblem::KeptText::State::onlyInVelto; }))
        << "the panel was not told that the text is only in Velto";
}

// The quit alert says why the save failed and what to do: a page too large to save is to lose some text.
TEST(TerminationFailureText, NamesTheCauseTheRemedyAndWhereTheTextGoesOnAQuit) {
    const QString tooLarge = terminationFailureText(
        TerminationSaveFailure::failed(VeltoPageLibrary::PageFileTooLargeError("/home/ada/Pages/log.md").what()));
    EXPECT_TRUE(tooLarge.contains(QStringLiteral("This page is too large to save"))) << tooLarge.toStdString();
    EXPECT_TRUE(tooLarge.contains(QStringLiteral("Take some text out"))) << tooLarge.toStdString();
    const QString readOnly = terminationFailureText(TerminationSaveFailure::failed(
        "open “/home/ada/Pages/.velto/transaction.lock”: The library file “.velto/transaction.lock” can’t be opened: "
        "Read-only file system."));
    EXPECT_TRUE(readOnly.startsWith(QStringLiteral("The library file “.velto/transaction.lock” can’t be opened")))
        << readOnly.toStdString();
    const QString slow = terminationFailureText(TerminationSaveFailure::timedOut());
    EXPECT_TRUE(slow.contains(QStringLiteral("taking longer than expected"))) << slow.toStdString();
    for (const QString &text : {tooLarge, slow}) {
        EXPECT_TRUE(text.contains(QStringLiteral("keeps the text it couldn’t save"))) << text.toStdString();
    }
}

// The quit alert's text and its button say the same thing: where the text is kept on a quit, or, when keeping it
// failed, that it is only in Velto and that Cancel keeps Velto open.
TEST(TerminationFailureText, TheTextAndTheQuitButtonSayWhatBecomesOfTheText) {
    struct Case {
        const char *name;
        TerminationSaveFailure failure;
        UnsavedTextKeeping keeping;
        std::vector<QString> says;
        std::vector<QString> neverSays;
        QString button;
    };
    const TerminationSaveFailure readOnly = TerminationSaveFailure::failed("Read-only file system");
    const std::filesystem::path folder = "/home/ada/.local/share/Velto/Unsaved Text";
    const Case cases[] = {
        {"kept",
         readOnly,
         {folder, std::nullopt},
         {QStringLiteral("or quit and keep the text."),
          QStringLiteral("keeps the text it couldn’t save in a file in “/home/ada/.local/share/Velto/Unsaved "
                         "Text”")},
         {QStringLiteral("without saving"), QStringLiteral("lost")},
         QStringLiteral("Quit and Keep Text")},
        {"slow, kept",
         TerminationSaveFailure::timedOut(),
         {folder, std::nullopt},
         {QStringLiteral("or quit and keep the text."), QStringLiteral("“/home/ada/.local/share/Velto/Unsaved Text”")},
         {QStringLiteral("without saving")},
         QStringLiteral("Quit and Keep Text")},
        {"keeping failed",
         readOnly,
         {folder, "No space left on device"},
         {QStringLiteral("or quit without saving."),
          QStringLiteral("couldn’t keep the text in a file of its own either: No space left on device."),
          QStringLiteral("only in Velto’s panel now: if you quit, it is lost."),
          QStringLiteral("Cancel keeps Velto open")},
         {QStringLiteral("keeps the text it couldn’t save"), QStringLiteral("quit and keep")},
         QStringLiteral("Quit Without Saving")},
        {"slow, keeping failed",
         TerminationSaveFailure::timedOut(),
         {folder, "Permission denied"},
         {QStringLiteral("taking longer than expected"), QStringLiteral("Permission denied."),
          QStringLiteral("Cancel keeps Velto open")},
         {QStringLiteral("keeps the text it couldn’t save")},
         QStringLiteral("Quit Without Saving")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = terminationFailureText(c.failure, c.keeping);
        for (const QString &words : c.says) {
            EXPECT_TRUE(text.contains(words)) << text.toStdString() << "\nlacks: " << words.toStdString();
        }
        for (const QString &words : c.neverSays) {
            EXPECT_FALSE(text.contains(words)) << text.toStdString() << "\nsays: " << words.toStdString();
        }
        EXPECT_EQ(quitRegardlessButton(c.keeping), c.button);
    }
}

// After a relaunch, the notice of unreadable files says where the text typed into such a file's page went: into the
// recovered page, which has the creation date of the page recorded at that file.
TEST(UnreadableFilesNoticeTests, AFileWhoseTextWasRecoveredNamesTheRecoveredPage) {
    testing::widgetApplication();
    const Date created = dateFromSecondsSince1970(1'780'000'000);
    VeltoPage recovered;
    recovered.id = *Uuid::parse("00000000-0000-4000-8000-000000000001");
    recovered.createdAt = created;
    recovered.fileSlug = "recovered-page";
    recovered.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "Shopping list\neggs\n", "\n"});
    VeltoPage unreadable;
    unreadable.id = *Uuid::parse("00000000-0000-4000-8000-000000000002");
    unreadable.createdAt = created;
    unreadable.relativeFilePath = "list.md";
    unreadable.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{});
    VeltoPage other = unreadable;
    other.id = *Uuid::parse("00000000-0000-4000-8000-000000000003");
    other.createdAt = created - std::chrono::hours(1);
    other.relativeFilePath = "other.md";
    VeltoDocument document;
    document.currentPage = recovered;
    document.pages = {unreadable, other};
    StoreHarness stores;
    VeltoStore &store =
        stores.openStore({}, VeltoLibraryLoadResult::loaded(document, std::nullopt,
                                                            {{"list.md", "Not UTF-8"}, {"other.md", "Not UTF-8"}}));

    std::optional<ShellAlert> alert = UnreadableFilesNotice().alertForNewlyUnreadable(store);
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->message.contains(QStringLiteral(
        "“list.md”: Not UTF-8. The text you typed into its page is in the recovered page “Shopping list”.")))
        << alert->message.toStdString();
    EXPECT_EQ(alert->message.count(QStringLiteral("recovered page")), 1) << alert->message.toStdString();
}

// Only the launch, before anyone types, names unreadable files in an alert: one that a reload meets while the
// user types is named by the panel's banner and the tray menu, which take no keys from the page.
TEST_F(AppDelegateTest, OnlyTheLaunchAlertsOfUnreadableFilesAndAReloadMeetingOneRaisesNoWindow) {
    std::vector<std::string> notices;
    collectUnreadableFileNotices(notices);
    const std::string latin1 = "caf\xe9\n"; // not UTF-8
    folder.writeFile("Pages/plan.md", "The plan\n");
    folder.writeFile("Pages/first.md", latin1);
    launch();
    ASSERT_TRUE(processEventsUntil([&] { return notices.size() == 1; }));
    EXPECT_NE(notices[0].find("“first.md”"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("Your other pages are open."), std::string::npos) << notices[0];

    // The folder's monitor reloads what changed; the store lists the file, and no alert names it.
    auto listsUnreadable = [&](const std::string &name) {
        for (const VeltoUnreadablePageFile &file : delegate->store()->unreadableFiles()) {
            if (file.relativePath == name) {
                return true;
            }
        }
        return false;
    };
    folder.writeFile("Pages/second.md", latin1);
    ASSERT_TRUE(processEventsUntil([&] { return listsUnreadable("second.md"); }));
    testing::processEventsFor(200ms);
    EXPECT_EQ(notices.size(), 1U);

    // Readable again, it leaves the list; unreadable again, it still raises no alert.
    folder.writeFile("Pages/second.md", "Second\n");
    ASSERT_TRUE(processEventsUntil([&] { return !listsUnreadable("second.md"); }));
    folder.writeFile("Pages/second.md", latin1 + latin1);
    ASSERT_TRUE(processEventsUntil([&] { return listsUnreadable("second.md"); }));
    testing::processEventsFor(200ms);
    EXPECT_EQ(notices.size(), 1U);
}

TEST_F(AppDelegateTest, AFirstLaunchBesideOnlyUnreadableFilesNamesThemWithoutSpeakingOfOtherPages) {
    std::vector<std::string> notices;
    collectUnreadableFileNotices(notices);
    folder.writeFile("Pages/only.md", "caf\xe9\n");
    launch();
    ASSERT_TRUE(processEventsUntil([&] { return notices.size() == 1; }));
    EXPECT_NE(notices[0].find("“only.md”"), std::string::npos) << notices[0];
    EXPECT_EQ(notices[0].find("other pages"), std::string::npos) << notices[0];
}

/// The bytes of every file below the folder, by relative path.
std::map<std::string, std::string> filesBelow(const std::filesystem::path &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(folder).string()] = testing::readWholeFile(entry.path().string());
        }
    }
    return files;
}

// A library a newer Velto wrote is named as such, with its version; nothing is offered that would rewrite it,
// and quitting leaves every file as it was.
TEST_F(AppDelegateTest, ANewerLibraryAsksForANewerVeltoOffersNoRepairAndLeavesItAsItIs) {
    std::vector<ShellAlert> alerts;
    presentAlert = [&](const ShellAlert &alert) {
        alerts.push_back(alert);
        return firstAlertButton;
    };
    folder.writeFile("Pages/.velto/manifest.json", R"({"schemaVersion": 5, "currentPage": {}})");
    folder.writeFile("Pages/notes.md", "Notes\n");
    auto before = filesBelow(folder / "Pages");
    startLaunching();
    ASSERT_TRUE(processEventsUntil([&] { return !exitStatuses.empty(); }));

    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].title, QStringLiteral("This Library Needs a Newer Velto"));
    EXPECT_TRUE(alerts[0].message.startsWith(
        QStringLiteral("This Velto library uses newer metadata version 5. Update Velto before opening it.")))
        << alerts[0].message.toStdString();
    EXPECT_EQ(alerts[0].buttons, QStringList{QStringLiteral("Quit")});
    EXPECT_EQ(panel, nullptr);
    EXPECT_EQ(filesBelow(folder / "Pages"), before);
}

// A ".velto" that is a file: named with its place, no repair offered; once the user has moved it away, Try
// Again loads the folder afresh and the launch goes on.
TEST_F(AppDelegateTest, AFolderThatCannotHoldTheLibraryIsNamedAndTryAgainOpensItOnceChanged) {
    std::vector<ShellAlert> alerts;
    presentAlert = [&](const ShellAlert &alert) {
        alerts.push_back(alert);
        std::filesystem::rename(folder / "Pages/.velto", folder / "velto-moved-away");
        return firstAlertButton; // "Try Again"
    };
    folder.writeFile("Pages/.velto", "a file in the library's place\n");
    folder.writeFile("Pages/notes.md", "Notes\n");
    launch();

    ASSERT_EQ(alerts.size(), 1U);
    EXPECT_EQ(alerts[0].title, QStringLiteral("Velto Can’t Use Your Pages Folder"));
    EXPECT_TRUE(alerts[0].message.startsWith(QStringLiteral("“") +
                                             QString::fromStdString((folder / "Pages/.velto").string()) +
                                             QStringLiteral("” is a file, not a folder.")))
        << alerts[0].message.toStdString();
    EXPECT_EQ(alerts[0].buttons, (QStringList{QStringLiteral("Try Again"), QStringLiteral("Quit")}));
    EXPECT_TRUE(delegate->store()->loadState().isLoaded());
    EXPECT_EQ(delegate->store()->document().currentPage.visibleText(), "Notes\n");
}

// After a damaged library is preserved, the alert names the file that keeps the original and the folder it is
// in, the library's own hidden folder.
TEST_F(AppDelegateTest, PreservingADamagedLibrarySaysWhereTheOriginalIsKept) {
    std::vector<ShellAlert> alerts;
    presentAlert = [&](const ShellAlert &alert) {
        alerts.push_back(alert);
        return firstAlertButton;
    };
    folder.writeFile("Pages/.velto/manifest.json", "{\"schemaVersion\": 3, \"currentPage\": 7}");
    launch();

    ASSERT_EQ(alerts.size(), 2U);
    EXPECT_EQ(alerts[0].title, QStringLiteral("Velto Couldn’t Read Your Page"));
    EXPECT_EQ(alerts[1].title, QStringLiteral("Original Page Preserved"));
    std::vector<std::string> kept;
    for (const auto &entry : std::filesystem::directory_iterator(folder / "Pages/.velto")) {
        if (entry.path().filename().string().starts_with("manifest.recovery-")) {
            kept.push_back(entry.path().filename().string());
        }
    }
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(alerts[1].message.toStdString(), "Velto saved the original file as " + kept[0] + " in the folder “" +
                                                   (folder / "Pages/.velto").string() + "”.");
}

namespace settingsPresentation {

struct Outcome {
    bool finished = false;
    std::optional<std::string> error;
};

QCoro::Task<void> run(QCoro::Task<void> task, std::shared_ptr<Outcome> outcome) {
    try {
        co_await task;
    } catch (const std::exception &error) {
        outcome->error = error.what();
    }
    outcome->finished = true;
}

} // namespace settingsPresentation

class AppDelegateSettingsTest : public AppDelegateTest {
protected:
    std::shared_ptr<settingsPresentation::Outcome> changeFolder(std::filesystem::path destination) {
        auto outcome = std::make_shared<settingsPresentation::Outcome>();
        VeltoFolderConnectionChoice choice{destination, VeltoFolderOwnershipMode::wholeFolder,
                                           VeltoFolderConnectionOperation::copyCurrentLibrary};
        settingsPresentation::run(
            delegate->settings().changePagesFolder(VeltoFolderConnectionDecision::connect(choice)), outcome);
        EXPECT_TRUE(processEventsUntil([&] { return outcome->finished; }));
        return outcome;
    }
};

TEST_F(AppDelegateSettingsTest, SettingsAppearOnlyAfterLaunchingAndTheSameWindowComesBack) {
    AppDelegate::Options options;
    AppDelegate early({}, std::move(options), makeShellParts());
    early.showSettings();
    EXPECT_EQ(early.settings().windowController(), nullptr);

    launch();
    emit panel->settingsRequested();
    SettingsWindowController *controller = delegate->settings().windowController();
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(controller->window()->isVisible());
    controller->window()->close();
    EXPECT_FALSE(controller->window()->isVisible());
    delegate->showSettings();
    EXPECT_EQ(delegate->settings().windowController(), controller);
    EXPECT_TRUE(controller->window()->isVisible());
    // Each showing presents the window, each closing goes back to the tray alone.
    using Mode = SettingsPresentationMode;
    EXPECT_EQ(presentationModes, (std::vector<Mode>{Mode::settingsWindow, Mode::menuBarOnly, Mode::settingsWindow}));
}

// The Welcome's "Choose a shortcut…" leads to the recorder, ready for the keys: the next combination is the shortcut.
TEST_F(AppDelegateSettingsTest, ChoosingAShowOrHideShortcutShowsItsRecorderRecording) {
    launch();
    delegate->chooseShowOrHideShortcut();
    SettingsWindowController *controller = delegate->settings().windowController();
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_EQ(controller->selectedCategory(), SettingsCategory::shortcuts);
    InlineShortcutRecorder *recorder = controller->shortcutsPage().shortcutRecorder;
    EXPECT_EQ(controller->recordingRecorder(), recorder);
    EXPECT_EQ(controller->window()->focusWidget(), recorder);
}

TEST_F(AppDelegateSettingsTest, CallbacksAnswerTheCurrentLibraryAndDoNothingOnceTheDelegateIsGone) {
    launch();
    SettingsWindowCallbacks callbacks = delegate->settings().makeCallbacks();
    EXPECT_EQ(callbacks.storage.pagesFolderURL(), folder / "Pages");
    EXPECT_TRUE(callbacks.storage.canDeleteArchivedPages());
    callbacks.general.onAutoArchiveChange(AutoArchiveDuration::oneDay);
    EXPECT_EQ(log, (std::vector<std::string>{"drop navigation"}));

    delegate.reset();
    EXPECT_FALSE(callbacks.storage.canDeleteArchivedPages());
    EXPECT_EQ(callbacks.storage.archiveSnapshot(), VeltoArchiveSnapshot::empty());
    EXPECT_EQ(callbacks.shortcuts.onShortcutChange(), (ShortcutRegistrationAvailability{false, false}));
    callbacks.general.onAutoArchiveChange(AutoArchiveDuration::never); // nothing to reach, nothing happens
}

TEST_F(AppDelegateSettingsTest, PagesArchivedOutsideSettingsShowInTheOpenWindow) {
    launch();
    delegate->showSettings();
    SettingsWindowController *controller = delegate->settings().windowController();
    ASSERT_FALSE(controller->storagePage().deleteArchivedPagesButton->isEnabled());
    VeltoStore &store = *delegate->store();
    store.setText("archived from the panel", systemClock().now());
    ASSERT_TRUE(store.archiveCurrentPage(systemClock().now()));
    EXPECT_EQ(controller->storagePage().deleteArchivedPagesButton->text(), QStringLiteral("Delete 1 Archived Page…"));
    EXPECT_TRUE(controller->storagePage().deleteArchivedPagesButton->isEnabled());
}

TEST_F(AppDelegateSettingsTest, AChangedPagesFolderIsConnectedThenRecordedAndAnsweredAtOnce) {
    launch();
    SettingsWindowCallbacks callbacks = delegate->settings().makeCallbacks();
    std::filesystem::path destination = folder / "Elsewhere" / "Notes";
    auto outcome = changeFolder(destination);
    ASSERT_FALSE(outcome->error) << *outcome->error;
    EXPECT_TRUE(std::filesystem::is_directory(destination));
    EXPECT_EQ(callbacks.storage.pagesFolderURL(), destination);
    EXPECT_EQ(VeltoPreferences::resolvePagesFolderURL(), destination);
    EXPECT_EQ(preferences->defaults().string(QString::fromLatin1(PreferenceKeys::pagesFolderOwnershipMode)),
              rawValue(VeltoFolderOwnershipMode::wholeFolder));
}

TEST_F(AppDelegateSettingsTest, AFolderThatCannotBeMadeFailsAndLeavesTheRecordedFolderAsItWas) {
    launch();
    std::filesystem::path blocker = folder / "Blocker";
    { std::ofstream(blocker) << "a file, not a folder"; }
    auto outcome = changeFolder(blocker / "Notes");
    EXPECT_TRUE(outcome->error);
    EXPECT_EQ(delegate->store()->folderURL(), folder / "Pages");
    EXPECT_FALSE(preferences->defaults().data(QString::fromLatin1(PreferenceKeys::pagesFolderBookmark)));
}

/// A recording panel that has a page of its own, as the production panel has, for what Settings and the main menu
/// do to it.
class PagedRecordingPanel : public RecordingPanel, public VeltoPanelPageControlling {
public:
    explicit PagedRecordingPanel(std::vector<std::string> &log)
        : RecordingPanel(log)
        , log_(log) {}

    VeltoPanelPageControlling *pageControlling() override { return this; }
    void applyPanelSizePreference() override { log_.push_back("panel size"); }
    void applyEditorPreferences() override { log_.push_back("editor preferences"); }
    void prepareForAutoArchiveChange() override { log_.push_back("prepare archiving"); }
    void prepareForPagesFolderChange() override { log_.push_back("prepare folder"); }
    void pagesFolderDidChange() override { log_.push_back("folder changed"); }
    QCoro::Task<int> deleteConfirmedArchivedPages(std::set<Uuid> pageIDs) override {
        log_.push_back("delete " + std::to_string(pageIDs.size()));
        co_return static_cast<int>(pageIDs.size());
    }
    QCoro::Task<void> reloadLibraryFromDisk() override {
        log_.push_back("reload");
        co_return;
    }
    void performCommand(VeltoCommandID id) override { log_.push_back("command " + rawValue(id).toStdString()); }
    void showFindBar() override { log_.push_back("find bar"); }
    void findNextMatch(bool backwards) override { log_.push_back(backwards ? "find previous" : "find next"); }
    void findSelectedText() override { log_.push_back("find selection"); }
    QWidget &keyWindow() const override { return window_; }

private:
    std::vector<std::string> &log_;
    mutable QWidget window_;
};

// The main menu's items and the Settings window's changes reach the panel's page, the panel shown first where
// the item works in it.
TEST_F(AppDelegateSettingsTest, TheMenusAndSettingsActOnThePanelsPage) {
    launch({}, [this](AppDelegate::Options &options) {
        options.makePanel = [this](VeltoStore &) {
            auto made = std::make_unique<PagedRecordingPanel>(log);
            panel = made.get();
            return made;
        };
    });
    delegate->showSettings();
    QMenuBar *bar = delegate->settings().windowController()->window()->menuBar();
    ASSERT_NE(bar, nullptr);
    QMenu *find = bar->actions()[2]->menu()->actions().back()->menu();
    ASSERT_NE(find, nullptr);
    QAction *viewItem = bar->actions()[3]->menu()->actions()[0];
    SettingsWindowCallbacks callbacks = delegate->settings().makeCallbacks();
    struct Row {
        const char *name;
        std::function<void()> act;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"Find…", [&] { find->actions()[0]->trigger(); }, {"show", "find bar"}},
        {"Find Next", [&] { find->actions()[1]->trigger(); }, {"find next"}},
        {"Find Previous", [&] { find->actions()[2]->trigger(); }, {"find previous"}},
        {"Use Selection for Find", [&] { find->actions()[3]->trigger(); }, {"find selection"}},
        {"a View item", [&] { viewItem->trigger(); }, {"command " + viewItem->objectName().toStdString()}},
        {"the panel size", [&] { callbacks.general.onPanelSizeChange(); }, {"panel size"}},
        {"the editor's preferences", [&] { callbacks.onEditorChange(); }, {"editor preferences"}},
        {"deleting archived pages",
         [&] {
             callbacks.storage.onDeleteConfirmedArchivedPages({Uuid::random(), Uuid::random()});
         },
         {"delete 2"}},
        {"Reload from Disk", [&] { delegate->reloadFromDisk(); }, {"reload"}},
    };
    for (const Row &row : rows) {
        log.clear();
        row.act();
        EXPECT_EQ(log, row.expected) << row.name;
    }
}

TEST_F(AppDelegateSettingsTest, TheSettingsWindowCarriesTheMainMenuRebuiltWithChangedShortcuts) {
    launch();
    delegate->showSettings();
    SettingsWindow *window = delegate->settings().windowController()->window();
    ASSERT_NE(window->menuBar(), nullptr);
    QStringList titles;
    for (QAction *menu : window->menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, (QStringList{"Velto", "File", "Edit", "View"}));
    EXPECT_FALSE(QApplication::windowIcon().isNull()); // the About page and the alerts show it
    EXPECT_EQ(window->height(), SettingsWindow::contentHeight + window->menuBar()->sizeHint().height());

    auto settingsItem = [window] { return window->menuBar()->actions()[0]->menu()->actions()[2]; };
    EXPECT_EQ(settingsItem()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    setShortcut(VeltoCommandID::openSettings, std::nullopt);
    EXPECT_TRUE(settingsItem()->shortcut().isEmpty());

    // The menu is the Settings window's: its "Close Window" closes that window.
    QAction *closeWindow = window->menuBar()->actions()[1]->menu()->actions()[0];
    ASSERT_EQ(closeWindow->text(), QStringLiteral("Close Window\tCtrl+W"));
    closeWindow->trigger();
    EXPECT_FALSE(window->isVisible());
}

} // namespace
} // namespace velto

// The Welcome of the first launch, answered through the real window on the offscreen platform.

namespace velto {
namespace {

class AppDelegateWelcomeTest : public AppDelegateTest {
protected:
    enum class Answer { pressReturn, close };

    void SetUp() override {
        AppDelegateTest::SetUp();
        preferences->defaults().remove(QString::fromLatin1(PreferenceKeys::hasCompletedWelcome));
        LaunchAtLoginService service;
        service.currentStatus = [this] {
            return registered ? LaunchAtLoginStatus::enabled : LaunchAtLoginStatus::disabled;
        };
        service.registerService = [this] {
            log.push_back("register login item");
            if (registrationError) {
                throw std::runtime_error(*registrationError);
            }
            registered = true;
        };
        service.unregisterService = [this] { log.push_back("unregister login item"); };
        launchAtLoginService = service;
        presentAlert = [this](const ShellAlert &alert) {
            log.push_back("alert " + alert.title.toStdString());
            return firstAlertButton;
        };
        // Answers the Welcome as the test asks once it runs modally.
        QObject::connect(&answerer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || modal == answered) {
                return;
            }
            answered = modal;
            if (qobject_cast<WelcomeWindowController *>(modal) != nullptr) {
                welcomesShown += 1;
                if (answer == Answer::pressReturn) {
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                    QCoreApplication::sendEvent(modal->focusWidget(), &press);
                } else {
                    modal->close();
                }
            }
        });
        answerer.start(5);
    }

    /// Launches and lets the launch's last step (the Welcome, when it shows) and its answer run to the end.
    void launchAndSettle() {
        launch();
        processEventsUntil([this] { return delegate->welcome().windowController() == nullptr && settledTurns++ > 20; });
        settledTurns = 0;
    }

    bool storedFlag() const {
        DefaultsDomain stored(QString::fromStdString((folder / "Velto.json").string()));
        return stored.boolean(QString::fromLatin1(PreferenceKeys::hasCompletedWelcome));
    }

    Answer answer = Answer::pressReturn;
    QTimer answerer;
    QPointer<QWidget> answered;
    int welcomesShown = 0;
    int settledTurns = 0;
    bool registered = false;
    std::optional<std::string> registrationError;
};

TEST_F(AppDelegateWelcomeTest, ReturnStartsWritingAndARelaunchGoesStraightToTheTray) {
    launchAndSettle();
    EXPECT_EQ(welcomesShown, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"register login item", "show"}));
    EXPECT_TRUE(storedFlag());

    log.clear();
    delegate.reset();
    launchAndSettle();
    EXPECT_EQ(welcomesShown, 1);
    EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(AppDelegateWelcomeTest, ClosingCancelsAndTheWelcomeComesBackNextLaunch) {
    answer = Answer::close;
    launchAndSettle();
    EXPECT_EQ(welcomesShown, 1);
    EXPECT_TRUE(log.empty()) << log.front();
    EXPECT_FALSE(storedFlag());

    delegate.reset();
    answer = Answer::pressReturn;
    launchAndSettle();
    EXPECT_EQ(welcomesShown, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"register login item", "show"}));
}

TEST_F(AppDelegateWelcomeTest, AFlagThatCannotBeStoredOpensNoPanelAndLeavesLaunchAtLoginAlone) {
    // The settings file's folder is a file: nothing can be written there, not even by root.
    { std::ofstream(folder / "Blocker") << "a file, not a folder"; }
    preferences = testing::usePreferencesFile(folder / "Blocker" / "Velto.json");
    launchAndSettle();
    EXPECT_EQ(welcomesShown, 1);
    EXPECT_TRUE(log.empty()) << log.front();
    EXPECT_FALSE(VeltoPreferences::hasCompletedWelcome());
}

// A first launch beside only a file Velto cannot read: the notice runs modally (here: a loop of its own that the
// test answers later) and the Welcome opens only once it is answered, never over it.
TEST_F(AppDelegateWelcomeTest, TheNoticeOfUnreadableFilesIsAnsweredBeforeTheWelcomeOpens) {
    folder.writeFile("Pages/latin.md", "caf\xe9\n");
    presentAlert = [this](const ShellAlert &alert) {
        log.push_back("alert " + alert.title.toStdString());
        testing::processEventsFor(300ms);
        log.push_back("answered");
        return firstAlertButton;
    };
    launchAndSettle();
    processEventsUntil([this] { return log.size() >= 4; });
    EXPECT_EQ(welcomesShown, 1);
    EXPECT_EQ(log,
              (std::vector<std::string>{"alert Some Files Can’t Be Read", "answered", "register login item", "show"}));
}

TEST_F(AppDelegateWelcomeTest, AFailedLoginChangeIsShownThenThePanelOpensAndTheAnswerStaysRecorded) {
    registrationError = "The autostart folder is read-only.";
    launchAndSettle();
    EXPECT_EQ(log,
              (std::vector<std::string>{"register login item", "alert Velto Couldn’t Change Launch at Login", "show"}));
    EXPECT_TRUE(storedFlag());
}

} // namespace
} // namespace velto
