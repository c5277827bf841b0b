#include "editor_view/VeltoTextView.h"

#include "editor/editing/TextBoundaries.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor/rules/Indentation.h"
#include "editor/rules/NewlineRules.h"
#include "editor/rules/PasteRules.h"
#include "editor/rules/TypingRules.h"
#include "editor_view/AutoCorrection.h"
#include "editor_view/ClipboardTextReader.h"
#include "editor_view/ContinuousSpellChecking.h"
#include "editor_view/DroppedText.h"
#include "editor_view/SpellingContextMenu.h"
#include "editor_view/TaskCheckboxAccessibilityElement.h"
#include "editor_view/TextViewAccessibility.h"
#include "editor_view/TextViewPointer.h"
#include "editor_view/TextViewContextMenu.h"
#include "platform/FreedMemory.h"
#include "preferences/Preferences.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFontMetricsF>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace velto::editor {

namespace {

/// How often dragging outside the view scrolls it.
constexpr int autoScrollInterval = 30;
/// How far one wheel or arrow step of the scroll bar moves.
constexpr int scrollStep = 20;

QString qtString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar *>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string fromQt(const QString &text) {
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size()));
}

} // namespace

VeltoTextView::VeltoTextView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , cache_(storage_, formats_)
    , painter_(storage_, cache_, formats_)
    , core_(storage_)
    , undoHistories_(core_)
    , keyRouter_(*this)
    , keyEvents_([this] { return keyRouter_.callbacks.commandShortcuts(); })
    , codeTextColor_(MarkdownStyler::textColor()) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(scrollStep);

    // Chained, so that another listener of the storage keeps being told.
    storage_.onEditingGroupFinished =
        [this, previous = std::move(storage_.onEditingGroupFinished)](const EditingSummary &summary) {
            if (previous) {
                previous(summary);
            }
            storageDidFinishEditing(summary);
        };
    core_.shouldChangeTextHandler = [this](TextRange range, std::u16string_view replacement) {
        const bool allowed = !shouldChangeTextHandler || shouldChangeTextHandler(range, replacement);
        if (allowed) {
            pendingAnnouncement_ = PendingAnnouncement{static_cast<int>(range.location),
                                                       qtString(storage_.substring(range)), qtString(replacement)};
        }
        return allowed;
    };
    core_.didChangeTextHandler = [this] {
        if (pendingAnnouncement_) {
            const PendingAnnouncement change = *std::exchange(pendingAnnouncement_, std::nullopt);
            announceTextChange(this, change.position, change.removed, change.inserted);
        }
        if (didChangeTextHandler) {
            didChangeTextHandler();
        }
        emit textChanged();
    };
    installTextViewAccessibility();
    pointer_ = std::make_unique<TextViewPointer>(*this);
    taskCheckboxElements_ = std::make_unique<TaskCheckboxAccessibilityElements>(*this);
    accessibleChildElements = [this] { return taskCheckboxElements_->visibleElements(); };
    core_.didChangeSelectionHandler = [this] { selectionDidChange(); };
    undoHistories_.beep = [] { QApplication::beep(); };
    updateContainerWidth();
}

VeltoTextView::~VeltoTextView() {
    storage_.onEditingGroupFinished = nullptr;
}

// ---- following the storage and the selection ----

void VeltoTextView::storageDidFinishEditing(const EditingSummary &summary) {
    cache_.textDidChange(summary);
    if (!summary.attributesOnly) {
        ++characterChanges_;
        spareCopiesTimer_.start(spareCopiesDelayMilliseconds, this);
    }
    if (!summary.attributesOnly && !pendingAnnouncement_) {
        // A change outside the editing protocol (a load, an undo): the whole value changed.
        announceValueChange(this);
    }
    if (preedit_ && preedit_->position > storage_.length()) {
        setPreedit(std::nullopt);
    }
    updateScrollBars();
    scheduleIdleLayout();
    scheduleSpellCheck();
    viewport()->update();
}

void VeltoTextView::selectionDidChange() {
    if (!keepGoalX_) {
        goalX_.reset();
    }
    headAffinity_ = CaretAffinity::downstream;
    const TextRange selected = core_.selectedRange();
    if (selected.length > 0) {
        announceSelectionChange(this, static_cast<int>(selected.location), static_cast<int>(selected.end()));
    } else {
        announceCaretMove(this, static_cast<int>(core_.selectionHead()));
    }
    restartCaretBlink();
    // Rules show their source while the selection touches them: the whole view may change.
    viewport()->update();
    emit selectionChanged();
}

// ---- the EditingTarget's changes ----

bool VeltoTextView::replaceText(TextRange range, std::u16string_view replacement, TextRange selectionAfter) {
    return core_.replaceText(range, replacement, selectionAfter);
}

void VeltoTextView::insertTypedText(TextRange range, std::u16string_view text) {
    core_.insertText(text, range);
}

void VeltoTextView::setUndoActionName(std::u16string_view name) {
    if (UndoManager *manager = core_.undoManager()) {
        manager->setActionName(qtString(name));
    }
}

void VeltoTextView::updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) {
    storage_.updateAttributes(range, update);
}

// ---- look ----

void VeltoTextView::setEditable(bool editable) {
    core_.setEditable(editable);
    setAttribute(Qt::WA_InputMethodEnabled, editable);
    if (!editable) {
        setPreedit(std::nullopt);
    }
    viewport()->update();
}

