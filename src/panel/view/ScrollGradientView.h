#pragma once

#include "platform/desktop/Scheduler.h"
#include "ui/SurfaceAnimation.h"

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

#include <memory>

namespace velto {

/// A 24 px strip at the top or bottom edge of the editor that fades the text out towards that edge while
/// more of it lies beyond. Shown and hidden with a 0.12 s fade. Clicks reach the editor beneath.
class ScrollGradientView : public QWidget {
    Q_OBJECT

public:
    enum class Edge { top, bottom };
    static constexpr std::chrono::milliseconds fadeDuration{120};

    ScrollGradientView(Edge edge, VeltoScheduler &scheduler, QWidget *parent = nullptr);

    Edge edge() const { return edge_; }
    bool wantsVisible() const { return wantsVisible_; }
    QColor color() const { return color_; }
    PaintedSurfaceEffect *fadeEffect() const { return fadeEffect_; }

    /// Fades in or out; a repeated request changes nothing, and a show during a fade-out keeps the strip.
    void setVisibleAnimated(bool visible);
    /// The editor's background colour, opaque at the edge and clear 24 px inwards.
    void updateColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Edge edge_;
    VeltoScheduler &scheduler_;
    bool wantsVisible_ = false;
    QColor color_ = Qt::white;
    PaintedSurfaceEffect *fadeEffect_;
    std::unique_ptr<VeltoScheduledAction> fadeCompletion_;
};

} // namespace velto
