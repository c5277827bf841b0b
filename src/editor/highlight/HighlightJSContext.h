#pragma once

#include "platform/desktop/Cancellation.h"
#include "platform/desktop/JavaScriptEngine.h"

#include <optional>
#include <string>
#include <vector>

namespace velto::editor {

/// A JavaScript context that holds highlight.js, ready to highlight code again and again.
///
/// Evaluating the scripts costs far more than a highlight (about 30 ms against 1 ms for a block), so a
/// highlighter keeps one of these per worker thread instead of building a context for every block.
/// highlight.js keeps no state from one highlight to the next; a context whose run raised an exception
/// is still thrown away by its owner, since a script that failed half-way may have left anything behind.
/// Used by one thread at a time.
class HighlightJSContext {
public:
    /// Evaluates the scripts in order, then the glue that defines the highlight function. Checks the
    /// cancellation before each script. Throws CancellationError, or CodeSyntaxHighlightingError:
    /// missingRuntime when no context can be made or the function is not defined, runtimeFailure when a
    /// script raises.
    HighlightJSContext(const std::vector<std::u16string> &scripts, const CancellationToken &cancellation);

    /// The markup highlight.js gives for the code, or nothing when it does not know the language. Throws
    /// CodeSyntaxHighlightingError::runtimeFailure when the highlight raises.
    std::optional<std::u16string> markup(const std::u16string &source, const std::string &language);

private:
    static JavaScriptContext newContext();

    JavaScriptContext context_;
};

} // namespace velto::editor
