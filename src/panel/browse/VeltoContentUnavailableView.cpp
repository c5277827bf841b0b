#include "panel/browse/VeltoContentUnavailableView.h"

#include "panel/window/AccessibleRoles.h"
#include "ui/HoverButton.h"
#include "ui/Symbols.h"
#include "ui/VeltoUI.h"

#include <QtCore/QEvent>
#include <QtWidgets/QVBoxLayout>

namespace velto {

namespace {

void setTextColor(QLabel *label, const VeltoColor &color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color.resolved());
    label->setPalette(palette);
}

} // namespace

VeltoContentUnavailableView::VeltoContentUnavailableView(QWidget *parent)
    : QWidget(parent)
    , iconView_(new QLabel)
    , titleLabel_(new QLabel)
    , messageLabel_(new QLabel) {
    installAccessibleRoles();
    setAttribute(Qt::WA_TransparentForMouseEvents);

    int iconSide = static_cast<int>(VeltoUI::Metrics::contentStateIconSide);
    iconView_->setFixedSize(iconSide, iconSide);
    iconView_->setAlignment(Qt::AlignCenter);
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setFont(VeltoUI::Typography::rowTitle());
    messageLabel_->setAlignment(Qt::AlignCenter);
    messageLabel_->setFont(VeltoUI::Typography::detail());
    messageLabel_->setWordWrap(true);
    messageLabel_->setMaximumWidth(messageWidth);
    titleLabel_->setMaximumWidth(messageWidth);
    applyColors();

    auto *outer = new QVBoxLayout(this);
    int sideMargin = static_cast<int>(VeltoUI::Metrics::spacing24);
    outer->setContentsMargins(sideMargin, 0, sideMargin, 0);
    outer->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing12));
    outer->addStretch(1);
    outer->addWidget(iconView_, 0, Qt::AlignHCenter);
    auto *text = new QVBoxLayout;
    text->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing4));
    text->addWidget(titleLabel_, 0, Qt::AlignHCenter);
    text->addWidget(messageLabel_, 0, Qt::AlignHCenter);
    outer->addLayout(text);
    outer->addStretch(1);
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, [this] {
        applyColors();
        if (presentation_) {
            configure(*presentation_);
        }
    });
}

void VeltoContentUnavailableView::configure(const Presentation &presentation) {
    presentation_ = presentation;
    QIcon icon = Symbols::icon(presentation.symbolName);
    int side = static_cast<int>(VeltoUI::Metrics::contentStateSymbolPointSize);
    if (icon.isNull()) {
        iconView_->setPixmap(QPixmap());
    } else {
        iconView_->setPixmap(
            tintedPixmap(icon, QSize(side, side), VeltoUI::Colors::icon.resolved(), devicePixelRatioF()));
    }
    showTitle();
    messageLabel_->setText(presentation.message);
    fitMessage();
    setAccessibleName(presentation.title);
    setAccessibleDescription(presentation.message);
}

void VeltoContentUnavailableView::showTitle() {
    if (!presentation_) {
        return;
    }
    // One line, cut at the end with an ellipsis when the title is wider than the room it has.
    QFontMetrics metrics(titleLabel_->font());
    titleLabel_->setText(metrics.elidedText(presentation_->title, Qt::ElideRight, textRoom()));
}

int VeltoContentUnavailableView::textRoom() const {
    return std::min(messageWidth, std::max(0, width() - 2 * static_cast<int>(VeltoUI::Metrics::spacing24)));
}

void VeltoContentUnavailableView::fitMessage() {
    // The layout would give the message the lines it needs at the width of the whole view, and then narrow it to
    // its own width, where it wraps onto more lines than it was given: its width and height are set together.
    const int room = textRoom();
    messageLabel_->setFixedWidth(room);
    messageLabel_->setFixedHeight(messageLabel_->text().isEmpty() ? 0 : messageLabel_->heightForWidth(room));
}

void VeltoContentUnavailableView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    showTitle();
    fitMessage();
}

void VeltoContentUnavailableView::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyColors();
    }
}

void VeltoContentUnavailableView::applyColors() {
    setTextColor(titleLabel_, VeltoUI::Colors::label);
    setTextColor(messageLabel_, VeltoUI::Colors::secondaryLabel);
}

} // namespace velto
