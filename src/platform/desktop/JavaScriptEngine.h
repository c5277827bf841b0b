#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Forward declaration of JavaScriptCore's context type, so that users of the wrapper do not pull in
// the engine's headers.
typedef struct OpaqueJSContext *JSGlobalContextRef;

namespace velto {

/// A script raised an exception; what() is the exception's text ("SyntaxError: Unexpected token ';'").
class JavaScriptException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The engine could not create a context.
class JavaScriptEngineUnavailable : public std::runtime_error {
public:
    JavaScriptEngineUnavailable()
        : std::runtime_error("The JavaScript engine is not available.") {}
};

/// One JavaScript global context of JavaScriptCore. Each context lives in its own context group (its
/// own virtual machine), so contexts used on different threads share nothing; a single context must
/// be used by one thread at a time. Texts cross the boundary as UTF-16, the engine's own encoding.
class JavaScriptContext {
public:
    JavaScriptContext();
    ~JavaScriptContext();
    JavaScriptContext(const JavaScriptContext &) = delete;
    JavaScriptContext &operator=(const JavaScriptContext &) = delete;

    /// Evaluates a script in the global scope; throws JavaScriptException when it raises one.
    void evaluate(std::u16string_view script);

    /// True when the global object has a property of that name whose value is not undefined.
    bool hasGlobal(std::string_view name) const;

    /// Calls the global function with string arguments. Nothing when the function returns null or
    /// undefined; any other result is converted to its string. Throws JavaScriptException when the
    /// call raises one or the global is not a function.
    std::optional<std::u16string> callGlobalFunction(std::string_view name,
                                                     const std::vector<std::u16string_view> &arguments);

private:
    JSGlobalContextRef context_ = nullptr;
};

} // namespace velto