void VeltoTextView::setAppearance(Appearance appearance) {
    if (appearance == formats_.appearance()) {
        return;
    }
    formats_.setAppearance(appearance);
    cache_.reset(); // layouts carry the old colours
    updateScrollBars();
    scheduleIdleLayout();
    viewport()->update();
}

void VeltoTextView::setBackgroundColor(const Color &color) {
    backgroundColor_ = color;
    viewport()->update();
}

void VeltoTextView::setTextContainerInset(QSizeF inset) {
    inset_ = inset;
    updateContainerWidth();
    viewport()->update();
}

void VeltoTextView::setHorizontalRuleColor(const std::optional<Color> &color) {
    horizontalRuleColor_ = color;
    viewport()->update();
}

void VeltoTextView::setIncreaseContrast(bool increase) {
    increaseContrast_ = increase;
    viewport()->update();
}

// ---- geometry ----

double VeltoTextView::scrollY() const {
    return verticalScrollBar()->value();
}

double VeltoTextView::documentHeight() {
    return cache_.documentHeight() + 2 * inset_.height();
}

QRectF VeltoTextView::visibleRect() const {
    return QRectF(0, scrollY(), viewport()->width(), viewport()->height());
}

void VeltoTextView::updateContainerWidth() {
    cache_.setWidth(std::max(0.0, viewport()->width() - 2 * inset_.width()));
    updateScrollBars();
    scheduleIdleLayout();
}

void VeltoTextView::updateScrollBars() {
    const int total = static_cast<int>(std::ceil(documentHeight()));
    QScrollBar *bar = verticalScrollBar();
    const int maximum = std::max(0, total - viewport()->height());
    if (bar->pageStep() == viewport()->height() && bar->maximum() == maximum) {
        return; // painting calls this every time; listeners hear only of real changes
    }
    bar->setPageStep(viewport()->height());
    bar->setRange(0, maximum);
    emit scrollGeometryChanged();
}

void VeltoTextView::scrollToPoint(QPointF point) {
    updateScrollBars();
    verticalScrollBar()->setValue(static_cast<int>(std::lround(point.y())));
}

void VeltoTextView::pinToBottom() {
    // The last screen of text is laid out, so the end stands where it will stay.
    const double bottom = cache_.documentHeight();
    cache_.piecesBetween(bottom - viewport()->height(), bottom);
    updateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void VeltoTextView::setObscuredTopHeight(int height) {
    if (viewportMargins().top() != height) {
        setViewportMargins(0, height, 0, 0);
    }
}

void VeltoTextView::scrollRangeToVisible(TextRange range) {
    const QRectF caret =
        cache_.caretRect(range.location, affinityAt(range.location)).translated(inset_.width(), inset_.height());
    updateScrollBars();
    const double top = scrollY();
    const double height = viewport()->height();
    // A caret out of sight is brought in a margin as deep as the inset from the edge, where the panel's scroll
    // gradients would fade its line; a line that the top of the page shows brings the view back to its top.
    const double margin = inset_.height();
    if (caret.top() < top) {
        const bool shownAtTop = caret.bottom() + margin <= height;
        verticalScrollBar()->setValue(shownAtTop ? 0 : static_cast<int>(std::floor(caret.top() - margin)));
    } else if (caret.bottom() > top + height) {
        verticalScrollBar()->setValue(static_cast<int>(std::ceil(caret.bottom() + margin - height)));
    }
}

double VeltoTextView::usedHeightAfterFullLayout() {
    double change = 0;
    while (cache_.measureSome(std::chrono::steady_clock::time_point::max(), 0, &change)) {
    }
    return cache_.documentHeight();
}

QRectF VeltoTextView::caretRectInViewport(std::size_t position, CaretAffinity affinity) {
    return cache_.caretRect(position, affinity).translated(inset_.width(), inset_.height() - scrollY());
}

CaretAffinity VeltoTextView::affinityAt(std::size_t position) const {
    return position == core_.selectionHead() ? headAffinity_ : CaretAffinity::downstream;
}

std::size_t VeltoTextView::positionAtViewportPoint(QPointF point) {
    return cache_.positionAt(QPointF(point.x() - inset_.width(), point.y() + scrollY() - inset_.height()));
}

CaretPlace VeltoTextView::placeAtViewportPoint(QPointF point) {
    return cache_.placeAt(QPointF(point.x() - inset_.width(), point.y() + scrollY() - inset_.height()));
}

TextRange VeltoTextView::visibleCharacterRange(QRectF rect) {
    return painter_.visibleCharacterRange(rect, inset_);
}

// ---- painting ----

TextViewPaintState VeltoTextView::paintState() const {
    TextViewPaintState state;
    state.inset = inset_;
    state.viewWidth = viewport()->width();
    state.appearance = formats_.appearance();
    state.background = colorFor(backgroundColor_, state.appearance);
    QColor selection = palette().color(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight);
    state.selectionBackground = selection;
    state.caretColor = colorFor(codeTextColor_, state.appearance);
    const TextRange selected = core_.selectedRange();
    state.selectedRanges = {selected};
    if (selected.length == 0 && hasFocus() && caretShown_ && core_.isEditable() && !preedit_) {
        state.caret = core_.selectionHead();
        state.caretAffinity = headAffinity_;
    }
    if (dropCaret_) {
        state.caret = dropCaret_; // where a drag would drop its text
        state.caretAffinity = CaretAffinity::downstream;
    }
    state.preedit = preedit_;
    state.horizontalRuleColor = horizontalRuleColor_;
    state.increaseContrast = increaseContrast_;
    if (spellChecking_ && !preedit_) {
        // While composing, the layouts hold text the storage does not: the offsets would not match.
        state.misspelledRanges = spellChecking_->misspelledRanges();
    }
    return state;
}

void VeltoTextView::paintEvent(QPaintEvent *event) {
    const double top = scrollY();
    const QRectF rect = QRectF(event->rect()).translated(0, top);
    // Laying out what is shown may correct estimated heights below; the scroll bar follows.
    cache_.piecesBetween(rect.top() - inset_.height(), rect.bottom() - inset_.height());
    updateScrollBars();
    QPainter painter(viewport());
    painter.translate(0, -scrollY());
    painter_.paint(painter, rect.translated(0, scrollY() - top), paintState());
    pointer_->drawTaskCheckboxPreview(painter, rect.translated(0, scrollY() - top));
    paintedSinceShown_ = true;
    scheduleIdleLayout();
}

void VeltoTextView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    updateContainerWidth();
    scheduleSpellCheck();
}

