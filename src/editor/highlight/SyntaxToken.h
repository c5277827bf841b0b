#pragma once

#include "editor/text/TextRange.h"

#include <optional>
#include <string_view>

namespace velto::editor {

/// The colour classes of highlighted code. The raw values are what the editor stores in the text's
/// "VeltoCodeSyntaxToken" attribute.
enum class SyntaxTokenKind { keyword, number, string, comment, tag, attribute, type };

/// "keyword", "number", ...: the case's name.
std::string_view rawValue(SyntaxTokenKind kind);

/// The kind whose raw value is the text exactly; nothing for any other text.
std::optional<SyntaxTokenKind> syntaxTokenKind(std::string_view rawValue);

/// One coloured run of a code block: its range in UTF-16 units from the start of the code, and its kind.
struct SyntaxToken {
    TextRange range;
    SyntaxTokenKind kind = SyntaxTokenKind::keyword;

    friend bool operator==(const SyntaxToken &, const SyntaxToken &) = default;
};

} // namespace velto::editor
