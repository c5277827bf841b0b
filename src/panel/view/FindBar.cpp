#include "panel/view/FindBar.h"

#include "editor_view/view/VeltoTextView.h"
#include "platform/FreedMemory.h"
#include "ui/FloatingMaterial.h"
#include "ui/VeltoUIControls.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QHBoxLayout>
#include <algorithm>
#include <vector>

namespace velto {

using editor::TextRange;

FindMarkColors findMarkColors(DrawingAppearance appearance) {
    if (appearance == DrawingAppearance::dark) {
        return {QColor(255, 214, 0, 56), QColor(112, 90, 10), QColor(255, 196, 0)};
    }
    return {QColor(255, 214, 0, 90), QColor(255, 214, 0), QColor(230, 140, 0)};
}

FindHighlightOverlay::FindHighlightOverlay(editor::VeltoTextView &textView, const TextSearch &search)
    : QWidget(textView.viewport())
    , textView_(textView)
    , search_(search) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    textView.viewport()->installEventFilter(this);
    resize(textView.viewport()->size());
}

bool FindHighlightOverlay::eventFilter(QObject *watched, QEvent *event) {
    if (watched == textView_.viewport() && event->type() == QEvent::Resize) {
        resize(textView_.viewport()->size());
    }
    return false;
}

void FindHighlightOverlay::paintEvent(QPaintEvent *) {
    const std::vector<TextRange> &matches = search_.matches();
    if (matches.empty()) {
        return;
    }
    TextRange visible = textView_.visibleCharacterRange(textView_.visibleRect());
    std::optional<TextRange> current = search_.currentMatch();
    QPainter painter(this);
    const FindMarkColors colors = findMarkColors(VeltoAppearance::shared().current());
    // Matches are sorted: start at the first one that may be visible.
    auto first = std::lower_bound(matches.begin(), matches.end(), visible.location,
                                  [](const TextRange &match, std::size_t location) { return match.end() < location; });
    for (auto match = first; match != matches.end() && match->location <= visible.end(); ++match) {
        QRectF start = textView_.caretRectInViewport(match->location);
        QRectF end = textView_.caretRectInViewport(match->end());
        const bool isCurrent = current && *current == *match;
        std::vector<QRectF> pieces;
        if (qFuzzyCompare(start.top() + 1, end.top() + 1)) {
            pieces.emplace_back(QPointF(start.left(), start.top()), QPointF(end.left(), start.bottom()));
        } else {
            // A match that wraps: from its start to the line's end, and from the next line's start to its end.
            double inset = textView_.textContainerInset().width();
            pieces.emplace_back(QPointF(start.left(), start.top()), QPointF(width() - inset, start.bottom()));
            pieces.emplace_back(QPointF(inset, end.top()), QPointF(end.left(), end.bottom()));
        }
        for (const QRectF &piece : pieces) {
            if (!isCurrent) {
                painter.fillRect(piece, colors.match);
                continue;
            }
            // The current match is selected, its fill the selection's: the outline sets it apart without
            // covering its text.
            painter.setPen(QPen(colors.currentOutline, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(piece.adjusted(-0.75, -0.75, 0.75, 0.75));
        }
    }
}

FindBar::FindBar(editor::VeltoTextView &textView, QWidget *parent)
    : QWidget(parent)
    , textView_(textView)
    , field_(new QLineEdit)
    , status_(new QLabel)
    , previousButton_(new HoverIconButton)
    , nextButton_(new HoverIconButton)
    , closeButton_(new HoverIconButton)
    , overlay_(new FindHighlightOverlay(textView, search_)) {
    field_->setPlaceholderText(QStringLiteral("Find in page"));
    field_->setAccessibleName(QStringLiteral("Find in page"));
    field_->setFrame(false);
    field_->installEventFilter(this);
    status_->setFont(VeltoUI::Typography::detail());
    VeltoUI::configure(*previousButton_, QStringLiteral("chevron.up"), QStringLiteral("Previous match"),
                       [this] { step(true); });
    VeltoUI::configure(*nextButton_, QStringLiteral("chevron.down"), QStringLiteral("Next match"),
                       [this] { step(false); });
    VeltoUI::configure(*closeButton_, QStringLiteral("xmark.circle.fill"), QStringLiteral("Close find bar"),
                       [this] { close(); });
    for (HoverIconButton *button : {previousButton_, nextButton_, closeButton_}) {
        button->setFocusPolicy(Qt::NoFocus);
    }

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(field_, 1);
    layout->addWidget(status_);
    layout->addWidget(previousButton_);
    layout->addWidget(nextButton_);
    layout->addWidget(closeButton_);
    setFixedHeight(34);

    refreshColors();
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, &FindBar::refreshColors);
    connect(field_, &QLineEdit::textEdited, this, [this] { searchFromSelection(); });
    researchTimer_.setSingleShot(true);
    researchTimer_.setInterval(150);
    connect(&researchTimer_, &QTimer::timeout, this, &FindBar::textDidChange);
    connect(&textView_, &editor::VeltoTextView::textChanged, this, [this] {
        if (isOpen()) {
            researchTimer_.start();
        }
    });
    connect(&textView_, &editor::VeltoTextView::scrollGeometryChanged, overlay_, qOverload<>(&QWidget::update));
    QWidget::setVisible(false);
    overlay_->setVisible(false);
}

void FindBar::refreshColors() {
    QPalette fieldPalette = field_->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    fieldPalette.setColor(QPalette::Text, VeltoUI::Colors::label.resolved());
    fieldPalette.setColor(QPalette::PlaceholderText, VeltoUI::Colors::secondaryLabel.resolved());
    field_->setPalette(fieldPalette);
    QPalette statusPalette = status_->palette();
    statusPalette.setColor(QPalette::WindowText, VeltoUI::Colors::secondaryLabel.resolved());
    status_->setPalette(statusPalette);
    if (isOpen()) {
        markFoundSelection();
    }
    update();
}

void FindBar::markFoundSelection() {
    QPalette palette = textView_.palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     findMarkColors(VeltoAppearance::shared().current()).foundSelection);
    textView_.setPalette(palette);
}

