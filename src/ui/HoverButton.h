#pragma once

#include "ui/VeltoUI.h"

#include <QtCore/QMetaObject>
#include <QtWidgets/QPushButton>

#include <functional>
#include <optional>

namespace velto {

/// The custom-drawn push button of Velto's windows: a rounded background in three interaction states
/// (idle, hovered, pressed) from the palette of its prominence, an optional border (thicker when the
/// desktop asks for more contrast), dimmed when disabled, and a ring while it has the keyboard's focus (see
/// FocusRing). Return or Space presses it while it has the focus. Configure one with `VeltoUI::configure`.
class HoverButton : public QPushButton {
    Q_OBJECT

public:
    enum class Prominence { plain, secondary, primary };
    enum class InteractionState { idle, hovered, pressed };

    /// What one drawing uses.
    struct VisualStyle {
        VeltoColor background;
        VeltoColor foreground;
        std::optional<VeltoColor> borderColor;
        double borderWidth = 1;
        double opacity = 1;
        friend bool operator==(const VisualStyle &, const VisualStyle &) = default;
    };

    explicit HoverButton(QWidget *parent = nullptr);

    Prominence prominence() const { return prominence_; }
    /// Also tints the content with the palette's foreground and redraws.
    void setProminence(Prominence prominence);
    bool isHovered() const { return isHovered_; }

    const VeltoUI::ActionPalette &actionPalette() const { return actionPalette(prominence_); }
    static const VeltoUI::ActionPalette &actionPalette(Prominence prominence);

    /// Pressed when enabled and held down, else hovered when enabled and under the pointer, else idle.
    static InteractionState interactionState(bool isEnabled, bool isDown, bool isHovered);
    static VisualStyle resolveVisualStyle(Prominence prominence, InteractionState interaction, bool isEnabled,
                                          bool increaseContrast);

    /// The colour of the title or icon.
    VeltoColor contentTint() const { return contentTint_; }
    void setContentTint(const VeltoColor &tint);

    /// The one action a click runs; a later call replaces it.
    void setAction(std::function<void()> action);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    /// Whether the background is drawn at rest.
    virtual bool drawsIdleBackground() const { return true; }
    /// The rectangle the background, border and focus ring are drawn in.
    virtual QRectF backgroundBounds() const;

    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

    void setHovered(bool hovered);
    /// The title, or the icon tinted with the content tint, centred.
    void drawContent(QPainter &painter, double opacity) const;

private:
    Prominence prominence_ = Prominence::plain;
    bool isHovered_ = false;
    VeltoColor contentTint_ = VeltoUI::Colors::label;
    QMetaObject::Connection actionConnection_;
};

/// The icon tinted in one colour, as a template image: every opaque pixel takes the colour.
QPixmap tintedPixmap(const QIcon &icon, const QSize &size, const QColor &color, double devicePixelRatio);

} // namespace velto
