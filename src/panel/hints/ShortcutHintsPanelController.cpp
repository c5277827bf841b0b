#include "panel/hints/ShortcutHintsPanelController.h"

#include "platform/desktop/DisplayOptions.h"
#include "ui/FloatingPlacement.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>

namespace velto {

ShortcutHintsPanelController::ShortcutHintsPanelController(VeltoScheduler &scheduler, std::optional<bool> translucent)
    : scheduler_(scheduler)
    , hintsView_(new ShortcutHintsView(VeltoShortcutHints::descriptors(), scheduler))
    , panel_(std::make_unique<FloatingPanel>(hintsView_, ShortcutHintVisualStyle::cornerRadius, translucent)) {
    connect(&displayOptions(), &DisplayOptionsProvider::changed, hintsView_,
            &ShortcutHintsView::refreshAccessibilityAppearance);
}

ShortcutHintsPanelController::~ShortcutHintsPanelController() = default;

void ShortcutHintsPanelController::show(QWidget *window, const QRect &editorFrame) {
    hideWorkItem_.reset();
    hintsView_->refreshShortcuts(VeltoShortcutHints::descriptors());
    // The view is laid out while shown, so that the window takes its full size.
    hintsView_->setVisible(true);
    panel_->fitToContent();
    if (parentWindow_ != window) {
        panel_->attach(window);
        parentWindow_ = window;
    }
    QScreen *screen = window != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        panel_->move(FloatingPlacement::panelOrigin(editorFrame, panel_->size(), screen->availableGeometry()));
    }
    panel_->show();
    panel_->raise();
    hintsView_->setPresented(true);
    emit presentationChanged(true);
}

void ShortcutHintsPanelController::hide(bool immediately) {
    hideWorkItem_.reset();
    hintsView_->setPresented(false);
    emit presentationChanged(false);
    if (immediately) {
        orderOut();
        return;
    }
    hideWorkItem_ = scheduler_.schedule(orderOutDelay, [this] { orderOut(); });
}

void ShortcutHintsPanelController::orderOut() {
    panel_->hide();
    panel_->detach();
    parentWindow_ = nullptr;
}

} // namespace velto
