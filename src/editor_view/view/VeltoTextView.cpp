#include "editor_view/view/VeltoTextView.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/accessibility/TaskCheckboxAccessibilityElement.h"
#include "editor_view/accessibility/TextViewAccessibility.h"
#include "editor_view/input/TextViewPointer.h"
#include "editor_view/layout/QtText.h"
#include "editor_view/spelling/AutoCorrection.h"
#include "editor_view/spelling/ContinuousSpellChecking.h"
#include "editor_view/spelling/SpellingContextMenu.h"
#include "editor_view/view/TextViewContextMenu.h"
#include "platform/FreedMemory.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <utility>

namespace velto::editor {

namespace {

/// The processor time the calling thread has run.
std::chrono::nanoseconds threadProcessorTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

VeltoTextView::VeltoTextView(QWidget *parent)
    : VeltoTextView(TextViewCommandHost::unconfigured(), parent) {}

VeltoTextView::VeltoTextView(TextViewCommandHost &commandHost, QWidget *parent)
    : QAbstractScrollArea(parent)
    , core_(storage_, nullptr, &undoHistories_)
    , formats_(core_.styleSettings())
    , cache_(storage_, formats_)
    , painter_(storage_, cache_, formats_)
    , undoHistories_(core_, [] { QApplication::beep(); })
    , motion_(*this, core_, cache_)
    , clipboard_(*this, core_, undoHistories_)
    , dragAndDrop_(*this, core_)
    , commands_(*this, core_, undoHistories_, motion_, clipboard_)
    , keyInput_(*this, commands_, commandHost)
    , pointerSelection_(*this, core_, motion_, clipboard_, dragAndDrop_)
    , inputMethod_(*this, core_, cache_, formats_, motion_)
    , announcer_(*this, storage_)
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
    verticalScrollBar()->setSingleStep(EditorLayout::scrollStep);

