#pragma once

#include <QtCore/QRectF>

#include <optional>

namespace velto {

/// Whether text lies hidden above or below the visible part of the editor.
struct ScrollAvailability {
    bool top = false;
    bool bottom = false;
    friend bool operator==(const ScrollAvailability &, const ScrollAvailability &) = default;
};

/// More than half a pixel of the document above the visible rectangle, or below it (y grows downwards).
ScrollAvailability scrollAvailability(const QRectF &visible, const QRectF &document);

/// The state last given to the panel's two scroll gradients; they change only when a new state differs.
struct ScrollAvailabilityCache {
    std::optional<ScrollAvailability> availability;
};

/// The visible rectangle and document bounds seen at one layout pass.
struct ScrollGeometry {
    QRectF viewport;
    QRectF document;
    friend bool operator==(const ScrollGeometry &, const ScrollGeometry &) = default;
};

} // namespace velto
