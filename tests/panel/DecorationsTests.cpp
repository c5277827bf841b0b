#include "PanelTestSupport.h"

#include "panel/browse/VeltoContentUnavailableView.h"
#include "panel/view/EditorBorderView.h"
#include "panel/view/EmptyPageHintView.h"
#include "panel/view/ScrollGradientView.h"
#include "panel/window/PanelResizeHandle.h"

#include <QtGui/QAccessible>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

namespace velto {
namespace {

using namespace std::chrono_literals;

void sendMouse(QWidget &widget, QEvent::Type type, QPointF global) {
    Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, widget.mapFromGlobal(global), global, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

/// Every report of a handle, as "w×h" with "(ended)" for the last of a drag.
struct ResizeReports {
    std::vector<std::string> lines;
    void attach(PanelResizeHandle &handle) {
        QObject::connect(&handle, &PanelResizeHandle::resizeRequested, [this](QSizeF size, bool ended) {
            lines.push_back(QStringLiteral("%1×%2%3")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(ended ? " (ended)" : "")
                                .toStdString());
        });
    }
};

/// The view painted over a clear picture: all of it, or only `region` as the toolkit asks when the editor
/// beneath repaints a part.
QImage clearPicture(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage paintedBorder(EditorBorderView &view, const QRegion &region = {}) {
    QImage image = clearPicture(view.size());
    // The region's corner lands at the offset given.
    view.render(&image, region.boundingRect().topLeft(), region, QWidget::DrawChildren);
    return image;
}

/// The border as a stroke straight onto a clear picture.
QImage strokedBorder(QSize size, double width, const QColor &color) {
    QImage image = clearPicture(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, width));
    const double half = width / 2;
    painter.drawRoundedRect(QRectF(QPointF(), QSizeF(size)).adjusted(half, half, -half, -half), 6, 6);
    return image;
}

/// The pixels of `image` that differ from `expected` by more than rounding, inside `where` (else all).
int differingPixels(const QImage &image, const QImage &expected, const QRegion &where = {}) {
    int differing = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!where.isEmpty() && !where.contains(QPoint(x, y))) {
                continue;
            }
            const QRgb got = image.pixel(x, y);
            const QRgb want = expected.pixel(x, y);
            const int most = std::max({std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                                       std::abs(qBlue(got) - qBlue(want)), std::abs(qAlpha(got) - qAlpha(want))});
            differing += most > 2 ? 1 : 0;
        }
    }
    return differing;
}

// One view through every case: the kept picture follows each change of size, width and colour.
TEST(EditorBorder, PaintsWhatAStrokeDrawsAlsoInAPartAfterEachChangeOfSizeWidthAndColour) {
    struct Case {
        const char *name;
        QSize size;
        double width;
        QColor color;
    };
    const Case cases[] = {
        {"thin grey", {300, 200}, 1, Qt::gray},
        {"wider red", {300, 200}, 2, Qt::red},
        {"smaller", {120, 90}, 2, Qt::red},
        {"half a pixel wider, blue", {120, 90}, 2.5, Qt::blue},
    };
    EditorBorderView view;
    for (const Case &example : cases) {
        SCOPED_TRACE(example.name);
        view.resize(example.size);
        view.setBorder(example.width, example.color);
        const QImage expected = strokedBorder(example.size, example.width, example.color);
        EXPECT_EQ(differingPixels(paintedBorder(view), expected), 0);

        // A line of the editor repainted: the border's pixels in that line, nothing elsewhere.
        const QRegion line(0, example.size.height() / 2 - 10, example.size.width(), 20);
        const QImage part = paintedBorder(view, line);
        EXPECT_EQ(differingPixels(part, expected, line), 0);
        EXPECT_EQ(differingPixels(part, clearPicture(part.size()), QRegion(part.rect()) - line), 0);
    }
}

TEST(ResizeHandle, DraggingFollowsThePointerAndEndsOnceWithThePanelsSize) {
    QSizeF panelSize(500, 325);
    PanelResizeHandle handle([&panelSize] { return panelSize; });
    ResizeReports reports;
    reports.attach(handle);

    sendMouse(handle, QEvent::MouseButtonPress, QPointF(700, 400));
    sendMouse(handle, QEvent::MouseMove, QPointF(740, 380));
    panelSize = QSizeF(540, 305);
    sendMouse(handle, QEvent::MouseMove, QPointF(760, 450));
    panelSize = QSizeF(560, 375);
    sendMouse(handle, QEvent::MouseButtonRelease, QPointF(760, 450));
    EXPECT_EQ(reports.lines, (std::vector<std::string>{"540×305", "560×375", "560×375", "560×375 (ended)"}));
    EXPECT_FALSE(handle.isDragging());
}

