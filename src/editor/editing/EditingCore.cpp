#include "editor/editing/EditingCore.h"

#include "editor/editing/TextBoundaries.h"
#include "editor/editing/TextChangeRecord.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor/text/StringRanges.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace velto::editor {

namespace {

bool fitsIn(TextRange range, std::size_t length) {
    return range.location <= length && range.length <= length - range.location;
}

/// How far a grapheme step looks for the line feeds around a position before it reads the whole text.
constexpr std::size_t lineFeedReach = 4096;

/// The text around the position from just after a line feed (at least two units before it, so that a CR
/// LF ending at the position stays inside) to just after the next line feed, or to the text's ends. A
/// grapheme boundary always follows a line feed, so every boundary ICU finds in this stretch is one of the
/// whole text, and reading the stretch costs the line, not the page. Nothing for a longer line.
std::optional<TextRange> lineFeedBoundedWindow(const TextStorage &storage, std::size_t position) {
    const std::size_t length = storage.length();
    std::size_t start = 0;
    if (position >= 2) {
        const std::size_t lowest = position - 2 > lineFeedReach ? position - 2 - lineFeedReach : 0;
        bool found = false;
        for (std::size_t index = position - 2; !found; --index) {
            if (storage.characterAt(index) == u'\n') {
                start = index + 1;
                found = true;
            }
            if (index == lowest) {
                break;
            }
        }
        if (!found && lowest > 0) {
            return std::nullopt;
        }
    }
    std::size_t end = length;
    const std::size_t highest = std::min(length, position + 1 + lineFeedReach);
    bool found = false;
    for (std::size_t index = position + 1; index < highest && !found; ++index) {
        if (storage.characterAt(index) == u'\n') {
            end = index + 1;
            found = true;
        }
    }
    if (!found && highest < length) {
        return std::nullopt;
    }
    return rangeBetween(start, end);
}

/// A grapheme boundary function (text, position) applied near the position without the whole text.
template <typename Find> std::size_t graphemeBoundaryNear(const TextStorage &storage, std::size_t position, Find find) {
    position = std::min(position, storage.length());
    if (std::optional<TextRange> window = lineFeedBoundedWindow(storage, position)) {
        const std::u16string stretch = storage.substring(*window);
        return window->location + find(TextPieces(stretch), position - window->location);
    }
    return find(TextPieces::of(storage), position);
}

/// How many lines a word step reads around the caret before it reads the whole text instead.
constexpr int wordStepLineLimit = 64;

/// The end of the next word (forward) or the start of the previous one, reading line after line from the
/// position: word boundaries always fall at a line feed, so a word found in a line is one of the whole text.
std::size_t wordStepNear(const TextStorage &storage, std::size_t position, bool forward) {
    std::size_t from = std::min(position, storage.length());
    for (int lines = 0; lines < wordStepLineLimit; ++lines) {
        std::optional<TextRange> window = lineFeedBoundedWindow(storage, from);
        if (!window) {
            break;
        }
        const std::u16string stretch = storage.substring(*window);
        const std::size_t local = from - window->location;
        std::optional<std::size_t> found =
            forward ? followingWordEnd(stretch, local) : precedingWordStart(stretch, local);
        if (found) {
            return window->location + *found;
        }
        // No word in this stretch: go on from its far end, where a line feed stands.
        if (forward ? window->end() >= storage.length() : window->location == 0) {
            return forward ? storage.length() : 0;
        }
        from = forward ? window->end() : window->location;
    }
    const TextPieces text = TextPieces::of(storage);
    return forward ? nextWordEnd(text, position) : previousWordStart(text, position);
}

/// The start of the paragraph holding the position (after LF, CR or U+2029), read unit by unit.
std::size_t paragraphStartNear(const TextStorage &storage, std::size_t position) {
    for (std::size_t index = position; index > 0; --index) {
        char16_t unit = storage.characterAt(index - 1);
        bool crBeforeItsLineFeed = unit == u'\r' && index < storage.length() && storage.characterAt(index) == u'\n';
        if ((unit == u'\n' || unit == u'\r' || unit == 0x2029) && !crBeforeItsLineFeed) {
            return index;
        }
    }
    return 0;
}

/// The end of the paragraph's contents (before its terminator), read unit by unit.
std::size_t paragraphContentsEndNear(const TextStorage &storage, std::size_t position) {
    if (position > 0 && position < storage.length() && storage.characterAt(position - 1) == u'\r' &&
        storage.characterAt(position) == u'\n') {
        return position - 1; // inside a CR LF: the contents end before it
    }
    std::size_t index = position;
    while (index < storage.length()) {
        char16_t unit = storage.characterAt(index);
        if (unit == u'\n' || unit == u'\r' || unit == 0x2029) {
            break;
        }
        ++index;
    }
    return index;
}

std::size_t alignedBackward(const TextStorage &storage, std::size_t position) {
    return graphemeBoundaryNear(
        storage, position, [](const TextPieces &text, std::size_t at) { return graphemeBoundaryAtOrBefore(text, at); });
}

std::size_t alignedForward(const TextStorage &storage, std::size_t position) {
    return graphemeBoundaryNear(
        storage, position, [](const TextPieces &text, std::size_t at) { return graphemeBoundaryAtOrAfter(text, at); });
}

TextRange clamped(TextRange range, std::size_t length) {
    std::size_t start = std::min(range.location, length);
    std::size_t end = std::min(range.length, length - start) + start;
    return rangeBetween(start, end);
}

} // namespace

