#include "editor_view/EditingCore.h"

#include "editor/MarkdownStyler.h"
#include "editor/StringRanges.h"
#include "editor_view/TextBoundaries.h"
#include "editor_view/TextChangeRecord.h"

#include <algorithm>
#include <utility>

namespace velto::editor {

namespace {

bool fitsIn(TextRange range, std::size_t length) {
    return range.location <= length && range.length <= length - range.location;
}

TextRange clamped(TextRange range, std::size_t length) {
    std::size_t start = std::min(range.location, length);
    std::size_t end = std::min(range.length, length - start) + start;
    return rangeBetween(start, end);
}

} // namespace

EditingCore::EditingCore(TextStorage &storage)
    : storage_(storage)
    , liveness_(std::make_shared<EditingCore *>(this))
    , codeTextColor_(MarkdownStyler::textColor()) {
    head_ = anchor_ = storage_.length();
}

EditingCore::~EditingCore() = default;

// ---- undo ----

UndoManager *EditingCore::undoManager() {
    return undoManagerSource_ ? undoManagerSource_() : &ownUndoManager_;
}

void EditingCore::setUndoManagerSource(std::function<UndoManager *()> source) {
    breakUndoCoalescing();
    undoManagerSource_ = std::move(source);
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
    return unitsHash(std::u16string_view(string()).substr(range.location, range.length)) == record.expectedHash;
}

void EditingCore::noteExpectedText(TextChangeRecord &record) const {
    record.expectedHash = unitsHash(std::u16string_view(string()).substr(record.location, record.length));
}

void EditingCore::applyRecord(UndoManager &manager, const TextChangeRecord &record) {
    TextRange range{record.location, record.length};
    if (!holdsExpectedText(record)) {
        breakUndoCoalescing();
        if (undoHistoryMismatchHandler) {
            undoHistoryMismatchHandler(manager);
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
    didChangeText();
    setSelectedRange(record.selectionBefore);
}

// ---- selection ----

void EditingCore::setSelectedRange(TextRange range) {
    TextRange fitting = clamped(range, length());
    setSelection(fitting.location, fitting.end());
}

void EditingCore::setSelection(std::size_t anchor, std::size_t head) {
    const std::u16string &text = string();
    anchor = std::min(anchor, text.size());
    head = std::min(head, text.size());
    // Widen outward to whole graphemes: the lower end moves back, the upper end forward.
    if (anchor <= head) {
        anchor = graphemeBoundaryAtOrBefore(text, anchor);
        head = anchor == head ? anchor : graphemeBoundaryAtOrAfter(text, head);
    } else {
        head = graphemeBoundaryAtOrBefore(text, head);
        anchor = graphemeBoundaryAtOrAfter(text, anchor);
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
    if (didChangeSelectionHandler) {
        didChangeSelectionHandler();
    }
}

void EditingCore::updateTypingAttributesFromText() {
    if (length() == 0) {
        return; // an empty text keeps what it was given
    }
    std::size_t location = selectedRange().location;
    typingAttributes_ = storage_.attributes(location > 0 ? location - 1 : 0);
}

// ---- the change protocol ----

bool EditingCore::shouldChangeText(TextRange range, std::u16string_view replacement) {
    if (!editable_) {
        return false;
    }
    return !shouldChangeTextHandler || shouldChangeTextHandler(range, replacement);
}

void EditingCore::didChangeText() {
    if (didChangeTextHandler) {
        didChangeTextHandler();
    }
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
    const std::u16string &text = string();
    position = std::min(position, text.size());
    switch (movement) {
    case Movement::backwardCharacter:
        return previousGraphemeBoundary(text, position);
    case Movement::forwardCharacter:
        return nextGraphemeBoundary(text, position);
    case Movement::backwardWord:
        return previousWordStart(text, position);
    case Movement::forwardWord:
        return nextWordEnd(text, position);
    case Movement::beginningOfLine:
        return paragraphRange(text, TextRange{position, 0}).location;
    case Movement::endOfLine:
        return contentsEnd(text, paragraphRange(text, TextRange{position, 0}));
    case Movement::beginningOfDocument:
        return 0;
    case Movement::endOfDocument:
        return text.size();
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

void EditingCore::loadText(std::u16string_view text, const Attributes &attributes) {
    breakUndoCoalescing();
    std::u16string clean = replacingLoneSurrogates(text);
    storage_.replaceCharacters(TextRange{0, length()}, clean, attributes);
    setSelectionQuietly(length(), length());
    selectionDidChange();
}

} // namespace velto::editor
