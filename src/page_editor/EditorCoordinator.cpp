#include "page_editor/EditorCoordinator.h"

#include "editor/markdown/CodePositions.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/text/FontMetrics.h"
#include "editor/text/StorageLines.h"
#include "editor/text/UTF8Change.h"
#include "editor_view/spelling/AutoCorrection.h"
#include "page_editor/ChangedRegions.h"
#include "page_editor/CodeHighlightRequests.h"
#include "page_editor/EditorSettingsFeed.h"
#include "platform/Text.h"
#include "store/Store.h"

#include <QtCore/QPointer>

#include <algorithm>
#include <future>

namespace velto::editor {
namespace {

/// Correcting reads the typed word's whole paragraph (its words, code spans and links); in a longer one
/// that would stall every typed space, so none is corrected there.
constexpr std::size_t longestCorrectedParagraph = 32'768;

std::int64_t signedLength(std::size_t length) {
    return static_cast<std::int64_t>(length);
}

/// The smallest range covering both, in signed arithmetic.
VeltoEditorCoordinator::PendingRange unionOf(VeltoEditorCoordinator::PendingRange a,
                                             VeltoEditorCoordinator::PendingRange b) {
    const std::int64_t start = std::min(a.location, b.location);
    const std::int64_t end = std::max(a.location + a.length, b.location + b.length);
    return {start, end - start};
}

} // namespace

VeltoEditorCoordinator::VeltoEditorCoordinator(EditingCore &core, PageUndoHistories &histories,
                                               EditorCoordinatorView &view, VeltoStore &store,
                                               EditorSettingsFeed &settingsFeed, EditorCoordinatorPanel &panel,
                                               VeltoScheduler &scheduler,
                                               std::shared_ptr<CodeSyntaxHighlighting> codeHighlighter,
                                               const Clock &clock)
    : core_(core)
    , histories_(histories)
    , view_(view)
    , store_(store)
    , storeAlive_(&store)
    , panel_(panel)
    , scheduler_(scheduler)
    , codeHighlighter_(std::move(codeHighlighter))
    , clock_(clock)
    , stylingLeftForLater_(core.textStorage(), scheduler)
    , screenMoves_(std::make_shared<ScreenMoves>())
    , editorTextColor_(MarkdownStyler::textColor()) {
    store_.registerPendingTextSource(*this);
    connect(&store_, &VeltoStoreSignals::currentPageChangedOutsideEditor, this,
            [this](const Uuid &, VeltoCurrentPageChange change) {
                if (change == VeltoCurrentPageChange::text) {
                    currentPageTextChangedInStore();
                } else {
                    currentPageChangedInStore();
                }
            });
    connect(&store_, &VeltoStoreSignals::pageIdentifiersReplaced, this,
            [this](const std::map<Uuid, Uuid> &replacements) { pageIdentifiersReplaced(replacements); });
    // The new settings are taken as they come: the editing rules and the styling passes follow them from
    // the next keystroke; the fonts and colours are put on the view when the panel applies them.
    takeSettings(settingsFeed.current());
    connect(&settingsFeed, &EditorSettingsFeed::editorSettingsChanged, this,
            [this](const EditorSettings &settings) { takeSettings(settings); });
}

VeltoEditorCoordinator::~VeltoEditorCoordinator() {
    if (storeAlive_) {
        store_.unregisterPendingTextSource(*this);
    }
    cancelHighlighting();
}

// ---- highlighting ----

void VeltoEditorCoordinator::editorVisibleRangeMayHaveChanged() {
    styleWhatIsShown();
    screenMoves_->tell();
    if (screenCameNearBlocksLeftForLater()) {
        requestCodeHighlighting();
    }
}

bool VeltoEditorCoordinator::screenCameNearBlocksLeftForLater() const {
    if (!askedNear_) {
        return false; // no pass left blocks for later, or an edit's pass is still to come
    }
    const TextStorage &storage = core_.textStorage();
    const std::optional<TextRange> visible = view_.visibleCharacterRange();
    return visible && storage.identity() == askedNear_->storageIdentity &&
           storage.characterVersion() == askedNear_->characterVersion &&
           MarkdownStyler::comesNearBlocksToAskFor(storage, highlightedBlocks_, askedNear_->visible, *visible);
}

void VeltoEditorCoordinator::cancelHighlighting() {
    if (codeHighlightTask_) {
        codeHighlightTask_->cancel();
        codeHighlightTask_.reset();
    }
    codeHighlightGeneration_ += 1;
    askedNear_.reset();
}

void VeltoEditorCoordinator::requestCodeHighlighting() {
    cancelHighlighting();
    if (!codeHighlighter_) {
        return;
    }
    const TextStorage &storage = core_.textStorage();
    // The blocks come from the styler's code index, which follows the edits: no scan of the page. Blocks
    // whose code and language are as they were keep their tokens and are not asked for again, unless blocks
    // appeared, went or changed around them: the restyle there may have taken their colours.
    highlightedBlocks_.follow(storage);
    if (const std::optional<TextRange> changed = MarkdownStyler::takeFencedBlockChange(storage)) {
        highlightedBlocks_.forgetAround(*changed);
    }
    // With the screen known, only the blocks near it are looked at; the others when the screen comes near.
    const std::optional<TextRange> visible = view_.visibleCharacterRange();
    std::vector<MarkdownStyler::CodeHighlightRequest> requests =
        visible ? MarkdownStyler::codeHighlightRequestsNear(storage, highlightedBlocks_, *visible)
                : MarkdownStyler::codeHighlightRequests(MarkdownStyler::fencedBlocks(storage), storage,
                                                        &highlightedBlocks_);
    if (visible) {
        askedNear_ = AskedNear{*visible, storage.identity(), storage.characterVersion()};
    }
    if (requests.empty()) {
        if (!highlightedBlocks_.blocks().empty()) {
            view_.setNeedsDisplay(); // as a finished highlighting of unchanged blocks does
        }
        return;
    }
    CancellationToken cancellation;
    codeHighlightTask_ = cancellation;
    QPointer<VeltoEditorCoordinator> coordinator(this);
    std::shared_ptr<TextRange> remembered = std::make_shared<TextRange>();
    CodeHighlightTarget target{
        [coordinator]() -> TextStorage * { return coordinator ? &coordinator->core_.textStorage() : nullptr; },
        [coordinator] { return coordinator ? coordinator->codeHighlightGeneration_ : 0; },
        [coordinator] { return coordinator ? coordinator->editorTextColor_ : MarkdownStyler::textColor(); },
        [coordinator, remembered] {
            if (coordinator) {
                *remembered = coordinator->core_.selectedRange();
            }
        },
        [coordinator, remembered] {
            if (coordinator) {
                coordinator->restoreSelection(*remembered);
            }
        },
        [coordinator] {
            if (coordinator) {
                coordinator->view_.setNeedsDisplay();
            }
        },
        [coordinator](const MarkdownStyler::CodeHighlightRequest &request) {
            if (coordinator) {
                coordinator->highlightedBlocks_.remember(coordinator->core_.textStorage(),
                                                         {request.openingLineRange, request.contentRange});
            }
        },
        [coordinator]() -> std::optional<TextRange> {
            return coordinator ? coordinator->view_.visibleCharacterRange() : std::nullopt;
        },
        screenMoves_,
    };
    CodeHighlightSnapshot snapshot{codeHighlightGeneration_, storage.identity(), storage.characterVersion()};
    // Runs on by itself on the main thread; the token and the generation stop it when it is stale.
    trackHighlighting(
        coordinator, snapshot.generation,
        highlightCodeBlocks(std::move(requests), codeHighlighter_, snapshot, std::move(target), cancellation));
}

QCoro::Task<void> VeltoEditorCoordinator::trackHighlighting(QPointer<VeltoEditorCoordinator> coordinator,
                                                            std::uint64_t generation, QCoro::Task<void> highlighting) {
    co_await highlighting;
    // Finished: forget the task, unless a newer request has replaced it meanwhile.
    if (coordinator && coordinator->codeHighlightGeneration_ == generation) {
        coordinator->codeHighlightTask_.reset();
    }
}

// ---- what the text view reports ----

void VeltoEditorCoordinator::editorWillReplaceCharacters(TextRange range,
                                                         std::optional<std::u16string_view> replacement) {
    cancelHighlighting();
    if (!pendingStyleKeepsBottomPinned_) {
        pendingStyleKeepsBottomPinned_ = panel_.isPinnedToBottom();
    }
    // A change of attributes alone keeps the length of the text.
    const std::int64_t newLength = replacement ? signedLength(replacement->size()) : signedLength(range.length);
    const std::int64_t location = signedLength(range.location);
    const std::int64_t delta = newLength - signedLength(range.length);
    const PendingRange edited{location, newLength};
    UndoManager *manager = histories_.undoManager();
    const bool typedOneCharacter =
        replacement && replacement->size() == 1 && range.length == 0 && !manager->isUndoing() && !manager->isRedoing();
    typedCharacterAt_ = typedOneCharacter ? std::optional<std::size_t>(range.location) : std::nullopt;
    if (!pendingStyleRange_) {
        pendingStyleRange_ = edited;
        return;
    }
    PendingRange moved = *pendingStyleRange_;
    if (moved.location >= location) {
        moved.location = std::max(location, moved.location + delta);
    } else if (moved.location + moved.length > location) {
        moved.length = std::max<std::int64_t>(0, moved.length + delta);
    }
    pendingStyleRange_ = unionOf(moved, edited);
}

void VeltoEditorCoordinator::editorTextDidChange() {
    hasUnsavedEdits_ = true;
    cancelHighlighting();
    panel_.updateCommandAvailability(histories_.canUndo(), histories_.canRedo());
    if (core_.hasMarkedText()) {
        // Nothing is styled or saved while an input method composes; its last change schedules both.
        cancelPendingStylePass();
        cancelPendingSave();
        return;
    }
    if (const std::optional<std::size_t> typedAt = std::exchange(typedCharacterAt_, std::nullopt)) {
        correctSpellingAfterTyping(*typedAt); // a correction is a change of its own, styled and saved as such
    }
    // The style pass and the save are due a while after the last change: this change puts off the ones
    // scheduled before it.
    if (settings_.formatsMarkdown && pendingStyleRange_ &&
        MarkdownStyler::applyImmediateHeadingChange(core_.textStorage(), clampedPendingRange(), editorTextColor_,
                                                    core_.styleSettings())) {
        cancelPendingStylePass();
        pendingStyleRange_.reset();
        panel_.updateScrollIndicators();
        requestCodeHighlighting();
    } else {
        scheduleStylePass();
    }
    scheduleSave();
}

void VeltoEditorCoordinator::scheduleStylePass() {
    if (styleWorkItem_ && styleWorkItem_->postpone(styleDelay)) {
        return;
    }
    QPointer<VeltoEditorCoordinator> coordinator(this);
    styleWorkItem_ = scheduler_.schedule(styleDelay, [coordinator] {
        if (coordinator) {
            coordinator->styleWorkItem_.reset();
            coordinator->applyIncrementalEditorAppearance();
        }
    });
}

void VeltoEditorCoordinator::scheduleSave() {
    if (saveWorkItem_ && saveWorkItem_->postpone(saveDelay)) {
        return;
    }
    QPointer<VeltoEditorCoordinator> coordinator(this);
    // The text is handed over when the save is due, not on every keystroke: a 5 MiB page costs one
    // comparison with the store's copy around what was typed per pause in typing.
    saveWorkItem_ = scheduler_.schedule(saveDelay, [coordinator] {
        if (coordinator) {
            coordinator->saveWorkItem_.reset();
            coordinator->handOverText();
        }
    });
}

void VeltoEditorCoordinator::cancelPendingStylePass() {
    if (styleWorkItem_) {
        styleWorkItem_->cancel();
        styleWorkItem_.reset();
    }
}

void VeltoEditorCoordinator::cancelPendingSave() {
    if (saveWorkItem_) {
        saveWorkItem_->cancel();
        saveWorkItem_.reset();
    }
}

void VeltoEditorCoordinator::handOverText() {
    // The view's text belongs to the page it was loaded from; when the store has moved to another page
    // without the view following yet, this text must not become that page's text.
    if (!loadedPageID_ || *loadedPageID_ != store_.document().currentPage.id) {
        return;
    }
    hasUnsavedEdits_ = false;
    const VeltoPageFileContent *held = store_.document().currentPage.content.asLoaded();
    if (held == nullptr) {
        handedOver_.forget();
        store_.setText(text::toUTF8(core_.string()), clock_.now()); // which the store refuses, and says so
        return;
    }
    // The store holds the text as it was last handed over: only what differs is converted and handed over,
    // and while the store's copy is the one this editor last handed over, only the text around the edits
    // made since is compared with it, so a pause in typing on a page of megabytes costs what was typed.
    const TextStorage &storage = core_.textStorage();
    const UTF8Change change = handedOver_.changeFrom(storage, held->body, held->body.version());
    store_.replaceText(change.location, change.length, change.replacement, clock_.now());
    if (const VeltoPageFileContent *taken = store_.document().currentPage.content.asLoaded()) {
        handedOver_.changeTaken(storage, taken->body.version(), taken->body.size());
    } else {
        handedOver_.forget();
    }
}

void VeltoEditorCoordinator::handOverPendingText() {
    if (hasUnsavedEdits_) {
        flushPendingChanges();
    }
}

void VeltoEditorCoordinator::correctSpellingAfterTyping(std::size_t typedAt) {
    if (spellChecker_ == nullptr || !settings_.correctsSpellingAutomatically) {
        return;
    }
    // Only the paragraph holding the typed character is read, copied out of the storage.
    const TextStorage &storage = core_.textStorage();
    const TextRange paragraph = paragraphRange(storage, TextRange{std::min(typedAt, storage.length()), 0});
    if (paragraph.length > longestCorrectedParagraph) {
        return;
    }
    const std::size_t start = paragraph.location;
    std::optional<AutoCorrection> correction = automaticCorrection(
        storage.substring(paragraph), typedAt - start, *spellChecker_, [&storage, start](std::size_t location) {
            return CodePositions::isInsideMarkdownLiteralCode(storage, static_cast<std::ptrdiff_t>(start + location));
        });
    if (correction) {
        correction->range.location += start;
        applyCorrection(core_, *correction);
    }
}

// ---- styling ----

TextRange VeltoEditorCoordinator::clampedPendingRange() const {
    const auto length = signedLength(core_.length());
    if (!pendingStyleRange_) {
        return TextRange{0, core_.length()};
    }
    const std::int64_t start = std::clamp<std::int64_t>(pendingStyleRange_->location, 0, length);
    const std::int64_t end =
        std::clamp<std::int64_t>(pendingStyleRange_->location + pendingStyleRange_->length, start, length);
    return TextRange{static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)};
}

