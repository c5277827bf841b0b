#pragma once

#include <QtCore/QEasingCurve>
#include <QtCore/QPointF>
#include <QtCore/QPointer>
#include <QtCore/QVariantAnimation>
#include <QtWidgets/QGraphicsEffect>

#include <chrono>
#include <functional>

namespace velto {

/// The short fades and pulses share one timing: a cubic curve through (0.23, 1.0) and (0.32, 1.0).
QEasingCurve quickEaseOut();

/// Paints a widget (with its children) at an opacity and a scale about an anchor point. It draws what the
/// widget paints, so it works without a compositing manager, unlike window opacity.
class PaintedSurfaceEffect : public QGraphicsEffect {
    Q_OBJECT

public:
    explicit PaintedSurfaceEffect(QObject *parent = nullptr);

    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    double scale() const { return scale_; }
    void setScale(double scale);
    /// The fixed point of the scale, as fractions of the widget's size: (0.5, 0.5) is its centre.
    void setScaleAnchor(QPointF anchor);

    /// Animates the opacity to `target` over `duration` with the quick ease-out; a later call replaces an
    /// earlier one. `targetOpacity` tells where the animation is going.
    void animateOpacity(double target, std::chrono::milliseconds duration);
    double targetOpacity() const { return targetOpacity_; }
    /// Animates the scale through `values` at `keyTimes` (fractions of `duration`), one easing per segment.
    void animateScale(const std::vector<double> &values, const std::vector<double> &keyTimes,
                      const std::vector<QEasingCurve> &easings, std::chrono::milliseconds duration);
    void stopScaleAnimation();
    bool isScaleAnimating() const;

protected:
    void draw(QPainter *painter) override;

private:
    double opacity_ = 1.0;
    double targetOpacity_ = 1.0;
    double scale_ = 1.0;
    QPointF scaleAnchor_{0.5, 0.5};
    QPointer<QVariantAnimation> opacityAnimation_;
    QPointer<QVariantAnimation> scaleAnimation_;
};

} // namespace velto
