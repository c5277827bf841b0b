#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velto::editor {

/// A highlight.js script exists but could not be read, or is not UTF-8.
class HighlightScriptReadingError : public std::runtime_error {
public:
    explicit HighlightScriptReadingError(const std::filesystem::path &file)
        : std::runtime_error("The script “" + file.filename().string() + "” could not be read.") {}
};

/// The scripts, in the order they are evaluated: the highlight.js core with its common languages, then
/// four more languages. Each is "<name>.js" in the scripts folder.
inline const std::vector<std::string> highlightScriptNames{"highlight.min", "dockerfile.min", "graphql.min", "less.min",
                                                           "scss.min"};

/// Evaluated after the scripts, it defines the one function the highlighter calls. It answers null for a
/// language highlight.js has not registered, and tolerates illegal input rather than giving up on half-typed code.
inline constexpr std::u16string_view highlightGlueScript = u"globalThis.veltoHighlight = function(code, language) {\n"
                                                           u"  if (!hljs.getLanguage(language)) return null;\n"
                                                           u"  const result = hljs.highlight(code, {\n"
                                                           u"    language: language,\n"
                                                           u"    ignoreIllegals: true\n"
                                                           u"  });\n"
                                                           u"  return result.value;\n"
                                                           u"};";

/// The "SyntaxHighlighting" folder of the application: Resources/SyntaxHighlighting in the application
/// folder (the folder above the real executable's bin/), else a "SyntaxHighlighting" folder beside the
/// executable; nothing when neither exists.
std::optional<std::filesystem::path> bundledScriptsFolder();

/// The five scripts of the folder as UTF-16 texts. Throws CodeSyntaxHighlightingError::missingRuntime
/// when the folder is absent or lacks a script, HighlightScriptReadingError when one cannot be read.
std::vector<std::u16string> loadScripts(const std::optional<std::filesystem::path> &folder);

} // namespace velto::editor
