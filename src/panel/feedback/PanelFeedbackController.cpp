#include "panel/feedback/PanelFeedbackController.h"

#include "panel/feedback/FeedbackPulseAnimation.h"
#include "panel/window/AccessibleRoles.h"
#include "platform/desktop/DisplayOptions.h"
#include "ui/FloatingMaterial.h"
#include "ui/FloatingPlacement.h"
#include "ui/VeltoUI.h"

#include <QtGui/QAccessible>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QVBoxLayout>

namespace velto {

PanelFeedbackView::PanelFeedbackView(QWidget *parent)
    : QWidget(parent)
    , label_(new QLabel) {
    installAccessibleRoles();
    setAttribute(Qt::WA_TransparentForMouseEvents);
    label_->setFont(VeltoUI::systemFont(12, QFont::Medium));
    label_->setAlignment(Qt::AlignCenter);
    label_->setObjectName(QStringLiteral("Floating notification"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 7, 12, 7);
    layout->addWidget(label_);
    refreshAccessibilityAppearance();
}

void PanelFeedbackView::configure(const PanelFeedback &feedback, PaintedSurfaceEffect &surface) {
    label_->setText(feedback.message);
    setAccessibleName(feedback.message);
    FeedbackPulseAnimation::reconcile(feedback, surface, !displayOptions().current().reduceMotion);
}

void PanelFeedbackView::refreshAccessibilityAppearance() {
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, VeltoUI::Colors::label.resolved());
    label_->setPalette(palette);
    update();
}

void PanelFeedbackView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    paintFloatingMaterial(painter, QRectF(rect()), cornerRadius);
}

void PanelFeedbackController::postAccessibilityAlert(QWidget *element, const QString &) {
    QAccessibleEvent alert(element, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

PanelFeedbackController::PanelFeedbackController(VeltoScheduler &scheduler, std::optional<bool> translucent,
                                                 Announcer announce)
    : scheduler_(scheduler)
    , announce_(std::move(announce))
    , feedbackView_(new PanelFeedbackView)
    , panel_(std::make_unique<FloatingPanel>(feedbackView_, PanelFeedbackView::cornerRadius, translucent)) {
    connect(&displayOptions(), &DisplayOptionsProvider::changed, feedbackView_,
            &PanelFeedbackView::refreshAccessibilityAppearance);
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, feedbackView_,
            &PanelFeedbackView::refreshAccessibilityAppearance);
}

PanelFeedbackController::~PanelFeedbackController() = default;

void PanelFeedbackController::show(const PanelFeedback &feedback, QWidget *window, const QRect &editorFrame) {
    hideWorkItem_.reset();
    ++presentationGeneration_;
    PaintedSurfaceEffect &surface = *panel_->surfaceEffect();
    feedbackView_->refreshAccessibilityAppearance();
    feedbackView_->configure(feedback, surface);
    // Named after what it says, as the window of a notice: assistive tools and window lists read it there.
    panel_->setWindowTitle(feedback.message);
    panel_->fitToContent();
    if (parentWindow_ != window) {
        panel_->attach(window);
        parentWindow_ = window;
    }
    position(window, editorFrame);
    surface.setOpacity(0);
    panel_->show();
    panel_->raise();
    surface.animateOpacity(1.0, fadeDuration);

    auto duration = std::chrono::milliseconds(static_cast<long long>(feedback.duration * 1000));
    hideWorkItem_ = scheduler_.schedule(duration, [this] { hide(false); });

    if (announce_) {
        announce_(feedbackView_, feedback.message);
    }
}

void PanelFeedbackController::position(QWidget *window, const QRect &editorFrame) {
    QScreen *screen = window != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    panel_->move(FloatingPlacement::panelOrigin(editorFrame, panel_->size(), screen->availableGeometry()));
}

void PanelFeedbackController::hide(bool immediately) {
    hideWorkItem_.reset();
    if (!panel_->isVisible()) {
        return;
    }
    int generation = ++presentationGeneration_;
    if (immediately) {
        orderOut();
        return;
    }
    panel_->surfaceEffect()->animateOpacity(0.0, fadeDuration);
    fadeCompletion_ = scheduler_.schedule(fadeDuration, [this, generation] {
        if (generation == presentationGeneration_) {
            orderOut();
        }
    });
}

void PanelFeedbackController::orderOut() {
    panel_->hide();
    panel_->detach();
    parentWindow_ = nullptr;
}

} // namespace velto