EditingCore::EditingCore(TextStorage &storage, EditPolicy *policy, UndoHistorySource *undoHistory)
    : storage_(storage)
    , policy_(policy)
    , liveness_(std::make_shared<EditingCore *>(this))
    , undoHistory_(undoHistory)
    , codeTextColor_(MarkdownStyler::textColor()) {
    head_ = anchor_ = storage_.length();
}

EditingCore::~EditingCore() = default;

// ---- undo ----

UndoManager *EditingCore::undoManager() {
    return undoHistory_ != nullptr ? undoHistory_->undoManager() : &ownUndoManager_;
}

void EditingCore::breakUndoCoalescing() {
    typingRecord_.reset();
    typingManager_ = nullptr;
}

void EditingCore::registerChange(UndoManager &manager, const std::shared_ptr<TextChangeRecord> &record) {
    std::weak_ptr<EditingCore *> core = liveness_;
    manager.registerUndo([core, record](UndoManager &running) {
        if (std::shared_ptr<EditingCore *> live = core.lock()) {
            (*live)->applyRecord(running, *record);
        }
    });
}

bool EditingCore::holdsExpectedText(const TextChangeRecord &record) const {
    const TextRange range{record.location, record.length};
    if (!fitsIn(range, length())) {
        return false;
    }
    return unitsHash(storage_.substring(range)) == record.expectedHash;
}

void EditingCore::noteExpectedText(TextChangeRecord &record) const {
    // Read through substring: the typed run is short, and the whole string would join the page's chunks.
    record.expectedHash = unitsHash(storage_.substring(TextRange{record.location, record.length}));
}

void EditingCore::applyRecord(UndoManager &manager, const TextChangeRecord &record) {
    TextRange range{record.location, record.length};
    if (!holdsExpectedText(record)) {
        breakUndoCoalescing();
        if (undoHistory_ != nullptr) {
            undoHistory_->undoStepDidNotMatch(manager);
        }
        return;
    }
    if (!shouldChangeText(range, record.replaced.text)) {
        return;
    }
    breakUndoCoalescing();
    auto inverse = std::make_shared<TextChangeRecord>();
    inverse->location = record.location;
    inverse->length = record.replaced.text.size();
    inverse->replaced = AttributedText::from(storage_, range);
    inverse->expectedHash = unitsHash(record.replaced.text);
    inverse->selectionBefore = record.selectionAfter;
    inverse->selectionAfter = record.selectionBefore;
    registerChange(manager, inverse);
    record.replaced.replace(storage_, range);
    noteChangedByUndo(range, record.replaced.text.size());
    didChangeText();
    setSelectedRange(record.selectionBefore);
}

