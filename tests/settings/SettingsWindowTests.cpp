#include "SettingsTestSupport.h"

#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsViewFactory.h"
#include "support/ui/KeyboardFocus.h"
#include "ui/HoverButton.h"
#include "ui/HoverIconButton.h"

#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QStackedWidget>

namespace velto::testing {
namespace {

using Window = SettingsWindowTest;

TEST_F(Window, RefreshShowsEveryStoredPreference) {
    VeltoPreferences::setAppearance(AppearanceChoice::dark);
    VeltoPreferences::setPanelSize(PanelSizeChoice::large);
    VeltoPreferences::setFontChoice(EditorFontChoice::system);
    VeltoPreferences::setIndentation(EditorIndentationChoice::spaces4);
    VeltoPreferences::setAutoArchiveDuration(AutoArchiveDuration::never);
    VeltoPreferences::setTextChecking({true, false});
    VeltoPreferences::setFormatsMarkdown(false);
    store->defaults().set(QString::fromLatin1(PreferenceKeys::editorFontSize), 24.0);
    doubles.launchStatus = LaunchAtLoginStatus::requiresApproval;
    SettingsWindowController &c = controller();

    EXPECT_EQ(c.generalPage().appearanceControl->selectedIndex(), 2);
    EXPECT_EQ(c.generalPage().panelSizeControl->currentText(), QStringLiteral("Spacious"));
    EXPECT_EQ(c.editorPage().fontControl->selectedIndex(), 1);
    EXPECT_EQ(c.editorPage().fontSizeStepper->value(), 4);
    EXPECT_EQ(c.editorPage().fontSizeStepper->text(), QStringLiteral("24 pt"));
    EXPECT_EQ(c.editorPage().indentationControl->selectedIndex(), 2);
    EXPECT_EQ(c.generalPage().autoArchiveDurationControl->currentText(), QStringLiteral("Never"));
    EXPECT_TRUE(c.editorPage().spellingWhileTypingSwitch->isChecked());
    EXPECT_FALSE(c.editorPage().automaticSpellingCorrectionSwitch->isChecked());
    EXPECT_FALSE(c.editorPage().formatMarkdownSwitch->isChecked());
    EXPECT_TRUE(c.generalPage().launchAtLoginSwitch->isChecked());
    EXPECT_FALSE(c.generalPage().launchAtLoginApprovalButton->isHidden());
}

TEST_F(Window, StoredSizeThatIsNotAvailableShowsTheDefault) {
    store->defaults().set(QString::fromLatin1(PreferenceKeys::editorFontSize), 16.0);
    EXPECT_EQ(controller().editorPage().fontSizeStepper->value(), 1);
    EXPECT_EQ(controller().editorPage().fontSizeStepper->text(), QStringLiteral("15 pt"));
}

TEST_F(Window, ArchivedPagesRowsByCount) {
    struct Case {
        std::size_t count;
        bool canDelete;
        const char *title;
        bool enabled;
        const char *accessibility;
    };
    const Case cases[] = {
        {0, true, "Delete 0 Archived Pages…", false, "0 archived pages, 0 bytes"},
        {1, true, "Delete 1 Archived Page…", true, "1 archived page, 1.5 kB"},
        {3, false, "Delete 3 Archived Pages…", false, "3 archived pages, 1.5 kB"},
    };
    SettingsWindowController &c = controller();
    for (const Case &test : cases) {
        doubles.archive = {};
        for (std::size_t index = 0; index < test.count; ++index) {
            doubles.archive.pageIDs.insert(Uuid::random());
        }
        doubles.archive.totalBytes = test.count == 0 ? 0 : 1500;
        doubles.canDelete = test.canDelete;
        doubles.calls.clear();
        c.refresh();
        EXPECT_EQ(c.storagePage().deleteArchivedPagesButton->text(), QString::fromUtf8(test.title));
        EXPECT_EQ(c.storagePage().deleteArchivedPagesButton->isEnabled(), test.enabled);
        EXPECT_EQ(c.storagePage().archiveSizeLabel->accessibleDescription(), QString::fromUtf8(test.accessibility));
        // Each collaborator is asked once per refresh, the permission even with no archived pages.
        EXPECT_EQ(doubles.count("canDelete"), 1);
        EXPECT_EQ(doubles.count("archiveSnapshot"), 1);
        EXPECT_EQ(doubles.count("pagesFolderURL"), 1);
    }
}

TEST_F(Window, ResetIsOfferedOnlyAwayFromTheDefaultFolder) {
    std::filesystem::path defaultFolder = VeltoPageLibrary::defaultFolderURL();
    const std::pair<std::filesystem::path, bool> cases[] = {
        {defaultFolder, false},
        {defaultFolder / "", false},
        {defaultFolder / "." / "x" / "..", false},
        {defaultFolder.parent_path() / "Other", true},
    };
    for (const auto &[folder, enabled] : cases) {
        doubles.pagesFolder = folder;
        controller().refresh();
        EXPECT_EQ(controller().storagePage().resetPagesFolderAction->isEnabled(), enabled) << folder;
        EXPECT_EQ(controller().storagePage().pagesFolderControl->toolTip(), QString::fromStdString(folder.string()));
    }
}

TEST_F(Window, FixedSizeWithFiveCategoriesThatSwitchWithoutRebuilding) {
    SettingsWindowController &c = controller();
    EXPECT_EQ(c.window()->size(), QSize(840, 600));
    EXPECT_EQ(c.window()->minimumSize(), c.window()->maximumSize());
    ASSERT_EQ(c.categoryList->count(), 5);
    EXPECT_EQ(c.categoryList->item(2)->text(), QStringLiteral("Pages & Storage"));
    QScrollArea *editor = c.page(SettingsCategory::editor);
    c.categoryList->setCurrentRow(1);
    EXPECT_EQ(c.selectedCategory(), SettingsCategory::editor);
    EXPECT_EQ(c.pageContainer->currentWidget(), editor);
    c.showCategory(SettingsCategory::editor);
    EXPECT_EQ(c.page(SettingsCategory::editor), editor);
}

TEST_F(Window, RowsAndSectionsFollowTheirShape) {
    QWidget *one = SettingsViewFactory::section(QStringLiteral("Text"), std::nullopt,
                                                {
                                                    new QLabel,
                                                });
    QWidget *three =
        SettingsViewFactory::section(QStringLiteral("Text"), std::nullopt, {new QLabel, new QLabel, new QLabel});
    EXPECT_EQ(SettingsViewFactory::dividerCount(one), 0);
    EXPECT_EQ(SettingsViewFactory::dividerCount(three), 2);
    EXPECT_EQ(one->accessibleName(), QStringLiteral("Text settings"));
    delete one;
    delete three;
    // The Shortcuts page holds one recorder per shortcut command, titled as the catalog says.
    SettingsWindowController &c = controller();
    ASSERT_EQ(c.shortcutsPage().commandShortcutRecorders.size(), VeltoCommandCatalog::shortcutCommandIDs().size());
    EXPECT_EQ(c.shortcutsPage().commandShortcutRecorders.front().second->commandName(),
              QStringLiteral("Start New Page"));
    EXPECT_EQ(c.shortcutsPage().commandShortcutRecorders.back().second->commandName(),
              QStringLiteral("Format Markdown"));
}

TEST_F(Window, CtrlWClosesAndReportsTheEndOfRecordingBeforeTheClose) {
    SettingsWindowController &c = controller();
    c.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.window()));
    for (auto modifiers : {Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier}) {
        QTest::keyClick(c.window(), Qt::Key_W, modifiers);
        EXPECT_TRUE(c.window()->isVisible());
    }
    doubles.calls.clear();
    QTest::keyClick(c.window(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(c.window()->isVisible());
    EXPECT_EQ(doubles.calls, (std::vector<std::string>{"recording:false", "close"}));
    // Closing a hidden window reports nothing.
    doubles.calls.clear();
    c.window()->close();
    EXPECT_TRUE(doubles.calls.empty());
}

TEST_F(Window, ClosingWhileRecordingEndsTheRecordingOnceThenCloses) {
    SettingsWindowController &c = controller();
    c.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.window()));
    c.showCategory(SettingsCategory::shortcuts);
    QTest::mouseClick(c.shortcutsPage().shortcutRecorder, Qt::LeftButton);
    ASSERT_TRUE(c.shortcutsPage().shortcutRecorder->isRecording());
    EXPECT_EQ(QWidget::keyboardGrabber(), c.shortcutsPage().shortcutRecorder);
    doubles.calls.clear();
    c.window()->close();
    EXPECT_EQ(doubles.calls, (std::vector<std::string>{"recording:false", "close"}));
    EXPECT_FALSE(c.shortcutsPage().shortcutRecorder->isRecording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
}

// A recorder takes every key while it has the keyboard: reached with Tab, it records as after a click, so that the
// shell lets its hot keys go and a combination they hold reaches the recorder.
TEST_F(Window, ARecorderReachedWithTabRecordsUntilTheFocusMovesOn) {
    SettingsWindowController &c = controller();
    c.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(c.window()));
    c.showCategory(SettingsCategory::shortcuts);
    doubles.calls.clear();
    for (int tabs = 0; tabs < 5 && c.recordingRecorder() == nullptr; ++tabs) {
        QTest::keyClick(c.window()->focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(c.recordingRecorder(), c.shortcutsPage().shortcutRecorder);
    EXPECT_EQ(QWidget::keyboardGrabber(), c.shortcutsPage().shortcutRecorder);
    c.categoryList->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(doubles.calls, (std::vector<std::string>{"recording:true", "recording:false"}));
}

TEST_F(Window, WhileRecordingCtrlWIsRecordedNotClosing) {
    SettingsWindowController &c = controller();
    c.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.window()));
    c.showCategory(SettingsCategory::shortcuts);
    InlineShortcutRecorder *recorder = c.shortcutsPage().commandShortcutRecorders.front().second;
    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(c.window()->isVisible());
}

