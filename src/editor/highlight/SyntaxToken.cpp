#include "editor/highlight/SyntaxToken.h"

#include <array>
#include <utility>

namespace velto::editor {
namespace {

constexpr std::array<std::pair<SyntaxTokenKind, std::string_view>, 7> rawValues{{
    {SyntaxTokenKind::keyword, "keyword"},
    {SyntaxTokenKind::number, "number"},
    {SyntaxTokenKind::string, "string"},
    {SyntaxTokenKind::comment, "comment"},
    {SyntaxTokenKind::tag, "tag"},
    {SyntaxTokenKind::attribute, "attribute"},
    {SyntaxTokenKind::type, "type"},
}};

} // namespace

std::string_view rawValue(SyntaxTokenKind kind) {
    for (const auto &[candidate, text] : rawValues) {
        if (candidate == kind) {
            return text;
        }
    }
    return {};
}

std::optional<SyntaxTokenKind> syntaxTokenKind(std::string_view rawValue) {
    for (const auto &[kind, text] : rawValues) {
        if (text == rawValue) {
            return kind;
        }
    }
    return std::nullopt;
}

} // namespace velto::editor
