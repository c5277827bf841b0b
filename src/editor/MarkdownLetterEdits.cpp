#include "editor/MarkdownLetterEdits.h"

#include "editor/MarkdownLinkMatcher.h"

#include <algorithm>

namespace velto::editor {

namespace {

bool isASCIILetter(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

bool consistsOfASCIILetters(std::u16string_view units) {
    return std::all_of(units.begin(), units.end(), isASCIILetter);
}

/// Whether the edit's new text sits among letters: after a letter, and before a letter, a blank, a
/// line feed or the end of the text; or at the start of the text before a letter. No match or group
/// of the full pass ends between a letter and a blank or line feed (bare addresses aside), so
/// letters there join the run of letters before them.
bool sitsAmongLetters(const TextStorage &storage, const CharacterEdit &edit) {
    const std::size_t after = edit.location + edit.newLength;
    const bool hasAfter = after < storage.length();
    if (edit.location == 0) {
        return hasAfter && isASCIILetter(storage.characterAt(after));
    }
    if (!isASCIILetter(storage.characterAt(edit.location - 1))) {
        return false;
    }
    if (!hasAfter) {
        return true;
    }
    const char16_t next = storage.characterAt(after);
    return isASCIILetter(next) || next == u' ' || next == u'\n';
}

/// Whether the stretch around the range up to a blank or line feed holds a colon. Fewer separators
/// than the bare-address pattern stops at make the stretch longer, never shorter.
bool colonNear(const TextStorage &storage, TextRange range) {
    const auto isSeparator = [](char16_t unit) { return unit == u' ' || unit == u'\n'; };
    for (std::size_t position = range.location; position > 0 && !isSeparator(storage.characterAt(position - 1));
         --position) {
        if (storage.characterAt(position - 1) == u':') {
            return true;
        }
    }
    for (std::size_t position = range.location; position < storage.length() && !isSeparator(storage.characterAt(position));
         ++position) {
        if (storage.characterAt(position) == u':') {
            return true;
        }
    }
    return false;
}

/// The line-feed line holding the range.
TextRange lineFeedLineOf(const TextStorage &storage, TextRange range) {
    const std::size_t feedBefore = storage.findBackward(u'\n', range.location);
    const std::size_t start = feedBefore == TextRange::notFound ? 0 : feedBefore + 1;
    const std::size_t feedAfter = storage.findForward(u'\n', range.end());
    return rangeBetween(start, feedAfter < storage.length() ? feedAfter + 1 : feedAfter);
}

/// Whether a link destination on the line holds or borders the range. Links never cross a line
/// feed, so the line's links are those the whole text has there.
bool touchesLinkDestination(const TextStorage &storage, TextRange line, TextRange range) {
    const std::u16string text = storage.substring(line);
    bool touches = false;
    enumerateMarkdownLinks(text, [&](const RegexMatch &match) {
        const TextRange destination = match.range(4);
        const std::size_t start = line.location + destination.location;
        if (start <= range.end() && range.location <= start + destination.length) {
            touches = true;
        }
    });
    return touches;
}

} // namespace

bool keepsStylingOfLetterEdit(const TextStorage &storage, const CharacterEdit &edit,
                              const MarkdownCodeTokenIndex &index) {
    const TextRange inserted{edit.location, edit.newLength};
    if (inserted.end() > storage.length() || !edit.keepsRemovedUnits() || (edit.oldLength == 0 && edit.newLength == 0)) {
        return false;
    }
    if (!consistsOfASCIILetters(edit.removedUnits) || !consistsOfASCIILetters(storage.substring(inserted)) ||
        !sitsAmongLetters(storage, edit)) {
        return false;
    }
    const TextRange line = lineFeedLineOf(storage, inserted);
    if (!index.fencedBlocksOverlapping(line).empty() || colonNear(storage, inserted)) {
        return false;
    }
    return !touchesLinkDestination(storage, line, inserted);
}

std::optional<Attributes> attributesOfInsertedLetters(const TextStorage &storage, const CharacterEdit &edit) {
    const std::size_t after = edit.location + edit.newLength;
    if (edit.location == 0) {
        return storage.attributes(after);
    }
    Attributes before = storage.attributes(edit.location - 1);
    if (after < storage.length() && isASCIILetter(storage.characterAt(after)) && storage.attributes(after) != before) {
        return std::nullopt;
    }
    return before;
}

} // namespace velto::editor
