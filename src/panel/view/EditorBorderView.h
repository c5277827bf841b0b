#pragma once

#include <QtGui/QColor>
#include <QtGui/QPixmap>
#include <QtGui/QRegion>
#include <QtWidgets/QWidget>

namespace velto {

/// The rounded border drawn over the editor (corner radius 6). Clicks reach the editor beneath.
///
/// The editor repaints under it at every keystroke, and the toolkit then paints the border over the same area:
/// the border is stroked once into a picture kept for its size, width, colour and pixel ratio, and each paint
/// copies only the picture's edges that lie in the area painted.
class EditorBorderView : public QWidget {
    Q_OBJECT

public:
    static constexpr double cornerRadius = 6;

    explicit EditorBorderView(QWidget *parent = nullptr);

    double borderWidth() const { return borderWidth_; }
    QColor borderColor() const { return borderColor_; }
    void setBorder(double width, const QColor &color);

    /// The bands along the four sides that hold every pixel of the border; the rest of the view is clear.
    QRegion edgeBands() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    /// How far from the view's edges the border's pixels reach.
    int bandWidth() const;
    const QPixmap &strokedBorder();

    double borderWidth_ = 1;
    QColor borderColor_ = Qt::gray;
    QPixmap stroked_;
    double strokedWidth_ = 0;
    QColor strokedColor_;
};

} // namespace velto
