#pragma once

#include "ui/FloatingPanelShadowContainerView.h"
#include "ui/SurfaceAnimation.h"

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include <optional>

namespace velto {

/// The window of a floating surface (banner, shortcut hints, tooltip): frameless, above other windows,
/// never focused or activated, placed exactly where asked (the window manager is bypassed) and
/// transparent for the mouse. With a compositing manager it is translucent and the surface casts a
/// painted shadow; without one it is opaque, cut to the surface's rounded shape. Its surface fades and
/// scales through a `PaintedSurfaceEffect`.
class FloatingPanel : public QWidget {
    Q_OBJECT

public:
    /// `translucent` defaults to whether a compositing manager runs.
    FloatingPanel(QWidget *contentView, double cornerRadius, std::optional<bool> translucent = std::nullopt);

    FloatingPanelShadowContainerView *containerView() const { return container_; }
    /// The fade and scale of the whole surface, installed on first use: a surface that fades itself
    /// never asks, since effects do not nest.
    PaintedSurfaceEffect *surfaceEffect();
    bool isTranslucent() const { return translucent_; }

    /// Resizes the window to what its container needs.
    void fitToContent();

    /// The window this panel belongs to: it stays above it. Attaching to another window leaves the first.
    QWidget *parentWindow() const { return parentWindow_; }
    void attach(QWidget *window);
    void detach();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    FloatingPanelShadowContainerView *container_;
    PaintedSurfaceEffect *effect_ = nullptr;
    bool translucent_;
    QPointer<QWidget> parentWindow_;
};

} // namespace velto
