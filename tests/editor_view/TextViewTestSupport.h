#pragma once

#include "editor/markdown/MarkdownStyler.h"
#include "editor/text/TextStorage.h"
#include "editor_view/view/TextViewCommandHost.h"
#include "editor_view/view/VeltoTextView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <memory>
#include <string>

namespace velto::testing {

/// Ends the widget application when the tests are done: destroyed among the exit handlers instead, it
/// crashes in Qt's own input-device registry, and left alive its font caches count as leaks.
class WidgetApplicationEnvironment : public ::testing::Environment {
public:
    explicit WidgetApplicationEnvironment(QApplication *application)
        : application_(application) {}
    void TearDown() override { delete application_; }

private:
    QApplication *application_;
};

/// The application object widgets need; made once per test program, on the offscreen platform.
inline void ensureWidgetApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "velto_editor_view_tests";
    static char *argv[] = {name, nullptr};
    auto *application = new QApplication(argc, argv);
    ::testing::AddGlobalTestEnvironment(new WidgetApplicationEnvironment(application));
}

/// A shown text view of the given size holding the text, styled by the full pass when asked, whose commands
/// and links go to the host (by default one that runs nothing and opens links on the desktop).
inline std::unique_ptr<editor::VeltoTextView>
makeTextView(const std::u16string &text, int width = 400, int height = 300, bool styled = true,
             editor::TextViewCommandHost &host = editor::TextViewCommandHost::unconfigured()) {
    ensureWidgetApplication();
    auto view = std::make_unique<editor::VeltoTextView>(host);
    view->resize(width, height);
    view->editingCore().loadText(text, editor::MarkdownStyler::baseAttributes(editor::MarkdownStyler::textColor()));
    if (styled) {
        editor::MarkdownStyler::apply(view->textStorage());
    }
    view->show();
    QCoreApplication::processEvents();
    return view;
}

/// The view's viewport as drawn now.
inline QImage grabViewport(editor::VeltoTextView &view) {
    return view.viewport()->grab().toImage();
}

/// Whether the pixel is (within a small tolerance) the colour.
inline bool pixelIs(const QImage &image, QPoint point, QColor colour, int tolerance = 6) {
    const QColor found = image.pixelColor(point);
    return std::abs(found.red() - colour.red()) <= tolerance && std::abs(found.green() - colour.green()) <= tolerance &&
           std::abs(found.blue() - colour.blue()) <= tolerance;
}

/// Keeps the caret shown while it lives, then lets it blink again: a blink between two pictures of a view would
/// tell them apart.
class SteadyCaret {
public:
    SteadyCaret()
        : flashTime_(QApplication::cursorFlashTime()) {
        QApplication::setCursorFlashTime(0);
    }
    ~SteadyCaret() { QApplication::setCursorFlashTime(flashTime_); }
    SteadyCaret(const SteadyCaret &) = delete;
    SteadyCaret &operator=(const SteadyCaret &) = delete;

private:
    int flashTime_;
};

/// Lets the view's pending repaints run.
inline void settleRepaints() {
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::processEvents();
    }
}

/// Once pending repaints ran, what the window shows of the view's viewport is what the viewport painted whole
/// gives now: the repaints left no stale pixels.
inline void expectShownMatchesAFullPaint(editor::VeltoTextView &view, const std::string &step) {
    settleRepaints();
    const QRect area = view.viewport()->geometry();
    const QImage shown = QGuiApplication::primaryScreen()
                             ->grabWindow(view.winId(), area.x(), area.y(), area.width(), area.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage whole = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(shown == whole) << step << ": what the window shows differs from the view painted whole";
}

} // namespace velto::testing