TEST_F(Window, OpenedAgainTheFocusIsInTheSidebarWhileAnOpenWindowKeepsIt) {
    SettingsWindowController &c = controller();
    c.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.window()));
    c.showCategory(SettingsCategory::storage);
    c.storagePage().pagesFolderButton->setFocus();
    c.showWindow(); // asked again while open: nothing moves
    EXPECT_EQ(c.window()->focusWidget(), c.storagePage().pagesFolderButton);
    c.window()->close();
    c.showWindow();
    EXPECT_EQ(c.window()->focusWidget(), c.categoryList);
    EXPECT_EQ(c.categoryList->currentRow(), static_cast<int>(SettingsCategory::storage)) << "the page stays";
}

TEST_F(Window, ReturnPressesTheButtonReachedWithTabOnEveryPage) {
    SettingsWindowController &c = controller();
    struct Case {
        const char *name;
        SettingsCategory category;
        QPushButton *button;
    };
    const Case cases[] = {
        {"Change…", SettingsCategory::storage, c.storagePage().pagesFolderButton},
        {"Send Feedback", SettingsCategory::about, c.aboutPage().sendFeedbackButton},
        // Tab reaches the selected segment of the three, the arrows the others.
        {"the selected appearance", SettingsCategory::general, c.generalPage().appearanceControl->segment(0)},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        c.showCategory(test.category);
        c.showWindow();
        if (!activate(*c.window())) {
            GTEST_SKIP() << "this platform does not activate windows";
        }
        int presses = 0;
        QMetaObject::Connection counting = QObject::connect(test.button, &QPushButton::clicked, [&] { ++presses; });
        ASSERT_TRUE(tabTo(*test.button));
        pressKey(Qt::Key_Return);
        EXPECT_EQ(presses, 1);
        QObject::disconnect(counting);
    }
}

