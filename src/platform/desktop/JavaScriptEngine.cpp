#include "platform/desktop/JavaScriptEngine.h"

#include <JavaScriptCore/JavaScript.h>

#include <string>

namespace velto {
namespace {

/// Owns one JSStringRef.
class JsString {
public:
    explicit JsString(std::u16string_view text)
        : string_(JSStringCreateWithCharacters(reinterpret_cast<const JSChar *>(text.data()), text.size())) {}
    explicit JsString(std::string_view utf8)
        : string_(JSStringCreateWithUTF8CString(std::string(utf8).c_str())) {}
    explicit JsString(JSStringRef adopted)
        : string_(adopted) {}
    ~JsString() {
        if (string_ != nullptr) {
            JSStringRelease(string_);
        }
    }
    JsString(const JsString &) = delete;
    JsString &operator=(const JsString &) = delete;

    JSStringRef get() const { return string_; }

    std::u16string text() const {
        if (string_ == nullptr) {
            return {};
        }
        const JSChar *characters = JSStringGetCharactersPtr(string_);
        return std::u16string(reinterpret_cast<const char16_t *>(characters), JSStringGetLength(string_));
    }

private:
    JSStringRef string_;
};

/// The value's string conversion; an exception raised by the conversion itself gives an empty text.
std::u16string stringOf(JSContextRef context, JSValueRef value) {
    JSValueRef exception = nullptr;
    const JsString string(JSValueToStringCopy(context, value, &exception));
    return string.text();
}

std::string utf8Of(std::u16string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        char32_t scalar = text[index];
        if (scalar >= 0xD800 && scalar <= 0xDBFF && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
            text[index + 1] <= 0xDFFF) {
            scalar = 0x10000 + ((scalar - 0xD800) << 10) + (text[index + 1] - 0xDC00);
            ++index;
        } else if (scalar >= 0xD800 && scalar <= 0xDFFF) {
            scalar = 0xFFFD;
        }
        if (scalar < 0x80) {
            result += static_cast<char>(scalar);
        } else if (scalar < 0x800) {
            result += static_cast<char>(0xC0 | (scalar >> 6));
            result += static_cast<char>(0x80 | (scalar & 0x3F));
        } else if (scalar < 0x10000) {
            result += static_cast<char>(0xE0 | (scalar >> 12));
            result += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (scalar & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (scalar >> 18));
            result += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (scalar & 0x3F));
        }
    }
    return result;
}

[[noreturn]] void throwException(JSContextRef context, JSValueRef exception) {
    throw JavaScriptException(utf8Of(stringOf(context, exception)));
}

} // namespace

JavaScriptContext::JavaScriptContext()
    : context_(JSGlobalContextCreate(nullptr)) {
    if (context_ == nullptr) {
        throw JavaScriptEngineUnavailable();
    }
}

JavaScriptContext::~JavaScriptContext() {
    JSGlobalContextRelease(context_);
}

void JavaScriptContext::evaluate(std::u16string_view script) {
    const JsString source(script);
    JSValueRef exception = nullptr;
    JSEvaluateScript(context_, source.get(), nullptr, nullptr, 1, &exception);
    if (exception != nullptr) {
        throwException(context_, exception);
    }
}

bool JavaScriptContext::hasGlobal(std::string_view name) const {
    const JsString propertyName(name);
    JSValueRef exception = nullptr;
    const JSValueRef value =
        JSObjectGetProperty(context_, JSContextGetGlobalObject(context_), propertyName.get(), &exception);
    return exception == nullptr && value != nullptr && !JSValueIsUndefined(context_, value);
}

std::optional<std::u16string> JavaScriptContext::callGlobalFunction(std::string_view name,
                                                                    const std::vector<std::u16string_view> &arguments) {
    const JsString propertyName(name);
    JSValueRef exception = nullptr;
    const JSObjectRef global = JSContextGetGlobalObject(context_);
    const JSValueRef function = JSObjectGetProperty(context_, global, propertyName.get(), &exception);
    if (exception != nullptr) {
        throwException(context_, exception);
    }
    if (function == nullptr || !JSValueIsObject(context_, function) ||
        !JSObjectIsFunction(context_, JSValueToObject(context_, function, nullptr))) {
        throw JavaScriptException("TypeError: " + std::string(name) + " is not a function");
    }

    std::vector<JSValueRef> values;
    values.reserve(arguments.size());
    for (const std::u16string_view argument : arguments) {
        const JsString string(argument);
        values.push_back(JSValueMakeString(context_, string.get()));
        // The vector lives on the heap, where the collector does not look for live values.
        JSValueProtect(context_, values.back());
    }
    const JSValueRef result = JSObjectCallAsFunction(context_, JSValueToObject(context_, function, nullptr), nullptr,
                                                     values.size(), values.data(), &exception);
    for (const JSValueRef value : values) {
        JSValueUnprotect(context_, value);
    }
    if (exception != nullptr) {
        throwException(context_, exception);
    }
    if (result == nullptr || JSValueIsNull(context_, result) || JSValueIsUndefined(context_, result)) {
        return std::nullopt;
    }
    return stringOf(context_, result);
}

} // namespace velto