void VeltoEditorCoordinator::restoreSelection(TextRange selection) {
    // Styling changes attributes only; a selection that no longer fits the text is dropped.
    if (selection.end() <= core_.length() && core_.selectedRange() != selection) {
        core_.setSelectedRange(selection);
    }
}

void VeltoEditorCoordinator::applyIncrementalEditorAppearance() {
    TextStorage &storage = core_.textStorage();
    const TextRange selection = core_.selectedRange();
    const TextRange range = clampedPendingRange();
    pendingStyleRange_.reset();
    const bool keepsBottomPinned = std::exchange(pendingStyleKeepsBottomPinned_, false);
    if (settings_.formatsMarkdown) {
        stylingLeftForLater_.styled(MarkdownStyler::apply(storage, range, editorTextColor_, core_.styleSettings()));
        requestCodeHighlighting();
    } else {
        stylingLeftForLater_.forget();
        storage.setAttributes(MarkdownStyler::baseAttributes(editorTextColor_, core_.styleSettings()),
                              TextRange{0, storage.length()});
        highlightedBlocks_.clear();
        view_.setNeedsDisplay();
    }
    restoreSelection(selection);
    if (keepsBottomPinned) {
        panel_.pinToBottom();
    }
    panel_.updateScrollIndicators();
}

