#include "panel/menu/TextDrawingRecorder.h"

#include <QtGui/QPaintEngine>
#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>

namespace velto {

/// Takes every drawing call and keeps only the text. It claims every feature, so that the painter hands it
/// text as text instead of turning it into paths.
class TextDrawingRecorder::Engine : public QPaintEngine {
public:
    explicit Engine(std::vector<DrawnText> &drawn)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , drawn_(drawn) {}

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState &state) override {
        if (state.state() & QPaintEngine::DirtyPen) {
            color_ = state.pen().color();
        }
    }
    void drawTextItem(const QPointF &origin, const QTextItem &item) override {
        drawn_.push_back(DrawnText{item.text(), origin, item.width(), item.font(), color_});
    }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawImage(const QRectF &, const QImage &, const QRectF &, Qt::ImageConversionFlags) override {}
    void drawTiledPixmap(const QRectF &, const QPixmap &, const QPointF &) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint *, int, PolygonDrawMode) override {}
    void drawLines(const QLineF *, int) override {}
    void drawLines(const QLine *, int) override {}
    void drawRects(const QRectF *, int) override {}
    void drawRects(const QRect *, int) override {}
    void drawEllipse(const QRectF &) override {}
    void drawEllipse(const QRect &) override {}
    void drawPoints(const QPointF *, int) override {}
    void drawPoints(const QPoint *, int) override {}

private:
    std::vector<DrawnText> &drawn_;
    QColor color_;
};

TextDrawingRecorder::TextDrawingRecorder(const QPaintDevice &standsFor)
    : standsFor_(standsFor)
    , engine_(std::make_unique<Engine>(drawn_)) {}

TextDrawingRecorder::~TextDrawingRecorder() = default;

std::vector<DrawnText> TextDrawingRecorder::record(const QPaintDevice &standsFor,
                                                   const std::function<void(QPainter &)> &paint) {
    TextDrawingRecorder recorder(standsFor);
    {
        QPainter painter(&recorder);
        paint(painter);
    }
    return recorder.drawn_;
}

QPaintEngine *TextDrawingRecorder::paintEngine() const {
    return engine_.get();
}

int TextDrawingRecorder::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return standsFor_.width();
    case PdmHeight:
        return standsFor_.height();
    case PdmWidthMM:
        return standsFor_.widthMM();
    case PdmHeightMM:
        return standsFor_.heightMM();
    case PdmNumColors:
        return standsFor_.colorCount();
    case PdmDepth:
        return standsFor_.depth();
    case PdmDpiX:
        return standsFor_.logicalDpiX();
    case PdmDpiY:
        return standsFor_.logicalDpiY();
    case PdmPhysicalDpiX:
        return standsFor_.physicalDpiX();
    case PdmPhysicalDpiY:
        return standsFor_.physicalDpiY();
    case PdmDevicePixelRatio:
        return std::max(1, static_cast<int>(std::lround(standsFor_.devicePixelRatio())));
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(std::lround(standsFor_.devicePixelRatio() * devicePixelRatioFScale()));
    }
    return QPaintDevice::metric(metric);
}

} // namespace velto
