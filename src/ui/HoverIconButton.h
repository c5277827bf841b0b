#pragma once

#include "ui/HoverButton.h"

#include <optional>

namespace velto {

class AnchoredTooltipController;

/// The square, icon-only hover button: no background until hovered, a brighter icon while hovered, and
/// a floating tooltip (`anchoredToolTip`) above it after a short delay.
class HoverIconButton : public HoverButton {
    Q_OBJECT

public:
    static constexpr int sideLength = static_cast<int>(VeltoUI::Metrics::controlHeight);

    explicit HoverIconButton(QWidget *parent = nullptr);

    std::optional<VeltoColor> hoverBorderColor() const { return hoverBorderColor_; }
    /// A one-pixel outline drawn around the icon's square while hovered; redraws.
    void setHoverBorderColor(std::optional<VeltoColor> color);

    std::optional<QString> anchoredToolTip() const { return anchoredToolTip_; }
    /// The tooltip's text; also the button's accessible description.
    void setAnchoredToolTip(std::optional<QString> text);

    /// The controller that shows the tooltips; the process's shared one unless replaced.
    void setTooltipController(AnchoredTooltipController *controller) { tooltipController_ = controller; }

    QSize sizeHint() const override { return {sideLength, sideLength}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool drawsIdleBackground() const override { return false; }
    /// The largest square centred in the button.
    QRectF backgroundBounds() const override;

    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    AnchoredTooltipController &tooltips() const;
    void dismissTooltip();

    std::optional<VeltoColor> hoverBorderColor_;
    std::optional<QString> anchoredToolTip_;
    AnchoredTooltipController *tooltipController_ = nullptr;
};

} // namespace velto
