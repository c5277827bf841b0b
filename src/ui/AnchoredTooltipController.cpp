#include "ui/AnchoredTooltipController.h"

#include "platform/desktop/DisplayOptions.h"
#include "ui/FloatingPlacement.h"
#include "ui/VeltoUI.h"

#include <QtGui/QPainter>
#include <QtGui/QScreen>

namespace velto {

namespace {

const QFont &tooltipFont() {
    static const QFont font = VeltoUI::systemFont(13, QFont::Normal);
    return font;
}

constexpr double startScale = 0.97;
constexpr double endScale = 0.985;

} // namespace

AnchoredTooltipView::AnchoredTooltipView(const QString &text, QWidget *parent)
    : QWidget(parent)
    , text_(text) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
}

QSize AnchoredTooltipView::sizeHint() const {
    QFontMetrics metrics(tooltipFont());
    return {metrics.horizontalAdvance(text_) + 24, metrics.height() + 14};
}

void AnchoredTooltipView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    double radius = VeltoUI::Shape::controlRadius;
    painter.setPen(QPen(VeltoUI::Colors::tooltipBorder.resolved(), 1));
    painter.setBrush(VeltoUI::Colors::tooltip.resolved());
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.setPen(VeltoUI::Colors::label.resolved());
    painter.setFont(tooltipFont());
    painter.drawText(rect().adjusted(12, 7, -12, -7), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

AnchoredTooltipController &AnchoredTooltipController::shared() {
    static AnchoredTooltipController *controller =
        new AnchoredTooltipController(qtScheduler(), [] { return std::chrono::steady_clock::now(); });
    return *controller;
}

AnchoredTooltipController::AnchoredTooltipController(VeltoScheduler &scheduler, Now now,
                                                     std::optional<bool> translucent)
    : scheduler_(scheduler)
    , now_(std::move(now))
    , translucent_(translucent) {}

AnchoredTooltipController::~AnchoredTooltipController() = default;

void AnchoredTooltipController::schedule(const QString &text, QWidget *anchor) {
    showTask_.reset();
    if (panel_ && anchor_ != anchor) {
        dismissImmediately();
    }
    anchor_ = anchor;
    auto delay = now_() < timingPolicy_.warmUntil ? warmShowDelay : showDelay;
    QPointer<QWidget> view = anchor;
    showTask_ = scheduler_.schedule(delay, [this, text, view] {
        showTask_.reset();
        if (view && view == anchor_ && view->isVisible()) {
            show(text, view);
        }
    });
}

void AnchoredTooltipController::show(const QString &text, QWidget *anchor) {
    dismissImmediately();
    anchor_ = anchor;
    auto *view = new AnchoredTooltipView(text);
    panel_ = std::make_unique<FloatingPanel>(view, VeltoUI::Shape::controlRadius, translucent_);
    panel_->fitToContent();

    QRect anchorFrame(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    QScreen *screen = anchor->screen();
    QRect available = screen != nullptr ? screen->availableGeometry() : QRect(anchorFrame.topLeft(), QSize(1, 1));
    QRect surface = FloatingPlacement::tooltipFrame(anchorFrame, view->size(), available);
    int inset = FloatingPanelShadowContainerView::contentInset;
    panel_->move(surface.topLeft() - QPoint(inset, inset));
    // The tooltip grows out of the edge that faces its view.
    bool below = surface.y() > anchorFrame.y();
    panel_->surfaceEffect()->setScaleAnchor(QPointF(0.5, below ? 0.0 : 1.0));
    panel_->attach(anchor->window());
    panel_->surfaceEffect()->setOpacity(0);
    panel_->show();
    animateIn();
}

void AnchoredTooltipController::animateIn() {
    PaintedSurfaceEffect *effect = panel_->surfaceEffect();
    bool reduceMotion = displayOptions().current().reduceMotion;
    effect->animateOpacity(1.0, fadeInDuration);
    if (!reduceMotion) {
        effect->animateScale({startScale, 1.0}, {0.0, 1.0}, {quickEaseOut()}, fadeInDuration);
    }
}

void AnchoredTooltipController::dismiss(QWidget *anchor) {
    if (anchor == nullptr || anchor != anchor_) {
        return;
    }
    showTask_.reset();
    if (!panel_) {
        anchor_ = nullptr;
        return;
    }
    timingPolicy_.warmUntil = now_() + warmPeriod;
    animateOut();
}

void AnchoredTooltipController::animateOut() {
    dismissalTask_.reset();
    PaintedSurfaceEffect *effect = panel_->surfaceEffect();
    effect->animateOpacity(0.0, fadeOutDuration);
    if (!displayOptions().current().reduceMotion) {
        effect->animateScale({effect->scale(), endScale}, {0.0, 1.0}, {quickEaseOut()}, fadeOutDuration);
    }
    FloatingPanel *leaving = panel_.get();
    dismissalTask_ = scheduler_.schedule(fadeOutDuration, [this, leaving] {
        dismissalTask_.reset();
        if (panel_.get() == leaving) {
            dismissImmediately();
        }
    });
}

void AnchoredTooltipController::dismissImmediately() {
    showTask_.reset();
    dismissalTask_.reset();
    if (panel_) {
        panel_->detach();
        panel_->hide();
        panel_.reset();
    }
    anchor_ = nullptr;
}

} // namespace velto