void VeltoTextView::showEvent(QShowEvent *event) {
    QAbstractScrollArea::showEvent(event);
    paintedSinceShown_ = false; // the first paint starts the measuring
}

void VeltoTextView::scrollContentsBy(int, int) {
    viewport()->update();
    scheduleSpellCheck();
    emit scrollGeometryChanged();
}

// ---- idle layout ----

void VeltoTextView::scheduleIdleLayout() {
    // A hidden view has no scroll bar to correct, and may be shown at another width, which would measure
    // every paragraph again: a page opened in a hidden panel is measured once it is shown, and after the
    // first picture, which needs only what is on screen.
    if (!isVisible() || !paintedSinceShown_) {
        return;
    }
    if (!idleLayoutTimer_.isActive()) {
        idleLayoutTimer_.start(0, this);
    }
}

void VeltoTextView::measureWhileIdle() {
    if (!isVisible()) {
        idleLayoutTimer_.stop(); // goes on when the view is shown again
        return;
    }
    // Rounding each slice's correction to whole pixels would let many slices (a busy machine makes
    // them short) add up to a visible drift, so the part left over is carried to the next slice.
    QScrollBar *bar = verticalScrollBar();
    const double carried = bar->value() == idleScrollValue_ ? idleScrollCarry_ : 0.0;
    const double top = scrollY() + carried - inset_.height();
    const std::size_t anchor = cache_.paragraphAt(std::max(0.0, top));
    const double anchorOffset = top - cache_.paragraphTop(anchor);
    double change = 0;
    const bool remaining = cache_.measureSome(std::chrono::steady_clock::now() + idleLayoutSlice_, anchor, &change);
    if (change != 0) {
        // Keep the paragraph at the top where it is on screen: what is shown does not move.
        updateScrollBars();
        const QSignalBlocker quiet(bar);
        const double wanted = cache_.paragraphTop(anchor) + anchorOffset + inset_.height();
        bar->setValue(static_cast<int>(std::lround(wanted)));
        idleScrollValue_ = bar->value();
        idleScrollCarry_ = std::abs(wanted - idleScrollValue_) <= 0.5 ? wanted - idleScrollValue_ : 0.0;
    } else {
        updateScrollBars();
    }
    ++idleSlicesSinceDone_;
    if (!remaining) {
        idleLayoutTimer_.stop();
        // Measuring a whole page made and dropped a layout per paragraph; after a long run of slices that
        // memory is given back. The few slices after an edit are not worth the walk over the free lists.
        if (idleSlicesSinceDone_ >= longMeasuringSlices) {
            giveFreedMemoryBack();
        }
        idleSlicesSinceDone_ = 0;
    }
}

// ---- caret ----

void VeltoTextView::restartCaretBlink() {
    caretShown_ = true;
    const int period = QApplication::cursorFlashTime() / 2;
    if (period > 0 && hasFocus()) {
        caretBlinkTimer_.start(period, this);
    } else {
        caretBlinkTimer_.stop();
    }
}

void VeltoTextView::timerEvent(QTimerEvent *event) {
    if (event->timerId() == caretBlinkTimer_.timerId()) {
        caretShown_ = !caretShown_;
        if (core_.selectedRange().length == 0) {
            const QRectF caret = caretRectInViewport(core_.selectionHead(), headAffinity_);
            viewport()->update(caret.toAlignedRect().adjusted(-2, -2, 2, 2));
        }
    } else if (event->timerId() == idleLayoutTimer_.timerId()) {
        measureWhileIdle();
    } else if (event->timerId() == spareCopiesTimer_.timerId()) {
        spareCopiesTimer_.stop();
        storage_.forgetJoinedText();
        giveFreedMemoryBack();
    } else if (event->timerId() == autoScrollTimer_.timerId()) {
        autoScrollStep();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void VeltoTextView::focusInEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusInEvent(event);
    restartCaretBlink();
    viewport()->update();
}

void VeltoTextView::focusOutEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusOutEvent(event);
    caretBlinkTimer_.stop();
    viewport()->update();
}

bool VeltoTextView::focusNextPrevChild(bool) {
    return false; // Tab belongs to the text
}

// ---- keys ----