void EditingCore::noteChangedByUndo(TextRange replaced, std::size_t insertedLength) {
    const TextRange inserted{replaced.location, insertedLength};
    if (!rangeChangedByUndo_) {
        rangeChangedByUndo_ = inserted;
        return;
    }
    // One step may put back several changes: what an earlier one put back moves with this one's change.
    const EditMapping mapping(CharacterEdit{replaced.location, replaced.length, insertedLength});
    rangeChangedByUndo_ = unionRange(mapping.range(*rangeChangedByUndo_), inserted);
}

// ---- selection ----

void EditingCore::setSelectedRange(TextRange range) {
    TextRange fitting = clamped(range, length());
    setSelection(fitting.location, fitting.end());
}

void EditingCore::setSelection(std::size_t anchor, std::size_t head) {
    anchor = std::min(anchor, length());
    head = std::min(head, length());
    // Widen outward to whole graphemes: the lower end moves back, the upper end forward.
    if (anchor <= head) {
        anchor = alignedBackward(storage_, anchor);
        head = anchor == head ? anchor : alignedForward(storage_, head);
    } else {
        head = alignedBackward(storage_, head);
        anchor = alignedForward(storage_, anchor);
    }
    if (anchor == anchor_ && head == head_) {
        return;
    }
    breakUndoCoalescing();
    setSelectionQuietly(anchor, head);
    selectionDidChange();
}

void EditingCore::selectAll() {
    setSelection(0, length());
}

void EditingCore::setSelectionQuietly(std::size_t anchor, std::size_t head) {
    anchor_ = anchor;
    head_ = head;
}

void EditingCore::selectionDidChange() {
    updateTypingAttributesFromText();
    observers_.notify([](EditingObserver &observer) { observer.selectionDidChange(); });
}

void EditingCore::updateTypingAttributesFromText() {
    if (length() == 0) {
        return; // an empty text keeps what it was given
    }
    const std::size_t location = selectedRange().location;
    const std::size_t read = location > 0 ? location - 1 : 0;
    // A caret moved into far text of a big page (by a find, an undo, Ctrl+End) finds it styled before it is read.
    storage_.styleLeftForLaterNear(TextRange{read, 0});
    typingAttributes_ = storage_.attributes(read);
}

// ---- the change protocol ----

bool EditingCore::shouldChangeText(TextRange range, std::u16string_view replacement) {
    if (!editable_) {
        return false;
    }
    if (policy_ != nullptr && !policy_->allowsChange(range, replacement)) {
        return false;
    }
    observers_.notify([&](EditingObserver &observer) { observer.textWillChange(range, replacement); });
    return true;
}

void EditingCore::didChangeText() {
    observers_.notify([](EditingObserver &observer) { observer.textDidChange(); });
}

bool EditingCore::replaceText(TextRange range, std::u16string_view replacement, TextRange selection) {
    if (!fitsIn(range, length())) {
        return false;
    }
    std::u16string text = replacingLoneSurrogates(replacement);
    breakUndoCoalescing();
    if (!shouldChangeText(range, text)) {
        return false;
    }
    std::shared_ptr<TextChangeRecord> record;
    if (UndoManager *manager = undoManager()) {
        record = std::make_shared<TextChangeRecord>();
        record->location = range.location;
        record->length = text.size();
        record->replaced = AttributedText::from(storage_, range);
        record->selectionBefore = selectedRange();
        record->selectionAfter = selection;
        registerChange(*manager, record);
    }
    storage_.replaceCharacters(range, text);
    if (record) {
        noteExpectedText(*record);
    }
    didChangeText();
    setSelectedRange(selection);
    breakUndoCoalescing();
    return true;
}

