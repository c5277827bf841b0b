// Arbitrary markup through the highlight markup parser. It must never crash, and whenever it accepts
// markup its tokens must lie on the source: ascending, non-empty, within the source, and never two
// touching tokens of one kind. Half of the inputs take as source the markup's own text with the tags
// removed and the entities decoded, so that accepted markup is common.
#include "editor/highlight/CodeSyntaxHighlightingError.h"
#include "editor/highlight/HighlightMarkupParser.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

/// The markup's text outside "<…>" tags, entities decoded where they can be.
std::u16string textOf(std::u16string_view markup) {
    std::u16string text;
    bool insideTag = false;
    for (const char16_t unit : markup) {
        if (unit == u'<') {
            insideTag = true;
        } else if (unit == u'>' && insideTag) {
            insideTag = false;
        } else if (!insideTag) {
            text += unit;
        }
    }
    try {
        return velto::editor::HighlightMarkupParser::decodeEntities(text);
    } catch (const velto::editor::CodeSyntaxHighlightingError &) {
        return text;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace velto::editor;
    if (size == 0) {
        return 0;
    }
    const bool sourceFromMarkup = (data[0] & 1) == 0;
    const std::string_view bytes(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::size_t separator = bytes.find('\0');
    const std::u16string markup = velto::text::toUTF16(bytes.substr(0, separator));
    const std::u16string source = sourceFromMarkup || separator == std::string_view::npos
                                      ? textOf(markup)
                                      : velto::text::toUTF16(bytes.substr(separator + 1));
    try {
        const std::vector<SyntaxToken> tokens = HighlightMarkupParser::parse(markup, source);
        std::size_t previousEnd = 0;
        for (std::size_t index = 0; index < tokens.size(); ++index) {
            const SyntaxToken &token = tokens[index];
            check(token.range.length > 0);
            check(token.range.location >= previousEnd);
            check(token.range.end() <= source.size());
            check(index == 0 || token.range.location != previousEnd || token.kind != tokens[index - 1].kind);
            previousEnd = token.range.end();
        }
    } catch (const CodeSyntaxHighlightingError &) {
    }
    return 0;
}
