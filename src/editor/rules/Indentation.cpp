#include "editor/rules/Indentation.h"

#include "editor/rules/TypingRules.h"
#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <algorithm>

namespace velto::editor::Indentation {

namespace {

std::size_t stepWidth(EditorIndentationChoice choice) {
    return choice == EditorIndentationChoice::spaces2 ? 2 : 4;
}

/// Every line the range touches gets `transform` applied to its contents; terminators stay as they
/// are, whichever they are (LF, CR, CRLF, NEL, U+2028, U+2029), so that no line is skipped.
template <typename Transform>
std::u16string transformingLines(std::u16string_view text, TextRange lines, Transform transform) {
    std::u16string result;
    result.reserve(lines.length + lines.length / 8);
    std::size_t start = lines.location;
    while (start < lines.end()) {
        const std::size_t end = std::min(lineEnd(text, start), lines.end());
        const std::size_t contents = contentsEnd(text, TextRange{start, end - start});
        result += transform(text.substr(start, contents - start));
        result += text.substr(contents, end - contents);
        start = end;
    }
    return result;
}

void changeSelectedLines(EditingTarget &target, bool outdent) {
    const EditorIndentationChoice choice = target.editorSettings().indentation;
    const TextStretch lines = linesAround(target.storage(), target.selectedRange());
    const std::u16string_view unit = unitText(choice);
    const std::u16string changed =
        transformingLines(lines.text, TextRange{0, lines.text.size()}, [&](std::u16string_view line) {
            return outdent ? removingOneIndent(line, choice) : std::u16string(unit) + std::u16string(line);
        });
    target.replaceText(lines.range, changed, TextRange{lines.range.location, changed.size()});
}

} // namespace

std::u16string_view unitText(EditorIndentationChoice choice) {
    switch (choice) {
    case EditorIndentationChoice::tab:
        return u"\t";
    case EditorIndentationChoice::spaces4:
        return u"    ";
    case EditorIndentationChoice::spaces2:
        break;
    }
    return u"  ";
}

std::u16string indentationAtCaret(std::u16string_view text, std::size_t location, EditorIndentationChoice choice) {
    if (choice == EditorIndentationChoice::tab) {
        return u"\t";
    }
    location = std::min(location, text.size());
    const std::size_t column = location - lineRange(text, TextRange{location, 0}).location;
    const std::size_t width = stepWidth(choice);
    return std::u16string(width - column % width, u' ');
}

std::u16string removingOneIndent(std::u16string_view line, EditorIndentationChoice choice) {
    const std::u16string_view unit = unitText(choice);
    if (line.starts_with(unit)) {
        return std::u16string(line.substr(unit.size()));
    }
    if (line.starts_with(u'\t')) {
        return std::u16string(line.substr(1));
    }
    const std::size_t limit = std::min(line.size(), stepWidth(choice));
    std::size_t spaces = 0;
    while (spaces < limit && line[spaces] == u' ') {
        ++spaces;
    }
    return std::u16string(line.substr(spaces));
}

void changeIndentation(EditingTarget &target, bool outdent) {
    if (!target.isEditable()) {
        return;
    }
    const TextRange selection = target.selectedRange();
    if (selection.length > 0) {
        changeSelectedLines(target, outdent);
        return;
    }
    if (outdent) {
        outdentCurrentLine(target, selection.location);
        return;
    }
    // Through the typing rules, so that indentation typed in a code block takes the code attributes.
    const std::size_t caret = std::min(selection.location, target.storage().length());
    const TextStretch line = linesAround(target.storage(), TextRange{caret, 0});
    const std::u16string indentation =
        indentationAtCaret(line.text, caret - line.range.location, target.editorSettings().indentation);
    TypingRules::insertText(target, indentation, TextRange{selection.location, 0});
}

void outdentCurrentLine(EditingTarget &target, std::size_t location) {
    location = std::min(location, target.storage().length());
    const TextStretch around = linesAround(target.storage(), TextRange{location, 0});
    const TextRange line = around.range;
    const std::u16string outdented = removingOneIndent(around.text, target.editorSettings().indentation);
    const std::size_t removed = line.length - outdented.size();
    if (removed == 0) {
        return;
    }
    const std::size_t caret = std::max(location >= removed ? location - removed : 0, line.location);
    target.replaceText(line, outdented, TextRange{caret, 0});
}

} // namespace velto::editor::Indentation