bool VeltoTextView::event(QEvent *event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Key equivalents run here, before any menu or window action with the same shortcut may fire;
        // keys the text takes itself are claimed here too.
        auto *key = static_cast<QKeyEvent *>(event);
        if (const KeyDecision decision = keyEvents_.shortcutOverride(*key); decision.kind != KeyDecision::Kind::ignore) {
            carryOut(decision);
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void VeltoTextView::keyPressEvent(QKeyEvent *event) {
    const KeyDecision decision = keyEvents_.keyPress(*event, preedit_.has_value());
    event->setAccepted(decision.kind != KeyDecision::Kind::ignore);
    carryOut(decision);
}

void VeltoTextView::keyReleaseEvent(QKeyEvent *event) {
    carryOut(keyEvents_.keyRelease(*event));
    QAbstractScrollArea::keyReleaseEvent(event);
}

void VeltoTextView::carryOut(const KeyDecision &decision) {
    keyRouter_.carryOut(decision, [this, &decision] {
        if (decision.kind == KeyDecision::Kind::viewCommand) {
            perform(decision.view.binding);
        } else if (decision.kind == KeyDecision::Kind::typedText) {
            typeText(decision.text);
        }
    });
}

void VeltoTextView::typeText(std::u16string_view text) {
    if (core_.isEditable()) {
        TypingRules::insertText(*this, text, TextRange{TextRange::notFound, 0});
        scrollRangeToVisible(core_.selectedRange());
    }
}

bool VeltoTextView::validateMenuItem(const QString &identifier) const {
    return keyRouter_.validateVeltoCommand(identifier).value_or(true);
}

void VeltoTextView::redo() {
    UndoManager *active = core_.undoManager();
    if (active->canRedo()) {
        active->redo();
    } else if (const auto &transition = undoHistories_.pageTransitionRedoManager();
               transition && transition->canRedo()) {
        transition->redo();
    }
}

void VeltoTextView::placeHead(CaretPlace head, bool extend) {
    if (extend) {
        core_.setSelection(core_.selectionAnchor(), head.position);
    } else {
        core_.setSelectedRange(TextRange{head.position, 0});
    }
    // After the selection's change, which resets it; a head that stays where it was may change sides.
    if (std::exchange(headAffinity_, head.affinity) != head.affinity) {
        viewport()->update();
    }
}

void VeltoTextView::moveVertically(bool below, bool extend) {
    const TextRange selected = core_.selectedRange();
    std::size_t from = core_.selectionHead();
    if (!extend && selected.length > 0) {
        from = below ? selected.end() : selected.location;
    }
    const CaretPlace start{from, affinityAt(from)};
    if (!goalX_) {
        goalX_ = cache_.caretRect(start.position, start.affinity).x();
    }
    const CaretPlace to = cache_.placeOnAdjacentLine(start, *goalX_, below);
    keepGoalX_ = true;
    placeHead(to, extend);
    keepGoalX_ = false;
}

void VeltoTextView::moveByPage(bool below, bool extend) {
    const std::size_t from = core_.selectionHead();
    const QRectF caret = cache_.caretRect(from, headAffinity_);
    if (!goalX_) {
        goalX_ = caret.x();
    }
    const double page = std::max(1.0, viewport()->height() - 2.0 * scrollStep);
    const double y = caret.center().y() + (below ? page : -page);
    std::size_t to = cache_.positionAt(QPointF(*goalX_, y));
    if (y < 0) {
        to = 0;
    } else if (y > cache_.documentHeight()) {
        to = storage_.length();
    }
    verticalScrollBar()->setValue(verticalScrollBar()->value() + static_cast<int>(below ? page : -page));
    keepGoalX_ = true;
    placeHead({to}, extend);
    keepGoalX_ = false;
}

void VeltoTextView::moveToLineBoundary(bool end, bool extend) {
    const std::size_t head = core_.selectionHead();
    const TextRange line = cache_.visualLineRange(head, headAffinity_);
    if (!end) {
        placeHead({line.location}, extend);
        return;
    }
    const TextRange paragraph = cache_.index().paragraphRange(cache_.index().paragraphContaining(head));
    const std::size_t contentsEnd = paragraphContents(storage_, paragraph).end();
    if (line.end() >= contentsEnd || line.length == 0) {
        placeHead({std::min(line.end(), contentsEnd)}, extend);
        return;
    }
    // A wrapped line: the caret stays on it, before the blank the line broke at, or after its last unit
    // (a hyphen, a character of a word too long for the line) on the wrap's upstream side.
    const bool brokeAtBlank = QChar(storage_.substring(TextRange{line.end() - 1, 1})[0]).isSpace();
    placeHead(brokeAtBlank ? CaretPlace{line.end() - 1} : CaretPlace{line.end(), CaretAffinity::upstream}, extend);
}

/// What one standard editing command does, and what follows it: the caret is scrolled into view and a
/// selection offered as the primary selection, except after paging (which scrolls by itself) and copying
/// (which changes neither the view nor the selection).
struct VeltoTextView::CommandRow {
    TextViewCommand command;
    void (*run)(VeltoTextView &view);
    bool showsHead = true;
    bool offersSelection = true;
};

const VeltoTextView::CommandRow &VeltoTextView::commandRow(TextViewCommand command) {
    using Movement = EditingCore::Movement;
    using View = VeltoTextView;
    static const CommandRow rows[] = {
        {TextViewCommand::moveBackward, [](View &v) { v.core_.move(Movement::backwardCharacter, false); }},
        {TextViewCommand::moveForward, [](View &v) { v.core_.move(Movement::forwardCharacter, false); }},
        {TextViewCommand::moveWordBackward, [](View &v) { v.core_.move(Movement::backwardWord, false); }},
        {TextViewCommand::moveWordForward, [](View &v) { v.core_.move(Movement::forwardWord, false); }},
        {TextViewCommand::moveUp, [](View &v) { v.moveVertically(false, false); }},
        {TextViewCommand::moveDown, [](View &v) { v.moveVertically(true, false); }},
        {TextViewCommand::moveToLineStart, [](View &v) { v.moveToLineBoundary(false, false); }},
        {TextViewCommand::moveToLineEnd, [](View &v) { v.moveToLineBoundary(true, false); }},
        {TextViewCommand::moveToDocumentStart, [](View &v) { v.core_.move(Movement::beginningOfDocument, false); }},
        {TextViewCommand::moveToDocumentEnd, [](View &v) { v.core_.move(Movement::endOfDocument, false); }},
        {TextViewCommand::pageUp, [](View &v) { v.moveByPage(false, false); }, false},
        {TextViewCommand::pageDown, [](View &v) { v.moveByPage(true, false); }, false},
        {TextViewCommand::selectBackward, [](View &v) { v.core_.move(Movement::backwardCharacter, true); }},
        {TextViewCommand::selectForward, [](View &v) { v.core_.move(Movement::forwardCharacter, true); }},
        {TextViewCommand::selectWordBackward, [](View &v) { v.core_.move(Movement::backwardWord, true); }},
        {TextViewCommand::selectWordForward, [](View &v) { v.core_.move(Movement::forwardWord, true); }},
        {TextViewCommand::selectUp, [](View &v) { v.moveVertically(false, true); }},
        {TextViewCommand::selectDown, [](View &v) { v.moveVertically(true, true); }},
        {TextViewCommand::selectToLineStart, [](View &v) { v.moveToLineBoundary(false, true); }},
        {TextViewCommand::selectToLineEnd, [](View &v) { v.moveToLineBoundary(true, true); }},
        {TextViewCommand::selectToDocumentStart, [](View &v) { v.core_.move(Movement::beginningOfDocument, true); }},
        {TextViewCommand::selectToDocumentEnd, [](View &v) { v.core_.move(Movement::endOfDocument, true); }},
        {TextViewCommand::selectPageUp, [](View &v) { v.moveByPage(false, true); }, false},
        {TextViewCommand::selectPageDown, [](View &v) { v.moveByPage(true, true); }, false},
        {TextViewCommand::selectAll, [](View &v) { v.core_.selectAll(); }},
        {TextViewCommand::deleteBackward, [](View &v) { v.deleteBackward(); }},
        {TextViewCommand::deleteForward, [](View &v) { v.core_.deleteForward(); }},
        {TextViewCommand::deleteWordBackward, [](View &v) { v.core_.deleteWordBackward(); }},
        {TextViewCommand::deleteWordForward, [](View &v) { v.core_.deleteWordForward(); }},
        {TextViewCommand::insertNewline, [](View &v) { v.insertNewline(); }},
        {TextViewCommand::insertTab, [](View &v) { Indentation::changeIndentation(v, false); }},
        {TextViewCommand::insertBacktab, [](View &v) { Indentation::changeIndentation(v, true); }},
        {TextViewCommand::copy, [](View &v) { v.copySelection(); }, false, false},
        {TextViewCommand::cut, [](View &v) { v.cutSelection(); }},
        {TextViewCommand::paste, [](View &v) { v.pasteByCommand(); }},
        {TextViewCommand::undo, [](View &v) { v.undo(); }},
        {TextViewCommand::redo,
         [](View &v) {
             if (v.core_.isEditable()) {
                 v.redo();
             }
         }},
    };
    for (const CommandRow &row : rows) {
        if (row.command == command) {
            return row;
        }
    }
    std::abort(); // every command has its row; the view's tests perform each one
}

void VeltoTextView::perform(TextViewCommand command) {
    const CommandRow &row = commandRow(command);
    row.run(*this);
    if (row.showsHead) {
        scrollRangeToVisible(TextRange{core_.selectionHead(), 0});
    }
    if (core_.selectedRange().length > 0 && row.offersSelection) {
        offerSelectionAsPrimary();
    }
}

void VeltoTextView::deleteBackward() {
    if (!TypingRules::deleteBackward(*this)) {
        core_.deleteBackward();
    }
}

// Shift+Return too: a line break, never a line separator.
void VeltoTextView::insertNewline() {
    if (!NewlineRules::insertNewline(*this)) {
        core_.insertText(u"\n");
    }
}

void VeltoTextView::pasteByCommand() {
    if (!core_.isEditable()) {
        return;
    }
    if (pasteHandler) {
        pasteHandler();
    } else {
        paste();
    }
}

void VeltoTextView::undo() {
    if (core_.isEditable() && core_.undoManager()->canUndo()) {
        core_.undoManager()->undo();
    }
}

// ---- clipboard ----

std::u16string VeltoTextView::selectedText() const {
    return storage_.substring(core_.selectedRange());
}

void VeltoTextView::copySelection() {
    if (core_.selectedRange().length == 0) {
        return;
    }
    QGuiApplication::clipboard()->setText(qtString(selectedText()), QClipboard::Clipboard);
}

void VeltoTextView::cutSelection() {
    const TextRange selected = core_.selectedRange();
    if (!core_.isEditable() || selected.length == 0) {
        return;
    }
    const QString text = qtString(selectedText());
    if (core_.replaceText(selected, u"", TextRange{selected.location, 0})) {
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    }
}

namespace {

PasteRules::ClipboardTexts withoutLoneSurrogates(PasteRules::ClipboardTexts texts) {
    for (std::optional<std::u16string> *text : {&texts.addressText, &texts.plainText, &texts.readableText}) {
        if (*text) {
            **text = replacingLoneSurrogates(**text);
        }
    }
    return texts;
}

} // namespace

QCoro::Task<void> VeltoTextView::paste() {
    if (!core_.isEditable()) {
        co_return;
    }
    QPointer<VeltoTextView> self(this);
    const PasteTarget target = pasteTarget();
    const PasteRules::ClipboardTexts texts = co_await ClipboardTextReader::readForPaste(
        ClipboardSnapshot::take(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)));
    if (self.isNull() || !returnToPasteTarget(target)) {
        co_return; // the view went away, or moved on, while rich text was read
    }
    if (PasteRules::paste(*this, withoutLoneSurrogates(texts)) && pastedMarkdownHandler) {
        pastedMarkdownHandler();
    }
    scrollRangeToVisible(TextRange{core_.selectionHead(), 0});
}

QCoro::Task<void> VeltoTextView::pasteAsPlainText() {
    if (!core_.isEditable()) {
        co_return;
    }
    QPointer<VeltoTextView> self(this);
    const PasteTarget target = pasteTarget();
    const std::optional<std::u16string> text = co_await ClipboardTextReader::read(
        ClipboardSnapshot::take(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)));
    if (self.isNull() || !text || !returnToPasteTarget(target)) {
        co_return;
    }
    if (PasteRules::pastePlainText(*this, replacingLoneSurrogates(*text)) && pastedAsPlainTextHandler) {
        pastedAsPlainTextHandler();
    }
    scrollRangeToVisible(TextRange{core_.selectionHead(), 0});
}

