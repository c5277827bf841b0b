#include "editor/rules/PasteRules.h"

#include "editor/rules/CodePasteIndentation.h"
#include "editor/rules/LinkPasteBehavior.h"

namespace velto::editor::PasteRules {

namespace {

/// One undo step of its own, the caret after the pasted text.
bool replaceSelection(EditingTarget &target, std::u16string_view replacement) {
    const TextRange selection = target.selectedRange();
    return target.replaceText(selection, replacement, TextRange{selection.location + replacement.size(), 0});
}

} // namespace

std::u16string normalizingLineEnds(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (text[index] != u'\r') {
            result += text[index];
            continue;
        }
        result += u'\n';
        if (index + 1 < text.size() && text[index + 1] == u'\n') {
            ++index;
        }
    }
    return result;
}

bool paste(EditingTarget &target, const ClipboardTexts &clipboard) {
    if (!target.isEditable()) {
        return false;
    }
    const TextRange selection = target.selectedRange();
    const bool inCode = target.isInsideFencedCode(static_cast<std::ptrdiff_t>(selection.location));
    if (inCode && clipboard.plainText) {
        const std::u16string code = normalizingLineEnds(*clipboard.plainText);
        if (code.find(u'\n') != std::u16string::npos) {
            replaceSelection(target, CodePasteIndentation::normalize(code, target.editorSettings().indentation));
            return true;
        }
    }
    if (selection.length > 0 && !inCode) {
        if (const auto destination =
                LinkPasteBehavior::linkableDestination(clipboard.addressText, clipboard.plainText)) {
            replaceSelection(target,
                             LinkPasteBehavior::markdownLink(target.storage().substring(selection), *destination));
            return true;
        }
    }
    return clipboard.readableText && pastePlainText(target, *clipboard.readableText);
}

bool pastePlainText(EditingTarget &target, std::u16string_view text) {
    if (!target.isEditable()) {
        return false;
    }
    const std::u16string pasted = normalizingLineEnds(text);
    const TextRange selection = target.selectedRange();
    // The selected text is read only when the lengths agree, and only its own units.
    const std::size_t length = target.storage().length();
    const TextRange selected = rangeBetween(std::min(selection.location, length), std::min(selection.end(), length));
    const bool changesText = pasted.size() != selected.length || pasted != target.storage().substring(selected);
    return replaceSelection(target, pasted) && changesText;
}

} // namespace velto::editor::PasteRules
