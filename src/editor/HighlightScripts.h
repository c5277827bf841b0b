#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
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

/// The "SyntaxHighlighting" folder of the application: Resources/SyntaxHighlighting in the application
/// folder (the folder above the real executable's bin/), else a "SyntaxHighlighting" folder beside the
/// executable; nothing when neither exists.
std::optional<std::filesystem::path> bundledScriptsFolder();

/// The five scripts of the folder as UTF-16 texts. Throws CodeSyntaxHighlightingError::missingRuntime
/// when the folder is absent or lacks a script, HighlightScriptReadingError when one cannot be read.
std::vector<std::u16string> loadScripts(const std::optional<std::filesystem::path> &folder);

} // namespace velto::editor