VeltoTextView::PasteTarget VeltoTextView::pasteTarget() const {
    return {undoHistories_.activePageID(), characterChanges_, core_.selectedRange()};
}

bool VeltoTextView::returnToPasteTarget(const PasteTarget &target) {
    // Another page, or the same page with other characters: the place the paste was meant for is gone, and
    // pasting where the caret is now would put the text where the user never asked for it.
    if (!core_.isEditable() || undoHistories_.activePageID() != target.pageID ||
        characterChanges_ != target.characterChanges) {
        QApplication::beep();
        return false;
    }
    if (core_.selectedRange() != target.selection) {
        core_.setSelectedRange(target.selection);
    }
    return true;
}

void VeltoTextView::pastePlainText(const QString &text, std::optional<std::size_t> at) {
    if (!core_.isEditable() || text.isEmpty()) {
        return;
    }
    const std::u16string inserted = insertableText(text);
    const TextRange range = at ? TextRange{*at, 0} : core_.selectedRange();
    core_.replaceText(range, inserted, TextRange{range.location + inserted.size(), 0});
}

void VeltoTextView::offerSelectionAsPrimary() {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && core_.selectedRange().length > 0) {
        clipboard->setText(qtString(selectedText()), QClipboard::Selection);
    }
}

// ---- mouse ----

