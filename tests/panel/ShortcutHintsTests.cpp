#include "PanelTestSupport.h"

#include "panel/hints/ShortcutHintsPanelController.h"

#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

namespace velto {
namespace {

using namespace std::chrono_literals;

/// The grid as a reader sees it: one line per row, "title [keys] (opacity)" per entry.
std::string dump(const ShortcutHintsView &view, bool withOpacity = false) {
    std::string text;
    const auto &items = view.itemViews();
    for (std::size_t index = 0; index < items.size(); ++index) {
        const ShortcutHintItemView *item = items[index];
        QString entry = item->titleLabel()->text() + " [" + item->shortcutStack()->keys().join(' ') + "]";
        if (withOpacity) {
            entry += QStringLiteral(" %1").arg(item->opacity());
        }
        bool endsRow = index % 2 == 1 || index + 1 == items.size();
        text += entry.toStdString() + (endsRow ? "\n" : " | ");
    }
    return text;
}

class ShortcutHintsTest : public ::testing::Test {
protected:
    void SetUp() override { testing::resetDesktop(); }
    void TearDown() override { testing::resetDesktop(); }
    testing::TemporaryPreferences preferences; // a shortcut a test removes stays with that test
    testing::ManualScheduler scheduler;
};

TEST_F(ShortcutHintsTest, EighteenEntriesInNineRowsWithTheDefaultShortcuts) {
    ShortcutHintsView view(VeltoShortcutHints::descriptors(), scheduler);
    EXPECT_EQ(dump(view), "New page [Ctrl N] | Archive page [Ctrl Shift A]\n"
                          "Previous page [Shift Super Tab] | Next page [Super Tab]\n"
                          "Undo [Ctrl Z] | Redo [Ctrl Shift Z]\n"
                          "Find in page [Ctrl F] | Reload from disk [Ctrl R]\n"
                          "Text size down [Ctrl −] | Text size up [Ctrl +]\n"
                          "Reset text size [Ctrl 0] | Open settings [Ctrl ,]\n"
                          "Panel size down [Ctrl Alt −] | Panel size up [Ctrl Alt +]\n"
                          "Toggle task [Ctrl L] | Format Markdown [Ctrl Alt M]\n"
                          "Close window [Ctrl W] | Fit panel [Ctrl Alt 0]\n");
}

TEST_F(ShortcutHintsTest, ARemovedShortcutShowsUnsetAtTheNextShow) {
    ShortcutHintsPanelController hints(scheduler, false);
    setShortcut(VeltoCommandID::newPage, std::nullopt);
    EXPECT_EQ(dump(*hints.hintsView()).substr(0, 17), "New page [Ctrl N]") << "the keys change only when shown";
    QWidget window;
    window.show();
    hints.show(&window, QRect(100, 100, 500, 325));
    EXPECT_EQ(dump(*hints.hintsView()).substr(0, 16), "New page [Unset]");
    EXPECT_EQ(hints.hintsView()->itemViews()[0]->displayedKeys(), QStringList{"Unset"});
}

TEST_F(ShortcutHintsTest, EntriesThatCannotRunAreDimmed) {
    ShortcutHintsView view(VeltoShortcutHints::descriptors(), scheduler);
    auto opacityOf = [&view](const char *title) {
        for (const ShortcutHintItemView *item : view.itemViews()) {
            if (item->titleLabel()->text() == title) {
                return item->opacity();
            }
        }
        return -1.0;
    };
    struct Case {
        VeltoCommandContext context;
        bool canUndo;
        bool canRedo;
        std::map<std::string, double> expected;
    };
    const Case cases[] = {
        {{true, false, false, false},
         false,
         true,
         {{"New page", 0.34},
          {"Archive page", 0.34},
          {"Toggle task", 0.34},
          {"Undo", 0.34},
          {"Redo", 1},
          {"Find in page", 1},
          {"Reload from disk", 1}}},
        {{true, false, true, false},
         true,
         false,
         {{"New page", 0.34}, {"Archive page", 1}, {"Undo", 1}, {"Redo", 0.34}}},
        {{true, true, false, true}, false, false, {{"New page", 1}, {"Toggle task", 1}}},
    };
    for (const Case &c : cases) {
        view.updateAvailability(c.context, c.canUndo, c.canRedo);
        for (const auto &[title, opacity] : c.expected) {
            EXPECT_DOUBLE_EQ(opacityOf(title.c_str()), opacity) << title;
        }
    }
}

TEST_F(ShortcutHintsTest, DimmedTitlesKeepTheirDimmingInANewAppearance) {
    ShortcutHintsView view(VeltoShortcutHints::descriptors(), scheduler);
    view.updateAvailability({true, false, false, false}, false, false);
    QLabel *newPage = view.itemViews()[0]->titleLabel();
    testing::testColorScheme().set(ColorScheme::dark);
    QColor title = newPage->palette().color(QPalette::WindowText);
    EXPECT_GT(title.lightness(), 128);
    EXPECT_NEAR(title.alphaF(), 0.85 * 0.34, 0.01);
}

TEST_F(ShortcutHintsTest, AnOddEntryCountLeavesOneEntryInTheLastRow) {
    std::vector<ShortcutHintDescriptor> all = VeltoShortcutHints::descriptors();
    std::vector<ShortcutHintDescriptor> three(all.begin(), all.begin() + 3);
    ShortcutHintsView view(three, scheduler);
    EXPECT_EQ(dump(view), "New page [Ctrl N] | Archive page [Ctrl Shift A]\nPrevious page [Shift Super Tab]\n");
    view.refreshShortcuts(all);
    EXPECT_EQ(view.itemViews()[2]->displayedKeys(), (QStringList{"Shift", "Super", "Tab"}))
        << "a list of another length changes nothing";
}

TEST(ShortcutKeycapStyle, WordsAreAsWideAsTheirTextAndOneCharacterIsSquare) {
    struct Case {
        const char *key;
        int measured;
        int width;
    };
    const Case cases[] = {
        {"Unset", 30, 44}, {"Space", 32, 48}, {"−", 7, 19},    {"Z", 8, 19},
        {"⇥", 9, 19},      {"Ctrl", 20, 30},  {"F12", 18, 28}, {"Tab", 6, 19},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ShortcutKeycapStyle::width(QString::fromUtf8(c.key), c.measured), c.width) << c.key;
    }
}

TEST_F(ShortcutHintsTest, ShowingAgainWithinTheOrderOutDelayKeepsThePanel) {
    ShortcutHintsPanelController hints(scheduler, false);
    std::vector<bool> presentations;
    QObject::connect(&hints, &ShortcutHintsPanelController::presentationChanged,
                     [&presentations](bool shown) { presentations.push_back(shown); });
    QWidget window;
    window.show();
    QRect editor(100, 100, 500, 325);

    hints.show(&window, editor);
    EXPECT_TRUE(hints.panel()->isVisible());
    EXPECT_TRUE(hints.hintsView()->shouldBeVisible());
    EXPECT_EQ(hints.panel()->x() + hints.panel()->width() - 6, 600) << "flush with the editor's right edge";
    EXPECT_EQ(hints.panel()->y() + 6, 100 + 325 + 8);

    hints.hide(false);
    scheduler.advance(50ms);
    hints.show(&window, editor);
    scheduler.advance(200ms);
    EXPECT_TRUE(hints.panel()->isVisible());
    EXPECT_TRUE(hints.hintsView()->isVisible()) << "the fade-out's end does not hide a view shown again";
    EXPECT_EQ(hints.parentWindow(), &window);

    hints.hide(false);
    scheduler.advance(100ms);
    EXPECT_FALSE(hints.panel()->isVisible());
    EXPECT_EQ(hints.parentWindow(), nullptr);
    EXPECT_EQ(presentations, (std::vector<bool>{true, false, true, false}));
}

TEST_F(ShortcutHintsTest, TheHintsNeverTakeTheMouse) {
    ShortcutHintsPanelController hints(scheduler, false);
    EXPECT_TRUE(hints.panel()->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(hints.panel()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(hints.hintsView()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

} // namespace
} // namespace velto
