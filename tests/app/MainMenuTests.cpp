// The main menu of the Settings window: what it holds with the current shortcuts, when its items may run, and
// the panel's own Quit and Reload keys beside the text view's.
#include "AppTestSupport.h"
#include "app/menus/MainMenu.h"
#include "app/menus/PanelKeyEquivalents.h"
#include "editor_view/view/VeltoTextView.h"
#include "preferences/Preferences.h"
#include "support/TemporaryFolder.h"

#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

namespace velto {
namespace {

class MainMenu : public ::testing::Test {
protected:
    void SetUp() override {
        testing::widgetApplication();
        preferences = testing::usePreferencesFile(folder / "Velto.json");
        actions.showAbout = [this] { calls.push_back("about"); };
        actions.sendFeedback = [this] { calls.push_back("feedback"); };
        actions.quit = [this] { calls.push_back("quit"); };
        actions.revealCurrentPage = [this] { calls.push_back("reveal page"); };
        actions.canOpenPagesFolder = [this] { return hasLibrary; };
        actions.hasCommandResponder = [this] { return hasPanel; };
        actions.performFindAction = [this](TextFinderAction action) {
            calls.push_back("find " + std::to_string(static_cast<int>(action)));
        };
        actions.reloadFromDisk = [this] { calls.push_back("reload"); };
        actions.performCommand = [this](VeltoCommandID id) { calls.push_back(rawValue(id).toStdString()); };
        actions.hasLibrary = [this] { return hasLibrary; };
        actions.canSendFeedback = [this] { return canSendFeedback; };
    }
    void TearDown() override { VeltoPreferences::useStorage(nullptr); }

    std::string describe(QMenu *(VeltoMainMenuBuilder::*make)(QWidget *) const) {
        VeltoMainMenuBuilder builder(actions, {QKeySequence(Qt::CTRL | Qt::Key_W)});
        std::unique_ptr<QMenu> menu((builder.*make)(nullptr));
        validateMenu(*menu);
        return describeMenu(*menu).join(QLatin1Char('\n')).toStdString();
    }

    static QAction *item(QMenu &menu, const QString &title) {
        for (QAction *action : menu.actions()) {
            if (action->text().section(QLatin1Char('\t'), 0, 0) == title) {
                return action;
            }
        }
        return nullptr;
    }

