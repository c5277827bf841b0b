#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// The list rules of Return: task items, bullets, ordered items and block quotes continue with the
// right marker, and an item holding only its marker ends the list or quote.
namespace velto::editor::MarkdownLineContinuation {

/// The item has content: Return inserts a line break and `prefix`.
struct Continuation {
    std::u16string prefix;
    bool operator==(const Continuation &) const = default;
};

/// The item is empty: the first `prefixLength` units of the line (everything before the content)
/// become `replacement`, and no line break is inserted.
struct Exit {
    std::size_t prefixLength = 0;
    std::u16string replacement;
    bool operator==(const Exit &) const = default;
};

using Action = std::variant<Continuation, Exit>;

/// The decision for the text of a line up to the caret; none when no rule matches. Rules are tried in
/// the order task, bullet, ordered, quote, so a task item never falls to the bullet rule.
std::optional<Action> action(std::u16string_view lineBeforeCaret);

/// The ordered item after the one numbered `digits`: its number plus one; "1" when the number is not
/// made of ASCII digits or its successor does not fit a signed 64-bit integer.
std::u16string nextOrderedNumber(std::u16string_view digits);

} // namespace velto::editor::MarkdownLineContinuation
