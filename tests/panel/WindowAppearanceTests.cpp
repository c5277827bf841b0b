// The appearance preference reaches the windows made of standard widgets: the status menu and Browse Pages.
#include "PanelControllerFixture.h"

#include "panel/browse/BrowsePagesWindow.h"
#include "ui/WindowAppearance.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QListView>
#include <QtWidgets/QMenu>
#include <gtest/gtest.h>

#include <memory>

namespace velto {
namespace {

using testing::PanelControllerSession;

bool isDark(const QWidget &widget) {
    return widget.palette().color(QPalette::Window).lightnessF() < 0.5;
}

TEST(WindowAppearance, AnAgreeingApplicationPaletteIsKeptAndAnotherIsReplaced) {
    QPalette light(QColor(Qt::black), QColor(0xee, 0xee, 0xee));
    light.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    EXPECT_EQ(standardPalette(DrawingAppearance::light, light), light);

    const QPalette dark = standardPalette(DrawingAppearance::dark, light);
    EXPECT_LT(dark.color(QPalette::Window).lightnessF(), 0.5);
    EXPECT_LT(dark.color(QPalette::Base).lightnessF(), 0.5);
    EXPECT_GT(dark.color(QPalette::Text).lightnessF(), 0.5);
    EXPECT_GT(dark.color(QPalette::ButtonText).lightnessF(), 0.5);
    EXPECT_EQ(dark.color(QPalette::Highlight), QColor(0x35, 0x84, 0xe4)) << "the desktop's accent stays";
    EXPECT_EQ(standardPalette(DrawingAppearance::dark, dark), dark);
}

class WindowAppearanceTest : public ::testing::Test {
protected:
    void TearDown() override { testing::resetDesktop(); } // the appearance is shared by the whole process
};

/// Light and dark both differ from whatever the application's own palette is, so each change shows.
TEST_F(WindowAppearanceTest, TheStatusMenuAndBrowsePagesFollowThePreferenceWhileOpen) {
    PanelControllerSession session;
    const bool applicationIsDark = QApplication::palette().color(QPalette::Window).lightnessF() < 0.5;
    const AppearanceChoice other = applicationIsDark ? AppearanceChoice::light : AppearanceChoice::dark;
    VeltoPreferences::setAppearance(other);
    session.controller->applyPreferredAppearance();

    std::unique_ptr<QMenu> menu(session.controller->makeStatusMenu());
    BrowsePagesWindow &window = session.controller->browsePagesWindow();
    window.showAllPages();
    QMenu *browse = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->menu() != nullptr) {
            browse = action->menu();
        }
    }
    ASSERT_NE(browse, nullptr);
    for (const QWidget *widget :
         {static_cast<QWidget *>(menu.get()), static_cast<QWidget *>(browse), static_cast<QWidget *>(&window)}) {
        EXPECT_NE(isDark(*widget), applicationIsDark) << widget->metaObject()->className();
    }
    EXPECT_NE(window.listView()->palette().color(QPalette::Base).lightnessF() < 0.5, applicationIsDark);

    VeltoPreferences::setAppearance(applicationIsDark ? AppearanceChoice::dark : AppearanceChoice::light);
    session.controller->applyPreferredAppearance();
    for (const QWidget *widget :
         {static_cast<QWidget *>(menu.get()), static_cast<QWidget *>(browse), static_cast<QWidget *>(&window)}) {
        EXPECT_EQ(isDark(*widget), applicationIsDark) << widget->metaObject()->className();
    }
}

} // namespace
} // namespace velto