/// A control the keyboard focus may reach, named for a failure.
std::string described(const QWidget *control) {
    return control == nullptr
               ? std::string("nothing")
               : control->metaObject()->className() + std::string(" “") + control->accessibleName().toStdString() + "”";
}

QWidget *selectedSegment(const SegmentedControl &control) {
    return control.segment(control.selectedIndex());
}

TEST_F(Window, EveryTabStopOnEveryPageIsAControlTheUserSees) {
    SettingsWindowController &c = controller();
    struct Case {
        SettingsCategory category;
        QWidget *firstStop; // the first Tab from the sidebar
    };
    const Case cases[] = {
        // The selected segment of each group of segments: the arrows reach the others.
        {SettingsCategory::general, selectedSegment(*c.generalPage().appearanceControl)},
        {SettingsCategory::editor, selectedSegment(*c.editorPage().fontControl)},
        {SettingsCategory::storage, c.storagePage().pagesFolderActionsButton},
        {SettingsCategory::shortcuts, c.shortcutsPage().shortcutRecorder},
        {SettingsCategory::about, c.aboutPage().sendFeedbackButton},
    };
    c.showWindow();
    if (!activate(*c.window())) {
        GTEST_SKIP() << "this platform does not activate windows";
    }
    const auto controls = c.window()->findChildren<QWidget *>().size();
    for (const Case &test : cases) {
        SCOPED_TRACE(sidebarTitle(test.category).toStdString());
        c.showCategory(test.category);
        c.categoryList->setFocus(Qt::MouseFocusReason);
        std::vector<const QWidget *> stops;
        for (qsizetype step = 0; step < controls; ++step) {
            pressKey(Qt::Key_Tab);
            const QWidget *focused = QApplication::focusWidget();
            if (focused == c.categoryList) {
                break; // round the window and back
            }
            ASSERT_NE(focused, nullptr) << "at Tab " << step + 1;
            EXPECT_TRUE(focused->isVisible() && !focused->visibleRegion().isEmpty())
                << described(focused) << " is not in view at Tab " << step + 1;
            stops.push_back(focused);
        }
        ASSERT_FALSE(stops.empty());
        // A page or a group that Tab stops at as well as at the controls in it shows nothing of its own.
        for (const QWidget *stop : stops) {
            for (const QWidget *other : stops) {
                EXPECT_FALSE(stop != other && stop->isAncestorOf(other))
                    << described(stop) << " holds " << described(other);
            }
        }
        EXPECT_EQ(stops.front(), test.firstStop);
        c.endRecording();
    }
}

