#include "editor/AttributeDump.h"
#include "editor/rules/RtfTextReader.h"

#include <gtest/gtest.h>

using namespace velto::editor;
using velto::editor::testing::utf8;

namespace {

std::string read(std::string_view rtf) {
    const std::optional<std::u16string> text = RtfTextReader::plainText(rtf);
    return text ? utf8(*text) : "<unreadable>";
}

} // namespace

TEST(RtfTextReaderTests, DocumentTextIsReadAndTablesAreSkipped) {
    const struct {
        const char *rtf;
        const char *text;
    } rows[] = {
        {R"({\rtf1\ansi{\fonttbl\f0\fswiss Helvetica;}{\colortbl;\red0\green0\blue0;}\f0 Hello\par World})",
         "Hello\nWorld"},
        {R"({\rtf1 a\tab b\line c\
d})",
         "a\tb\nc\nd"},
        {R"({\rtf1 \{braces\} and \\ back})", "{braces} and \\ back"},
        {R"({\rtf1 caf\'e9 \emdash\~x\_y})", "café —\u00A0x\u2011y"},
        {R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})", "При"},
        {R"({\rtf1\ansi\ansicpg932 \'82\'a0})", "あ"},
        {R"({\rtf1 \u8364?x \uc2\u8364\'80\'80y \uc0\u-3913 z})", "€x €y \uF0B7z"},
        {R"({\rtf1 {\*\generator Writer;}{\*\unknown skip me}{\field{\*\fldinst HYPERLINK "u"}{\fldrslt shown}}})",
         "shown"},
        {R"({\rtf1 {\pict\bin4 }}{ab} after})", " after"},
        {R"({\rtf1 {\info{\title T}}\ldblquote q\rdblquote})", "“q”"},
        {R"({\rtf1 one} trailing)", "one"},
        {R"({\rtf1 unclosed {group)", "unclosed group"},
        {"plain text", "<unreadable>"},
        {"", "<unreadable>"},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(read(row.rtf), row.text) << row.rtf;
    }
}

TEST(RtfTextReaderTests, DeepNestingAndHugeInputAreUnreadable) {
    std::string nested = "{\\rtf1 ";
    nested += std::string(RtfTextReader::maximumNesting, '{') + "x" + std::string(RtfTextReader::maximumNesting, '}');
    EXPECT_EQ(read(nested), "<unreadable>");
    std::string shallow = "{\\rtf1 " + std::string(100, '{') + "x" + std::string(100, '}') + "}";
    EXPECT_EQ(read(shallow), "x");
    std::string huge = "{\\rtf1 " + std::string(RtfTextReader::maximumInputSize, 'a') + "}";
    EXPECT_EQ(read(huge), "<unreadable>");
}
