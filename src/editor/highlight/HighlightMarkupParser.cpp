#include "editor/highlight/HighlightMarkupParser.h"

#include "editor/highlight/CodeSyntaxHighlightingError.h"

#include <array>
#include <cstdint>
#include <utility>

namespace velto::editor::HighlightMarkupParser {
namespace {

constexpr std::u16string_view spanOpening = u"<span class=\"";
constexpr std::u16string_view spanClosing = u"</span>";
constexpr std::u16string_view classPrefix = u"hljs-";

constexpr std::array<std::pair<std::u16string_view, SyntaxTokenKind>, 35> kindsByClassName{{
    {u"comment", SyntaxTokenKind::comment},
    {u"doctag", SyntaxTokenKind::comment},
    {u"quote", SyntaxTokenKind::comment},
    {u"string", SyntaxTokenKind::string},
    {u"regexp", SyntaxTokenKind::string},
    {u"addition", SyntaxTokenKind::string},
    {u"emphasis", SyntaxTokenKind::string},
    {u"number", SyntaxTokenKind::number},
    {u"symbol", SyntaxTokenKind::number},
    {u"bullet", SyntaxTokenKind::number},
    {u"keyword", SyntaxTokenKind::keyword},
    {u"literal", SyntaxTokenKind::keyword},
    {u"meta", SyntaxTokenKind::keyword},
    {u"meta-keyword", SyntaxTokenKind::keyword},
    {u"operator", SyntaxTokenKind::keyword},
    {u"strong", SyntaxTokenKind::keyword},
    {u"title", SyntaxTokenKind::type},
    {u"type", SyntaxTokenKind::type},
    {u"built_in", SyntaxTokenKind::type},
    {u"class", SyntaxTokenKind::type},
    {u"function_", SyntaxTokenKind::type},
    {u"section", SyntaxTokenKind::type},
    {u"attr", SyntaxTokenKind::attribute},
    {u"attribute", SyntaxTokenKind::attribute},
    {u"property", SyntaxTokenKind::attribute},
    {u"params", SyntaxTokenKind::attribute},
    {u"variable", SyntaxTokenKind::attribute},
    {u"template-variable", SyntaxTokenKind::attribute},
    {u"language_", SyntaxTokenKind::attribute},
    {u"tag", SyntaxTokenKind::tag},
    {u"name", SyntaxTokenKind::tag},
    {u"selector-tag", SyntaxTokenKind::tag},
    {u"selector-class", SyntaxTokenKind::tag},
    {u"selector-id", SyntaxTokenKind::tag},
    {u"selector-pseudo", SyntaxTokenKind::tag},
}};

std::optional<SyntaxTokenKind> classKind(std::u16string_view className) {
    if (className.starts_with(classPrefix)) {
        className.remove_prefix(classPrefix.size());
    }
    for (const auto &[name, kind] : kindsByClassName) {
        if (name == className) {
            return kind;
        }
    }
    return std::nullopt;
}

/// The digits' value in the base, or nothing when there are none, one is not a digit of the base, or
/// the value needs more than 32 bits.
std::optional<std::uint32_t> numberValue(std::u16string_view digits, unsigned base) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char16_t character : digits) {
        unsigned digit = 0;
        if (character >= u'0' && character <= u'9') {
            digit = character - u'0';
        } else if (base == 16 && character >= u'a' && character <= u'f') {
            digit = character - u'a' + 10;
        } else if (base == 16 && character >= u'A' && character <= u'F') {
            digit = character - u'A' + 10;
        } else {
            return std::nullopt;
        }
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFF'FFFFu) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

/// Writes the scalar as one or two UTF-16 units; gives the count.
std::size_t utf16Units(char32_t scalar, std::array<char16_t, 2> &units) {
    if (scalar < 0x10000) {
        units[0] = static_cast<char16_t>(scalar);
        return 1;
    }
    const char32_t offset = scalar - 0x10000;
    units[0] = static_cast<char16_t>(0xD800 + (offset >> 10));
    units[1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    return 2;
}

/// Walks the text and hands its decoded form to the sink in pieces: runs copied unchanged and the
/// characters of entities. The parser compares the pieces with the source instead of building the
/// decoded text, which keeps it fast on large blocks.
template <typename Sink>
void forEachDecodedPiece(std::u16string_view text, const CancellationToken &cancellation, Sink &&sink) {
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t ampersand = text.find(u'&', position);
        if (ampersand == std::u16string_view::npos) {
            sink(text.substr(position));
            return;
        }
        cancellation.throwIfCancelled();
        if (ampersand > position) {
            sink(text.substr(position, ampersand - position));
        }
        const std::size_t semicolon = text.find(u';', ampersand + 1);
        if (semicolon == std::u16string_view::npos) {
            throw CodeSyntaxHighlightingError::invalidMarkup();
        }
        const std::optional<char32_t> character = decodedEntity(text.substr(ampersand + 1, semicolon - ampersand - 1));
        if (!character) {
            throw CodeSyntaxHighlightingError::invalidMarkup();
        }
        std::array<char16_t, 2> units{};
        sink(std::u16string_view(units.data(), utf16Units(*character, units)));
        position = semicolon + 1;
    }
}

/// Compares the decoded markup text with the source as it arrives, piece by piece.
class SourceComparison {
public:
    explicit SourceComparison(std::u16string_view source)
        : source_(source) {}

    /// Takes the next decoded piece; gives its length in UTF-16 units.
    std::size_t take(std::u16string_view piece) {
        if (matches_) {
            matches_ = source_.substr(offset_, piece.size()) == piece;
        }
        offset_ += piece.size();
        return piece.size();
    }

    std::size_t offset() const { return offset_; }
    bool decodedTextEqualsSource() const { return matches_ && offset_ == source_.size(); }

private:
    std::u16string_view source_;
    std::size_t offset_ = 0;
    bool matches_ = true;
};

} // namespace

std::vector<SyntaxToken> parse(std::u16string_view markup, std::u16string_view source,
                               const CancellationToken &cancellation) {
    std::vector<std::optional<SyntaxTokenKind>> openSpans;
    std::vector<SyntaxToken> tokens;
    SourceComparison decoded(source);

    std::size_t position = 0;
    while (position < markup.size()) {
        cancellation.throwIfCancelled();
        const std::u16string_view rest = markup.substr(position);
        if (rest.starts_with(spanOpening)) {
            const std::size_t attributeStart = position + spanOpening.size();
            const std::size_t quote = markup.find(u'"', attributeStart);
            if (quote == std::u16string_view::npos || quote + 1 >= markup.size() || markup[quote + 1] != u'>') {
                throw CodeSyntaxHighlightingError::invalidMarkup();
            }
            openSpans.push_back(spanKind(markup.substr(attributeStart, quote - attributeStart)));
            position = quote + 2;
        } else if (rest.starts_with(spanClosing)) {
            if (openSpans.empty()) {
                throw CodeSyntaxHighlightingError::invalidMarkup();
            }
            openSpans.pop_back();
            position += spanClosing.size();
        } else if (rest.front() == u'<') {
            // highlight.js escapes every "<" of the code, so any other tag means markup we do not know.
            throw CodeSyntaxHighlightingError::invalidMarkup();
        } else {
            std::size_t textEnd = markup.find(u'<', position);
            if (textEnd == std::u16string_view::npos) {
                textEnd = markup.size();
            }
            const std::size_t start = decoded.offset();
            forEachDecodedPiece(markup.substr(position, textEnd - position), cancellation,
                                [&decoded](std::u16string_view piece) { decoded.take(piece); });
            const std::size_t length = decoded.offset() - start;
            if (length >= 1) {
                if (const std::optional<SyntaxTokenKind> kind = tokenKind(openSpans)) {
                    append(SyntaxToken{TextRange{start, length}, *kind}, tokens);
                }
            }
            position = textEnd;
        }
    }

    if (!openSpans.empty()) {
        throw CodeSyntaxHighlightingError::invalidMarkup();
    }
    if (!decoded.decodedTextEqualsSource()) {
        throw CodeSyntaxHighlightingError::sourceMismatch();
    }
    return tokens;
}

std::u16string decodeEntities(std::u16string_view text, const CancellationToken &cancellation) {
    std::u16string result;
    result.reserve(text.size());
    forEachDecodedPiece(text, cancellation, [&result](std::u16string_view piece) { result += piece; });
    return result;
}

std::optional<char32_t> decodedEntity(std::u16string_view name) {
    if (name == u"amp") {
        return U'&';
    }
    if (name == u"lt") {
        return U'<';
    }
    if (name == u"gt") {
        return U'>';
    }
    if (name == u"quot") {
        return U'"';
    }
    if (name == u"apos" || name == u"#39" || name == u"#x27") {
        return U'\'';
    }

    std::optional<std::uint32_t> scalar;
    if (name.starts_with(u"#x") || name.starts_with(u"#X")) {
        scalar = numberValue(name.substr(2), 16);
    } else if (name.starts_with(u"#")) {
        scalar = numberValue(name.substr(1), 10);
    }
    if (!scalar || *scalar > 0x10FFFF || (*scalar >= 0xD800 && *scalar <= 0xDFFF)) {
        return std::nullopt;
    }
    return static_cast<char32_t>(*scalar);
}

std::optional<SyntaxTokenKind> spanKind(std::u16string_view classAttribute) {
    std::size_t position = 0;
    while (position < classAttribute.size()) {
        std::size_t space = classAttribute.find(u' ', position);
        if (space == std::u16string_view::npos) {
            space = classAttribute.size();
        }
        if (space > position) {
            if (const std::optional<SyntaxTokenKind> kind =
                    classKind(classAttribute.substr(position, space - position))) {
                return kind;
            }
        }
        position = space + 1;
    }
    return std::nullopt;
}

std::optional<SyntaxTokenKind> tokenKind(const std::vector<std::optional<SyntaxTokenKind>> &openSpans) {
    for (auto span = openSpans.rbegin(); span != openSpans.rend(); ++span) {
        if (*span) {
            return *span;
        }
    }
    return std::nullopt;
}

void append(const SyntaxToken &token, std::vector<SyntaxToken> &tokens) {
    if (!tokens.empty() && tokens.back().kind == token.kind && tokens.back().range.end() == token.range.location) {
        tokens.back().range.length += token.range.length;
        return;
    }
    tokens.push_back(token);
}

} // namespace velto::editor::HighlightMarkupParser