TextRange VeltoEditorCoordinator::seenRange() const {
    if (const std::optional<TextRange> visible = view_.visibleCharacterRange()) {
        return *visible;
    }
    return core_.selectedRange();
}

void VeltoEditorCoordinator::styleWhatIsShown() {
    // A few rounds settle it: each styles a margin of screens around what is shown.
    for (int round = 0; round < 3 && !stylingLeftForLater_.leftForLater().empty(); ++round) {
        const std::optional<TextRange> visible = view_.visibleCharacterRange();
        if (!visible) {
            return;
        }
        const std::vector<TextRange> before = stylingLeftForLater_.leftForLater();
        stylingLeftForLater_.styleNear(*visible);
        if (stylingLeftForLater_.leftForLater() == before) {
            return;
        }
    }
}

void VeltoEditorCoordinator::takeSettings(const EditorSettings &settings) {
    settings_ = settings;
    // Fonts are measured once per change of the settings, by what the view environment installed.
    core_.setEditorSettings(settings, StyleSettings::from(settings, currentFontMetricsProvider()));
}

VeltoTheme VeltoEditorCoordinator::resolvedTheme(const std::optional<VeltoTheme> &theme) const {
    if (theme) {
        return *theme;
    }
    return VeltoTheme::resolve(settings_.appearance, view_.effectiveAppearance(), view_.increasesContrast());
}