    testing::TemporaryFolder folder;
    std::unique_ptr<PreferencesStore> preferences;
    MainMenuActions actions;
    std::vector<std::string> calls;
    bool hasLibrary = true;
    bool hasPanel = false; // no panel to act on: the View and Find items are disabled
    bool canSendFeedback = true;
};

TEST_F(MainMenu, TheMenusHoldTheirItemsWithTheCurrentShortcuts) {
    EXPECT_EQ(describe(&VeltoMainMenuBuilder::applicationMenu), "About Velto\n"
                                                                "-\n"
                                                                "Settings…\tCtrl+,\n"
                                                                "-\n"
                                                                "Send Feedback…\n"
                                                                "-\n"
                                                                "Quit Velto\tCtrl+Q");
    // Ctrl+W is the Settings window's own key: shown beside "Close Window", not taken by the menu.
    EXPECT_EQ(describe(&VeltoMainMenuBuilder::fileMenu), "Close Window\tCtrl+W\n"
                                                         "-\n"
                                                         "Open Pages Folder\n"
                                                         "Reload from Disk\tCtrl+R");
    // The Settings window holds no text view, which alone takes these commands.
    EXPECT_EQ(describe(&VeltoMainMenuBuilder::viewMenu), "Increase Text Size\tCtrl++ (disabled)\n"
                                                         "Decrease Text Size\tCtrl+- (disabled)\n"
                                                         "Actual Size\tCtrl+0 (disabled)\n"
                                                         "-\n"
                                                         "Increase Panel Size\tCtrl+Alt++ (disabled)\n"
                                                         "Decrease Panel Size\tCtrl+Alt+- (disabled)\n"
                                                         "Fit Panel to Content\tCtrl+Alt+0 (disabled)\n"
                                                         "-\n"
                                                         "Toggle Task Checkbox\tCtrl+L (disabled)\n"
                                                         "Format Markdown\tCtrl+Alt+M (disabled)");
    // Without a focused text field nothing takes the editing items.
    EXPECT_EQ(describe(&VeltoMainMenuBuilder::editMenu), "Undo\tCtrl+Z (disabled)\n"
                                                         "Redo\tCtrl+Shift+Z (disabled)\n"
                                                         "-\n"
                                                         "Cut\tCtrl+X (disabled)\n"
                                                         "Copy\tCtrl+C (disabled)\n"
                                                         "Paste\tCtrl+V (disabled)\n"
                                                         "Paste and Match Style\tCtrl+Alt+Shift+V (disabled)\n"
                                                         "Delete (disabled)\n"
                                                         "Select All\tCtrl+A (disabled)\n"
                                                         "Find\n"
                                                         "  Find…\tCtrl+F (disabled)\n"
                                                         "  Find Next\tCtrl+G (disabled)\n"
                                                         "  Find Previous\tCtrl+Shift+G (disabled)\n"
                                                         "  Use Selection for Find\tCtrl+E (disabled)");

    actions.checkForUpdates = [] {};
    EXPECT_TRUE(describe(&VeltoMainMenuBuilder::applicationMenu)
                    .starts_with("About Velto\n-\nCheck for Updates…\n-\nSettings…\tCtrl+,\n"));
}

TEST_F(MainMenu, ARebuiltMenuFollowsChangedShortcutsAndReloadKeepsCtrlR) {
    setShortcut(VeltoCommandID::openSettings,
                GlobalShortcut{47, ModifierFlags::command | ModifierFlags::shift, QStringLiteral(".")});
    setShortcut(VeltoCommandID::closePanel,
                GlobalShortcut{13, ModifierFlags::command | ModifierFlags::option, QStringLiteral("W")});
    EXPECT_NE(describe(&VeltoMainMenuBuilder::applicationMenu).find("\nSettings…\tCtrl+Shift+.\n"), std::string::npos);
    // Another key than the window's own is taken by the item itself.
    EXPECT_TRUE(describe(&VeltoMainMenuBuilder::fileMenu).starts_with("Close Window\tCtrl+Alt+W\n"));

    setShortcut(VeltoCommandID::openSettings, std::nullopt);
    EXPECT_NE(describe(&VeltoMainMenuBuilder::applicationMenu).find("\nSettings…\n"), std::string::npos);
    EXPECT_TRUE(describe(&VeltoMainMenuBuilder::fileMenu).ends_with("\nReload from Disk\tCtrl+R"));
}

TEST_F(MainMenu, ItemsAreValidatedWhenShownAndTheirHandlersCheckAgain) {
    hasLibrary = false;
    canSendFeedback = false;
    VeltoMainMenuBuilder builder(actions);
    std::unique_ptr<QMenu> file(builder.fileMenu(nullptr));
    std::unique_ptr<QMenu> application(builder.applicationMenu(nullptr));
    validateMenu(*file);
    validateMenu(*application);
    EXPECT_FALSE(item(*file, "Open Pages Folder")->isEnabled());
    EXPECT_FALSE(item(*file, "Reload from Disk")->isEnabled());
    EXPECT_FALSE(item(*application, "Send Feedback…")->isEnabled());
    EXPECT_TRUE(item(*application, "Quit Velto")->isEnabled());

    // A key reaches an item whose menu showed long ago: its handler asks again.
    item(*file, "Reload from Disk")->setEnabled(true);
    item(*file, "Reload from Disk")->trigger();
    EXPECT_TRUE(calls.empty());
    hasLibrary = true;
    item(*file, "Reload from Disk")->trigger();
    item(*file, "Open Pages Folder")->setEnabled(true);
    item(*file, "Open Pages Folder")->trigger();
    item(*file, "Close Window")->trigger();
    EXPECT_EQ(calls, (std::vector<std::string>{"reload", "reveal page", "panel.close"}));
}

TEST_F(MainMenu, OpenPagesFolderNeedsTheLibraryAndTheFindItemsReachThePanel) {
    struct Case {
        bool library, panel;
    };
    for (Case example : {Case{true, true}, Case{true, false}, Case{false, false}}) {
        hasLibrary = example.library;
        hasPanel = example.panel;
        VeltoMainMenuBuilder builder(actions);
        std::unique_ptr<QMenu> file(builder.fileMenu(nullptr));
        std::unique_ptr<QMenu> edit(builder.editMenu(nullptr));
        std::unique_ptr<QMenu> view(builder.viewMenu(nullptr));
        for (QMenu *menu : {file.get(), edit.get(), view.get()}) {
            validateMenu(*menu);
        }
        EXPECT_EQ(item(*file, "Open Pages Folder")->isEnabled(), example.library);
        EXPECT_EQ(item(*file, "Reload from Disk")->isEnabled(), example.library);
        QMenu *find = item(*edit, "Find")->menu();
        for (QAction *action : find->actions()) {
            EXPECT_EQ(action->isEnabled(), example.panel) << action->text().toStdString();
        }
        for (QAction *action : view->actions()) {
            if (!action->isSeparator()) {
                EXPECT_EQ(action->isEnabled(), example.panel) << action->text().toStdString();
            }
        }
    }
    hasPanel = true;
    VeltoMainMenuBuilder builder(actions);
    std::unique_ptr<QMenu> edit(builder.editMenu(nullptr));
    validateMenu(*edit);
    calls.clear();
    for (QAction *action : item(*edit, "Find")->menu()->actions()) {
        action->trigger();
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"find 0", "find 1", "find 2", "find 3"}));
}

TEST_F(MainMenu, EditItemsGoToTheFocusedTextField) {
    QWidget window;
    auto *field = new QLineEdit(QStringLiteral("draft"), &window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(field);
    VeltoMainMenuBuilder builder(actions);
    QMenuBar *bar = builder.makeMenuBar(&window);
    layout->setMenuBar(bar);
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }, 20000));

    QMenu *edit = bar->actions()[2]->menu();
    validateMenu(*edit);
    EXPECT_TRUE(item(*edit, "Cut")->isEnabled());
    EXPECT_TRUE(item(*edit, "Select All")->isEnabled());
    item(*edit, "Select All")->trigger();
    item(*edit, "Cut")->trigger();
    EXPECT_EQ(field->text(), QString());
    item(*edit, "Undo")->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("draft"));

    window.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != field; }, 20000));
    validateMenu(*edit);
    EXPECT_FALSE(item(*edit, "Paste")->isEnabled());

    // The menu's own keys work in its window.
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(calls, (std::vector<std::string>{"quit"}));
}

TEST_F(MainMenu, ThePanelTakesCtrlQAndCtrlRBesideItsTextView) {
    QWidget panel;
    auto *textView = new editor::VeltoTextView(&panel);
    auto *layout = new QVBoxLayout(&panel);
    layout->addWidget(textView);
    installPanelKeyEquivalents(
        panel, [this] { calls.push_back("quit"); }, [this] { calls.push_back("reload"); });
    panel.show();
    QApplication::setActiveWindow(&panel);
    textView->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == textView; }, 20000));

    QTest::keyClick(textView, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(textView, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(calls, (std::vector<std::string>{"reload", "quit"}));
}

} // namespace
} // namespace velto
