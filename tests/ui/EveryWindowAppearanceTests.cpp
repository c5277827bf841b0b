// Velto's appearance reaches every window and popup it opens, not only its own panels: with Dark chosen on a
// light desktop, menus, alerts, drop-down lists, tooltips and file dialogs are dark too.
#include "platform/desktop/ColorScheme.h"
#include "support/ui/WidgetTestEnvironment.h"
#include "ui/Appearance.h"
#include "ui/VeltoColor.h"
#include "ui/WindowAppearance.h"

#include <QtGui/QImage>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QToolTip>
#include <gtest/gtest.h>

namespace velto {
namespace {

bool isDark(const QPalette &palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5 && palette.color(QPalette::Base).lightnessF() < 0.5;
}

bool readable(const QPalette &palette) {
    return contrastRatio(palette.color(QPalette::WindowText), palette.color(QPalette::Window)) >= 4.5 &&
           contrastRatio(palette.color(QPalette::Text), palette.color(QPalette::Base)) >= 4.5;
}

class EveryWindowAppearance : public ::testing::Test {
protected:
    void TearDown() override { testing::resetDesktop(); }
};

TEST_F(EveryWindowAppearance, DarkOnALightDesktopReachesMenusAlertsDropDownsTooltipsAndFileDialogs) {
    const QPalette desktop = QApplication::palette();
    ASSERT_FALSE(isDark(desktop)) << "the test desktop is light";
    followAppearanceInEveryWindow();
    VeltoAppearance::shared().setPreference(AppearanceChoice::dark);

    QMenu menu;
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Velto Couldn’t Open the Pages Folder"), QString());
    QComboBox dropDown;
    dropDown.addItems({QStringLiteral("One"), QStringLiteral("Two")});
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    struct Case {
        const char *name;
        QPalette palette;
    };
    const Case cases[] = {
        {"menu", menu.palette()},
        {"alert", alert.palette()},
        {"drop-down list", dropDown.view()->palette()},
        {"file dialog", dialog.palette()},
        {"tooltip", QToolTip::palette()},
    };
    for (const Case &example : cases) {
        SCOPED_TRACE(example.name);
        if (std::string(example.name) == "tooltip") {
            EXPECT_LT(example.palette.color(QPalette::ToolTipBase).lightnessF(), 0.5);
            continue;
        }
        EXPECT_TRUE(isDark(example.palette));
        EXPECT_TRUE(readable(example.palette));
    }
    QWidget anchor;
    anchor.show();
    QToolTip::showText(QPoint(10, 10), QStringLiteral("Already used by Archive Page"), &anchor);
    QWidget *tip = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->windowType() == Qt::ToolTip && window->isVisible()) {
            tip = window;
        }
    }
    ASSERT_NE(tip, nullptr);
    QImage painted = tip->grab().toImage();
    EXPECT_LT(QColor(painted.pixel(painted.width() / 2, 2)).lightnessF(), 0.5) << "the tooltip is painted dark";
    QToolTip::hideText();
    EXPECT_EQ(desktopPalette().color(QPalette::Window), desktop.color(QPalette::Window))
        << "the desktop's own palette is still known, so System can follow it";

    VeltoAppearance::shared().setPreference(AppearanceChoice::system);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktop.color(QPalette::Window));
    EXPECT_FALSE(isDark(QMenu().palette()));
}

} // namespace
} // namespace velto
