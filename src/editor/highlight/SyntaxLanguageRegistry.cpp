#include "editor/highlight/SyntaxLanguageRegistry.h"

#include "platform/Text.h"

#include <array>
#include <utility>

namespace velto::editor::SyntaxLanguageRegistry {
namespace {

// Names that people write in fences but that highlight.js registers under another name. Applied once:
// an alias never leads to another alias.
constexpr std::array<std::pair<std::string_view, std::string_view>, 26> aliases{{
    {"c++", "cpp"},         {"c#", "csharp"},
    {"cs", "csharp"},       {"docker", "dockerfile"},
    {"gql", "graphql"},     {"htm", "xml"},
    {"html", "xml"},        {"jsx", "javascript"},
    {"kt", "kotlin"},       {"md", "markdown"},
    {"mdown", "markdown"},  {"no-highlight", "plaintext"},
    {"none", "plaintext"},  {"objective-c", "objectivec"},
    {"plain", "plaintext"}, {"py", "python"},
    {"rb", "ruby"},         {"rs", "rust"},
    {"sh", "bash"},         {"text", "plaintext"},
    {"ts", "typescript"},   {"tsx", "typescript"},
    {"txt", "plaintext"},   {"xhtml", "xml"},
    {"yml", "yaml"},        {"zsh", "bash"},
}};

} // namespace

std::string highlightJSLanguage(std::string_view fenceLanguage) {
    std::string language = text::lowercased(fenceLanguage);
    for (const auto &[alias, name] : aliases) {
        if (alias == language) {
            return std::string(name);
        }
    }
    return language;
}

} // namespace velto::editor::SyntaxLanguageRegistry
