#include "panel/view/EmptyPageHintView.h"

#include "panel/hints/ShortcutHintsView.h"
#include "platform/desktop/DisplayOptions.h"
#include "ui/KeyNames.h"
#include "ui/VeltoUI.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QVBoxLayout>

namespace velto {

namespace {

QLabel *hintLabel(const QString &text) {
    auto *label = new QLabel(text);
    label->setFont(hintTitleFont());
    return label;
}

/// The row is drawn at `EmptyPageHintView::rowOpacity` through its colours, since the hint's own fade is
/// already an effect and effects do not nest.
void colorHintLabel(QLabel *label) {
    QColor color = VeltoUI::Colors::label.resolved();
    color.setAlphaF(static_cast<float>(color.alphaF() * EmptyPageHintView::rowOpacity));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

EmptyPageHintView::EmptyPageHintView(QWidget *parent)
    : QWidget(parent)
    , holdLabel_(hintLabel(QStringLiteral("Hold")))
    , shortcutDiscoveryKeycap_(new ShortcutKeycapGroupView({KeyNames::modifierName(ModifierFlags::command)}))
    , shortcutsLabel_(hintLabel(QStringLiteral("for shortcuts")))
    , row_(new QWidget)
    , fadeEffect_(new PaintedSurfaceEffect(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGraphicsEffect(fadeEffect_);

    auto *rowLayout = new QHBoxLayout(row_);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(ShortcutHintVisualStyle::inlineTextKeycapSpacing);
    rowLayout->addStretch(1);
    rowLayout->addWidget(holdLabel_);
    rowLayout->addWidget(shortcutDiscoveryKeycap_, 0, Qt::AlignVCenter);
    rowLayout->addWidget(shortcutsLabel_);
    row_->setMinimumWidth(148);
    row_->setFixedHeight(ShortcutKeycapStyle::sideLength);
    shortcutDiscoveryKeycap_->setOpacity(rowOpacity);
    refreshColors();
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, &EmptyPageHintView::refreshColors);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 0, 22, 18);
    layout->addStretch(1);
    layout->addWidget(row_, 0, Qt::AlignRight);
}

void EmptyPageHintView::refreshColors() {
    colorHintLabel(holdLabel_);
    colorHintLabel(shortcutsLabel_);
    shortcutDiscoveryKeycap_->update();
}

void EmptyPageHintView::setShortcutOverlayPresented(bool presented, bool animated) {
    double target = presented ? 0.0 : 1.0;
    if (!animated) {
        fadeEffect_->animateOpacity(target, std::chrono::milliseconds(0));
        return;
    }
    bool reduceMotion = displayOptions().current().reduceMotion;
    auto duration = presented && !reduceMotion ? std::chrono::milliseconds(140) : std::chrono::milliseconds(80);
    fadeEffect_->animateOpacity(target, duration);
}

} // namespace velto
