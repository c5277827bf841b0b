#pragma once

#include <QtCore/QPointF>
#include <QtCore/QSizeF>
#include <QtWidgets/QWidget>

#include <functional>
#include <optional>

namespace velto {

/// One drag of the resize handle, without a display. Sizes follow the pointer from where the drag
/// started: right widens, down makes taller. Limits are the panel's business.
class ResizeDrag {
public:
    void begin(QPointF pointer, QSizeF startSize);
    bool isDragging() const { return isDragging_; }
    /// The size for the pointer's position.
    QSizeF sizeFor(QPointF pointer) const;
    /// Ends the drag; the panel's final size is reported only when it differs from the size at the start,
    /// so a click without a move (also the first click of a double-click) changes nothing.
    std::optional<QSizeF> end(QSizeF finalSize);
    QSizeF startSize() const { return startSize_; }

private:
    QPointF startPointer_;
    QSizeF startSize_;
    bool isDragging_ = false;
};

/// The 22 × 22 grip in the panel's bottom-right corner: dragging resizes the panel, a double-click fits
/// it to its content.
class PanelResizeHandle : public QWidget {
    Q_OBJECT

public:
    static constexpr int sideLength = 22;

    /// `currentSize` gives the panel's present content size; without it a drag starts from nothing.
    explicit PanelResizeHandle(std::function<QSizeF()> currentSize = {}, QWidget *parent = nullptr);

    bool isHovered() const { return isHovered_; }
    bool isDragging() const { return drag_.isDragging(); }
    /// The stroke's opacity: 0.72 while dragging, 0.48 while hovered, else 0.24.
    double strokeOpacity() const;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

signals:
    /// A requested size, and whether the drag has ended.
    void resizeRequested(QSizeF size, bool ended);
    /// A double-click asks to fit the panel to its content.
    void fitContentRequested();

private:
    QSizeF presentSize() const;
    std::function<QSizeF()> currentSize_;
    ResizeDrag drag_;
    bool isHovered_ = false;
};

} // namespace velto