void VeltoEditorCoordinator::applyEditorPreferences(const std::optional<VeltoTheme> &theme) {
    cancelHighlighting();
    if (view_.clearPreviewedTaskCheckbox()) {
        view_.setNeedsDisplay();
    }
    pendingStyleRange_.reset();
    pendingStyleKeepsBottomPinned_ = false;
    const VeltoTheme resolved = resolvedTheme(theme);
    const bool formatsMarkdown = settings_.formatsMarkdown;
    const double size = editorFontSize(settings_);
    const bool inCode = CodePositions::isInsideMarkdownLiteralCode(
        core_.textStorage(), static_cast<std::ptrdiff_t>(core_.selectedRange().location));

    EditorAppearance appearance;
    appearance.font = FontDescriptor{
        settings_.fontChoice == EditorFontChoice::system ? FontFamilyRole::system : FontFamilyRole::monospacedSystem,
        size, FontWeight::regular, false, false};
    editorTextColor_ = resolved.textColor;
    appearance.textColor = resolved.textColor;
    appearance.codeTextColor = resolved.textColor;
    appearance.insertionPointColor = resolved.textColor;
    if (formatsMarkdown) {
        appearance.horizontalRuleColor = resolved.ruleColor;
    }
    appearance.continuousSpellChecking = settings_.checksSpelling;
    appearance.correctsSpellingAutomatically = settings_.correctsSpellingAutomatically;
    appearance.automaticSpellingCorrection = !inCode && settings_.correctsSpellingAutomatically;
    appearance.defaultParagraphStyle.lineSpacing = std::max(size * 0.28, 4.0);
    appearance.defaultParagraphStyle.paragraphSpacing = std::max(size * 0.15, 2.0);
    appearance.defaultParagraphStyle.lineBreakMode = LineBreakMode::byWordWrapping;
    view_.applyEditorAppearance(appearance);
    core_.setCodeTextColor(resolved.textColor);
    core_.setTypingAttributes(MarkdownStyler::baseAttributes(resolved.textColor, core_.styleSettings()));

    TextStorage &storage = core_.textStorage();
    // A full restyle asks for every block again, as a first highlighting does.
    highlightedBlocks_.clear();
    if (formatsMarkdown) {
        stylingLeftForLater_.restyle([this] { return seenRange(); }, resolved.textColor, core_.styleSettings());
        requestCodeHighlighting();
    } else {
        stylingLeftForLater_.forget();
        storage.setAttributes(MarkdownStyler::baseAttributes(resolved.textColor, core_.styleSettings()),
                              TextRange{0, storage.length()});
        view_.setNeedsDisplay();
    }
    panel_.updateScrollIndicators();
}

