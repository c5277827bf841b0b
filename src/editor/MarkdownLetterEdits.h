#pragma once

#include "editor/MarkdownCodeTokenIndex.h"
#include "editor/TextStorage.h"

#include <optional>

namespace velto::editor {

/// Whether the full pass styles the text after the edit exactly as it styled the text before it:
/// every unit the edit left keeps its attributes, and the units it inserted take those of their
/// neighbours. Answers yes only where that is certain, which is when letters change among letters:
///
/// - the edit removed and inserted only ASCII letters; the unit before it is an ASCII letter and
///   the one after it an ASCII letter, a blank, a line feed or the end of the text, or it lies at
///   the start of the text before an ASCII letter;
/// - no fenced block touches its line, and the code index saw no change of code structure;
/// - the run of units around it without a blank or line feed holds no colon (no bare address can
///   start or end in it);
/// - it lies in no link's destination (whose text becomes the label's link).
///
/// Every pattern of the full pass treats letters alike and reads them only through repeated
/// classes (any letter, "not a star", "not a blank"...), never counts them, and starts or ends its
/// matches and groups only next to a marker, a blank or a line's edge, never between two letters;
/// the link matcher and the code scanner look at brackets, parentheses, backslashes and backticks
/// only. So a run of letters growing or shrinking between letters moves every match and group
/// boundary with the text and leaves each pattern's matches as they were. Bare addresses (whose
/// schemes are letters) and link destinations (whose text is a link's value) are what the
/// colon and destination conditions leave out.
bool keepsStylingOfLetterEdit(const TextStorage &storage, const CharacterEdit &edit,
                              const MarkdownCodeTokenIndex &index);

/// The attributes the units the edit inserted take from the letter before them (after them at the
/// start of the text), once the edit keeps the styling: none when letters on both sides disagree
/// (so the edit did not keep it after all).
std::optional<Attributes> attributesOfInsertedLetters(const TextStorage &storage, const CharacterEdit &edit);

} // namespace velto::editor