TEST(ResizeHandle, AClickWithoutMovingAndADoubleClickPersistNoSize) {
    PanelResizeHandle handle([] { return QSizeF(500, 325); });
    ResizeReports reports;
    reports.attach(handle);
    int fits = 0;
    QObject::connect(&handle, &PanelResizeHandle::fitContentRequested, [&fits] { ++fits; });

    sendMouse(handle, QEvent::MouseButtonPress, QPointF(700, 400));
    sendMouse(handle, QEvent::MouseButtonRelease, QPointF(700, 400));
    EXPECT_TRUE(reports.lines.empty()) << "nothing changed, so there is nothing to keep";

    sendMouse(handle, QEvent::MouseButtonPress, QPointF(700, 400));
    sendMouse(handle, QEvent::MouseButtonRelease, QPointF(700, 400));
    sendMouse(handle, QEvent::MouseButtonDblClick, QPointF(700, 400));
    sendMouse(handle, QEvent::MouseButtonRelease, QPointF(700, 400));
    EXPECT_EQ(fits, 1);
    EXPECT_TRUE(reports.lines.empty());
}

TEST(ResizeHandle, WithoutASizeCallbackADragStartsFromNothing) {
    ResizeDrag drag;
    drag.begin(QPointF(10, 10), QSizeF(0, 0));
    EXPECT_EQ(drag.sizeFor(QPointF(30, 5)), QSizeF(20, -5));
    EXPECT_EQ(drag.end(QSizeF(0, 0)), std::nullopt);
}

TEST(ResizeHandle, ReadsAsAGripWithItsNameAndHelp) {
    PanelResizeHandle handle;
    QAccessibleInterface *grip = QAccessible::queryAccessibleInterface(&handle);
    EXPECT_EQ(grip->role(), QAccessible::Grip);
    EXPECT_EQ(grip->text(QAccessible::Name), "Resize editor panel");
    EXPECT_EQ(grip->text(QAccessible::Description),
              "Drag to change the editor panel width and height. Double-click to fit the panel to its content.");
}

TEST(ResizeHandle, StrokeFollowsHoverAndDrag) {
    PanelResizeHandle handle;
    EXPECT_EQ(handle.strokeOpacity(), 0.24);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&handle, &enter);
    EXPECT_EQ(handle.strokeOpacity(), 0.48);
    sendMouse(handle, QEvent::MouseButtonPress, QPointF(5, 5));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&handle, &leave);
    EXPECT_EQ(handle.strokeOpacity(), 0.72);
    EXPECT_EQ(handle.cursor().shape(), Qt::SizeFDiagCursor);
}

TEST(ScrollGradient, RepeatedRequestsFadeOnceAndAShowDuringAFadeOutKeepsTheStrip) {
    testing::ManualScheduler scheduler;
    QWidget editor;
    ScrollGradientView gradient(ScrollGradientView::Edge::top, scheduler, &editor);
    editor.show();
    EXPECT_FALSE(gradient.isVisible());
    gradient.setVisibleAnimated(true);
    gradient.setVisibleAnimated(true);
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    scheduler.advance(120ms);
    EXPECT_TRUE(gradient.isVisible());

    gradient.setVisibleAnimated(false);
    scheduler.advance(60ms);
    gradient.setVisibleAnimated(true);
    scheduler.advance(120ms);
    EXPECT_TRUE(gradient.isVisible());
    EXPECT_EQ(gradient.fadeEffect()->targetOpacity(), 1);

    gradient.setVisibleAnimated(false);
    scheduler.advance(120ms);
    EXPECT_FALSE(gradient.isVisible());
}

TEST(EmptyPageHint, ReadsHoldCtrlForShortcutsAndFadesUnderTheHints) {
    testing::resetDesktop();
    EmptyPageHintView hint;
    QStringList words{hint.holdLabel()->text()};
    words << hint.shortcutDiscoveryKeycap()->keys() << hint.shortcutsLabel()->text();
    EXPECT_EQ(words.join(' '), "Hold Ctrl for shortcuts");
    EXPECT_TRUE(hint.testAttribute(Qt::WA_TransparentForMouseEvents));
    hint.setShortcutOverlayPresented(true, true);
    EXPECT_EQ(hint.fadeEffect()->targetOpacity(), 0);
    hint.setShortcutOverlayPresented(false, true);
    EXPECT_EQ(hint.fadeEffect()->targetOpacity(), 1);
}

