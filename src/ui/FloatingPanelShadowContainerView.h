#pragma once

#include <QtWidgets/QWidget>

namespace velto {

/// Wraps a floating surface in a transparent margin of `contentInset` on every side and paints a soft
/// shadow under it. Never takes the mouse: clicks reach whatever lies below.
class FloatingPanelShadowContainerView : public QWidget {
    Q_OBJECT

public:
    static constexpr int contentInset = 6;

    FloatingPanelShadowContainerView(QWidget *contentView, double cornerRadius, QWidget *parent = nullptr);

    QWidget *contentView() const { return contentView_; }
    double cornerRadius() const { return cornerRadius_; }
    /// The content frame the shadow was last shaped for, and how often it was reshaped.
    QRect shadowPathFrame() const { return shadowPathFrame_; }
    int shadowPathUpdateCount() const { return shadowPathUpdateCount_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *contentView_;
    double cornerRadius_;
    QRect shadowPathFrame_;
    int shadowPathUpdateCount_ = 0;
};

} // namespace velto
