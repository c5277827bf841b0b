#include "editor/rules/TypingRules.h"

#include "editor/markdown/CodePositions.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor/rules/Indentation.h"
#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <algorithm>

namespace velto::editor::TypingRules {

namespace {

bool isClosingCharacter(char16_t character) {
    return character == u')' || character == u']' || character == u'}' || character == u'"' || character == u'\'';
}

bool isOutdentingCloser(char16_t character) {
    return character == u')' || character == u']' || character == u'}';
}

/// The fence character when the text is a non-empty run of one backtick or tilde character.
std::optional<char16_t> fenceRunCharacter(std::u16string_view text) {
    if (text.empty() || (text[0] != u'`' && text[0] != u'~')) {
        return std::nullopt;
    }
    const bool uniform = std::all_of(text.begin(), text.end(), [&text](char16_t unit) { return unit == text[0]; });
    return uniform ? std::optional<char16_t>(text[0]) : std::nullopt;
}

std::size_t afterOptionalBlankLine(const TextStorage &storage, std::size_t lineStart, std::size_t lineLength) {
    std::size_t skip = lineLength;
    const std::size_t next = lineStart + lineLength;
    if (storage.characterAt(next) == u'\n') {
        skip += 1;
    } else if (storage.characterAt(next) == u'\r') {
        skip += next + 1 < storage.length() && storage.characterAt(next + 1) == u'\n' ? 2 : 1;
    }
    return skip;
}

/// When the line just typed has become the closing fence of a block and the automatically inserted
/// fence stands below it (after at most one blank line), the typed line and the blank line go.
bool mergeTypedFenceWithInsertedOne(EditingTarget &target, char16_t fence, std::size_t typed, TextRange line) {
    const TextStorage &storage = target.storage();
    const std::optional<FencedCodeBlock> block = CodePositions::fencedBlockContaining(storage, line.location);
    if (!block || block->opening.character != fence || block->opening.length != typed || block->closingRange != line ||
        line.end() >= storage.length()) {
        return false;
    }
    const std::size_t skip = afterOptionalBlankLine(storage, line.location, line.length);
    const TextRange following = lineRange(storage, TextRange{std::min(line.location + skip, storage.length()), 0});
    const std::u16string followingText = storage.substring(following);
    const std::optional<FenceMarker> marker =
        MarkdownSyntaxScanner::openingFence(followingText, TextRange{0, followingText.size()});
    if (!marker || marker->character != fence || marker->length < typed || !marker->infoString.empty()) {
        return false;
    }
    target.replaceText(TextRange{line.location, skip}, u"", TextRange{following.end() - skip, 0});
    return true;
}

void insertInsideFencedCode(EditingTarget &target, char16_t character, TextRange range, TextRange editRange) {
    if (isClosingCharacter(character) && range.length == 0 && target.characterAt(range.location) == character) {
        target.setSelectedRange(TextRange{range.location + 1, 0}); // steps over the closer
        return;
    }
    if (const std::optional<char16_t> closing = closingCharacter(character)) {
        target.replaceText(range, std::u16string{character, *closing}, TextRange{range.location + 1, 0});
        return;
    }
    if (isOutdentingCloser(character) && range.length == 0 &&
        outdentClosingDelimiter(target, character, range.location)) {
        return;
    }
    const std::u16string text(1, character);
    target.withCodeTypingAttributes([&] { target.insertTypedText(editRange, text); });
    const std::size_t caret = target.selectedRange().location;
    applyStableCodeAttributes(target, TextRange{caret >= 1 ? caret - 1 : 0, 1});
}

} // namespace

std::optional<char16_t> closingCharacter(char16_t opening) {
    switch (opening) {
    case u'(':
        return u')';
    case u'[':
        return u']';
    case u'{':
        return u'}';
    case u'"':
        return u'"';
    case u'\'':
        return u'\'';
    default:
        return std::nullopt;
    }
}

void insertText(EditingTarget &target, std::u16string_view typed, TextRange replacementRange) {
    if (!target.isEditable()) {
        return;
    }
    const TextRange editRange =
        replacementRange.location == TextRange::notFound ? target.selectedRange() : replacementRange;
    std::u16string_view text = typed;

    if (target.hasMarkedText() && fenceRunCharacter(text)) {
        // A committed fence run: inserted, given code attributes, then checked for an inserted fence below.
        target.insertTypedText(editRange, text);
        const std::size_t caret = target.selectedRange().location;
        const std::size_t count = text.size();
        applyStableCodeAttributes(target, TextRange{caret >= count ? caret - count : 0, count});
        overtypeAutomaticallyInsertedClosingFence(target, text, target.selectedRange(), true);
        return;
    }

    const TextRange range = normalizedDelimiterInsertionRange(target, editRange, text);
    if (text == u"``" && range.length == 0 &&
        target.characterAt(static_cast<std::ptrdiff_t>(range.location) - 1) == u'`') {
        text = u"`"; // two backticks at once right after a backtick make three, not four
    }
    if (overtypeAutomaticallyInsertedClosingFence(target, text, range, false)) {
        return;
    }
    if (text.size() != 1) {
        target.insertTypedText(editRange, text);
        return;
    }
    const char16_t character = text[0];
    if (range.length > 0) {
        if (const std::optional<char16_t> closing = closingCharacter(character)) {
            // Wraps the text of the edit range, which an input method may pass instead of the selection.
            const std::u16string wrapped = target.storage().substring(range);
            target.replaceText(range, character + wrapped + *closing, TextRange{range.location + 1, wrapped.size()});
            return;
        }
    }
    if (!target.isInsideFencedCode(static_cast<std::ptrdiff_t>(range.location))) {
        target.insertTypedText(editRange, text);
        return;
    }
    insertInsideFencedCode(target, character, range, editRange);
}

bool deleteBackward(EditingTarget &target) {
    if (!target.isEditable()) {
        return true;
    }
    const TextRange selection = target.selectedRange();
    if (selection.length > 0) {
        return unwrapSelectionIfNeeded(target, selection);
    }
    const auto location = static_cast<std::ptrdiff_t>(selection.location);
    if (location < 1 || !target.isInsideFencedCode(location)) {
        return false;
    }
    const std::optional<char16_t> before = target.characterAt(location - 1);
    const std::optional<char16_t> after = target.characterAt(location);
    if (!before || !after || closingCharacter(*before) != *after) {
        return false;
    }
    target.replaceText(TextRange{selection.location - 1, 2}, u"", TextRange{selection.location - 1, 0});
    return true;
}

TextRange normalizedDelimiterInsertionRange(const EditingTarget &target, TextRange range,
                                            std::u16string_view inserted) {
    const std::optional<char16_t> fence = fenceRunCharacter(inserted);
    if (range.length > 0 || !fence) {
        return range;
    }
    const std::size_t length = target.storage().length();
    if (length < range.location) {
        return TextRange{length, 0};
    }
    if (range.location < 1) {
        return range;
    }
    // The caret stands at the very start of the closing fence line of a block with content.
    const std::optional<FencedCodeBlock> block = CodePositions::fencedBlockContaining(target.storage(), range.location);
    if (block && block->opening.character == *fence && block->closingRange &&
        block->closingRange->location == range.location && block->contentRange.location < range.location &&
        block->contentRange.end() >= range.location) {
        return TextRange{range.location - 1, 0};
    }
    return range;
}

bool overtypeAutomaticallyInsertedClosingFence(EditingTarget &target, std::u16string_view inserted, TextRange range,
                                               bool insertedAlreadyApplied) {
    const std::optional<char16_t> fence = fenceRunCharacter(inserted);
    if (range.length > 0 || !fence) {
        return false;
    }
    const std::size_t caret = std::min(range.location, target.storage().length());
    const TextRange line = lineRange(target.storage(), TextRange{caret, 0});
    const std::u16string prefix = target.storage().substring(rangeBetween(line.location, caret));
    const std::size_t spaces = std::min(prefix.find_first_not_of(u' '), prefix.size());
    const std::u16string_view rest = std::u16string_view(prefix).substr(spaces);
    if (spaces > 3 || rest.empty() || rest.find_first_not_of(*fence) != std::u16string_view::npos) {
        return false;
    }
    const std::size_t typed = rest.size() + (insertedAlreadyApplied ? 0 : inserted.size());
    if (insertedAlreadyApplied && mergeTypedFenceWithInsertedOne(target, *fence, typed, line)) {
        return true;
    }
    // A block whose closing fence is the line right below the caret's and whose content holds the caret.
    const std::optional<FencedCodeBlock> block = CodePositions::fencedBlockContaining(target.storage(), line.end());
    if (!block || block->opening.character != *fence || block->opening.length != typed || !block->closingRange ||
        block->closingRange->location != line.end() || block->contentRange.location > caret ||
        caret > block->contentRange.end()) {
        return false;
    }
    // The partial fence typed so far goes, and the caret moves to the end of the existing fence.
    const std::size_t typedSoFar = rest.size();
    target.replaceText(TextRange{caret - typedSoFar, typedSoFar}, u"",
                       TextRange{line.end() + block->closingRange->length - typedSoFar, 0});
    return true;
}

bool outdentClosingDelimiter(EditingTarget &target, char16_t character, std::size_t location) {
    location = std::min(location, target.storage().length());
    const std::size_t lineStart = lineRange(target.storage(), TextRange{location, 0}).location;
    const std::u16string prefix = target.storage().substring(rangeBetween(lineStart, location));
    if (prefix.empty() || prefix.find_first_not_of(u" \t") != std::u16string_view::npos) {
        return false;
    }
    const std::u16string outdented = Indentation::removingOneIndent(prefix, target.editorSettings().indentation);
    target.replaceText(TextRange{lineStart, prefix.size()}, outdented + character,
                       TextRange{lineStart + outdented.size() + 1, 0});
    return true;
}

bool unwrapSelectionIfNeeded(EditingTarget &target, TextRange selection) {
    if (selection.location < 1) {
        return false;
    }
    const std::optional<char16_t> before = target.characterAt(static_cast<std::ptrdiff_t>(selection.location) - 1);
    const std::optional<char16_t> after = target.characterAt(static_cast<std::ptrdiff_t>(selection.end()));
    if (!before || !after || closingCharacter(*before) != *after) {
        return false;
    }
    const std::u16string selected = target.storage().substring(selection);
    target.replaceText(TextRange{selection.location - 1, selection.length + 2}, selected,
                       TextRange{selection.location - 1, selection.length});
    return true;
}

void applyStableCodeAttributes(EditingTarget &target, TextRange range) {
    if (range.length == 0 || range.end() > target.storage().length()) {
        return;
    }
    const Attributes code = MarkdownStyler::codeAttributes(target.codeTextColor(), target.styleSettings());
    target.updateAttributes(range, [&code](const Attributes &attributes) {
        return attributes.without(AttributeKey::veltoCodeSyntaxToken)
            .without(AttributeKey::veltoCodeSyntaxGeneration)
            .merging(code);
    });
}

} // namespace velto::editor::TypingRules