void EditingCore::setUndoActionName(std::u16string_view name) {
    if (UndoManager *manager = undoManager()) {
        manager->setActionName(QString::fromStdU16String(std::u16string(name)));
    }
}

void EditingCore::updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update) {
    if (fitsIn(range, length())) {
        storage_.updateAttributes(range, update);
    }
}

// ---- typing ----

void EditingCore::insertText(std::u16string_view text) {
    insertText(text, selectedRange());
}

void EditingCore::insertText(std::u16string_view text, TextRange replacementRange) {
    TextRange range =
        replacementRange.location == TextRange::notFound ? selectedRange() : clamped(replacementRange, length());
    if (range.length == 0 && text.empty()) {
        return; // an input method committing nothing: no change, and no empty undo step
    }
    std::u16string typed = replacingLoneSurrogates(text);
    const Attributes *attributes = typingAttributes_.empty() ? nullptr : &typingAttributes_;
    performTypingEdit(range, typed, range.location + typed.size(), attributes);
}

void EditingCore::deleteBackward() {
    std::size_t caret = selectedRange().location;
    deleteRangeOrSelection(rangeBetween(caret == 0 ? 0 : destination(Movement::backwardCharacter, caret), caret));
}

void EditingCore::deleteForward() {
    std::size_t caret = selectedRange().location;
    deleteRangeOrSelection(rangeBetween(caret, destination(Movement::forwardCharacter, caret)));
}

void EditingCore::deleteWordBackward() {
    std::size_t caret = selectedRange().location;
    deleteRangeOrSelection(rangeBetween(destination(Movement::backwardWord, caret), caret));
}

void EditingCore::deleteWordForward() {
    std::size_t caret = selectedRange().location;
    deleteRangeOrSelection(rangeBetween(caret, destination(Movement::forwardWord, caret)));
}

void EditingCore::deleteRangeOrSelection(TextRange range) {
    TextRange selection = selectedRange();
    TextRange target = selection.length > 0 ? selection : range;
    if (target.length == 0) {
        return;
    }
    performTypingEdit(target, u"", target.location, nullptr);
}

bool EditingCore::canExtendTypingStep(TextRange range) const {
    if (!typingRecord_ || typingManager_ == nullptr || typingManager_->changeCount() != typingManagerChangeCount_) {
        return false;
    }
    // The edit must touch the text the step has typed so far, so that the step stays one replacement.
    std::size_t typedEnd = typingRecord_->location + typingRecord_->length;
    return range.location <= typedEnd && range.end() >= typingRecord_->location;
}

bool EditingCore::performTypingEdit(TextRange range, std::u16string_view replacement, std::size_t caretAfter,
                                    const Attributes *attributes) {
    if (!shouldChangeText(range, replacement)) {
        return false;
    }
    UndoManager *manager = undoManager();
    if (manager != typingManager_) {
        breakUndoCoalescing();
    }
    TextRange selectionBefore = selectedRange();
    if (manager != nullptr && canExtendTypingStep(range)) {
        // Fold the edit into the step: what it removes outside the typed text joins what undo puts back.
        TextChangeRecord &record = *typingRecord_;
        std::size_t typedEnd = record.location + record.length;
        if (range.location < record.location) {
            TextRange before = rangeBetween(range.location, record.location);
            record.replaced = AttributedText::from(storage_, before).appending(record.replaced);
        }
        if (range.end() > typedEnd) {
            record.replaced =
                record.replaced.appending(AttributedText::from(storage_, rangeBetween(typedEnd, range.end())));
        }
        std::size_t newStart = std::min(record.location, range.location);
        std::size_t oldEnd = std::max(typedEnd, range.end());
        record.location = newStart;
        record.length = oldEnd - range.length + replacement.size() - newStart;
    } else {
        breakUndoCoalescing();
        if (manager != nullptr && manager->isUndoRegistrationEnabled()) {
            auto record = std::make_shared<TextChangeRecord>();
            record->location = range.location;
            record->length = replacement.size();
            record->replaced = AttributedText::from(storage_, range);
            record->selectionBefore = selectionBefore;
            registerChange(*manager, record);
            typingRecord_ = record;
            typingManager_ = manager;
        }
    }
    if (attributes != nullptr) {
        storage_.replaceCharacters(range, replacement, *attributes);
    } else {
        storage_.replaceCharacters(range, replacement);
    }
    // The caret follows the typing without ending the step.
    setSelectionQuietly(caretAfter, caretAfter);
    if (typingRecord_) {
        noteExpectedText(*typingRecord_);
        typingRecord_->selectionAfter = TextRange{caretAfter, 0};
        typingManagerChangeCount_ = typingManager_->changeCount();
    }
    selectionDidChange();
    didChangeText();
    return true;
}

