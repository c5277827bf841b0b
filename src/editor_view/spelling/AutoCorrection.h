#pragma once

#include "editor/editing/EditingCore.h"
#include "editor/text/TextRange.h"
#include "editor_view/spelling/SpellChecker.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velto::editor {

/// One automatic correction: replace `range` with `replacement`.
struct AutoCorrection {
    TextRange range;
    std::u16string replacement;
    bool operator==(const AutoCorrection &) const = default;
};

/// The correction due after a character was typed at `typedAt`, if any. Deliberately careful, since
/// nobody asked for the change: the typed character must be a space or punctuation that ends a word;
/// the word before it must be misspelled prose (not code, a link destination or an address); and the
/// checker's first suggestion must lie one edit away (one letter added, dropped, changed, or two
/// neighbours swapped, ignoring case). The replacement takes the word's capitalisation.
std::optional<AutoCorrection> automaticCorrection(std::u16string_view text, std::size_t typedAt, SpellChecker &checker,
                                                  const std::function<bool(std::size_t)> &isInsideLiteralCode);

/// Puts the replacement in place of the range as one undo step of its own: a suggestion chosen from the
/// context menu, or an automatic correction (which one Undo takes back). The selection keeps its place
/// in the text around the word. False, with nothing changed, when the view refuses the change.
bool applyCorrection(EditingCore &core, const AutoCorrection &correction);

/// True when the two words are one edit apart (insertion, deletion, substitution or a swap of two
/// neighbours); equal words are not.
bool isOneEditApart(std::u16string_view a, std::u16string_view b);

/// The suggestion written in the word's capitalisation: all capitals, a leading capital, or as given.
std::u16string matchingCapitalisation(std::u16string_view word, std::u16string_view suggestion);

} // namespace velto::editor