void VeltoTextView::mousePressEvent(QMouseEvent *event) {
    if (preedit_) {
        QGuiApplication::inputMethod()->commit(); // a click ends the composition first
    }
    const QPointF point = event->position();
    if (event->button() == Qt::MiddleButton) {
        // X11's convention: the middle button pastes the primary selection as plain text where it points.
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && core_.isEditable()) {
            const std::size_t position = positionAtViewportPoint(point);
            pastePlainText(clipboard->text(QClipboard::Selection), position);
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const bool sameSpot = (event->pos() - lastClickPoint_).manhattanLength() <= QApplication::startDragDistance();
    const bool quick = lastClickTime_.isValid() && lastClickTime_.elapsed() <= QApplication::doubleClickInterval();
    clickCount_ = sameSpot && quick ? clickCount_ % 3 + 1 : 1;
    lastClickTime_.restart();
    lastClickPoint_ = event->pos();

    const CaretPlace place = placeAtViewportPoint(point);
    const std::size_t position = place.position;
    const std::u16string_view text = storage_.string();
    const TextRange selected = core_.selectedRange();
    pressPoint_ = event->pos();
    if (clickCount_ == 1 && !(event->modifiers() & Qt::ShiftModifier) && selected.length > 0 &&
        selected.location <= position && position < selected.end()) {
        dragCandidate_ = true; // pressing inside the selection may start a drag
        return;
    }
    const SelectionGranularity granularity = granularityForClickCount(clickCount_);
    if (event->modifiers() & Qt::ShiftModifier) {
        mouseSelection_ = MouseSelection::extending(text, core_.selectionAnchor(), position, granularity);
    } else {
        mouseSelection_ = MouseSelection(text, position, granularity);
    }
    core_.setSelection(mouseSelection_->anchor(), mouseSelection_->head());
    if (core_.selectedRange() == TextRange{position, 0}) {
        headAffinity_ = place.affinity; // a click past a line that wraps after a hyphen leaves the caret on it
    }
    event->accept();
}

void VeltoTextView::mouseDoubleClickEvent(QMouseEvent *event) {
    mousePressEvent(event);
}

void VeltoTextView::mouseMoveEvent(QMouseEvent *event) {
    lastMousePoint_ = event->pos();
    if (dragCandidate_) {
        if ((event->pos() - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
            dragCandidate_ = false;
            startDrag();
        }
        return;
    }
    if (!mouseSelection_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    mouseSelection_->dragTo(storage_.string(), placeAtViewportPoint(event->position()).position);
    core_.setSelection(mouseSelection_->anchor(), mouseSelection_->head());
    const bool outside = event->pos().y() < 0 || event->pos().y() > viewport()->height();
    if (outside && !autoScrollTimer_.isActive()) {
        autoScrollTimer_.start(autoScrollInterval, this);
    } else if (!outside) {
        autoScrollTimer_.stop();
    }
}

void VeltoTextView::autoScrollStep() {
    if (!mouseSelection_) {
        autoScrollTimer_.stop();
        return;
    }
    const int y = lastMousePoint_.y();
    const int distance = y < 0 ? y : y - viewport()->height();
    if (distance == 0) {
        autoScrollTimer_.stop();
        return;
    }
    verticalScrollBar()->setValue(verticalScrollBar()->value() + std::clamp(distance, -scrollStep * 4, scrollStep * 4));
    mouseSelection_->dragTo(storage_.string(), placeAtViewportPoint(lastMousePoint_).position);
    core_.setSelection(mouseSelection_->anchor(), mouseSelection_->head());
}

void VeltoTextView::mouseReleaseEvent(QMouseEvent *event) {
    autoScrollTimer_.stop();
    if (dragCandidate_) {
        dragCandidate_ = false;
        core_.setSelectedRange(TextRange{positionAtViewportPoint(event->position()), 0});
    }
    if (mouseSelection_) {
        mouseSelection_.reset();
        offerSelectionAsPrimary();
    }
    event->accept();
}

void VeltoTextView::contextMenuEvent(QContextMenuEvent *event) {
    ContextMenuState state;
    state.editable = core_.isEditable();
    state.hasSelection = core_.selectedRange().length > 0;
    state.canUndo = core_.undoManager()->canUndo();
    state.canRedo = undoHistories_.canRedo();
    state.clipboardHasText = !QGuiApplication::clipboard()->text(QClipboard::Clipboard).isEmpty();
    state.hasText = storage_.length() > 0;
    QMenu menu(this);
    const std::size_t position = event->reason() == QContextMenuEvent::Mouse
                                     ? positionAtViewportPoint(QPointF(event->pos()))
                                     : core_.selectionHead();
    addSpellingEntries(menu, position);
    for (const ContextMenuEntry &entry : contextMenuEntries(state)) {
        if (!entry.command) {
            menu.addSeparator();
            continue;
        }
        QAction *action = menu.addAction(entry.title);
        action->setEnabled(entry.enabled);
        const TextViewCommand command = *entry.command;
        connect(action, &QAction::triggered, this, [this, command] { perform(command); });
    }
    menu.exec(event->globalPos());
}

// ---- drag and drop ----

void VeltoTextView::startDrag() {
    const TextRange source = core_.selectedRange();
    auto *mime = new QMimeData;
    mime->setText(qtString(selectedText()));
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    droppedInside_ = false;
    const Qt::DropAction action =
        drag->exec(core_.isEditable() ? Qt::CopyAction | Qt::MoveAction : Qt::CopyAction, Qt::MoveAction);
    if (action == Qt::MoveAction && !droppedInside_ && core_.isEditable()) {
        core_.replaceText(source, u"", TextRange{source.location, 0});
    }
}

bool VeltoTextView::moveText(TextRange source, std::size_t position) {
    if (!core_.isEditable() || (source.location <= position && position <= source.end())) {
        return false;
    }
    const std::u16string text = storage_.substring(source);
    // Removing the source and inserting at the destination make one undo step.
    UndoManager *manager = core_.undoManager();
    manager->beginUndoGrouping();
    const std::size_t target = position > source.end() ? position - source.length : position;
    bool moved = false;
    if (core_.replaceText(source, u"", TextRange{source.location, 0})) {
        moved = core_.replaceText(TextRange{target, 0}, text, TextRange{target, text.size()});
    }
    manager->endUndoGrouping();
    return moved;
}

void VeltoTextView::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasText() && core_.isEditable()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void VeltoTextView::dragMoveEvent(QDragMoveEvent *event) {
    if (!event->mimeData()->hasText() || !core_.isEditable()) {
        event->ignore();
        return;
    }
    dropCaret_ = positionAtViewportPoint(event->position());
    event->acceptProposedAction();
    viewport()->update();
}

void VeltoTextView::dragLeaveEvent(QDragLeaveEvent *) {
    dropCaret_.reset();
    viewport()->update();
}

void VeltoTextView::dropEvent(QDropEvent *event) {
    dropCaret_.reset();
    const std::optional<std::u16string> dropped = droppedText(*event->mimeData());
    if (!dropped || !core_.isEditable()) {
        event->ignore();
        return;
    }
    const std::size_t position = positionAtViewportPoint(event->position());
    const std::u16string &text = *dropped;
    const bool fromHere = event->source() == this;
    const TextRange source = core_.selectedRange();
    if (fromHere && event->dropAction() == Qt::MoveAction) {
        event->acceptProposedAction();
        droppedInside_ = true;
        if (source.location <= position && position <= source.end()) {
            return; // dropped onto itself: nothing moves
        }
        moveText(source, position);
        return;
    }
    event->acceptProposedAction();
    core_.replaceText(TextRange{position, 0}, text, TextRange{position, text.size()});
}

// ---- input methods ----

void VeltoTextView::inputMethodEvent(QInputMethodEvent *event) {
    if (!core_.isEditable()) {
        event->ignore();
        return;
    }
    const std::size_t caret = core_.selectedRange().location;
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        TextRange range = core_.selectedRange();
        if (event->replacementLength() > 0 || event->replacementStart() != 0) {
            const auto start = static_cast<std::ptrdiff_t>(caret) + event->replacementStart();
            const std::size_t from = static_cast<std::size_t>(
                std::clamp<std::ptrdiff_t>(start, 0, static_cast<std::ptrdiff_t>(storage_.length())));
            range = TextRange{from, std::min<std::size_t>(static_cast<std::size_t>(event->replacementLength()),
                                                          storage_.length() - from)};
        }
        TypingRules::insertText(*this, replacingLoneSurrogates(fromQt(event->commitString())), range);
    }
    if (event->preeditString().isEmpty()) {
        setPreedit(std::nullopt);
    } else {
        PreeditText preedit{core_.selectedRange().location, event->preeditString(),
                            static_cast<int>(event->preeditString().size())};
        for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor) {
                preedit.cursor = attribute.start;
            }
        }
        setPreedit(preedit);
    }
    viewport()->update();
    event->accept();
}

