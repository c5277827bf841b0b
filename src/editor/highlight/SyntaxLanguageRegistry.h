#pragma once

#include <string>
#include <string_view>

namespace velto::editor::SyntaxLanguageRegistry {

/// The highlight.js language for a fence's language name: lower-cased, then replaced once by its alias
/// when it has one ("PY" gives "python", "c++" gives "cpp"); any other name, such as "js", is passed
/// on lower-cased and otherwise unchanged.
std::string highlightJSLanguage(std::string_view fenceLanguage);

} // namespace velto::editor::SyntaxLanguageRegistry
