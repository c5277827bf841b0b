#include "settings/SettingsControls.h"

#include "preferences/Preferences.h"
#include "settings/SettingsTexts.h"
#include "ui/VeltoUI.h"

#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QPushButton>

namespace velto {

SegmentedControl::SegmentedControl(const QStringList &titles, int segmentWidth, QWidget *parent)
    : QWidget(parent)
    , group_(new QButtonGroup(this)) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    group_->setExclusive(true);
    for (int index = 0; index < titles.size(); ++index) {
        auto *button = new QPushButton(titles[index], this);
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
