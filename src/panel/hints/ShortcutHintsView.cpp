#include "panel/hints/ShortcutHintsView.h"

#include "platform/desktop/DisplayOptions.h"
#include "ui/FloatingMaterial.h"
#include "ui/VeltoUI.h"

#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>

namespace velto {

const QFont &hintTitleFont() {
    static const QFont font = VeltoUI::systemFont(11.5, QFont::Medium);
    return font;
}

ShortcutHintItemView::ShortcutHintItemView(const ShortcutHintDescriptor &descriptor, QWidget *parent)
    : QWidget(parent)
    , availability_(descriptor.availability)
    , titleLabel_(new QLabel(descriptor.title))
    , shortcutStack_(new ShortcutKeycapGroupView) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    titleLabel_->setFont(hintTitleFont());
    titleLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    titleLabel_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setOpacity(1.0);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(ShortcutHintVisualStyle::inlineTextKeycapSpacing);
    layout->addWidget(titleLabel_, 1);
    layout->addWidget(shortcutStack_, 0, Qt::AlignVCenter);
    setMinimumWidth(148);
    setFixedHeight(ShortcutKeycapStyle::sideLength);
    setKeys(descriptor.keys);
    // The title's colour is resolved when it is set, so a new appearance sets it again.
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, [this] { setOpacity(opacity_); });
}

void ShortcutHintItemView::setOpacity(double opacity) {
    // Drawn faintly by the title's colour and the keycaps themselves: effects nested inside the surface's
    // own fade would be painted through one device twice.
    opacity_ = opacity;
    QColor title = VeltoUI::Colors::label.resolved();
    title.setAlphaF(static_cast<float>(title.alphaF() * opacity));
    QPalette palette = titleLabel_->palette();
    palette.setColor(QPalette::WindowText, title);
    titleLabel_->setPalette(palette);
    shortcutStack_->setOpacity(opacity);
}

void ShortcutHintItemView::setKeys(const QStringList &keys) {
    displayedKeys_ = keys.isEmpty() ? QStringList{QStringLiteral("Unset")} : keys;
    shortcutStack_->updateKeys(keys);
}

ShortcutHintsView::ShortcutHintsView(const std::vector<ShortcutHintDescriptor> &descriptors, VeltoScheduler &scheduler,
                                     QWidget *parent)
    : QWidget(parent)
    , scheduler_(scheduler)
    , fadeEffect_(new PaintedSurfaceEffect(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGraphicsEffect(fadeEffect_);
    fadeEffect_->setOpacity(0);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(12, 5, 12, 5);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    for (std::size_t index = 0; index < descriptors.size(); ++index) {
        auto *item = new ShortcutHintItemView(descriptors[index], this);
        itemViews_.push_back(item);
        grid->addWidget(item, static_cast<int>(index / 2), static_cast<int>(index % 2));
    }
    setVisible(false);
    refreshAccessibilityAppearance();
}

void ShortcutHintsView::refreshShortcuts(const std::vector<ShortcutHintDescriptor> &descriptors) {
    if (descriptors.size() != itemViews_.size()) {
        return;
    }
    for (std::size_t index = 0; index < descriptors.size(); ++index) {
        itemViews_[index]->setKeys(descriptors[index].keys);
    }
}

void ShortcutHintsView::updateAvailability(const VeltoCommandContext &context, bool canUndo, bool canRedo) {
    for (ShortcutHintItemView *item : itemViews_) {
        bool available = isHintAvailable(item->availability(), context, canUndo, canRedo);
        item->setOpacity(available ? 1.0 : dimmedOpacity);
    }
}

void ShortcutHintsView::setPresented(bool presented) {
    if (presented == shouldBeVisible_) {
        return;
    }
    shouldBeVisible_ = presented;
    fadeCompletion_.reset();
    if (presented) {
        setVisible(true);
        bool reduceMotion = displayOptions().current().reduceMotion;
        fadeEffect_->animateOpacity(1.0, reduceMotion ? reducedMotionFadeInDuration : fadeInDuration);
        return;
    }
    fadeEffect_->animateOpacity(0.0, fadeOutDuration);
    fadeCompletion_ = scheduler_.schedule(fadeOutDuration, [this] {
        if (!shouldBeVisible_) {
            setVisible(false);
        }
    });
}

void ShortcutHintsView::refreshAccessibilityAppearance() {
    update();
}

void ShortcutHintsView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    paintFloatingMaterial(painter, QRectF(rect()), ShortcutHintVisualStyle::cornerRadius);
}

} // namespace velto
