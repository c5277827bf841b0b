#pragma once

#include "panel/feedback/PanelFeedback.h"

#include <QtCore/QEasingCurve>

#include <chrono>
#include <vector>

namespace velto {

class PaintedSurfaceEffect;

/// The short scale pulse of a confirming banner: 1 → 1.08 → 1 over 0.24 s, about the banner's centre.
namespace FeedbackPulseAnimation {

struct Keyframes {
    std::vector<double> values;
    std::vector<double> keyTimes;
    std::vector<QEasingCurve> easings; // one per segment
    std::chrono::milliseconds duration;
};

Keyframes make();

enum class Outcome { started, kept, removed };

/// A confirmation, where movement is allowed, starts the pulse unless one is running (`kept`); anything
/// else stops a running pulse (`removed`).
Outcome reconcile(const PanelFeedback &feedback, PaintedSurfaceEffect &surface, bool movementAllowed);

} // namespace FeedbackPulseAnimation

} // namespace velto