TEST(EmptyPageHint, TakesTheColoursOfANewAppearance) {
    testing::resetDesktop();
    EmptyPageHintView hint;
    auto textColor = [&hint] { return hint.holdLabel()->palette().color(QPalette::WindowText); };
    EXPECT_LT(textColor().lightness(), 128);
    testing::testColorScheme().set(ColorScheme::dark);
    EXPECT_GT(textColor().lightness(), 128) << "light text on a dark page";
    EXPECT_NEAR(textColor().alphaF(), 0.85 * EmptyPageHintView::rowOpacity, 0.01);
    testing::resetDesktop();
}

TEST(EmptyPageHint, SitsInTheBottomRightCorner) {
    EmptyPageHintView hint;
    hint.resize(488, 313);
    hint.show();
    QApplication::processEvents();
    QRect row = hint.row()->geometry();
    EXPECT_EQ(hint.width() - (row.x() + row.width()), 22);
    EXPECT_EQ(hint.height() - (row.y() + row.height()), 18);
}

TEST(ContentUnavailable, UnknownSymbolLeavesTheIconEmptyAndTextsStay) {
    VeltoContentUnavailableView view;
    view.resize(400, 300);
    view.configure({"no.such.symbol", "No pages yet", "Start writing in Velto and your pages will appear here."});
    EXPECT_TRUE(view.iconView()->pixmap().isNull());
    EXPECT_EQ(view.titleLabel()->text(), "No pages yet");
    view.configure({"magnifyingglass", "No matching pages", "Try a different word or phrase."});
    EXPECT_FALSE(view.iconView()->pixmap().isNull());
}

TEST(ContentUnavailable, LongTitleStaysOnOneLineAndMessageWrapsWithinItsWidth) {
    VeltoContentUnavailableView view;
    view.resize(300, 300);
    QString longTitle = QString("Saved conflict copies ").repeated(5);
    view.configure(
        {"doc.text", longTitle, QString("The saved copies may have been archived or deleted. ").repeated(4)});
    view.show();
    QApplication::processEvents();
    EXPECT_TRUE(view.titleLabel()->text().endsWith(QChar(0x2026)));
    EXPECT_LE(view.messageLabel()->width(), 280);
    EXPECT_GE(view.messageLabel()->x(), 24);
    EXPECT_LE(view.messageLabel()->x() + view.messageLabel()->width(), 300 - 24);
}

/// The message wraps at its own width and gets every line it wraps onto, in a view wider or narrower than it.
TEST(ContentUnavailable, EveryLineOfTheMessageIsShownWhateverTheViewsWidth) {
    for (int viewWidth : {488, 300, 200}) {
        SCOPED_TRACE(viewWidth);
        VeltoContentUnavailableView view;
        view.resize(viewWidth, 360);
        view.configure({"doc.text.magnifyingglass", "No saved conflict copies",
                        "The saved copies may have been archived or deleted."});
        view.show();
        QApplication::processEvents();
        QLabel *message = view.messageLabel();
        EXPECT_GE(message->height(), message->heightForWidth(message->width()));
        EXPECT_GT(message->height(), message->fontMetrics().height()) << "the message wraps onto a second line";
        EXPECT_LE(message->width(), VeltoContentUnavailableView::messageWidth);
        EXPECT_LE(message->geometry().bottom(), view.height());
    }
}

TEST(ContentUnavailable, ReadsAsOneGroupAndLetsClicksThrough) {
    VeltoContentUnavailableView view;
    view.configure({"doc.text", "No pages yet", "Start writing in Velto and your pages will appear here."});
    QAccessibleInterface *group = QAccessible::queryAccessibleInterface(&view);
    EXPECT_EQ(group->role(), QAccessible::Grouping);
    EXPECT_EQ(group->text(QAccessible::Name), "No pages yet");
    EXPECT_EQ(group->text(QAccessible::Description), "Start writing in Velto and your pages will appear here.");
    EXPECT_TRUE(view.testAttribute(Qt::WA_TransparentForMouseEvents));
}

} // namespace
} // namespace velto
