#pragma once

#include <QtGui/QColor>
#include <QtWidgets/QWidget>

namespace velto {

/// The rounded border drawn over the editor (corner radius 6). Clicks reach the editor beneath.
class EditorBorderView : public QWidget {
    Q_OBJECT

public:
    explicit EditorBorderView(QWidget *parent = nullptr);

    double borderWidth() const { return borderWidth_; }
    QColor borderColor() const { return borderColor_; }
    void setBorder(double width, const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double borderWidth_ = 1;
    QColor borderColor_ = Qt::gray;
};

} // namespace velto
