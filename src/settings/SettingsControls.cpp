#include "settings/SettingsControls.h"

#include "preferences/Preferences.h"
#include "settings/SettingsTexts.h"
#include "ui/FocusRing.h"
#include "ui/VeltoColor.h"
#include "ui/VeltoUI.h"

#include <QtGui/QPainter>

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QPushButton>

namespace velto {

namespace {

/// One segment: its fill and text tell the selected one apart in either appearance, which the style's own
/// checked button does by a few grey levels only.
class SegmentButton : public QPushButton {
public:
    SegmentButton(const QString &title, QWidget *parent)
        : QPushButton(title, parent) {
        // Return picks the focused segment, as Space does.
        setAutoDefault(true);
        hideFocusRingsOnClick();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        SegmentColors colors = segmentColors(VeltoAppearance::shared().current(), desktopAccentColor());
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor fill = isChecked()                   ? colors.selectedFill
                      : underMouse() && isEnabled() ? VeltoUI::Colors::interactiveHover.resolved()
                                                    : colors.idleFill;
        painter.setPen(QPen(VeltoUI::Colors::border.resolved(), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(bounds, segmentRadius, segmentRadius);
        QColor text = !isEnabled()  ? VeltoUI::Colors::secondaryLabel.resolved()
                      : isChecked() ? colors.selectedText
                                    : colors.idleText;
        // Over the selected segment's accent fill the accent would not show: the ring then takes the title's colour.
        if (showsFocusRing(*this)) {
            drawFocusRing(painter, bounds, segmentRadius, focusRingColor(desktopAccentColor(), fill, text));
        }
        painter.setPen(text);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, this->text());
    }

private:
    static constexpr double segmentRadius = 5;
};

} // namespace

SegmentColors segmentColors(DrawingAppearance appearance, const QColor &accent) {
    namespace Colors = VeltoUI::Colors;
    SegmentColors colors;
    colors.idleFill = Colors::interactiveIdle.resolved(appearance, accent);
    colors.idleText = paintedOver(Colors::label.resolved(appearance, accent), colors.idleFill);
    if (appearance == DrawingAppearance::light) {
        // Darkened where needed so that white text reads on it; that also sets it apart from the light others.
        colors.selectedFill = withContrast(accent, Qt::white, 4.5, Qt::black);
        colors.selectedText = Qt::white;
    } else {
        // Lightened where needed to stand apart from the dark others; the text is whichever reads better.
        colors.selectedFill = withContrast(accent, colors.idleFill, 3.0, Qt::white);
        QColor darkText(20, 20, 24);
        colors.selectedText =
            contrastRatio(Qt::white, colors.selectedFill) >= contrastRatio(darkText, colors.selectedFill)
                ? QColor(Qt::white)
                : darkText;
    }
    return colors;
}

SegmentedControl::SegmentedControl(const QStringList &titles, int segmentWidth, QWidget *parent)
    : QWidget(parent)
    , group_(new QButtonGroup(this)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    group_->setExclusive(true);
    for (int index = 0; index < titles.size(); ++index) {
        auto *button = new SegmentButton(titles[index], this);
        button->setCheckable(true);
        button->setFixedWidth(segmentWidth);
        button->setFont(VeltoUI::Typography::control());
        group_->addButton(button, index);
        layout->addWidget(button);
        segments_.push_back(button);
    }
    connect(group_, &QButtonGroup::idClicked, this, &SegmentedControl::picked);
}

int SegmentedControl::selectedIndex() const {
    return group_->checkedId();
}

void SegmentedControl::setSelectedIndex(int index) {
    if (index >= 0 && index < static_cast<int>(segments_.size())) {
        segments_[static_cast<std::size_t>(index)]->setChecked(true);
    }
}

FontSizeSpinBox::FontSizeSpinBox(QWidget *parent)
    : QSpinBox(parent) {
    setRange(0, static_cast<int>(VeltoPreferences::availableFontSizes.size()) - 1);
    setSingleStep(1);
    setWrapping(false);
    setAlignment(Qt::AlignCenter);
    setFixedWidth(96);
}

QString FontSizeSpinBox::textFromValue(int value) const {
    int index = std::clamp(value, minimum(), maximum());
    return SettingsTexts::fontSizeText(VeltoPreferences::availableFontSizes[static_cast<std::size_t>(index)]);
}

int FontSizeSpinBox::valueFromText(const QString &text) const {
    double size = text.section(QLatin1Char(' '), 0, 0).toDouble();
    return SettingsTexts::fontSizeIndex(size);
}

PathLabel::PathLabel(QWidget *parent)
    : QLabel(parent) {
    setMinimumWidth(80);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextInteractionFlags(Qt::NoTextInteraction);
}

void PathLabel::setPath(const QString &path) {
    path_ = path;
    setToolTip(path);
    setAccessibleDescription(path);
    elide();
}

void PathLabel::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    elide();
}

void PathLabel::elide() {
    setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, std::max(width(), 80)));
}

} // namespace velto