TEST_F(Window, HiddenWindowFollowsPreferencesOnlyWhenShown) {
    SettingsWindowController &c = controller();
    VeltoPreferences::setAppearance(AppearanceChoice::light);
    EXPECT_EQ(c.generalPage().appearanceControl->selectedIndex(), 0);
    c.showWindow();
    EXPECT_EQ(c.generalPage().appearanceControl->selectedIndex(), 1);
    VeltoPreferences::setAppearance(AppearanceChoice::dark);
    EXPECT_EQ(c.generalPage().appearanceControl->selectedIndex(), 2);
}

TEST_F(Window, PreviewDisablesPageControlsButNotTheSidebar) {
    SettingsWindowCallbacks callbacks = doubles.callbacks();
    callbacks.isPreview = true;
    makeController(callbacks);
    SettingsWindowController &c = *controller_;
    EXPECT_FALSE(c.generalPage().appearanceControl->segment(0)->isEnabled());
    c.categoryList->setCurrentRow(3);
    EXPECT_EQ(c.selectedCategory(), SettingsCategory::shortcuts);
    EXPECT_FALSE(c.shortcutsPage().shortcutRecorder->isEnabled());
    c.refresh();
    EXPECT_FALSE(c.shortcutsPage().importKeyboardSettingsButton->isEnabled());
    EXPECT_TRUE(c.categoryList->isEnabled());
}

TEST_F(Window, AboutPageWithoutAnUpdaterDisablesBothUpdateControls) {
    SettingsWindowController &c = controller();
    EXPECT_FALSE(c.aboutPage().checkForUpdatesButton->isEnabled());
    EXPECT_FALSE(c.aboutPage().automaticUpdateChecksSwitch->isEnabled());
    EXPECT_FALSE(c.aboutPage().automaticUpdateChecksSwitch->isChecked());
    EXPECT_EQ(c.aboutPage().checkForUpdatesButton->accessibleDescription(),
              QStringLiteral("Update checks are unavailable in this build."));
    EXPECT_TRUE(c.aboutPage().sendFeedbackButton->isEnabled());
    c.aboutPage().sendFeedbackButton->click();
    c.aboutPage().viewChangelogButton->click();
    EXPECT_EQ(doubles.count("feedback"), 1);
    EXPECT_EQ(doubles.count("changelog"), 1);
    QLabel *version = c.page(SettingsCategory::about)->findChild<QLabel *>(QStringLiteral("applicationVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("Version 2.1 (88)"));
}

TEST_F(Window, ABuildWithoutFeedbackAddressOrChangelogDisablesTheirButtons) {
    SettingsWindowCallbacks callbacks = doubles.callbacks();
    callbacks.about.onSendFeedback = nullptr;
    callbacks.about.onViewChangelog = nullptr;
    makeController(std::move(callbacks));
    SettingsWindowController &c = controller();
    EXPECT_FALSE(c.aboutPage().sendFeedbackButton->isEnabled());
    EXPECT_FALSE(c.aboutPage().viewChangelogButton->isEnabled());
    EXPECT_EQ(c.aboutPage().sendFeedbackButton->accessibleDescription(),
              QStringLiteral("Feedback by email is unavailable in this build."));
    EXPECT_EQ(c.aboutPage().viewChangelogButton->accessibleDescription(),
              QStringLiteral("The changelog is unavailable in this build."));
    c.aboutPage().sendFeedbackButton->click();
    EXPECT_EQ(doubles.count("feedback"), 0);
}

TEST_F(Window, ShowInFileManagerSaysSoWhenNothingCanOpenTheFolder) {
    doubles.pagesFolder = "/home/ada/Pages";
    SettingsWindowController &c = controller();
    c.storagePage().revealPagesFolderAction->trigger();
    EXPECT_TRUE(doubles.alerts.empty());
    doubles.hasFileManager = false;
    c.storagePage().revealPagesFolderAction->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(doubles.alertTitles(),
              (std::vector<std::string>{"No file manager is available. The Pages folder is “/home/ada/Pages”."}));
    EXPECT_EQ(doubles.count("reveal:/home/ada/Pages"), 2);
}

} // namespace
} // namespace velto::testing
