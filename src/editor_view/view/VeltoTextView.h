#pragma once

#include "editor/editing/EditingCore.h"
#include "editor/editing/EditingTarget.h"
#include "editor/editing/PageUndoHistories.h"
#include "editor/text/TextStorage.h"
#include "editor/text/VeltoTheme.h"
#include "editor_view/accessibility/TextViewAnnouncer.h"
#include "editor_view/clipboard/TextViewClipboard.h"
#include "editor_view/input/TextViewDragAndDrop.h"
#include "editor_view/input/TextViewInputMethod.h"
#include "editor_view/input/TextViewKeyInput.h"
#include "editor_view/input/TextViewPointerSelection.h"
#include "editor_view/layout/LayoutCache.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/layout/ScrollAnchor.h"
#include "editor_view/spelling/SpellChecker.h"
#include "editor_view/view/CaretBlink.h"
#include "editor_view/view/ChangedArea.h"
#include "editor_view/view/PostponableTimer.h"
#include "editor_view/view/TextViewCaretMotion.h"
#include "editor_view/view/TextViewEditingCommands.h"
#include "editor_view/view/TextViewPainter.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QList>
#include <QSizeF>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QAccessibleInterface;
class QMenu;

namespace velto::editor {

class TaskCheckboxAccessibilityElements;
class TextViewPointer;
class ContinuousSpellChecking;

/// The editor's layout constants.
namespace EditorLayout {
/// Between the view's edges and its text: 22 horizontally, 20 vertically.
inline const QSizeF textContainerInset{22, 20};
/// How far one wheel or arrow step of the scroll bar moves.
constexpr int scrollStep = 20;
} // namespace EditorLayout

/// The panel's editor: a scrolling view of its own text storage, laid out paragraph by paragraph and
/// lazily, edited through its editing core. View offsets are storage offsets, so every range of the
/// editor's rules applies unchanged. Velto's commands go to the command host it is made with; what it did
/// is told through its signals. The view decides no policy.
class VeltoTextView : public QAbstractScrollArea,
                      public EditingTarget,
                      private TextStorageObserver,
                      private EditingObserver {
    Q_OBJECT

public:
    /// A view whose commands nobody carries out (tests, tools).
    explicit VeltoTextView(QWidget *parent = nullptr);
    /// A view that hands Velto's commands and page cycles to the host, which must outlive it.
    explicit VeltoTextView(TextViewCommandHost &commandHost, QWidget *parent = nullptr);
    ~VeltoTextView() override;

    TextStorage &textStorage() { return storage_; }
    EditingCore &editingCore() { return core_; }
    LayoutCache &layoutCache() { return cache_; }
    /// Frees the copy of the whole text made for reading it at once; the next reader makes it anew.
    void forgetJoinedText() { storage_.forgetJoinedText(); }
    /// How long one slice of measuring while idle may take (4 ms). A zero slice measures one paragraph
    /// per slice, so that tests get the same slices on a busy machine as on an idle one.
    void setIdleLayoutSlice(std::chrono::microseconds slice) { idleLayoutSlice_ = slice; }
    /// How much processor time measuring while idle may take for one page (100 ms): what is near the view is
    /// measured as it is shown, the rest of a long page keeps its estimates.
    void setIdleMeasuringBudget(std::chrono::microseconds budget) { idleMeasuringBudget_ = budget; }
    /// One undo history per page; the editing core registers on the active one.
    PageUndoHistories &undoHistories() { return undoHistories_; }
    /// Task boxes, links and cursors under the pointer.
    TextViewPointer &pointer() { return *pointer_; }

    /// A menu item's action: runs the command its identifier names ("page.new").
    void performVeltoCommand(const QString &identifier) { keyInput_.performVeltoCommand(identifier); }
    /// Whether a menu item is enabled: for one naming a command, whether the command is available; other
    /// items are always enabled here.
    bool validateMenuItem(const QString &identifier) const { return keyInput_.validateMenuItem(identifier); }
    // ---- EditingTarget ----

    const TextStorage &storage() const override { return storage_; }
    bool isEditable() const override { return core_.isEditable(); }
    const EditorSettings &editorSettings() const override { return core_.editorSettings(); }
    const StyleSettings &styleSettings() const override { return core_.styleSettings(); }
    TextRange selectedRange() const override { return core_.selectedRange(); }
    void setSelectedRange(TextRange range) override { core_.setSelectedRange(range); }
    bool hasMarkedText() const override { return inputMethod_.preedit().has_value(); }
    bool replaceText(TextRange range, std::u16string_view replacement, TextRange selectionAfter) override;
    void insertTypedText(TextRange range, std::u16string_view text) override;
    void setUndoActionName(std::u16string_view name) override;
    void updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) override;
    Attributes typingAttributes() const override { return core_.typingAttributes(); }
    void setTypingAttributes(const Attributes &attributes) override { core_.setTypingAttributes(attributes); }
    Color codeTextColor() const override { return codeTextColor_; }
    void setCodeTextColor(const Color &color) { codeTextColor_ = color; }
    void selectAllText() override { perform(TextViewCommand::selectAll); }
    void copyToClipboard() override { perform(TextViewCommand::copy); }
    void cutToClipboard() override { perform(TextViewCommand::cut); }
    void pasteFromClipboard() override { perform(TextViewCommand::paste); }
    void pasteAsPlainTextFromClipboard() override { pasteAsPlainText(); }
    UndoManager *undoManager() override { return core_.undoManager(); }
    UndoManager *pageTransitionRedoManager() override { return undoHistories_.pageTransitionRedoManager().get(); }
    void undoLastChange() override { perform(TextViewCommand::undo); }
    void redoLastUndoneChange() override { perform(TextViewCommand::redo); }