void VeltoTextView::setPreedit(const std::optional<PreeditText> &preedit) {
    if (!preedit && !preedit_) {
        return;
    }
    preedit_ = preedit;
    // The coordinator schedules nothing while an input method composes.
    core_.setHasMarkedText(preedit.has_value());
    if (preedit) {
        cache_.setComposition(
            LayoutCache::Composition{preedit->position, fromQt(preedit->text), core_.typingAttributes()});
    } else {
        cache_.setComposition(std::nullopt);
    }
    updateScrollBars();
    viewport()->update();
}

QVariant VeltoTextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    auto *self = const_cast<VeltoTextView *>(this);
    const std::size_t head = core_.selectionHead();
    const ParagraphIndex &index = cache_.index();
    const TextRange paragraph = paragraphContents(storage_, index.paragraphRange(index.paragraphContaining(head)));
    const auto inParagraph = [&paragraph](std::size_t position) {
        return static_cast<int>(std::clamp(position, paragraph.location, paragraph.end()) - paragraph.location);
    };
    switch (query) {
    case Qt::ImEnabled:
        return core_.isEditable();
    case Qt::ImCursorRectangle: {
        QRectF caret = self->caretRectInViewport(head, headAffinity_);
        caret.setWidth(1);
        return caret.translated(viewport()->pos());
    }
    case Qt::ImFont:
        return self->formats_.font(core_.typingAttributes());
    case Qt::ImCursorPosition:
        return inParagraph(head);
    case Qt::ImAnchorPosition:
        return inParagraph(core_.selectionAnchor());
    case Qt::ImSurroundingText:
        return qtString(storage_.substring(paragraph));
    case Qt::ImCurrentSelection:
        return qtString(selectedText());
    case Qt::ImAbsolutePosition:
        return static_cast<qlonglong>(head);
    case Qt::ImTextBeforeCursor:
        return qtString(storage_.substring(rangeBetween(paragraph.location, std::min(head, paragraph.end()))));
    case Qt::ImTextAfterCursor:
        return qtString(storage_.substring(rangeBetween(std::max(head, paragraph.location), paragraph.end())));
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

} // namespace velto::editor