// ---- moving ----

std::size_t EditingCore::destination(Movement movement, std::size_t position) const {
    position = std::min(position, length());
    // Steps read the lines around the position, never the whole text at once, so that a step costs the
    // lines around the caret, not the page.
    if (movement == Movement::backwardCharacter) {
        return graphemeBoundaryNear(storage_, position, [](const TextPieces &text, std::size_t at) {
            return graphemeBoundaryBefore(text, at);
        });
    }
    if (movement == Movement::forwardCharacter) {
        return graphemeBoundaryNear(
            storage_, position, [](const TextPieces &text, std::size_t at) { return graphemeBoundaryAfter(text, at); });
    }
    switch (movement) {
    case Movement::backwardCharacter:
    case Movement::forwardCharacter:
        break;
    case Movement::backwardWord:
        return wordStepNear(storage_, position, false);
    case Movement::forwardWord:
        return wordStepNear(storage_, position, true);
    case Movement::beginningOfLine:
        return paragraphStartNear(storage_, position);
    case Movement::endOfLine:
        return paragraphContentsEndNear(storage_, position);
    case Movement::beginningOfDocument:
        return 0;
    case Movement::endOfDocument:
        return length();
    }
    return position;
}

void EditingCore::move(Movement movement, bool extend) {
    if (extend) {
        setSelection(anchor_, destination(movement, head_));
        return;
    }
    TextRange selection = selectedRange();
    bool backward = movement == Movement::backwardCharacter || movement == Movement::backwardWord ||
                    movement == Movement::beginningOfLine || movement == Movement::beginningOfDocument;
    if (selection.length > 0 && movement == Movement::backwardCharacter) {
        setSelectedRange(TextRange{selection.location, 0});
        return;
    }
    if (selection.length > 0 && movement == Movement::forwardCharacter) {
        setSelectedRange(TextRange{selection.end(), 0});
        return;
    }
    std::size_t caret = destination(movement, backward ? selection.location : selection.end());
    setSelectedRange(TextRange{caret, 0});
}

// ---- loading ----

bool EditingCore::loadText(std::u16string_view text, const Attributes &attributes) {
    breakUndoCoalescing();
    // A page's text is copied only when it holds a lone surrogate: a copy of a page of megabytes costs its
    // size in memory and the page faults of filling it.
    const bool asGiven = !containsLoneSurrogate(text);
    if (asGiven) {
        storage_.replaceCharacters(TextRange{0, length()}, text, attributes);
    } else {
        storage_.replaceCharacters(TextRange{0, length()}, replacingLoneSurrogates(text), attributes);
    }
    setSelectionQuietly(length(), length());
    selectionDidChange();
    return asGiven;
}

void EditingCore::loadUTF8Text(std::string_view text) {
    breakUndoCoalescing();
    storage_.replaceAllCharactersDecoding(text, Attributes());
    setSelectionQuietly(length(), length());
    selectionDidChange();
}

} // namespace velto::editor
