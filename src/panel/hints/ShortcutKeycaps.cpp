#include "panel/hints/ShortcutKeycaps.h"

#include "ui/VeltoUI.h"

#include <QtGui/QPainter>
#include <QtWidgets/QHBoxLayout>

namespace velto {

int ShortcutKeycapStyle::width(const QString &key, int measuredTextWidth) {
    if (key == QLatin1String("Unset")) {
        return measuredTextWidth + 2 * unsetHorizontalPadding;
    }
    if (key == QLatin1String("Space")) {
        return measuredTextWidth + 2 * spaceHorizontalPadding;
    }
    if (key.size() <= 1) {
        return sideLength;
    }
    return std::max(sideLength, measuredTextWidth + 2 * wordHorizontalPadding);
}

const QFont &keycapFont() {
    static const QFont font = VeltoUI::systemFont(11, QFont::Medium);
    return font;
}

ShortcutKeycapView::ShortcutKeycapView(const QString &key, QWidget *parent)
    : QWidget(parent)
    , key_(key) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
}

QSize ShortcutKeycapView::sizeHint() const {
    int measured = QFontMetrics(keycapFont()).horizontalAdvance(key_);
    return {ShortcutKeycapStyle::width(key_, measured), ShortcutKeycapStyle::sideLength};
}

void ShortcutKeycapView::setOpacity(double opacity) {
    opacity_ = opacity;
    update();
}

void ShortcutKeycapView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setOpacity(opacity_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(VeltoUI::Colors::border.resolved(), 0.5));
    painter.setBrush(VeltoUI::Colors::interactiveIdle.resolved());
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 5.5, 5.5);
    painter.setPen(VeltoUI::Colors::secondaryLabel.resolved());
    painter.setFont(keycapFont());
    // Half a pixel up, where the text looks centred on the key.
    painter.drawText(QRectF(rect()).translated(0, -0.5), Qt::AlignCenter | Qt::TextSingleLine, key_);
}

ShortcutKeycapGroupView::ShortcutKeycapGroupView(const QStringList &keys, QWidget *parent)
    : QWidget(parent)
    , layout_(new QHBoxLayout(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(2);
    updateKeys(keys);
}

void ShortcutKeycapGroupView::updateKeys(const QStringList &keys) {
    while (QLayoutItem *item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QStringList shown = keys.isEmpty() ? QStringList{QStringLiteral("Unset")} : keys;
    for (const QString &key : shown) {
        auto *keycap = new ShortcutKeycapView(key, this);
        keycap->setOpacity(opacity_);
        layout_->addWidget(keycap);
    }
}

void ShortcutKeycapGroupView::setOpacity(double opacity) {
    opacity_ = opacity;
    for (int index = 0; index < layout_->count(); ++index) {
        if (auto *keycap = qobject_cast<ShortcutKeycapView *>(layout_->itemAt(index)->widget())) {
            keycap->setOpacity(opacity);
        }
    }
}

QStringList ShortcutKeycapGroupView::keys() const {
    QStringList keys;
    for (int index = 0; index < layout_->count(); ++index) {
        if (auto *keycap = qobject_cast<ShortcutKeycapView *>(layout_->itemAt(index)->widget())) {
            keys << keycap->key();
        }
    }
    return keys;
}

} // namespace velto