void FindBar::open() {
    markFoundSelection();
    QWidget::setVisible(true);
    raise();
    overlay_->setVisible(true);
    keepTextClearOfTheBar();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    if (!field_->text().isEmpty()) {
        searchFromSelection();
    }
}

void FindBar::close() {
    researchTimer_.stop();
    // The searches read the whole page into two copies, the joined text and its case-folded form: a closed bar
    // searches no more, and the memory goes back to the system rather than staying with the process.
    search_.forgetFoldedText();
    textView_.forgetJoinedText();
    giveFreedMemoryBack();
    bool hadFocus = isAncestorOf(QApplication::focusWidget());
    QWidget::setVisible(false);
    overlay_->setVisible(false);
    textView_.setPalette(QPalette()); // the window's selection colour again
    keepTextClearOfTheBar();
    if (hadFocus) {
        textView_.setFocus(Qt::OtherFocusReason);
    }
}

void FindBar::keepTextClearOfTheBar() {
    // The bar and the text view share a parent; the room reaches from the view's top to a little below the bar.
    constexpr int gapBelowTheBar = 4;
    int clearance = geometry().bottom() + 1 + gapBelowTheBar - textView_.geometry().top();
    textView_.setObscuredTopHeight(isOpen() ? std::max(0, clearance) : 0);
}

void FindBar::searchFromSelection() {
    search_.search(textView_.storage().string(), field_->text(), textView_.selectedRange().location, textVersion());
    showCurrentMatch();
}

void FindBar::textDidChange() {
    if (!isOpen()) {
        return;
    }
    // The page changed under the search: find again, keeping the reader's place, without moving the selection.
    search_.search(textView_.storage().string(), field_->text(), textView_.selectedRange().location, textVersion());
    refresh();
}

std::uint64_t FindBar::textVersion() const {
    // A page loaded into the view replaces its characters, which moves the version on as well.
    return textView_.storage().characterVersion();
}

void FindBar::step(bool backwards) {
    if (search_.step(backwards)) {
        showCurrentMatch();
    }
}

void FindBar::openAndStep(bool backwards) {
    if (!isOpen()) {
        open();
    }
    step(backwards);
}

void FindBar::openWithSelectedText() {
    std::u16string selected = textView_.storage().substring(textView_.selectedRange());
    field_->setText(QString::fromStdU16String(selected));
    open();
}

void FindBar::showCurrentMatch() {
    if (std::optional<TextRange> match = search_.currentMatch()) {
        textView_.setSelectedRange(*match);
        textView_.scrollRangeToVisible(*match);
    }
    refresh();
}

void FindBar::refresh() {
    status_->setText(search_.status());
    overlay_->update();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent *event) {
    // Escape alone, as for the panel: Escape with a modifier is another key, which the desktop may take for itself.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    if (event->key() == Qt::Key_F3) {
        step(event->modifiers().testFlag(Qt::ShiftModifier));
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindBar::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    paintFloatingMaterial(painter, QRectF(rect()), VeltoUI::Shape::controlRadius);
}

} // namespace velto
