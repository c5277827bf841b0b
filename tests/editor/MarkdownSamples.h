#pragma once

#include <cstddef>
#include <iterator>
#include <random>
#include <string>

// Generated Markdown for tests and benchmarks: headings, lists, task items, quotes, links, bare
// addresses, emphasis, strong and struck text, inline code, rules and fenced blocks. Every line keeps
// its inline constructs to itself (backtick runs pair up within the line), so that styling a few
// paragraphs alone gives what styling the whole text gives there.
namespace velto::editor::samples {

inline std::u16string inlineLine(std::mt19937 &random) {
    static const char16_t *const pieces[] = {
        u"plain words go here",
        u"*emphasis*",
        u"**strong text**",
        u"_light_",
        u"__heavy__",
        u"~~struck~~",
        u"`inline code`",
        u"``a ` tick``",
        u"[a link](https://example.com/page)",
        u"![image](pic.png)",
        u"https://velto.example/path.",
        u"mailto:someone@example.com",
        u"escaped \\*star\\*",
        u"trailing words, more words",
        u"[bad](no-scheme)",
        u"naïve café – ünïcödé 😀",
        u"\\[not a link](x)",
        u"a * lone star",
    };
    std::u16string line;
    const int count = 3 + static_cast<int>(random() % 6);
    for (int k = 0; k < count; ++k) {
        if (k > 0) {
            line += u' ';
        }
        line += pieces[random() % std::size(pieces)];
    }
    return line;
}

inline std::u16string block(std::mt19937 &random) {
    std::u16string text;
    switch (random() % 12) {
    case 0:
        text = std::u16string(1 + random() % 6, u'#') + u" " + inlineLine(random) + u"\n";
        break;
    case 1:
        text = u"- " + inlineLine(random) + u"\n- " + inlineLine(random) + u"\n  - nested item\n";
        break;
    case 2:
        text = u"1. first " + inlineLine(random) + u"\n2. second\n";
        break;
    case 3:
        text = u"- [ ] open task " + inlineLine(random) + u"\n- [x] done task\n";
        break;
    case 4:
        text = u"> " + inlineLine(random) + u"\n>\n";
        break;
    case 5:
        text = random() % 2 ? u"---\n" : u"***\n";
        break;
    case 6:
        text = u"```swift\nlet value = 42 // *not emphasis*\nfunc f() { return \"`\" }\n# not a heading\n```\n";
        break;
    case 7:
        text = u"Setext title\n===\n";
        break;
    case 8:
        text = u"~~~\n---\n~~~\n";
        break;
    default:
        text = inlineLine(random) + u"\n" + inlineLine(random) + u"\n";
        break;
    }
    return text + u"\n";
}

/// About `units` UTF-16 units of generated Markdown.
inline std::u16string generatedMarkdown(std::size_t units, unsigned seed = 1) {
    std::mt19937 random(seed);
    std::u16string text;
    while (text.size() < units) {
        text += block(random);
    }
    return text;
}

/// One paragraph of at least `units` UTF-16 units: inline lines joined by spaces, with no line break.
inline std::u16string singleParagraph(std::size_t units) {
    std::mt19937 random(4);
    std::u16string line;
    while (line.size() < units) {
        line += inlineLine(random) + u" ";
    }
    return line;
}

} // namespace velto::editor::samples
