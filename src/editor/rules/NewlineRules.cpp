#include "editor/rules/NewlineRules.h"

#include "editor/markdown/CodePositions.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor/rules/Indentation.h"
#include "editor/rules/MarkdownLineContinuation.h"
#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <algorithm>
#include <optional>

namespace velto::editor::NewlineRules {

namespace {

struct CaretLine {
    TextRange line;
    std::u16string before; // from the line's start up to the caret
    std::u16string after;  // from the caret to the end of the line, its break included
};

/// The caret's line, copied out of the storage around the caret.
CaretLine caretLine(const TextStorage &storage, std::size_t caret) {
    const TextRange line = lineRange(storage, TextRange{caret, 0});
    return {line, storage.substring(rangeBetween(line.location, caret)),
            storage.substring(rangeBetween(caret, line.end()))};
}

bool isLineBreak(char16_t unit) {
    return isLineTerminator(unit) || unit == u'\v' || unit == u'\f';
}

bool consistsOfLineBreaks(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), isLineBreak);
}

/// On a closing fence line: a plain line break, and the typing below the block is not code.
void leaveCodeBlock(EditingTarget &target, std::size_t caret) {
    const Attributes base = MarkdownStyler::baseAttributes(target.codeTextColor(), target.styleSettings());
    target.setTypingAttributes(base);
    target.insertTypedText(TextRange{caret, 0}, u"\n");
    const std::size_t after = target.selectedRange().location;
    if (after >= 1 && after - 1 < target.storage().length()) {
        target.updateAttributes(TextRange{after - 1, 1}, [&base](const Attributes &) { return base; });
    }
}

/// After a typed opening fence: an empty line for the caret and a closing fence repeating the opening's
/// indentation and run.
void closeNewFence(EditingTarget &target, std::size_t caret, const FenceMarker &marker) {
    const std::u16string &indentation = marker.indentation;
    const std::u16string inserted = u"\n" + indentation + u"\n" + indentation + marker.delimiter();
    target.replaceText(TextRange{caret, 0}, inserted, TextRange{caret + 1 + indentation.size(), 0});
}

void continueCodeLine(EditingTarget &target, std::size_t caret, std::u16string_view before) {
    const std::size_t indentLength = std::min(before.find_first_not_of(u" \t"), before.size());
    const std::u16string indent(before.substr(0, indentLength));
    std::optional<char16_t> last;
    for (std::size_t index = before.size(); index > 0; --index) {
        if (!isWhitespace(before[index - 1])) {
            last = before[index - 1];
            break;
        }
    }
    const char16_t closer = last == u'(' ? u')' : last == u'[' ? u']' : last == u'{' ? u'}' : 0;
    if (closer == 0) {
        const std::u16string inserted = u"\n" + indent;
        target.replaceText(TextRange{caret, 0}, inserted, TextRange{caret + inserted.size(), 0});
        return;
    }
    const std::u16string deeper =
        u"\n" + indent + std::u16string(Indentation::unitText(target.editorSettings().indentation));
    if (target.characterAt(static_cast<std::ptrdiff_t>(caret)) == closer) {
        // The closer moves to its own line at the old indentation, the caret to the deeper line between.
        target.replaceText(TextRange{caret, 0}, deeper + u"\n" + indent, TextRange{caret + deeper.size(), 0});
        return;
    }
    target.replaceText(TextRange{caret, 0}, deeper, TextRange{caret + deeper.size(), 0});
}

} // namespace

bool insertNewline(EditingTarget &target) {
    if (!target.isEditable()) {
        return true;
    }
    const TextRange selection = target.selectedRange();
    if (selection.length > 0) {
        return false;
    }
    const std::size_t caret = std::min(selection.location, target.storage().length());
    const CaretLine line = caretLine(target.storage(), caret);
    // Blocks never overlap, so the block holding the line's start is the one its fence lines can belong to.
    const std::optional<FencedCodeBlock> lineBlock =
        CodePositions::fencedBlockContaining(target.storage(), line.line.location);

    if (lineBlock && lineBlock->closingRange && lineBlock->closingRange->location == line.line.location) {
        leaveCodeBlock(target, caret);
        return true;
    }
    if (consistsOfLineBreaks(line.after)) {
        if (const std::optional<FenceMarker> marker =
                MarkdownSyntaxScanner::openingFence(line.before, TextRange{0, line.before.size()})) {
            const bool opensHere = lineBlock && lineBlock->opening.lineRange.location == line.line.location;
            if (!opensHere || !lineBlock->closingRange) {
                closeNewFence(target, caret, *marker);
                return true;
            }
            return false;
        }
    }
    const std::optional<FencedCodeBlock> caretBlock = CodePositions::fencedBlockContaining(target.storage(), caret);
    if (caretBlock && caretBlock->contentRange.contains(caret)) {
        continueCodeLine(target, caret, line.before);
        return true;
    }
    return applyMarkdownContinuation(target, caret);
}

bool applyMarkdownContinuation(EditingTarget &target, std::size_t location) {
    location = std::min(location, target.storage().length());
    const CaretLine line = caretLine(target.storage(), location);
    const std::optional<MarkdownLineContinuation::Action> action = MarkdownLineContinuation::action(line.before);
    if (!action) {
        return false;
    }
    if (const auto *continuation = std::get_if<MarkdownLineContinuation::Continuation>(&*action)) {
        const std::u16string inserted = u"\n" + continuation->prefix;
        target.replaceText(TextRange{location, 0}, inserted, TextRange{location + inserted.size(), 0});
        return true;
    }
    const auto &exit = std::get<MarkdownLineContinuation::Exit>(*action);
    target.replaceText(TextRange{line.line.location, exit.prefixLength}, exit.replacement,
                       TextRange{line.line.location + exit.replacement.size(), 0});
    return true;
}

} // namespace velto::editor::NewlineRules