    // ---- look ----

    /// A read-only view shows and selects its text but refuses every change of it.
    void setEditable(bool editable);
    void setAppearance(Appearance appearance);
    Appearance appearance() const { return formats_.appearance(); }
    void setBackgroundColor(const Color &color);
    void setTextContainerInset(QSizeF inset);
    QSizeF textContainerInset() const { return inset_; }
    /// The colour of drawn rule lines; none uses each rule's own colour.
    void setHorizontalRuleColor(const std::optional<Color> &color);
    void setIncreaseContrast(bool increase);

    // ---- spelling ----

    /// The checker that spelling while typing and the context menu's suggestions use; none turns both off.
    void setSpellChecker(SpellChecker *checker);
    /// Spell checking while typing ("checksSpelling"): misspelled words visible are underlined.
    void setContinuousSpellChecking(bool enabled);
    /// The checking that feeds the underlines; null without a checker.
    ContinuousSpellChecking *continuousSpellChecking() { return spellChecking_.get(); }

    // ---- scroll geometry (text view coordinates: the container's origin is the inset) ----

    /// The height of the whole text view: the laid-out (or estimated) text plus twice the vertical inset.
    double documentHeight();
    /// The part of the text view the viewport shows.
    QRectF visibleRect() const;
    /// Scrolls so that the point is the visible rectangle's top left (clamped).
    void scrollToPoint(QPointF point);
    /// Scrolls back to a point remembered from an earlier visit of the same text. What lies above it is laid
    /// out first, so that the place stands where it stood: estimated heights of paragraphs never laid out
    /// would put it elsewhere.
    void scrollToRememberedPoint(QPointF point);
    /// Where the view's top stands in the text now, as it is shown.
    ScrollAnchor scrollAnchor();
    /// Scrolls back to where the view's top stood in the same text: the paragraph stands at the top as it stood,
    /// whatever is estimated of the paragraphs above it.
    void scrollToAnchor(ScrollAnchor anchor);
    /// Scrolls so that the end of the text is visible.
    void pinToBottom();
    /// Scrolls as little as possible to show the range's start.
    void scrollRangeToVisible(TextRange range);
    /// Keeps the text clear of a bar floating over the top of the view (the find bar): the viewport starts this
    /// many pixels lower, so that neither a match nor the caret can be hidden under the bar. 0 gives the room back.
    void setObscuredTopHeight(int height);
    /// The height of the laid-out text alone (the used rectangle), laying out everything first.
    double usedHeightAfterFullLayout();
    /// The same, except that a text sure to be taller than `enough` is not laid out (every paragraph takes a
    /// pixel at least): its height as estimated, which is more than `enough` too.
    double usedHeightUpTo(double enough);

    /// The caret's rectangle at a position, in the viewport's coordinates.
    QRectF caretRectInViewport(std::size_t position, CaretAffinity affinity = CaretAffinity::downstream);
    /// The side of a line wrap on which the selection's head shows, when it stands at a wrap.
    CaretAffinity headAffinity() const { return motion_.headAffinity(); }
    /// The storage position under a point of the viewport.
    std::size_t positionAtViewportPoint(QPointF point);
    /// Where a click at a point of the viewport places the caret (after a hyphen a line wraps at, upstream).
    CaretPlace placeAtViewportPoint(QPointF point);

    /// The visible characters of a rectangle in text view coordinates.
    TextRange visibleCharacterRange(QRectF rect);

    /// Moves the source's text to the position (a drag inside the view) as one undo step; false when the
    /// view is read-only or the position lies inside the source.
    bool moveText(TextRange source, std::size_t position) { return dragAndDrop_.moveText(source, position); }

    /// Performs one of the view's standard editing commands.
    void perform(TextViewCommand command) { commands_.perform(command); }

