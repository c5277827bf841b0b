#pragma once

#include "editor/text/TextStorage.h"

#include <unicode/unistr.h>

#include <fstream>
#include <sstream>
#include <string>

// A readable dump of a storage's attribute runs, one run a line, for golden-file comparisons:
//   [0,2) "# " font=mono 22 semibold | color=secondaryLabel | para=... | lig=1
namespace velto::editor::testing {

inline std::string utf8(std::u16string_view text) {
    std::string result;
    icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size())).toUTF8String(result);
    return result;
}

inline std::string escapedForDump(std::u16string_view text) {
    std::string result;
    for (char c : utf8(text)) {
        if (c == '\n') {
            result += "\\n";
        } else if (c == '\r') {
            result += "\\r";
        } else if (c == '\t') {
            result += "\\t";
        } else {
            result += c;
        }
    }
    return result;
}

inline std::string shortKeyName(AttributeKey key) {
    switch (key) {
    case AttributeKey::font:
        return "font";
    case AttributeKey::foregroundColor:
        return "color";
    case AttributeKey::paragraphStyle:
        return "para";
    case AttributeKey::ligature:
        return "lig";
    case AttributeKey::kern:
        return "kern";
    case AttributeKey::underlineStyle:
        return "underline";
    case AttributeKey::strikethroughStyle:
        return "strike";
    case AttributeKey::link:
        return "link";
    default:
        return std::string(attributeKeyName(key));
    }
}

inline std::string dumpRuns(const TextStorage &storage) {
    std::ostringstream out;
    for (const AttributeRun &run : storage.attributeRuns(TextRange{0, storage.length()})) {
        out << '[' << run.range.location << ',' << run.range.end() << ") \""
            << escapedForDump(std::u16string_view(storage.string()).substr(run.range.location, run.range.length))
            << '"';
        const char *separator = " ";
        for (const AttributeEntry &entry : run.attributes.entries()) {
            out << separator << shortKeyName(entry.key) << '=' << describeAttributeValue(entry.value);
            separator = " | ";
        }
        out << '\n';
    }
    return out.str();
}

inline std::string readFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

} // namespace velto::editor::testing
