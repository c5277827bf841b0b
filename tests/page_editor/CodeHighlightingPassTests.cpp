#include "EditorSessionFixture.h"
#include "editor/markdown/MarkdownStyler.h"
#include "page_editor/CodeHighlightRequests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace velto::editor {
namespace {

using namespace std::chrono_literals;
using testing::EditorSession;

/// A keyword over the first two units of every line of the code.
std::vector<SyntaxToken> lineStartKeywords(const std::u16string &source) {
    std::vector<SyntaxToken> tokens;
    std::size_t lineStart = 0;
    while (lineStart < source.size()) {
        std::size_t lineEnd = source.find(u'\n', lineStart);
        lineEnd = lineEnd == std::u16string::npos ? source.size() : lineEnd;
        if (lineEnd > lineStart) {
            tokens.push_back(
                {TextRange{lineStart, std::min<std::size_t>(2, lineEnd - lineStart)}, SyntaxTokenKind::keyword});
        }
        lineStart = lineEnd + 1;
    }
    return tokens;
}

/// The highlighted runs of the text, as ranges with their token kind.
std::vector<std::pair<TextRange, std::string>> tokenRuns(const TextStorage &storage) {
    std::vector<std::pair<TextRange, std::string>> runs;
    storage.enumerateAttribute(AttributeKey::veltoCodeSyntaxToken, {0, storage.length()},
                               [&](const AttributeValue *value, TextRange range) {
                                   if (const auto *kind = attributeValueAs<std::string>(value)) {
                                       runs.emplace_back(range, *kind);
                                   }
                               });
    return runs;
}

/// Highlights every block of the storage as it is: what a pass that asked for all blocks would do.
void highlightEveryBlock(TextStorage &storage, std::shared_ptr<CodeSyntaxHighlighting> highlighter) {
    const CodeHighlightTarget target{[&]() -> TextStorage * { return &storage; },
                                     [] { return std::uint64_t{1}; },
                                     [] { return MarkdownStyler::textColor(); },
                                     [] {},
                                     [] {},
                                     [] {},
                                     {},
                                     {},
                                     {}};
    testing::finish(
        highlightCodeBlocks(MarkdownStyler::codeHighlightRequests(MarkdownStyler::fencedBlocks(storage), storage),
                            std::move(highlighter), {1, storage.identity(), storage.characterVersion()}, target, {}));
}

/// The text styled in full and every block highlighted from scratch.
std::vector<std::pair<TextRange, std::string>>
tokenRunsOfAFreshPass(const std::u16string &text, std::shared_ptr<CodeSyntaxHighlighting> highlighter) {
    TextStorage storage{text};
    MarkdownStyler::apply(storage);
    highlightEveryBlock(storage, std::move(highlighter));
    return tokenRuns(storage);
}

/// The storage's runs after every block was asked for once more.
std::vector<std::pair<TextRange, std::string>>
tokenRunsAfterAskingEveryBlock(const TextStorage &shown, std::shared_ptr<CodeSyntaxHighlighting> highlighter) {
    TextStorage storage = shown;
    highlightEveryBlock(storage, std::move(highlighter));
    return tokenRuns(storage);
}

void runStylePass(EditorSession &session) {
    session.scheduler.advance(50ms);
    ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
}

TEST(CodeHighlightingPass, OnlyBlocksWhoseCodeOrLanguageChangedAreAskedForAgain) {
    EditorSession session("intro\n\n```js\nlet a\n```\n\n```py\nb = 1\n```\n");
    session.highlighter->answer = lineStartKeywords;
    session.coordinator->applyEditorPreferences(); // a full restyle asks for every block
    ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
    session.highlighter->asked.clear();

    session.typeAtEnd(u"more prose");
    session.core.setSelectedRange({0, 0});
    session.core.insertText(u"x"); // moves both blocks
    runStylePass(session);
    EXPECT_TRUE(session.highlighter->asked.empty());

    session.core.setSelectedRange({17, 0}); // after "let"
    session.core.insertText(u"t");
    runStylePass(session);
    EXPECT_EQ(session.highlighter->asked, std::vector<std::u16string>{u"lett a\n"});

    session.core.setSelectedRange({31, 0}); // after "```py"
    session.core.insertText(u"thon");
    runStylePass(session);
    EXPECT_EQ(session.highlighter->asked.back(), u"b = 1\n") << "a new language";
    EXPECT_EQ(tokenRuns(session.storage), tokenRunsOfAFreshPass(session.core.string(), session.highlighter));

    session.highlighter->asked.clear();
    session.core.replaceText({15, 1}, u"E", {16, 0}); // same length, same place: "lEtt a"
    runStylePass(session);
    EXPECT_EQ(session.highlighter->asked, std::vector<std::u16string>{u"lEtt a\n"});

    // A block swallowed by one opened above takes that block's colours; when it comes back, it is asked
    // for again.
    session.highlighter->asked.clear();
    session.core.replaceText({0, 0}, u"```py\n", {6, 0});
    runStylePass(session);
    session.core.undoManager()->undo();
    runStylePass(session);
    EXPECT_EQ(std::count(session.highlighter->asked.begin(), session.highlighter->asked.end(), u"lEtt a\n"), 1);
    EXPECT_EQ(tokenRuns(session.storage), tokenRunsOfAFreshPass(session.core.string(), session.highlighter));
}

// On a long page the code on screen is coloured first, wherever the screen is; a restart after an
// edit asks only for the changed block.
TEST(CodeHighlightingPass, BlocksOnScreenComeFirstAndAnEditAsksOnlyForItsBlock) {
    std::string page;
    for (int block = 0; block < 40; ++block) {
        page += "Prose " + std::to_string(block) + "\n\n```py\nvalue_" + std::to_string(block) + " = 1\n```\n\n";
    }
    EditorSession session(page);
    session.highlighter->answer = lineStartKeywords;
    const std::size_t lastBlock = session.core.string().rfind(u"value_39");
    ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
    session.highlighter->asked.clear();
    session.view.visible = TextRange{lastBlock - 20, 30};
    session.coordinator->applyEditorPreferences(); // asks for every block again
    ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
    ASSERT_EQ(session.highlighter->asked.size(), 40u);
    EXPECT_EQ(session.highlighter->asked[0], u"value_39 = 1\n");
    EXPECT_EQ(session.highlighter->asked[1], u"value_38 = 1\n");
    EXPECT_EQ(session.highlighter->asked.back(), u"value_0 = 1\n");

    session.highlighter->asked.clear();
    session.core.setSelectedRange({lastBlock + 5, 0});
    session.core.insertText(u"x");
    runStylePass(session);
    EXPECT_EQ(session.highlighter->asked, std::vector<std::u16string>{u"valuex_39 = 1\n"});
    EXPECT_EQ(tokenRuns(session.storage), tokenRunsOfAFreshPass(session.core.string(), session.highlighter));
}

// Restyling keeps a block's colours until its highlighting comes back; once it has, nothing may be left
// of colours made for another block or another language.
TEST(CodeHighlightingPass, ColoursAfterABlockChangesEqualAFreshLoad) {
    struct Case {
        const char *name;
        std::string text;
        TextRange replaced;
        std::u16string replacement;
    };
    const std::vector<Case> cases{
        {"a bare fence opened above swallows the block", "intro\n\n```cpp\nint x\n```\n", {0, 0}, u"```\n"},
        {"the language is removed", "intro\n\n```cpp\nint x\n```\n", {10, 3}, u""},
        {"the language changes", "intro\n\n```cpp\nint x\n```\n", {10, 3}, u"py"},
        {"a bare block above loses its closing fence", "```\nplain\n```\n\n```cpp\nint x\n```\n", {10, 4}, u""},
        {"the opening line stops ending the line", "intro\n\n```cpp\nint x\n```\n", {13, 1}, u"\u2028"},
    };
    const auto tokensByLanguage = [](const std::u16string &source, const std::string &language) {
        std::vector<SyntaxToken> tokens = lineStartKeywords(source);
        for (SyntaxToken &token : tokens) {
            token.kind = language == "cpp" ? SyntaxTokenKind::keyword : SyntaxTokenKind::type;
        }
        return tokens;
    };
    for (const Case &change : cases) {
        EditorSession session(change.text);
        session.highlighter->answerInLanguage = tokensByLanguage;
        session.coordinator->applyEditorPreferences();
        ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
        ASSERT_FALSE(tokenRuns(session.storage).empty()) << change.name;

        session.core.replaceText(change.replaced, change.replacement, {change.replaced.location, 0});
        runStylePass(session);
        EXPECT_EQ(tokenRuns(session.storage), tokenRunsOfAFreshPass(session.core.string(), session.highlighter))
            << change.name;
    }
}

// A pass asks only for changed blocks; asking for every block, as each pass once did, must change nothing.
TEST(CodeHighlightingPass, AfterAnyEditsAskingForEveryBlockChangesNoColour) {
    EditorSession session(
        "intro\n\n```js\nlet a\nlet b\n```\n\nmiddle `code`\n\n~~~py\nb = 1\n~~~\n\n```\nplain\n```\n");
    session.highlighter->answer = lineStartKeywords;
    session.coordinator->applyEditorPreferences();
    ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
    // Pieces that open, close and break fences, change languages and move blocks.
    const std::vector<std::u16string> pieces{u"`", u"```", u"\n", u"x", u"```js\n", u"~~~py\n", u"\r\n", u"ab cd"};
    std::mt19937 random(11);
    for (int step = 0; step < 300; ++step) {
        const std::size_t length = session.core.length();
        const std::size_t at = random() % (length + 1);
        switch (random() % 5) {
        case 0:
            session.core.undoManager()->undo();
            break;
        case 1: // same length: breaks or mends a fence, changes code without moving anything
            if (at < length) {
                session.core.replaceText({at, 1}, random() % 2 ? u"`" : u"x", {at + 1, 0});
            }
            break;
        case 2: {
            const std::size_t count = std::min<std::size_t>(1 + random() % 4, length - std::min(at, length));
            session.core.replaceText({at, count}, u"", {at, 0});
            break;
        }
        default:
            session.core.setSelectedRange({at, 0});
            session.core.insertText(pieces[random() % pieces.size()]);
            break;
        }
        runStylePass(session);
        ASSERT_EQ(tokenRuns(session.storage), tokenRunsAfterAskingEveryBlock(session.storage, session.highlighter))
            << "step " << step << ": " << session.shownText();
        ASSERT_EQ(tokenRuns(session.storage), tokenRunsOfAFreshPass(session.core.string(), session.highlighter))
            << "step " << step << ": " << session.shownText();
    }
}

// On a page longer than the screen's reach a pass asks only for blocks near the screen, and the others as
// the screen comes near them; once the screen has been everywhere the colours are a fresh load's, whatever
// the edits did to the blocks far from the screen (blocks opened, closed or swallowed by a fence typed above).
TEST(CodeHighlightingPass, AScreenOnALongPageAsksOnlyNearItAndLeavesAFreshLoadsColoursOnceItHasBeenEverywhere) {
    std::string page;
    for (int block = 0; block < 80; ++block) {
        page += "Prose " + std::to_string(block) + std::string(900, 'w') + "\n\n```py\nvalue_" + std::to_string(block) +
                " = 1\n```\n\n";
    }
    EditorSession session(page);
    // Tokens that tell the languages apart: a block swallowed by a fence of another language takes its colours.
    session.highlighter->answerInLanguage = [](const std::u16string &source, const std::string &language) {
        std::vector<SyntaxToken> tokens = lineStartKeywords(source);
        for (SyntaxToken &token : tokens) {
            token.kind = language == "py" ? SyntaxTokenKind::keyword : SyntaxTokenKind::type;
        }
        return tokens;
    };
    constexpr std::size_t screen = 200;
    ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
    session.highlighter->asked.clear();
    session.view.visible = TextRange{0, screen};
    session.coordinator->applyEditorPreferences();
    ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
    ASSERT_LT(session.highlighter->asked.size(), 40u) << "the first show asks only for the blocks near the screen";
    session.highlighter->asked.clear();
    const auto blocksNear = [&](TextRange visible) {
        std::size_t near = 0;
        for (const FencedCodeBlock &block : MarkdownStyler::fencedBlocks(session.storage)) {
            near += MarkdownStyler::distanceFrom({{}, {}, block.contentRange, block.opening.lineRange}, visible) <=
                    nearbyReach(visible);
        }
        return near;
    };
    const auto showEveryPart = [&] {
        for (std::size_t at = 0; at < session.core.length(); at += nearbyReach({at, screen})) {
            session.view.visible = TextRange{at, std::min(screen, session.core.length() - at)};
            session.coordinator->editorVisibleRangeMayHaveChanged();
            ASSERT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
        }
    };
    // After each change: a pass with the screen somewhere asks only for blocks near it; then the screen goes
    // everywhere, and the colours must be a fresh load's.
    std::mt19937 random(5);
    const auto passAndShowEverything = [&](int step) {
        session.view.visible = TextRange{random() % (session.core.length() - screen), screen};
        runStylePass(session);
        ASSERT_LE(session.highlighter->asked.size(), blocksNear(*session.view.visible)) << "step " << step;
        showEveryPart();
        ASSERT_EQ(tokenRuns(session.storage), tokenRunsOfAFreshPass(session.core.string(), session.highlighter))
            << "step " << step;
        session.highlighter->asked.clear();
    };
    const std::vector<std::u16string> pieces{u"```", u"\n", u"x", u"```js\n", u"~~~js\n"};
    for (int step = 0; step < 40; ++step) {
        // Mostly at a line's start, where the pieces make or break fences; half of the changes are undone
        // at once, which brings back the blocks they swallowed.
        std::size_t at = random() % session.core.length();
        if (random() % 4 != 0) {
            const std::size_t lineBreak = session.core.string().rfind(u'\n', at);
            at = lineBreak == std::u16string::npos ? 0 : lineBreak + 1;
        }
        session.core.breakUndoCoalescing();
        session.core.setSelectedRange({at, 0});
        session.core.insertText(pieces[random() % pieces.size()]);
        ASSERT_NO_FATAL_FAILURE(passAndShowEverything(step));
        if (random() % 2 == 0) {
            session.core.undoManager()->undo();
            ASSERT_NO_FATAL_FAILURE(passAndShowEverything(step));
        }
    }
}

} // namespace
} // namespace velto::editor
