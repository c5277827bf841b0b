#include "panel/feedback/FeedbackPulseAnimation.h"

#include "ui/SurfaceAnimation.h"

namespace velto::FeedbackPulseAnimation {

Keyframes make() {
    QEasingCurve settle(QEasingCurve::BezierSpline);
    settle.addCubicBezierSegment(QPointF(0.77, 0.0), QPointF(0.175, 1.0), QPointF(1.0, 1.0));
    return {{1.0, 1.08, 1.0}, {0.0, 0.45, 1.0}, {quickEaseOut(), settle}, std::chrono::milliseconds(240)};
}

Outcome reconcile(const PanelFeedback &feedback, PaintedSurfaceEffect &surface, bool movementAllowed) {
    if (feedback.emphasis == PanelFeedback::Emphasis::confirmation && movementAllowed) {
        if (surface.isScaleAnimating()) {
            return Outcome::kept;
        }
        Keyframes pulse = make();
        surface.setScaleAnchor(QPointF(0.5, 0.5));
        surface.animateScale(pulse.values, pulse.keyTimes, pulse.easings, pulse.duration);
        return Outcome::started;
    }
    surface.stopScaleAnimation();
    surface.setScale(1.0);
    return Outcome::removed;
}

} // namespace velto::FeedbackPulseAnimation
