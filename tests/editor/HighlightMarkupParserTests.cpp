#include "editor/highlight/HighlightMarkupParser.h"

#include "editor/highlight/CodeSyntaxHighlightingError.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace velto::editor {
namespace {

using Kind = SyntaxTokenKind;

SyntaxToken token(std::size_t location, std::size_t length, Kind kind) {
    return {TextRange{location, length}, kind};
}

CodeSyntaxHighlightingError::Kind parseFailure(std::u16string_view markup, std::u16string_view source) {
    try {
        HighlightMarkupParser::parse(markup, source);
    } catch (const CodeSyntaxHighlightingError &error) {
        return error.kind();
    }
    ADD_FAILURE() << "the markup was accepted";
    return CodeSyntaxHighlightingError::Kind::runtimeFailure;
}

TEST(HighlightMarkupParser, MarkupWithoutSpansGivesNoTokens) {
    EXPECT_TRUE(HighlightMarkupParser::parse(u"plain text", u"plain text").empty());
    EXPECT_TRUE(HighlightMarkupParser::parse(u"", u"").empty());
}

TEST(HighlightMarkupParser, InnermostClassifiedSpanDecidesTheKind) {
    const std::u16string markup =
        u"<span class=\"hljs-meta\">#include <span class=\"hljs-string\">&lt;vector&gt;</span></span>\nint";
    EXPECT_EQ(HighlightMarkupParser::parse(markup, u"#include <vector>\nint"),
              (std::vector{token(0, 9, Kind::keyword), token(9, 8, Kind::string)}));
}

TEST(HighlightMarkupParser, SpanWithoutKnownClassesInheritsFromEnclosingSpan) {
    const std::u16string markup = u"<span class=\"hljs-keyword\">a<span class=\"hljs-unknown x\">b</span></span>"
                                  u"<span class=\"hljs-unknown\">c</span>";
    EXPECT_EQ(HighlightMarkupParser::parse(markup, u"abc"), (std::vector{token(0, 2, Kind::keyword)}));
}

TEST(HighlightMarkupParser, FirstKnownClassNameInWrittenOrderWins) {
    EXPECT_EQ(HighlightMarkupParser::parse(u"<span class=\"hljs-title class_\">Foo</span>", u"Foo"),
              (std::vector{token(0, 3, Kind::type)}));
    EXPECT_EQ(HighlightMarkupParser::parse(u"<span class=\"hljs-title  hljs-string\">Foo</span>", u"Foo"),
              (std::vector{token(0, 3, Kind::type)}));
    EXPECT_EQ(HighlightMarkupParser::parse(u"<span class=\"nothing hljs-string\">Foo</span>", u"Foo"),
              (std::vector{token(0, 3, Kind::string)}));
}

TEST(HighlightMarkupParser, ClassTableMapsEveryName) {
    const std::vector<std::pair<std::u16string, std::optional<Kind>>> table{
        {u"comment", Kind::comment},
        {u"doctag", Kind::comment},
        {u"quote", Kind::comment},
        {u"string", Kind::string},
        {u"regexp", Kind::string},
        {u"addition", Kind::string},
        {u"emphasis", Kind::string},
        {u"number", Kind::number},
        {u"symbol", Kind::number},
        {u"bullet", Kind::number},
        {u"keyword", Kind::keyword},
        {u"literal", Kind::keyword},
        {u"meta", Kind::keyword},
        {u"meta-keyword", Kind::keyword},
        {u"operator", Kind::keyword},
        {u"strong", Kind::keyword},
        {u"title", Kind::type},
        {u"type", Kind::type},
        {u"built_in", Kind::type},
        {u"class", Kind::type},
        {u"function_", Kind::type},
        {u"section", Kind::type},
        {u"attr", Kind::attribute},
        {u"attribute", Kind::attribute},
        {u"property", Kind::attribute},
        {u"params", Kind::attribute},
        {u"variable", Kind::attribute},
        {u"template-variable", Kind::attribute},
        {u"language_", Kind::attribute},
        {u"tag", Kind::tag},
        {u"name", Kind::tag},
        {u"selector-tag", Kind::tag},
        {u"selector-class", Kind::tag},
        {u"selector-id", Kind::tag},
        {u"selector-pseudo", Kind::tag},
        {u"Keyword", std::nullopt},
        {u"subst", std::nullopt},
        {u"hljs-", std::nullopt},
        {u"", std::nullopt},
    };
    for (const auto &[name, kind] : table) {
        EXPECT_EQ(HighlightMarkupParser::spanKind(u"hljs-" + name), kind);
        EXPECT_EQ(HighlightMarkupParser::spanKind(name), kind);
    }
}

TEST(HighlightMarkupParser, SiblingSpansOfOneKindMergeOnlyWhenTouching) {
    EXPECT_EQ(HighlightMarkupParser::parse(u"<span class=\"hljs-keyword\">int</span><span class=\"hljs-type\">x</span>"
                                           u"<span class=\"hljs-built_in\">y</span>",
                                           u"intxy"),
              (std::vector{token(0, 3, Kind::keyword), token(3, 2, Kind::type)}));
    EXPECT_EQ(HighlightMarkupParser::parse(
                  u"<span class=\"hljs-keyword\">int</span> <span class=\"hljs-keyword\">const</span>", u"int const"),
              (std::vector{token(0, 3, Kind::keyword), token(4, 5, Kind::keyword)}));
}

TEST(HighlightMarkupParser, RangesAreMeasuredInUtf16UnitsAfterDecoding) {
    // "&lt;" is one unit of the source; U+1F600 is two.
    EXPECT_EQ(
        HighlightMarkupParser::parse(u"&lt;<span class=\"hljs-string\">\U0001F600&amp;</span>x", u"<\U0001F600&x"),
        (std::vector{token(1, 3, Kind::string)}));
    EXPECT_EQ(HighlightMarkupParser::parse(u"<span class=\"hljs-string\">&#x1F600;</span>&#39;", u"\U0001F600'"),
              (std::vector{token(0, 2, Kind::string)}));
}

TEST(HighlightMarkupParser, EmptySpansGiveNoTokens) {
    EXPECT_TRUE(HighlightMarkupParser::parse(u"a<span class=\"hljs-string\"></span>b", u"ab").empty());
}

TEST(HighlightMarkupParser, UnexpectedFormsAreInvalidMarkup) {
    using Error = CodeSyntaxHighlightingError::Kind;
    const std::vector<std::u16string> invalid{
        u"a &amp b",                              // no ";" after "&"
        u"&nbsp;",                                // a name that decodes to nothing
        u"x</span>",                              // stray closing tag
        u"<span class=\"hljs-string\">x",         // unclosed span
        u"<span class=\"hljs-string\" >x</span>", // not a quote followed by ">"
        u"<span class=\"hljs-string>x</span>",    // no closing quote
        u"<b>x</b>",                              // any other tag
        u"<span class='hljs-string'>x</span>",    // other quoting
    };
    for (const std::u16string &markup : invalid) {
        EXPECT_EQ(parseFailure(markup, u"x"), Error::invalidMarkup);
    }
}

TEST(HighlightMarkupParser, DecodedTextDifferentFromSourceIsSourceMismatch) {
    using Error = CodeSyntaxHighlightingError::Kind;
    EXPECT_EQ(parseFailure(u"<span class=\"hljs-keyword\">int</span> x\n", u"int x"), Error::sourceMismatch);
    EXPECT_EQ(parseFailure(u"int", u"int x"), Error::sourceMismatch);
    EXPECT_EQ(parseFailure(u"inT", u"int"), Error::sourceMismatch);
    EXPECT_EQ(parseFailure(u"&lt;", u"&lt;"), Error::sourceMismatch);
}

TEST(HighlightMarkupParser, InvalidMarkupIsReportedEvenAfterTextDiffers) {
    EXPECT_EQ(parseFailure(u"abc</span>", u"x"), CodeSyntaxHighlightingError::Kind::invalidMarkup);
}

TEST(HighlightMarkupParser, CancelledParseStopsWithCancellation) {
    CancellationToken cancellation;
    cancellation.cancel();
    EXPECT_THROW(HighlightMarkupParser::parse(u"x", u"x", cancellation), CancellationError);
    EXPECT_THROW(HighlightMarkupParser::decodeEntities(u"&amp;", cancellation), CancellationError);
}

TEST(HighlightMarkupParser, DecodesNamedAndNumericEntities) {
    const std::vector<std::pair<std::u16string, std::optional<char32_t>>> table{
        {u"amp", U'&'},
        {u"lt", U'<'},
        {u"gt", U'>'},
        {u"quot", U'"'},
        {u"apos", U'\''},
        {u"#39", U'\''},
        {u"#x27", U'\''},
        {u"#X41", U'A'},
        {u"#65", U'A'},
        {u"#x10FFFF", U'\U0010FFFF'},
        {u"#x000041", U'A'},
        {u"#x110000", std::nullopt},
        {u"#xD800", std::nullopt},
        {u"#57343", std::nullopt},
        {u"#x100000000", std::nullopt},
        {u"#4294967296", std::nullopt},
        {u"#x", std::nullopt},
        {u"#", std::nullopt},
        {u"#x1G", std::nullopt},
        {u"#1a", std::nullopt},
        {u"AMP", std::nullopt},
        {u"nbsp", std::nullopt},
        {u"", std::nullopt},
    };
    for (const auto &[name, decoded] : table) {
        EXPECT_EQ(HighlightMarkupParser::decodedEntity(name), decoded) << std::string(name.begin(), name.end());
    }
    EXPECT_EQ(HighlightMarkupParser::decodeEntities(u"a &lt;&gt; b&#x1F600;"), u"a <> b\U0001F600");
    EXPECT_EQ(HighlightMarkupParser::decodeEntities(u"no entities"), u"no entities");
}

TEST(HighlightMarkupParser, AppendMergesOnlyTouchingTokensOfOneKind) {
    std::vector<SyntaxToken> tokens;
    HighlightMarkupParser::append(token(0, 2, Kind::string), tokens);
    HighlightMarkupParser::append(token(2, 3, Kind::string), tokens);
    HighlightMarkupParser::append(token(5, 1, Kind::number), tokens);
    HighlightMarkupParser::append(token(7, 1, Kind::number), tokens);
    EXPECT_EQ(tokens, (std::vector{token(0, 5, Kind::string), token(5, 1, Kind::number), token(7, 1, Kind::number)}));
}

} // namespace
} // namespace velto::editor
