#include "ui/SurfaceAnimation.h"

#include <QtGui/QPainter>

namespace velto {

QEasingCurve quickEaseOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.23, 1.0), QPointF(0.32, 1.0), QPointF(1.0, 1.0));
    return curve;
}

PaintedSurfaceEffect::PaintedSurfaceEffect(QObject *parent)
    : QGraphicsEffect(parent) {}

void PaintedSurfaceEffect::setOpacity(double opacity) {
    if (opacity != opacity_) {
        opacity_ = opacity;
        update();
    }
}

void PaintedSurfaceEffect::setScale(double scale) {
    if (scale != scale_) {
        scale_ = scale;
        update();
    }
}

void PaintedSurfaceEffect::setScaleAnchor(QPointF anchor) {
    scaleAnchor_ = anchor;
    update();
}

void PaintedSurfaceEffect::animateOpacity(double target, std::chrono::milliseconds duration) {
    if (opacityAnimation_) {
        opacityAnimation_->stop();
        delete opacityAnimation_;
    }
    targetOpacity_ = target;
    if (duration.count() <= 0 || opacity_ == target) {
        setOpacity(target);
        return;
    }
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(opacity_);
    animation->setEndValue(target);
    animation->setDuration(static_cast<int>(duration.count()));
    animation->setEasingCurve(quickEaseOut());
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setOpacity(value.toDouble()); });
    opacityAnimation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PaintedSurfaceEffect::animateScale(const std::vector<double> &values, const std::vector<double> &keyTimes,
                                        const std::vector<QEasingCurve> &easings, std::chrono::milliseconds duration) {
    stopScaleAnimation();
    if (values.empty()) {
        return;
    }
    auto *animation = new QVariantAnimation(this);
    animation->setDuration(static_cast<int>(duration.count()));
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    // The animation runs linear time; each segment between key times applies its own easing.
    connect(animation, &QVariantAnimation::valueChanged, this, [this, values, keyTimes, easings](const QVariant &v) {
        double time = v.toDouble();
        std::size_t segment = 0;
        while (segment + 2 < keyTimes.size() && time > keyTimes[segment + 1]) {
            ++segment;
        }
        if (segment + 1 >= keyTimes.size() || segment + 1 >= values.size()) {
            setScale(values.back());
            return;
        }
        double span = keyTimes[segment + 1] - keyTimes[segment];
        double local = span > 0 ? (time - keyTimes[segment]) / span : 1.0;
        double eased = segment < easings.size() ? easings[segment].valueForProgress(local) : local;
        setScale(values[segment] + (values[segment + 1] - values[segment]) * eased);
    });
    connect(animation, &QVariantAnimation::finished, this, [this, values] { setScale(values.back()); });
    scaleAnimation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PaintedSurfaceEffect::stopScaleAnimation() {
    if (scaleAnimation_) {
        scaleAnimation_->stop();
        delete scaleAnimation_;
    }
}

bool PaintedSurfaceEffect::isScaleAnimating() const {
    return scaleAnimation_ && scaleAnimation_->state() == QAbstractAnimation::Running;
}

void PaintedSurfaceEffect::draw(QPainter *painter) {
    if (opacity_ >= 1.0 && scale_ == 1.0) {
        drawSource(painter);
        return;
    }
    if (opacity_ <= 0.0) {
        return;
    }
    QPoint offset;
    QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::PadToEffectiveBoundingRect);
    QRectF bounds = sourceBoundingRect(Qt::LogicalCoordinates);
    QPointF anchor(bounds.x() + bounds.width() * scaleAnchor_.x(), bounds.y() + bounds.height() * scaleAnchor_.y());
    painter->save();
    painter->setOpacity(opacity_);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(anchor);
    painter->scale(scale_, scale_);
    painter->translate(-anchor);
    painter->drawPixmap(offset, pixmap);
    painter->restore();
}

} // namespace velto
