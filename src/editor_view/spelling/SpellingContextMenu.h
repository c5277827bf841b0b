#pragma once

#include <QString>

#include <string>
#include <vector>

namespace velto::editor {

/// One row the context menu adds over a misspelled word: a suggestion that replaces the word, Ignore,
/// Learn, or a separator.
struct SpellingMenuEntry {
    enum class Action { replace, ignore, learn, separator };
    Action action = Action::separator;
    QString title;
    /// The word's replacement, for `replace`.
    std::u16string replacement;
    bool operator==(const SpellingMenuEntry &) const = default;
};

/// The suggestions (at most five, best first), then "Ignore Spelling" and "Learn Spelling", then a
/// separator before the editing commands.
std::vector<SpellingMenuEntry> spellingMenuEntries(const std::vector<std::u16string> &suggestions);

} // namespace velto::editor