    /// Paste with the paste rules: code pasted into a fenced block re-indented, an address pasted over a
    /// selection made a link, anything else as plain text with LF line ends. Rich text and HTML are read
    /// on a worker thread; the task ends when the paste is done.
    QCoro::Task<void> paste() { return clipboard_.paste(); }
    /// Paste and Match Style: the clipboard's text as plain text, no rule applied.
    QCoro::Task<void> pasteAsPlainText() { return clipboard_.pasteAsPlainText(); }
    /// The accessibility children besides the text itself (the visible task checkboxes).
    QList<QAccessibleInterface *> accessibleChildElements() const;
    /// Tells the observer of every change of characters and of the selection made through the view, until
    /// the subscription goes. It is told after the view has followed the change.
    Subscription subscribeToEdits(EditingObserver &observer) { return core_.subscribe(observer); }

signals:
    void selectionChanged();
    void textChanged();
    /// A paste that the owner should interpret as Markdown: a code or link paste, or a paste that changed
    /// the text.
    void pastedMarkdown();
    /// Paste and Match Style changed the text.
    void pastedAsPlainText();
    /// The visible rectangle or the document's height changed.
    void scrollGeometryChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The storage's and the editing core's news, which the view follows before anyone else is told.
    void editingGroupDidFinish(const EditingSummary &summary) override;
    void textWillChange(TextRange range, std::u16string_view replacement) override;
    void textDidChange() override;
    void selectionDidChange() override;
    void updateScrollBars();
    /// Paints again what the edits and the selection's moves since the last time changed, once the event that made
    /// them is done: a key repaints its paragraph and the caret, not the view.
    void scheduleChangedAreaRepaint();
    void repaintChangedArea();
    /// The part of a stretch across the viewport that the text's column takes.
    QRect textColumn(QRect stretch) const;
    /// Whether a horizontal rule shows in a stretch of the viewport.
    bool showsHorizontalRule(QRect stretch);
    void updateContainerWidth();
    /// Styles the text around what the view shows whose styling a big page's restyle left for later, before it is
    /// laid out to be painted.
    void styleWhatWillBeShown();
    void scheduleIdleLayout();
    bool idleMeasuringBudgetSpent() const;
    void measureWhileIdle();
    /// The piece of text at the view's top (its first unit) and how far below its top the view starts.
    struct ViewTop {
        std::size_t position = 0;
        double offset = 0;
    };
    ViewTop viewTop();
    /// The piece of text at the given height of the text (below the inset) and how far below its top that is.
    ViewTop viewTopAt(double top);
    /// Puts the piece back where it stood at the view's top, after heights above it changed: the scroll bar
    /// moves, what is shown does not.
    void keepViewTop(ViewTop top);
    void restartCaretBlink();
    void startCaretBlinkTimer(std::chrono::milliseconds interval);
    void caretBlinkTicked();
    TextViewPaintState paintState() const;
    void scheduleSpellCheck();
    void addSpellingEntries(QMenu &menu, std::size_t position);
    double scrollY() const;
    void endComposition();

    TextStorage storage_;
    // The core holds the style settings the formats show a set without a font in, so it comes first.
    EditingCore core_;
    LayoutFormats formats_;
    LayoutCache cache_;
    ChangedArea changedArea_{cache_};
    bool changedAreaRepaintScheduled_ = false;
    TextViewPainter painter_;
    PageUndoHistories undoHistories_;
    TextViewCaretMotion motion_;
    TextViewClipboard clipboard_;
    TextViewDragAndDrop dragAndDrop_;
    TextViewEditingCommands commands_;
    TextViewKeyInput keyInput_;
    TextViewPointerSelection pointerSelection_;
    TextViewInputMethod inputMethod_;
    TextViewAnnouncer announcer_;

    QSizeF inset_ = EditorLayout::textContainerInset;
    Color backgroundColor_ = Color::sRGB(1, 1, 1);
    Color codeTextColor_;
    std::optional<Color> horizontalRuleColor_;
    bool increaseContrast_ = false;

    CaretBlink caretBlink_;
    QBasicTimer caretBlinkTimer_;
    std::chrono::milliseconds caretBlinkInterval_{0};
    QBasicTimer idleLayoutTimer_;
    /// Runs from a change of the characters until the page has been left alone a while: then the copies
    /// made for reading the whole text at once are freed, as the next change would make them anew anyway.
    PostponableTimer spareCopiesTimer_;
    static constexpr std::chrono::milliseconds spareCopiesDelay{500};
    std::chrono::microseconds idleLayoutSlice_{4000};
    std::chrono::nanoseconds idleMeasuringBudget_ = std::chrono::milliseconds(100);
    /// The processor time measuring while idle took since the cache last estimated every height afresh.
    std::chrono::nanoseconds idleMeasuringSpent_{0};
    std::uint64_t measuredGeneration_ = ~std::uint64_t{0};
    /// The scroll bar holds whole pixels: what the last correction of the view's top could not put on it, and
    /// the value it put there (the carry holds only while the bar still shows that value).
    double scrollCarry_ = 0;
    int keptScrollValue_ = -1;
    /// Whether the view has painted since it was last shown: measuring while idle waits for that.
    bool paintedSinceShown_ = false;
    /// Slices of idle measuring since the measuring last finished; a long run ends by giving memory back.
    static constexpr int longMeasuringSlices = 50;
    int idleSlicesSinceDone_ = 0;

    std::unique_ptr<TextViewPointer> pointer_;
    std::unique_ptr<TaskCheckboxAccessibilityElements> taskCheckboxElements_;

    SpellChecker *spellChecker_ = nullptr;
    std::unique_ptr<ContinuousSpellChecking> spellChecking_;
    bool checksSpelling_ = false;

    // Last: they go first, so that no change is followed by a view half gone.
    Subscription storageSubscription_;
    Subscription editingSubscription_;
};

} // namespace velto::editor