    // The layout cache subscribed to the storage when it was made, so it follows each group before the view.
    storageSubscription_ = storage_.subscribe(*this);
    connect(&clipboard_, &TextViewClipboard::pastedMarkdown, this, &VeltoTextView::pastedMarkdown);
    connect(&clipboard_, &TextViewClipboard::pastedAsPlainText, this, &VeltoTextView::pastedAsPlainText);
    installTextViewAccessibility();
    pointer_ = std::make_unique<TextViewPointer>(*this, commandHost);
    taskCheckboxElements_ = std::make_unique<TaskCheckboxAccessibilityElements>(*this);
    editingSubscription_ = core_.subscribe(*this);
    updateContainerWidth();
}

VeltoTextView::~VeltoTextView() = default;

QList<QAccessibleInterface *> VeltoTextView::accessibleChildElements() const {
    return taskCheckboxElements_->visibleElements();
}

// ---- following the storage and the selection ----

void VeltoTextView::editingGroupDidFinish(const EditingSummary &summary) {
    if (!summary.attributesOnly) {
        clipboard_.charactersDidChange();
        spareCopiesTimer_.start(spareCopiesDelay, this);
        announcer_.charactersDidChange();
    }
    const std::optional<PreeditText> &preedit = inputMethod_.preedit();
    if (preedit && preedit->position > storage_.length()) {
        inputMethod_.setPreedit(std::nullopt);
    }
    changedArea_.editingGroupDidFinish(summary);
    updateScrollBars();
    scheduleIdleLayout();
    scheduleSpellCheck();
    scheduleChangedAreaRepaint();
}

void VeltoTextView::textWillChange(TextRange range, std::u16string_view replacement) {
    announcer_.willReplace(range, replacement);
}

void VeltoTextView::textDidChange() {
    announcer_.didReplace();
    emit textChanged();
}

void VeltoTextView::selectionDidChange() {
    motion_.selectionDidChange();
    announcer_.selectionDidChange(core_.selectedRange(), core_.selectionHead());
    restartCaretBlink();
    // The caret, the selection's colour and the rules that show their source while the selection touches them.
    changedArea_.selectionDidChange();
    scheduleChangedAreaRepaint();
    emit selectionChanged();
}

void VeltoTextView::scheduleChangedAreaRepaint() {
    if (changedAreaRepaintScheduled_) {
        return;
    }
    changedAreaRepaintScheduled_ = true;
    // Queued at the normal priority, it runs before the window's repaint, which Qt posts at a low one.
    QMetaObject::invokeMethod(this, &VeltoTextView::repaintChangedArea, Qt::QueuedConnection);
}

void VeltoTextView::repaintChangedArea() {
    changedAreaRepaintScheduled_ = false;
    if (!changedArea_.isPending()) {
        return; // the whole view was painted meanwhile
    }
    if (!isVisible()) {
        changedArea_.wholeViewPainted(core_.selectedRange()); // the view is painted whole when it is shown
        return;
    }
    const double top = scrollY() - inset_.height();
    const std::optional<VerticalStretch> changed =
        changedArea_.take(core_.selectedRange(), VerticalStretch{top, top + viewport()->height()});
    if (!changed) {
        viewport()->update();
        return;
    }
    if (changed->bottom > changed->top) {
        const int from = static_cast<int>(std::floor(changed->top - top));
        const int to = static_cast<int>(std::ceil(changed->bottom - top));
        const QRect stretch(0, from, viewport()->width(), to - from);
        viewport()->update(changedArea_.tookCaretsOnly() && !showsHorizontalRule(stretch) ? textColumn(stretch)
                                                                                          : stretch);
    }
}

QRect VeltoTextView::textColumn(QRect stretch) const {
    // The text, the caret, code backgrounds and glyphs' ink stay within the container's width and a margin: the
    // insets beside it hold the background alone, and the border drawn over the view's edges, which the toolkit
    // would paint again over every stretch painted across the whole width.
    const auto margin = static_cast<int>(std::ceil(ChangedArea::margin));
    const auto inset = static_cast<int>(std::floor(inset_.width()));
    const int left = std::max(0, inset - margin);
    const int right = std::min(viewport()->width(), viewport()->width() - inset + margin);
    return right > left ? QRect(left, stretch.top(), right - left, stretch.height()) : stretch;
}

bool VeltoTextView::showsHorizontalRule(QRect stretch) {
    // A rule's source, shown while the caret is on its line, is drawn on one line however long it is.
    const TextRange shown = painter_.visibleCharacterRange(QRectF(stretch).translated(0, scrollY()), inset_);
    bool found = false;
    storage_.enumerateAttribute(
        AttributeKey::veltoHorizontalRule, shown,
        [&found](const AttributeValue *value, TextRange) { found = found || value != nullptr; });
    return found;
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
        endComposition();
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

void VeltoTextView::scrollToRememberedPoint(QPointF point) {
    if (point.y() > 0) {
        // Each pass can move paragraphs; a few settle it.
        const double bottom = point.y() + viewport()->height();
        for (int pass = 0; pass < 4; ++pass) {
            const double height = cache_.documentHeight();
            cache_.piecesBetween(0, bottom);
            if (cache_.documentHeight() == height) {
                break;
            }
        }
    }
    scrollToPoint(point);
}

ScrollAnchor VeltoTextView::scrollAnchor() {
    // The text stands at the scroll bar's whole pixel, not at the fraction a correction carries: an anchor holding
    // that fraction, rounded again when put back, would bring the text back up to a pixel away from where it stood.
    const ViewTop top = viewTopAt(scrollY() - inset_.height());
    return ScrollAnchor{top.position, top.offset};
}

void VeltoTextView::scrollToAnchor(ScrollAnchor anchor) {
    // What the view will show is styled and measured first, so that the text stands where it is put.
    storage_.styleLeftForLaterNear(TextRange{std::min(anchor.position, storage_.length()), 0});
    const double screen = viewport()->height();
    cache_.measureAround(anchor.position, screen, 2 * screen);
    keepViewTop(ViewTop{anchor.position, anchor.offset});
    viewport()->update();
    emit scrollGeometryChanged();
}

void VeltoTextView::pinToBottom() {
    // The last screens of text are measured and the last one laid out, so the end stands where it will stay.
    storage_.styleLeftForLaterNear(TextRange{storage_.length(), 0});
    const std::size_t count = cache_.paragraphCount();
    if (count > 0) {
        cache_.measureAround(storage_.length(), 2 * viewport()->height(), viewport()->height());
    }
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
    // The screens around the range are measured first: the paragraphs this brings into view then stand where
    // it puts them, whatever was estimated of them. The range's own piece is laid out before, as it is shown
    // next: measured on its own, a piece just typed into would be laid out twice for every key.
    storage_.styleLeftForLaterNear(TextRange{range.location, 0}); // what it measures and shows, styled first
    const ViewTop shown = viewTop();
    const CaretAffinity affinity = motion_.affinityAt(range.location);
    cache_.pieceFor(range.location, affinity);
    const double screen = viewport()->height();
    cache_.measureAround(range.location, screen, screen);
    keepViewTop(shown);
    const QRectF caret = cache_.caretRect(range.location, affinity).translated(inset_.width(), inset_.height());
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
    const ViewTop shown = viewTop();
    while (cache_.measureSome(std::chrono::steady_clock::time_point::max(), 0, nullptr)) {
    }
    keepViewTop(shown);
    return cache_.documentHeight();
}

double VeltoTextView::usedHeightUpTo(double enough) {
    if (static_cast<double>(cache_.paragraphCount()) > enough) {
        return std::max(cache_.documentHeight(), enough + 1);
    }
    return usedHeightAfterFullLayout();
}

QRectF VeltoTextView::caretRectInViewport(std::size_t position, CaretAffinity affinity) {
    return cache_.caretRect(position, affinity).translated(inset_.width(), inset_.height() - scrollY());
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
    const std::optional<PreeditText> &preedit = inputMethod_.preedit();
    if (selected.length == 0 && hasFocus() && caretBlink_.isShown() && core_.isEditable() && !preedit) {
        state.caret = core_.selectionHead();
        state.caretAffinity = motion_.headAffinity();
    }
    if (const std::optional<std::size_t> dropCaret = dragAndDrop_.dropCaret()) {
        state.caret = dropCaret; // where a drag would drop its text
        state.caretAffinity = CaretAffinity::downstream;
    }
    state.preedit = preedit;
    state.horizontalRuleColor = horizontalRuleColor_;
    state.increaseContrast = increaseContrast_;
    if (spellChecking_ && !preedit) {
        // While composing, the layouts hold text the storage does not: the offsets would not match.
        state.misspelledRanges = spellChecking_->misspelledRanges();
    }
    return state;
}

void VeltoTextView::paintEvent(QPaintEvent *event) {
    styleWhatWillBeShown();
    const double top = scrollY();
    const QRectF rect = QRectF(event->rect()).translated(0, top);
    // Laying out what is shown may correct estimated heights below; measuring a screen above and below makes
    // what the next scroll brings in stand where it will stay. The top of the view keeps its text.
    const ViewTop shown = viewTop();
    cache_.piecesBetween(rect.top() - inset_.height(), rect.bottom() - inset_.height());
    const double screen = viewport()->height();
    cache_.measureAround(shown.position, screen, 2 * screen);
    keepViewTop(shown);
    QPainter painter(viewport());
    painter.translate(0, -scrollY());
    painter_.paint(painter, rect.translated(0, scrollY() - top), paintState());
    pointer_->drawTaskCheckboxPreview(painter, rect.translated(0, scrollY() - top));
    paintedSinceShown_ = true;
    if (event->rect().contains(viewport()->rect())) {
        changedArea_.wholeViewPainted(core_.selectedRange());
    } else if (scrollY() != top) {
        viewport()->update(); // measuring moved the text under the part painted: the rest follows
    }
    scheduleIdleLayout();
}

void VeltoTextView::styleWhatWillBeShown() {
    if (!storage_.leavesStylingForLater()) {
        return;
    }
    // Where the view's top and bottom stand, from the heights alone: nothing is laid out before it is styled.
    const double top = std::max(0.0, scrollY() - inset_.height());
    const std::size_t first = cache_.piecePlaceAt(top).start;
    const std::size_t last = cache_.piecePlaceAt(top + viewport()->height()).start;
    storage_.styleLeftForLaterNear(rangeBetween(first, std::max(first, last)));
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
    if (!isVisible() || !paintedSinceShown_ || idleMeasuringBudgetSpent()) {
        return;
    }
    if (!idleLayoutTimer_.isActive()) {
        idleLayoutTimer_.start(0, this);
    }
}

bool VeltoTextView::idleMeasuringBudgetSpent() const {
    // Spent on this page's estimates, a slice would only stop, and let go of the heights that painting measured
    // meanwhile: after each key of a long page, twice (after the edit and after the paint), that cost a timer.
    return cache_.estimatesGeneration() == measuredGeneration_ && idleMeasuringSpent_ >= idleMeasuringBudget_ &&
           !cache_.holdsMeasuredHeights();
}

void VeltoTextView::measureWhileIdle() {
    if (!isVisible()) {
        idleLayoutTimer_.stop(); // goes on when the view is shown again
        return;
    }
    if (cache_.estimatesGeneration() != measuredGeneration_) {
        // A page measured afresh: the screens around the view, measured by the first paint, tell how good the
        // estimates of the rest are.
        measuredGeneration_ = cache_.estimatesGeneration();
        idleMeasuringSpent_ = std::chrono::nanoseconds::zero();
        const ViewTop shown = viewTop();
        cache_.refineEstimates();
        keepViewTop(shown);
    }
    bool remaining = idleMeasuringSpent_ < idleMeasuringBudget_;
    if (remaining) {
        const ViewTop shown = viewTop();
        const std::chrono::nanoseconds started = threadProcessorTime();
        const std::size_t anchor = cache_.index().paragraphContaining(shown.position);
        remaining = cache_.measureSome(std::chrono::steady_clock::now() + idleLayoutSlice_, anchor, nullptr);
        idleMeasuringSpent_ += threadProcessorTime() - started;
        keepViewTop(shown);
    }
    ++idleSlicesSinceDone_;
    if (!remaining || idleMeasuringSpent_ >= idleMeasuringBudget_) {
        idleLayoutTimer_.stop();
        cache_.endMeasuring();
        // Measuring a page made and dropped a layout per paragraph; after a long run of slices that memory is
        // given back. The few slices after an edit are not worth the walk over the free lists.
        if (idleSlicesSinceDone_ >= longMeasuringSlices) {
            giveFreedMemoryBack();
        }
        idleSlicesSinceDone_ = 0;
    }
}

VeltoTextView::ViewTop VeltoTextView::viewTop() {
    // The scroll bar holds whole pixels: what the last correction could not put on it is carried, while the
    // bar still shows the value it put there.
    const double carried = verticalScrollBar()->value() == keptScrollValue_ ? scrollCarry_ : 0.0;
    return viewTopAt(scrollY() + carried - inset_.height());
}

VeltoTextView::ViewTop VeltoTextView::viewTopAt(double top) {
    const LayoutCache::PiecePlace place = cache_.piecePlaceAt(std::max(0.0, top));
    return ViewTop{place.start, top - place.top};
}

void VeltoTextView::keepViewTop(ViewTop top) {
    updateScrollBars();
    QScrollBar *bar = verticalScrollBar();
    const double carried = bar->value() == keptScrollValue_ ? scrollCarry_ : 0.0;
    const double wanted = cache_.piecePlaceFor(top.position).top + top.offset + inset_.height();
    if (wanted == scrollY() + carried) {
        return;
    }
    {
        // What is shown does not move: the scroll bar alone follows the heights that changed above.
        const QSignalBlocker quiet(bar);
        bar->setValue(static_cast<int>(std::lround(wanted)));
    }
    keptScrollValue_ = bar->value();
    scrollCarry_ = std::abs(wanted - keptScrollValue_) <= 0.5 ? wanted - keptScrollValue_ : 0.0;
    emit scrollGeometryChanged();
}

// ---- caret ----

void VeltoTextView::restartCaretBlink() {
    caretBlink_.showAnew(CaretBlink::Clock::now());
    // A running blink reads the flash time at its next tick: a typed key does not ask the platform's theme
    // for it again, which goes through its settings on every call.
    if (caretBlinkTimer_.isActive() && hasFocus()) {
        return;
    }
    const std::chrono::milliseconds period(QApplication::cursorFlashTime() / 2);
    if (period.count() <= 0 || !hasFocus()) {
        caretBlinkTimer_.stop();
    } else {
        startCaretBlinkTimer(period);
    }
}

void VeltoTextView::startCaretBlinkTimer(std::chrono::milliseconds interval) {
    caretBlinkTimer_.start(static_cast<int>(interval.count()), this);
    caretBlinkInterval_ = interval;
}

void VeltoTextView::caretBlinkTicked() {
    const std::chrono::milliseconds period(QApplication::cursorFlashTime() / 2);
    if (period.count() <= 0) {
        caretBlinkTimer_.stop();
        return;
    }
    const CaretBlink::Tick tick = caretBlink_.tick(CaretBlink::Clock::now(), period);
    if (tick.next != caretBlinkInterval_) {
        startCaretBlinkTimer(tick.next);
    }
    if (tick.toggled && core_.selectedRange().length == 0) {
        const QRectF caret = caretRectInViewport(core_.selectionHead(), motion_.headAffinity());
        viewport()->update(caret.toAlignedRect().adjusted(-2, -2, 2, 2));
    }
}

void VeltoTextView::timerEvent(QTimerEvent *event) {
    if (event->timerId() == caretBlinkTimer_.timerId()) {
        caretBlinkTicked();
    } else if (event->timerId() == idleLayoutTimer_.timerId()) {
        measureWhileIdle();
    } else if (event->timerId() == spareCopiesTimer_.timerId()) {
        if (!spareCopiesTimer_.isDue(this)) {
            return;
        }
        storage_.forgetJoinedText();
        giveFreedMemoryBack();
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
    if (event->type() == QEvent::ShortcutOverride && keyInput_.shortcutOverride(*static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void VeltoTextView::keyPressEvent(QKeyEvent *event) {
    keyInput_.keyPress(*event);
}

void VeltoTextView::keyReleaseEvent(QKeyEvent *event) {
    keyInput_.keyRelease(*event);
    QAbstractScrollArea::keyReleaseEvent(event);
}

// ---- mouse ----

void VeltoTextView::mousePressEvent(QMouseEvent *event) {
    pointerSelection_.press(*event);
}

void VeltoTextView::mouseDoubleClickEvent(QMouseEvent *event) {
    pointerSelection_.press(*event);
}

void VeltoTextView::mouseMoveEvent(QMouseEvent *event) {
    pointerSelection_.move(*event);
}

void VeltoTextView::mouseReleaseEvent(QMouseEvent *event) {
    pointerSelection_.release(*event);
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

void VeltoTextView::dragEnterEvent(QDragEnterEvent *event) {
    dragAndDrop_.dragEnter(*event);
}

void VeltoTextView::dragMoveEvent(QDragMoveEvent *event) {
    dragAndDrop_.dragMove(*event);
}

void VeltoTextView::dragLeaveEvent(QDragLeaveEvent *) {
    dragAndDrop_.dragLeave();
}

void VeltoTextView::dropEvent(QDropEvent *event) {
    dragAndDrop_.drop(*event);
}

// ---- input methods ----

void VeltoTextView::inputMethodEvent(QInputMethodEvent *event) {
    if (!core_.isEditable()) {
        event->ignore();
        return;
    }
    inputMethod_.take(*event);
    updateScrollBars(); // the composed text may have changed the height
    viewport()->update();
    event->accept();
}

void VeltoTextView::endComposition() {
    if (inputMethod_.setPreedit(std::nullopt)) {
        updateScrollBars();
        viewport()->update();
    }
}

QVariant VeltoTextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (std::optional<QVariant> answer = inputMethod_.answer(query)) {
        return *answer;
    }
    return QAbstractScrollArea::inputMethodQuery(query);
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
            [this] { return core_.editorSettings().formatsMarkdown; },
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
