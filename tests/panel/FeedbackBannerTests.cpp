#include "PanelTestSupport.h"

#include "panel/feedback/PanelFeedbackController.h"

#include <QtGui/QAccessible>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

namespace velto {
namespace {

using namespace std::chrono_literals;

/// What the banner shows now, in one line.
std::string dump(const PanelFeedbackController &banner) {
    if (!banner.panel()->isVisible()) {
        return "hidden";
    }
    return QStringLiteral("\"%1\" at (%2, %3), fading to %4")
        .arg(banner.feedbackView()->label()->text())
        .arg(banner.panel()->x())
        .arg(banner.panel()->y())
        .arg(banner.panel()->surfaceEffect()->targetOpacity())
        .toStdString();
}

class FeedbackBannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::resetDesktop();
        window.resize(500, 325);
        window.move(200, 100);
        window.show();
        screen = window.screen()->availableGeometry();
    }

    PanelFeedback confirmation(const char *message) {
        return {QString::fromUtf8(message), PanelFeedback::Emphasis::confirmation, 2.2};
    }

    testing::ManualScheduler scheduler;
    PanelFeedbackController banner{scheduler, false};
    QWidget window;
    QRect editor{206, 106, 488, 313};
    QRect screen;
};

TEST_F(FeedbackBannerTest, ShowsBelowTheEditorForItsDurationThenFades) {
    banner.show(PanelFeedback::pagePosition(2, 5), &window, editor);
    QSize size = banner.panel()->size();
    int x = editor.x() + editor.width() - size.width() + 6;
    int y = editor.y() + editor.height() + 8 - 6;
    EXPECT_EQ(dump(banner), QStringLiteral("\"Page 2 of 5\" at (%1, %2), fading to 1").arg(x).arg(y).toStdString());
    EXPECT_EQ(banner.parentWindow(), &window);

    scheduler.advance(2199ms);
    EXPECT_EQ(banner.panel()->surfaceEffect()->targetOpacity(), 1);
    scheduler.advance(1ms);
    EXPECT_EQ(banner.panel()->surfaceEffect()->targetOpacity(), 0) << "the fade-out starts at 2.2 s";
    scheduler.advance(180ms);
    EXPECT_EQ(dump(banner), "hidden");
    EXPECT_EQ(banner.parentWindow(), nullptr);
}

TEST_F(FeedbackBannerTest, SecondBannerStaysItsFullDuration) {
    banner.show(confirmation("Page archived"), &window, editor);
    scheduler.advance(1s);
    banner.show(confirmation("Page restored"), &window, editor);
    scheduler.advance(2199ms);
    EXPECT_NE(dump(banner).find("\"Page restored\""), std::string::npos) << dump(banner);
    EXPECT_NE(dump(banner).find("fading to 1"), std::string::npos) << "the first timer never fired";
    scheduler.advance(1ms + 180ms);
    EXPECT_EQ(dump(banner), "hidden");
}

TEST_F(FeedbackBannerTest, ShowDuringTheFadeOutKeepsTheBanner) {
    banner.show(confirmation("Page archived"), &window, editor);
    banner.hide(false);
    scheduler.advance(100ms);
    banner.show(confirmation("New page"), &window, editor);
    scheduler.advance(100ms);
    EXPECT_NE(dump(banner).find("\"New page\""), std::string::npos) << "the stale fade-out never completes";
}

TEST_F(FeedbackBannerTest, HidingAHiddenBannerOnlyCancelsItsTimer) {
    banner.hide(false);
    EXPECT_EQ(banner.presentationGeneration(), 0);
    banner.show(confirmation("Page archived"), &window, editor);
    banner.hide(true);
    EXPECT_EQ(dump(banner), "hidden");
    int generation = banner.presentationGeneration();
    banner.hide(false);
    EXPECT_EQ(banner.presentationGeneration(), generation);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(FeedbackBannerTest, KeepsInsideTheScreenNearItsEdges) {
    QRect nearRight(screen.right() - 100, 100, 400, 200);
    banner.show(confirmation("Page archived"), &window, nearRight);
    EXPECT_EQ(banner.panel()->x() + banner.panel()->width(), screen.x() + screen.width() - 8);

    QRect nearBottom(200, screen.bottom() - 150, 400, 140);
    banner.show(confirmation("Page archived"), &window, nearBottom);
    EXPECT_EQ(banner.panel()->y() + banner.panel()->height(), screen.y() + screen.height() - 8);
}

TEST_F(FeedbackBannerTest, ALongerMessageWhileAShortOneShowsIsPlacedAtItsOwnSize) {
    QRect nearRight(screen.right() - 100, 100, 400, 200);
    banner.show(confirmation("New page"), &window, nearRight);
    QApplication::processEvents();
    int shortWidth = banner.panel()->width();
    banner.show(confirmation("New Page undone · Ctrl+Shift+Z to redo"), &window, nearRight);
    EXPECT_GT(banner.panel()->width(), shortWidth);
    EXPECT_EQ(banner.panel()->x() + banner.panel()->width(), screen.x() + screen.width() - 8);
}

TEST_F(FeedbackBannerTest, MovingToAnotherWindowLeavesTheFirst) {
    QWidget other;
    other.show();
    banner.show(confirmation("Page archived"), &window, editor);
    banner.show(confirmation("Page restored"), &other, editor);
    EXPECT_EQ(banner.parentWindow(), &other);
}

TEST_F(FeedbackBannerTest, ReducedMotionDropsThePulseAndTransparencyMakesItOpaque) {
    testing::testDisplayOptions().set({.reduceMotion = true, .reduceTransparency = true});
    banner.show(confirmation("Page archived"), &window, editor);
    EXPECT_FALSE(banner.panel()->surfaceEffect()->isScaleAnimating());
    QImage image(banner.feedbackView()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    banner.feedbackView()->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(qAlpha(image.pixel(4, image.height() / 2)), 255);
    testing::resetDesktop();

    banner.show(confirmation("Page archived"), &window, editor);
    EXPECT_TRUE(banner.panel()->surfaceEffect()->isScaleAnimating());
}

TEST(FeedbackBannerAnnouncement, ScreenReadersHearTheMessageAsAnAlert) {
    testing::ManualScheduler scheduler;
    std::vector<std::string> heard;
    PanelFeedbackController banner(scheduler, false, [&heard](QWidget *element, const QString &message) {
        QAccessibleInterface *source = QAccessible::queryAccessibleInterface(element);
        heard.push_back(QStringLiteral("%1: %2 (role %3)")
                            .arg(message, source->text(QAccessible::Name))
                            .arg(source->role() == QAccessible::AlertMessage ? "alert" : "other")
                            .toStdString());
    });
    QWidget window;
    window.show();
    banner.show({"Reloaded from disk", PanelFeedback::Emphasis::confirmation, 2.2}, &window, QRect(0, 0, 400, 300));
    banner.show(PanelFeedback::pagePosition(1, 3), &window, QRect(0, 0, 400, 300));
    EXPECT_EQ(heard, (std::vector<std::string>{"Reloaded from disk: Reloaded from disk (role alert)",
                                               "Page 1 of 3: Page 1 of 3 (role alert)"}));
}

} // namespace
} // namespace velto
