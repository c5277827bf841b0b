#pragma once

#include <QtCore/QString>

namespace velto {

/// A short notice shown in a banner below the editor: what happened, how it is stressed and how long it stays.
struct PanelFeedback {
    enum class Emphasis { informational, confirmation };

    /// Every banner of the panel stays this long.
    static constexpr double standardDuration = 2.2;

    QString message;
    Emphasis emphasis = Emphasis::informational;
    double duration = standardDuration; // seconds

    friend bool operator==(const PanelFeedback &, const PanelFeedback &) = default;

    /// What the user's action did ("Page archived · Ctrl+Z to undo").
    static PanelFeedback confirmation(const QString &message) {
        return {message, Emphasis::confirmation, standardDuration};
    }
    /// "Page 3 of 7", informational.
    static PanelFeedback pagePosition(int position, int count) {
        return {QStringLiteral("Page %1 of %2").arg(position).arg(count), Emphasis::informational, standardDuration};
    }
};

} // namespace velto