// ---- loading and saving ----

void VeltoEditorCoordinator::loadCurrentPageText(const std::optional<VeltoTheme> &theme) {
    cancelHighlighting();
    if (view_.clearPreviewedTaskCheckbox()) {
        view_.setNeedsDisplay();
    }
    // What was pending belongs to the text being replaced.
    cancelPendingSave();
    cancelPendingStylePass();
    core_.breakUndoCoalescing();
    const VeltoPage &page = store_.document().currentPage;
    UndoManager *manager = histories_.undoManager();
    manager->disableUndoRegistration();
    loadTextIndexingCode(page.visibleTextView());
    // Only a loaded page's text is the page: an archived summary shows its preview and an unavailable page
    // nothing, and typing must never turn either into the page's whole text.
    core_.setEditable(page.content.asLoaded() != nullptr);
    loadedPageID_ = page.id;
    hasUnsavedEdits_ = false;
    applyEditorPreferences(theme);
    manager->enableUndoRegistration();
    core_.breakUndoCoalescing();
}

void VeltoEditorCoordinator::loadTextIndexingCode(std::string_view text) {
    // A big page's code index, which styling it needs first of all, is built on another thread while the text
    // goes into the storage: each decodes the page's UTF-8 a piece at a time, as toUTF16 does, so the index
    // describes the storage's text without the whole text decoded into one string for them. A page has at least
    // as many bytes as units, so one of many multi-byte characters just below the size that is split gets its index
    // this way too, which describes its text all the same.
    std::future<std::shared_ptr<MarkdownCodeTokenIndex>> index;
    if (settings_.formatsMarkdown && stylingLeftForLater_.splitsText(text.size())) {
        index = std::async(std::launch::async, [text] {
            return std::make_shared<MarkdownCodeTokenIndex>(MarkdownCodeTokenIndex::decodedFrom(text));
        });
    }
    core_.loadUTF8Text(text);
    if (index.valid()) {
        MarkdownStyler::adoptCodeTokenIndex(core_.textStorage(), index.get());
    }
}

