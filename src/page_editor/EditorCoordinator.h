#pragma once

#include "editor/editing/EditingCore.h"
#include "editor/editing/PageUndoHistories.h"
#include "editor/highlight/CodeSyntaxHighlighting.h"
#include "editor/text/EditorSettings.h"
#include "editor/text/HandedOverText.h"
#include "editor/text/VeltoTheme.h"
#include "editor_view/spelling/SpellChecker.h"
#include "page_editor/EditorCoordinatorPanel.h"
#include "page_editor/EditorCoordinatorView.h"
#include "page_editor/HighlightedCodeBlocks.h"
#include "page_editor/StylingLeftForLater.h"
#include "platform/Clock.h"
#include "platform/Uuid.h"
#include "platform/desktop/Cancellation.h"
#include "platform/desktop/Scheduler.h"
#include "store/PendingTextSource.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace velto {
class VeltoStore;
class VeltoStoreSignals;
} // namespace velto

namespace velto::editor {

class EditorSettingsFeed;
class ScreenMoves;

/// Sits between the text view and the store: decides when an edit is handed to the store (0.25 s after
/// the last change), when and over which range the Markdown styling is redone (0.05 s after it, or at
/// once for a heading), when code blocks are highlighted, and how the editor settings are put on the
/// view. It keeps no text of its own: the view's text is the only copy of the page until it is handed
/// over, and when the save is due only what differs from the store's copy is handed over. Main thread only.
/// A QObject so that scheduled work and highlighting can hold it weakly and store signals can reach it.
class VeltoEditorCoordinator : public QObject, private VeltoPendingTextSource {
public:
    static constexpr std::chrono::milliseconds saveDelay{250};
    static constexpr std::chrono::milliseconds styleDelay{50};

    /// A signed range: the pending style range may run past the text's end after deletions, and is
    /// clamped before use.
    struct PendingRange {
        std::int64_t location = 0;
        std::int64_t length = 0;
        bool operator==(const PendingRange &) const = default;
    };

    VeltoEditorCoordinator(EditingCore &core, PageUndoHistories &histories, EditorCoordinatorView &view,
                           VeltoStore &store, EditorSettingsFeed &settingsFeed, EditorCoordinatorPanel &panel,
                           VeltoScheduler &scheduler, std::shared_ptr<CodeSyntaxHighlighting> codeHighlighter,
                           const Clock &clock = systemClock());
    ~VeltoEditorCoordinator() override;

    // ---- what the text view reports ----

    /// Before the view replaces `range` with `replacement`; no replacement means only attributes change.
    void editorWillReplaceCharacters(TextRange range, std::optional<std::u16string_view> replacement);
    /// After every change of the text.
    void editorTextDidChange();
    /// After the view scrolled, changed size or laid out what it shows anew, before it paints: what a full
    /// restyle left for later is styled where it comes on screen, and code highlighting waiting for the
    /// screen to come near its blocks looks again.
    void editorVisibleRangeMayHaveChanged();

    // ---- what the panel asks ----

    /// Puts the editor settings last pushed and the theme (resolved here when none is given) on the view
    /// and restyles the whole text.
    void applyEditorPreferences(const std::optional<VeltoTheme> &theme = std::nullopt);
    /// Shows the store's current page, outside undo.
    void loadCurrentPageText(const std::optional<VeltoTheme> &theme = std::nullopt);
    /// Hands the view's text to the store now.
    void flushPendingChanges();
    /// Appends the text at the end of the page as one undoable step, "Append Clipboard"; refused with a
    /// beep when the page cannot be edited.
    void appendAsUndoableEdit(std::u16string_view text);
    /// The style pass: restyles the pending range (or everything), keeping the selection.
    void applyIncrementalEditorAppearance();
    /// Drops the pending style pass (the panel runs the pass at once after a Markdown paste).
    void cancelPendingStylePass();

    // ---- what the store reports (connected by the constructor) ----

    /// The store is about to put other text into the current page: what was typed and not handed over
    /// yet goes to the store now, so that the store merges it instead of replacing it.
    void handOverPendingText() override;

    /// The store changed the current page's text by another road than setText: the view shows the new
    /// text (only the part that differs is replaced, outside undo), the pending save is dropped, and the
    /// page's undo history starts afresh.
    void currentPageTextChangedInStore();
    /// The store made another page current by another road than the panel: the view moves to it.
    void currentPageChangedInStore();
    /// The store gave pages new identifiers after a save.
    void pageIdentifiersReplaced(const std::map<Uuid, Uuid> &replacements);

    /// How a full restyle of a long text is cut into pieces, what is seen first (tests make them small).
    void setStylingPieceSizes(const StylingLeftForLater::Sizes &sizes) { stylingLeftForLater_.setSizes(sizes); }

