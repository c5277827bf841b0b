#include "support/async/ManualScheduler.h"
#include "support/ui/KeyboardFocus.h"
#include "support/ui/WidgetTestEnvironment.h"
#include "ui/AnchoredTooltipController.h"
#include "ui/VeltoColor.h"
#include "ui/VeltoUIControls.h"

#include <QtGui/QEnterEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLineEdit>
#include <gtest/gtest.h>

namespace velto {
namespace {

using namespace std::chrono_literals;

QImage rendered(QWidget &widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

/// A pixel as 8-bit RGBA, the precision the image holds.
QRgb pixel(QWidget &widget, int x, int y) {
    return rendered(widget).pixel(x, y);
}

void enter(QWidget &widget) {
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&widget, &event);
}

void mouse(QWidget &widget, QEvent::Type type) {
    QPointF local(5, 5);
    QMouseEvent event(type, local, widget.mapToGlobal(local), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget &widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

TEST(VeltoUIConfigure, ConfiguringTwiceKeepsOneHeightAndOneAction) {
    HoverButton button;
    int clicks = 0;
    VeltoUI::configure(
        button, "Choose…", HoverButton::Prominence::secondary, [&clicks] { ++clicks; }, "Pick a folder");
    VeltoUI::configure(button, "Choose", HoverButton::Prominence::primary, [&clicks] { clicks += 10; });
    button.click();
    EXPECT_EQ(clicks, 10) << "the second action replaced the first";
    EXPECT_EQ(button.minimumHeight(), 30);
    EXPECT_EQ(button.maximumHeight(), 30);
    EXPECT_EQ(button.accessibleName(), "Choose");
    EXPECT_EQ(button.accessibleDescription(), "") << "an absent help text clears the old one";
    EXPECT_EQ(button.contentTint(), VeltoUI::Colors::primaryAction.foreground);
    EXPECT_EQ(button.sizeHint().width(), button.QPushButton::sizeHint().width() + 20);
}

TEST(VeltoUIConfigure, OnlyTheDefaultRoleMakesTheDefaultButton) {
    QPushButton standard("Cancel");
    QPushButton preferred("Open");
    VeltoUI::configure(standard, VeltoUI::NativeActionRole::standard);
    VeltoUI::configure(preferred, VeltoUI::NativeActionRole::defaultAction, "Opens the page");
    EXPECT_FALSE(standard.isDefault());
    EXPECT_TRUE(preferred.isDefault());
    EXPECT_EQ(preferred.accessibleName(), "Open");
    EXPECT_EQ(preferred.accessibleDescription(), "Opens the page");
    EXPECT_EQ(preferred.height(), 30);
}

TEST(VeltoUIConfigure, IconButtonIsASquareWithTheLabelAsTooltip) {
    HoverIconButton button;
    VeltoUI::configure(button, "xmark.circle.fill", "Remove shortcut", [] {});
    EXPECT_EQ(button.size(), QSize(30, 30));
    EXPECT_FALSE(button.icon().isNull()) << "the bundled drawing stands in for a missing theme icon";
    EXPECT_EQ(button.anchoredToolTip(), "Remove shortcut");
    EXPECT_EQ(button.accessibleDescription(), "Remove shortcut");
}

TEST(HoverButtonDrawing, DisabledTextButtonDrawsItsIdleBackgroundDimmed) {
    testing::resetDesktop();
    HoverButton button;
    VeltoUI::configure(button, "", HoverButton::Prominence::plain, {});
    button.resize(80, 30);
    QColor idle = VeltoUI::Colors::plainActionIdle.resolved();
    EXPECT_EQ(pixel(button, 40, 15), idle.rgba());

    button.setEnabled(false);
    QColor dimmed = rendered(button).pixelColor(40, 15);
    EXPECT_NEAR(dimmed.alphaF(), 0.45, 0.01);
    enter(button);
    EXPECT_FALSE(button.isHovered()) << "a disabled button never shows hover";
}

TEST(HoverButtonDrawing, TheFocusRingShowsAfterTabUntilAClickAndStandsOutOfEveryFillInLightAndDark) {
    for (AppearanceChoice appearance : {AppearanceChoice::light, AppearanceChoice::dark}) {
        for (auto prominence :
             {HoverButton::Prominence::plain, HoverButton::Prominence::secondary, HoverButton::Prominence::primary}) {
            SCOPED_TRACE(rawValue(appearance).toStdString() + " " + std::to_string(static_cast<int>(prominence)));
            testing::resetDesktop();
            VeltoAppearance::shared().setPreference(appearance);
            QWidget window; // a text field, then the button
            auto *button = new HoverButton;
            VeltoUI::configure(*button, "", prominence, [] {});
            auto *layout = new QHBoxLayout(&window);
            layout->addWidget(new QLineEdit);
            layout->addWidget(button);
            if (!testing::activate(window)) {
                GTEST_SKIP() << "this platform does not activate windows";
            }
            // The ring's pixel in the middle of the top edge, and the fill's just inside it.
            auto ringAndFill = [&] {
                QImage image = rendered(*button);
                return std::pair{image.pixelColor(button->width() / 2, 2), image.pixelColor(button->width() / 2, 6)};
            };
            const QColor unfocused = ringAndFill().first;
            ASSERT_TRUE(testing::tabTo(*button));
            const auto [ring, fill] = ringAndFill();
            EXPECT_GE(contrastRatio(ring, fill), 3.0)
                << ring.name().toStdString() << " on " << fill.name().toStdString();
            mouse(*button, QEvent::MouseButtonPress);
            mouse(*button, QEvent::MouseButtonRelease);
            EXPECT_EQ(ringAndFill().first, unfocused) << "a click hides the ring";
        }
    }
    testing::resetDesktop();
}

TEST(HoverButtonDrawing, IconButtonShowsABackgroundOnlyWhileHovered) {
    testing::resetDesktop();
    HoverIconButton button;
    button.resize(30, 30);
    EXPECT_EQ(rendered(button).pixelColor(3, 15).alpha(), 0);
    enter(button);
    EXPECT_EQ(pixel(button, 3, 15), VeltoUI::Colors::plainActionHover.resolved().rgba());
    EXPECT_EQ(button.contentTint(), VeltoUI::Colors::emphasizedIcon);
    leave(button);
    EXPECT_EQ(button.contentTint(), VeltoUI::Colors::icon);
}

TEST(HoverButtonDrawing, IncreasedContrastThickensTheSecondaryBorder) {
    testing::resetDesktop();
    HoverButton button;
    VeltoUI::configure(button, "", HoverButton::Prominence::secondary, {});
    button.resize(80, 30);
    QColor border = VeltoUI::Colors::strongBorder.resolved();
    EXPECT_NE(pixel(button, 40, 1), border.rgba()) << "a 1 px border leaves the second row to the fill";
    testing::testDisplayOptions().set({.increaseContrast = true});
    EXPECT_EQ(pixel(button, 40, 1), border.rgba());
    testing::resetDesktop();
}

/// A row of two icon buttons in a shown window, with a tooltip controller on manual time.
class TooltipTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetDesktop();
        auto *layout = new QHBoxLayout(&window);
        for (HoverIconButton *button : {&first, &second}) {
            button->setTooltipController(&controller);
            layout->addWidget(button);
        }
        VeltoUI::configure(first, "folder", "Open folder", {});
        VeltoUI::configure(second, "gearshape", "Settings", {});
        window.move(300, 300);
        window.show();
    }

    QString tooltipText() const {
        if (controller.panel() == nullptr) {
            return "(none)";
        }
        return static_cast<AnchoredTooltipView *>(controller.panel()->containerView()->contentView())->text();
    }

    testing::ManualScheduler scheduler;
    AnchoredTooltipController controller{scheduler, [this] { return scheduler.steadyNow(); }, false};
    QWidget window;
    HoverIconButton first;
    HoverIconButton second;
};

TEST_F(TooltipTest, AppearsAfterTheDelayAndWarmsUpForTheNextIcon) {
    enter(first);
    scheduler.advance(349ms);
    EXPECT_EQ(tooltipText(), "(none)");
    scheduler.advance(1ms);
    EXPECT_EQ(tooltipText(), "Open folder");

    leave(first);
    scheduler.advance(80ms);
    EXPECT_EQ(tooltipText(), "(none)") << "removed after its fade-out";
    enter(second);
    scheduler.advance(40ms);
    EXPECT_EQ(tooltipText(), "Settings") << "within a second of the last one, the short delay applies";
}

TEST_F(TooltipTest, LeavingEarlyShowsNothingAndDoesNotWarm) {
    enter(first);
    scheduler.advance(200ms);
    leave(first);
    scheduler.advance(1s);
    EXPECT_EQ(tooltipText(), "(none)");
    enter(second);
    scheduler.advance(40ms);
    EXPECT_EQ(tooltipText(), "(none)");
    scheduler.advance(310ms);
    EXPECT_EQ(tooltipText(), "Settings");
}

TEST_F(TooltipTest, ClickDisablingAndHidingRemoveTheTooltip) {
    enter(first);
    scheduler.advance(350ms);
    mouse(first, QEvent::MouseButtonPress);
    scheduler.advance(80ms);
    EXPECT_EQ(tooltipText(), "(none)") << "a click removes the tooltip";
    mouse(first, QEvent::MouseButtonRelease);

    enter(second);
    scheduler.advance(350ms);
    second.setEnabled(false);
    scheduler.advance(80ms);
    EXPECT_EQ(tooltipText(), "(none)") << "disabling removes it";
    enter(second);
    scheduler.advance(1s);
    EXPECT_EQ(tooltipText(), "(none)") << "a disabled button schedules none";

    enter(first);
    scheduler.advance(350ms);
    window.hide();
    scheduler.advance(80ms);
    EXPECT_EQ(tooltipText(), "(none)") << "leaving the screen removes it";
}

TEST_F(TooltipTest, StaysOnScreenAboveAButtonAtTheTopEdge) {
    QRect available = window.screen()->availableGeometry();
    window.move(available.topLeft());
    QApplication::processEvents();
    enter(first);
    scheduler.advance(350ms);
    ASSERT_NE(controller.panel(), nullptr);
    QRect surface = controller.panel()->geometry().adjusted(6, 6, -6, -6);
    QRect button(first.mapToGlobal(QPoint(0, 0)), first.size());
    EXPECT_TRUE(available.contains(surface)) << "clamped into the available area";
    EXPECT_EQ(surface.top(), button.bottom() + 1 + 7) << "below the button when there is no room above";
}

} // namespace
} // namespace velto
