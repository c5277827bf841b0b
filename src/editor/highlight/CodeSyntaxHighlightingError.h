#pragma once

#include <stdexcept>
#include <string>

namespace velto::editor {

/// Why code could not be highlighted. These never reach the user: the editor shows the block as plain
/// code instead, so the texts are for logs and tests only.
class CodeSyntaxHighlightingError : public std::runtime_error {
public:
    enum class Kind {
        /// The JavaScript engine raised an exception; `detail` is the exception's text.
        runtimeFailure,
        /// The scripts, the JavaScript context or the highlight function are not available.
        missingRuntime,
        /// The markup returned by highlight.js is not of the expected form.
        invalidMarkup,
        /// The text of the markup, decoded, differs from the code that was highlighted.
        sourceMismatch,
    };

    static CodeSyntaxHighlightingError runtimeFailure(std::string exceptionText) {
        return {Kind::runtimeFailure, std::move(exceptionText)};
    }
    static CodeSyntaxHighlightingError missingRuntime() { return {Kind::missingRuntime, {}}; }
    static CodeSyntaxHighlightingError invalidMarkup() { return {Kind::invalidMarkup, {}}; }
    static CodeSyntaxHighlightingError sourceMismatch() { return {Kind::sourceMismatch, {}}; }

    Kind kind() const { return kind_; }
    const std::string &detail() const { return detail_; }

    friend bool operator==(const CodeSyntaxHighlightingError &a, const CodeSyntaxHighlightingError &b) {
        return a.kind_ == b.kind_ && a.detail_ == b.detail_;
    }

private:
    CodeSyntaxHighlightingError(Kind kind, std::string detail)
        : std::runtime_error(description(kind, detail))
        , kind_(kind)
        , detail_(std::move(detail)) {}

    static std::string description(Kind kind, const std::string &detail) {
        switch (kind) {
        case Kind::runtimeFailure:
            return "highlight.js failed: " + detail;
        case Kind::missingRuntime:
            return "highlight.js is not available";
        case Kind::invalidMarkup:
            return "highlight.js returned unexpected markup";
        case Kind::sourceMismatch:
            return "highlight.js returned markup for other code";
        }
        return {};
    }

    Kind kind_;
    std::string detail_;
};

} // namespace velto::editor
