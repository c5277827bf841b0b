#include "editor/highlight/HighlightScripts.h"

#include "editor/highlight/CodeSyntaxHighlightingError.h"
#include "platform/Text.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace velto::editor {
namespace {

constexpr const char *scriptsFolderName = "SyntaxHighlighting";

std::optional<std::filesystem::path> executablePath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return path;
}

bool isFolder(const std::filesystem::path &path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

std::u16string scriptText(const std::filesystem::path &file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw HighlightScriptReadingError(file);
    }
    const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad() || !text::isValidUTF8(bytes)) {
        throw HighlightScriptReadingError(file);
    }
    return text::toUTF16(bytes);
}

} // namespace

std::optional<std::filesystem::path> bundledScriptsFolder() {
    const std::optional<std::filesystem::path> executable = executablePath();
    if (!executable) {
        return std::nullopt;
    }
    const std::filesystem::path executableFolder = executable->parent_path();
    if (executableFolder.filename() == "bin") {
        const std::filesystem::path bundleResources = executableFolder.parent_path() / "Resources" / scriptsFolderName;
        if (isFolder(bundleResources)) {
            return bundleResources;
        }
    }
    const std::filesystem::path besideExecutable = executableFolder / scriptsFolderName;
    if (isFolder(besideExecutable)) {
        return besideExecutable;
    }
    return std::nullopt;
}

std::vector<std::u16string> loadScripts(const std::optional<std::filesystem::path> &folder) {
    if (!folder || !isFolder(*folder)) {
        throw CodeSyntaxHighlightingError::missingRuntime();
    }
    std::vector<std::u16string> scripts;
    for (const std::string &name : highlightScriptNames) {
        const std::filesystem::path file = *folder / (name + ".js");
        std::error_code error;
        if (!std::filesystem::exists(file, error)) {
            throw CodeSyntaxHighlightingError::missingRuntime();
        }
        scripts.push_back(scriptText(file));
    }
    return scripts;
}

} // namespace velto::editor
