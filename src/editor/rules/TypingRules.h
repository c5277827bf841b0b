#pragma once

#include "editor/editing/EditingTarget.h"

#include <cstddef>
#include <optional>
#include <string_view>

// What typed text and Backspace do. Outside code the editor stays a plain text editor, except that an
// opening bracket or quote typed over a selection wraps it, and Backspace over a selection standing
// between such a pair removes the pair. Inside a fenced code block brackets and quotes come in pairs, a
// typed closer steps over the same closer, a closing bracket typed on a blank line prefix moves that
// line one step left, and typed text takes the code attributes at once. Backtick and tilde runs are
// watched so that a closing fence the editor inserted by itself is typed over rather than doubled.
namespace velto::editor::TypingRules {

/// The closing character of an opening one of the pairs () [] {} "" '', or none.
std::optional<char16_t> closingCharacter(char16_t opening);

/// Typed or committed text. `replacementRange` with location TextRange::notFound means the selection.
void insertText(EditingTarget &target, std::u16string_view text, TextRange replacementRange);

/// Backspace: true when a rule handled it (or the target is read-only, where nothing happens); false
/// when the ordinary backspace should run.
bool deleteBackward(EditingTarget &target);

/// A caret at the very start of the closing fence of a block with content, about to receive a fence
/// run, is moved before the line break that ends the block's last content line.
TextRange normalizedDelimiterInsertionRange(const EditingTarget &target, TextRange range, std::u16string_view inserted);

/// Types a fence run over the closing fence that Return inserted below, instead of doubling it. True
/// when handled (the caller inserts nothing more); false leaves the text untouched.
bool overtypeAutomaticallyInsertedClosingFence(EditingTarget &target, std::u16string_view inserted, TextRange range,
                                               bool insertedAlreadyApplied);

/// A closing bracket typed where only blanks precede it on the line: the blanks lose one step and the
/// bracket follows them. True when attempted (even if the change was refused).
bool outdentClosingDelimiter(EditingTarget &target, char16_t character, std::size_t location);

/// Backspace over a selection standing between an opening character and its closer removes the two.
bool unwrapSelectionIfNeeded(EditingTarget &target, TextRange selection);

/// Gives the range plain code attributes, without highlighting tokens until the next highlighting pass.
void applyStableCodeAttributes(EditingTarget &target, TextRange range);

} // namespace velto::editor::TypingRules