    /// The checker automatic spelling correction asks; none turns correction off.
    void setSpellChecker(SpellChecker *checker) { spellChecker_ = checker; }

    // ---- state, for the panel and for tests ----

    const std::optional<PendingRange> &pendingStyleRange() const { return pendingStyleRange_; }
    /// What the last full restyle left for later and is not styled yet.
    const std::vector<TextRange> &textLeftForLaterStyling() const { return stylingLeftForLater_.leftForLater(); }
    bool pendingStyleKeepsBottomPinned() const { return pendingStyleKeepsBottomPinned_; }
    std::uint64_t codeHighlightGeneration() const { return codeHighlightGeneration_; }
    /// Whether a highlight task is running.
    bool isHighlightingCode() const { return codeHighlightTask_.has_value(); }
    const HighlightedCodeBlocks &highlightedCodeBlocks() const { return highlightedBlocks_; }
    const Color &editorTextColor() const { return editorTextColor_; }
    /// The page whose text the view shows; setText is never called for another page.
    const std::optional<Uuid> &loadedPageID() const { return loadedPageID_; }
    bool hasPendingSave() const { return saveWorkItem_ != nullptr; }
    bool hasPendingStylePass() const { return styleWorkItem_ != nullptr; }

private:
    void cancelHighlighting();
    void requestCodeHighlighting();
    /// Whether the screen has come near blocks that the last pass, asking only for blocks near the screen,
    /// left for later.
    bool screenCameNearBlocksLeftForLater() const;
    static QCoro::Task<void> trackHighlighting(QPointer<VeltoEditorCoordinator> coordinator, std::uint64_t generation,
                                               QCoro::Task<void> highlighting);
    void scheduleStylePass();
    void scheduleSave();
    void cancelPendingSave();
    /// Gives the view's text to the store, when the store's current page is the page the view shows.
    void handOverText();
    /// The pending range within the text, or the whole text when none is pending.
    TextRange clampedPendingRange() const;
    /// Puts the page's text, its UTF-8, into the storage, outside undo.
    void loadTextIndexingCode(std::string_view text);
    /// Keeps the settings and gives the editing core them and the style made from them.
    void takeSettings(const EditorSettings &settings);
    VeltoTheme resolvedTheme(const std::optional<VeltoTheme> &theme) const;
    void restoreSelection(TextRange selection);
    /// What a full restyle styles first: the screen, or the selection when the screen is not known.
    TextRange seenRange() const;
    /// Styles what is left for later where the screen shows it, until the screen shows none: styling can
    /// change heights and so what the screen shows.
    void styleWhatIsShown();
    /// After a space or punctuation was typed: corrects the word before it, as an undo step of its own.
    void correctSpellingAfterTyping(std::size_t typedAt);

    EditingCore &core_;
    PageUndoHistories &histories_;
    EditorCoordinatorView &view_;
    VeltoStore &store_;
    /// Tells the destructor whether the store is still there to take its hook back from.
    QPointer<VeltoStoreSignals> storeAlive_;
    EditorCoordinatorPanel &panel_;
    VeltoScheduler &scheduler_;
    std::shared_ptr<CodeSyntaxHighlighting> codeHighlighter_;
    const Clock &clock_;
    EditorSettings settings_;

    std::unique_ptr<VeltoScheduledAction> saveWorkItem_;
    std::unique_ptr<VeltoScheduledAction> styleWorkItem_;
    StylingLeftForLater stylingLeftForLater_;
    std::optional<PendingRange> pendingStyleRange_;
    bool pendingStyleKeepsBottomPinned_ = false;
    /// The running highlight task, known by its cancellation.
    std::optional<CancellationToken> codeHighlightTask_;
    std::uint64_t codeHighlightGeneration_ = 0;
    /// Wakes the highlight task when it waits for the screen to move.
    std::shared_ptr<ScreenMoves> screenMoves_;
    /// The blocks whose tokens are in place: a style pass asks only for the others.
    HighlightedCodeBlocks highlightedBlocks_;
    /// Where the screen was when the last pass asked for the blocks near it, in the text of that pass:
    /// when the screen comes near other blocks to ask for, the highlighting starts again from there.
    struct AskedNear {
        TextRange visible;
        std::uint64_t storageIdentity = 0;
        std::uint64_t characterVersion = 0;
    };
    std::optional<AskedNear> askedNear_;
    Color editorTextColor_;
    std::optional<Uuid> loadedPageID_;
    /// The view's text changed since it was last handed over.
    bool hasUnsavedEdits_ = false;
    /// What the store's copy of the page was when the view's text was last handed over.
    HandedOverText handedOver_;
    SpellChecker *spellChecker_ = nullptr;
    /// Where a single character was just typed, for automatic correction once the change is done.
    std::optional<std::size_t> typedCharacterAt_;
};

} // namespace velto::editor
