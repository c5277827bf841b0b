#include "editor/rules/LinkPasteBehavior.h"

#include "editor/text/StringRanges.h"

#include <unicode/unistr.h>

#include <algorithm>

namespace velto::editor::LinkPasteBehavior {

namespace {

bool isASCIILetter(char16_t unit) {
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

bool isSchemeCharacter(char16_t unit) {
    return isASCIILetter(unit) || (unit >= u'0' && unit <= u'9') || unit == u'+' || unit == u'-' || unit == u'.';
}

/// Characters that may stand in a URL as they are (RFC 3986 unreserved, reserved and "%").
bool isURLCharacter(unsigned char byte) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) {
        return true;
    }
    return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(static_cast<char>(byte)) != std::string_view::npos;
}

std::string percentEncoded(std::u16string_view text) {
    std::string utf8;
    icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size())).toUTF8String(utf8);
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(utf8.size());
    for (unsigned char byte : utf8) {
        if (isURLCharacter(byte)) {
            encoded += static_cast<char>(byte);
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

} // namespace

std::optional<std::string> parsedURL(std::u16string_view text) {
    if (text.empty() || !isASCIILetter(text[0])) {
        return std::nullopt;
    }
    std::size_t position = 1;
    while (position < text.size() && isSchemeCharacter(text[position])) {
        ++position;
    }
    if (position >= text.size() || text[position] != u':') {
        return std::nullopt;
    }
    return percentEncoded(text);
}

std::optional<std::string> linkableURL(std::u16string_view text) {
    if (trimmingWhitespaceAndNewlines(text).size() != text.size()) {
        return std::nullopt;
    }
    std::optional<std::string> url = parsedURL(text);
    if (!url) {
        return std::nullopt;
    }
    std::string scheme = url->substr(0, url->find(':'));
    for (char &c : scheme) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (scheme != "http" && scheme != "https" && scheme != "mailto") {
        return std::nullopt;
    }
    return url;
}

} // namespace velto::editor::LinkPasteBehavior

namespace velto::editor::LinkPasteBehavior {

namespace {

bool spansLines(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char16_t unit) { return isWhitespaceOrNewline(unit) && !isWhitespace(unit); });
}

std::u16string escaping(std::u16string_view text, std::u16string_view specials) {
    std::u16string escaped;
    escaped.reserve(text.size() + 8);
    for (char16_t unit : text) {
        if (specials.find(unit) != std::u16string_view::npos) {
            escaped += u'\\';
        }
        escaped += unit;
    }
    return escaped;
}

} // namespace

std::optional<std::u16string> linkableDestination(const std::optional<std::u16string> &addressText,
                                                  const std::optional<std::u16string> &plainText) {
    for (const std::optional<std::u16string> *candidate : {&addressText, &plainText}) {
        if (*candidate && !spansLines(**candidate) && linkableURL(**candidate)) {
            return **candidate;
        }
    }
    return std::nullopt;
}

std::u16string markdownLink(std::u16string_view label, std::u16string_view destination) {
    return u"[" + escaping(label, u"\\[]") + u"](" + escaping(destination, u"\\)") + u")";
}

} // namespace velto::editor::LinkPasteBehavior
