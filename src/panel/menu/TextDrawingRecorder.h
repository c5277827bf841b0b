#pragma once

#include <QtCore/QPointF>
#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QPaintDevice>

#include <functional>
#include <memory>
#include <vector>

namespace velto {

/// One run of text as a painter wrote it: where its baseline starts, how wide it is, its font and colour.
struct DrawnText {
    QString text;
    QPointF origin;
    double width = 0;
    QFont font;
    QColor color;
};

/// A paint device that draws nothing and writes down the text painted on it: it tells where and how a style
/// writes the text of a control, which the style itself does not say. Metrics (resolution, size) are those
/// of the device it stands for, so that fonts measure as they would there.
class TextDrawingRecorder : public QPaintDevice {
public:
    explicit TextDrawingRecorder(const QPaintDevice &standsFor);
    ~TextDrawingRecorder() override;

    /// What `paint` writes with a painter on this device, in the order written.
    static std::vector<DrawnText> record(const QPaintDevice &standsFor, const std::function<void(QPainter &)> &paint);

    const std::vector<DrawnText> &drawn() const { return drawn_; }
    QPaintEngine *paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    const QPaintDevice &standsFor_;
    std::vector<DrawnText> drawn_;
    std::unique_ptr<Engine> engine_;
};

} // namespace velto