void VeltoEditorCoordinator::flushPendingChanges() {
    cancelPendingSave();
    cancelPendingStylePass(); // the pending range stays for the next pass
    handOverText();
}

void VeltoEditorCoordinator::appendAsUndoableEdit(std::u16string_view text) {
    if (!core_.isEditable()) {
        view_.beep();
        return;
    }
    flushPendingChanges();
    const std::u16string &current = core_.string();
    std::u16string inserted = !current.empty() && current.back() != u'\n' ? u"\n" : u"";
    inserted += text;
    const std::size_t location = current.size();
    core_.breakUndoCoalescing();
    // The exact text, not typed: typing rules would pair a lone "(" or continue a list.
    if (!core_.replaceText(TextRange{location, 0}, inserted, TextRange{location + inserted.size(), 0})) {
        view_.beep();
        return;
    }
    core_.breakUndoCoalescing();
    histories_.undoManager()->setActionName(QStringLiteral("Append Clipboard"));
    flushPendingChanges();
    applyIncrementalEditorAppearance();
}

// ---- what the store reports ----

void VeltoEditorCoordinator::currentPageTextChangedInStore() {
    const VeltoPage &page = store_.document().currentPage;
    if (!loadedPageID_ || *loadedPageID_ != page.id) {
        currentPageChangedInStore();
        return;
    }
    cancelPendingSave();
    cancelPendingStylePass();
    cancelHighlighting();
    hasUnsavedEdits_ = false;
    const std::u16string incoming = text::toUTF16(page.visibleTextView());
    const std::u16string &shown = core_.string();
    // Only the differing middle is replaced, so that the caret and the styling elsewhere stay put.
    std::size_t prefix = 0;
    const std::size_t shorter = std::min(shown.size(), incoming.size());
    while (prefix < shorter && shown[prefix] == incoming[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && shown[shown.size() - 1 - suffix] == incoming[incoming.size() - 1 - suffix]) {
        ++suffix;
    }
    const TextRange replaced{prefix, shown.size() - prefix - suffix};
    const std::u16string_view replacement =
        std::u16string_view(incoming).substr(prefix, incoming.size() - prefix - suffix);
    histories_.resetUndoHistory(page.id);
    if (replaced.length == 0 && replacement.empty()) {
        return;
    }
    const TextRange selection = core_.selectedRange();
    // The selection keeps its place in the text around the changes, found line by line: between two changed
    // lines far apart, what the view replaces as one range, it stays on the text it was on.
    const ChangedRegions changes(shown, incoming);
    const std::size_t anchor = changes.map(selection.location);
    const std::size_t head = changes.map(selection.end());
    core_.textStorage().replaceCharacters(replaced, replacement);
    core_.setSelection(anchor, head);
    core_.breakUndoCoalescing();
    pendingStyleRange_ = PendingRange{signedLength(replaced.location), signedLength(replacement.size())};
    applyIncrementalEditorAppearance();
    panel_.updateCommandAvailability(histories_.canUndo(), histories_.canRedo());
}

void VeltoEditorCoordinator::currentPageChangedInStore() {
    cancelPendingSave();
    cancelPendingStylePass();
    if (panel_.transitionToCurrentPage()) {
        return;
    }
    const VeltoDocument &document = store_.document();
    std::set<Uuid> retaining{document.currentPage.id};
    for (const VeltoPage &page : document.pages) {
        retaining.insert(page.id);
    }
    histories_.activateUndoHistory(document.currentPage.id, retaining, nullptr, [&document] {
        return PageTextFingerprint::ofUTF8(document.currentPage.visibleTextView());
    });
    loadCurrentPageText();
}

void VeltoEditorCoordinator::pageIdentifiersReplaced(const std::map<Uuid, Uuid> &replacements) {
    if (loadedPageID_) {
        if (auto replacement = replacements.find(*loadedPageID_); replacement != replacements.end()) {
            loadedPageID_ = replacement->second;
        }
    }
    histories_.replacePageIDs(replacements);
}

} // namespace velto::editor