// ---- spelling ----

namespace velto::editor {

void VeltoTextView::setSpellChecker(SpellChecker *checker) {
    if (checker == spellChecker_) {
        return;
    }
    spellChecker_ = checker;
    spellChecking_.reset();
    if (checker != nullptr) {
        ContinuousSpellChecking::Source source{
            [this] { return &storage_; },
            [this] { return visibleCharacterRange(visibleRect()); },
            // Without the Markdown styling no attribute marks the code blocks.
            [] { return VeltoPreferences::formatsMarkdown(); },
        };
        spellChecking_ = std::make_unique<ContinuousSpellChecking>(*checker, std::move(source));
        connect(spellChecking_.get(), &ContinuousSpellChecking::misspellingsChanged, viewport(),
                qOverload<>(&QWidget::update));
        spellChecking_->setEnabled(checksSpelling_);
    }
    viewport()->update();
}

void VeltoTextView::setContinuousSpellChecking(bool enabled) {
    checksSpelling_ = enabled;
    if (spellChecking_) {
        spellChecking_->setEnabled(enabled);
    }
}

void VeltoTextView::scheduleSpellCheck() {
    if (spellChecking_) {
        spellChecking_->scheduleCheck();
    }
}

void VeltoTextView::addSpellingEntries(QMenu &menu, std::size_t position) {
    if (!spellChecking_ || !spellChecking_->isEnabled() || !core_.isEditable()) {
        return;
    }
    const std::optional<TextRange> word =
        spellChecker_->misspelledWord(storage_.string(), position, spellChecking_->codeRanges());
    if (!word) {
        return;
    }
    const std::u16string misspelled = storage_.substring(*word);
    for (const SpellingMenuEntry &entry : spellingMenuEntries(spellChecker_->suggestions(misspelled))) {
        if (entry.action == SpellingMenuEntry::Action::separator) {
            menu.addSeparator();
            continue;
        }
        QAction *action = menu.addAction(entry.title);
        connect(action, &QAction::triggered, this, [this, entry, misspelled, range = *word] {
            switch (entry.action) {
            case SpellingMenuEntry::Action::replace:
                applyCorrection(core_, AutoCorrection{range, entry.replacement});
                break;
            case SpellingMenuEntry::Action::ignore:
                spellChecker_->ignore(misspelled);
                break;
            case SpellingMenuEntry::Action::learn:
                spellChecker_->learn(misspelled);
                break;
            case SpellingMenuEntry::Action::separator:
                break;
            }
            scheduleSpellCheck();
            viewport()->update();
        });
    }
}

} // namespace velto::editor
