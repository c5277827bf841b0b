#include "panel/feedback/PanelBanners.h"

#include "panel/feedback/PanelFeedbackController.h"
#include "panel/hints/ShortcutHintMonitor.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelPopover.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>

namespace velto {

PanelBanners::PanelBanners(PanelPopover &popover, VeltoPanelView &panelView, ShortcutHintMonitor &shortcutHints)
    : popover_(popover)
    , panelView_(panelView)
    , shortcutHints_(shortcutHints) {}

PanelBanners::~PanelBanners() = default;

PanelFeedbackController &PanelBanners::feedbackPanelController() {
    if (!feedbackPanelController_) {
        feedbackPanelController_ = std::make_unique<PanelFeedbackController>();
        feedbackPanelController_->feedbackView()->refreshAccessibilityAppearance();
    }
    return *feedbackPanelController_;
}

void PanelBanners::show(const PanelFeedback &feedback) {
    shortcutHints_.hideHints();
    if (!popover_.isShown()) {
        pending_ = feedback; // the newest replaces an older one
        return;
    }
    feedbackPanelController().show(feedback, &popover_, panelView_.frameOnScreen());
}

void PanelBanners::hide() {
    if (feedbackPanelController_) {
        feedbackPanelController_->hide(true);
    }
}

void PanelBanners::panelDidShow() {
    if (!pending_) {
        return;
    }
    PanelFeedback feedback = *std::exchange(pending_, std::nullopt);
    QPointer<PanelBanners> self(this);
    QTimer::singleShot(0, this, [self, feedback] {
        if (self && self->popover_.isShown()) {
            self->show(feedback);
        }
    });
}

} // namespace velto
