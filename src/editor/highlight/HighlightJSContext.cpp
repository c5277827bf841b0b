#include "editor/highlight/HighlightJSContext.h"

#include "editor/highlight/CodeSyntaxHighlightingError.h"
#include "editor/highlight/HighlightScripts.h"
#include "platform/Text.h"

namespace velto::editor {

HighlightJSContext::HighlightJSContext(const std::vector<std::u16string> &scripts,
                                       const CancellationToken &cancellation)
    : context_(newContext()) {
    try {
        for (const std::u16string &script : scripts) {
            cancellation.throwIfCancelled();
            context_.evaluate(script);
        }
        cancellation.throwIfCancelled();
        context_.evaluate(highlightGlueScript);
    } catch (const JavaScriptException &exception) {
        throw CodeSyntaxHighlightingError::runtimeFailure(exception.what());
    }
    if (!context_.hasGlobal("veltoHighlight")) {
        throw CodeSyntaxHighlightingError::missingRuntime();
    }
}

std::optional<std::u16string> HighlightJSContext::markup(const std::u16string &source, const std::string &language) {
    try {
        return context_.callGlobalFunction("veltoHighlight", {source, text::toUTF16(language)});
    } catch (const JavaScriptException &exception) {
        throw CodeSyntaxHighlightingError::runtimeFailure(exception.what());
    }
}

JavaScriptContext HighlightJSContext::newContext() {
    try {
        return JavaScriptContext();
    } catch (const JavaScriptEngineUnavailable &) {
        throw CodeSyntaxHighlightingError::missingRuntime();
    }
}

} // namespace velto::editor
