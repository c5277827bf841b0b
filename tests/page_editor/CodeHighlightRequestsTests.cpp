#include "editor/highlight/CodeSyntaxHighlightingError.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/EditorCoordinatorTestSupport.h"
#include "page_editor/CodeHighlightRequests.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace velto::editor {
namespace {

using MarkdownStyler::CodeHighlightRequest;

std::vector<CodeHighlightRequest> requestsFor(std::u16string_view text) {
    const TextStorage storage{std::u16string(text)};
    return MarkdownStyler::codeHighlightRequests(MarkdownSyntaxScanner::fencedCodeScan(text).blocks, storage);
}

TEST(CodeHighlightRequests, OnlyFinishedFencesWithALanguageAndCodeAreRequested) {
    struct Case {
        const char16_t *text;
        std::vector<CodeHighlightRequest> expected;
    };
    const std::vector<Case> cases{
        {u"plain prose\n", {}},
        {u"```\nbare fence\n```\n", {}},
        {u"```swift", {}},        // the fence line is still being typed
        {u"```swift\n```\n", {}}, // nothing inside
        {u"```swift\nlet x = 1\n```\n", {{u"let x = 1\n", "swift", {9, 10}, {0, 9}}}},
        {u"```Swift extra words\nx\n```\n", {{u"x\n", "swift", {21, 2}, {0, 21}}}},
        {u"```c\\+\\+\nx\n```", {{u"x\n", "c++", {9, 2}, {0, 9}}}},
        {u"```js\r\nopen", {{u"open", "js", {7, 4}, {0, 7}}}}, // an unclosed block still counts
        {u"```a\n1\n```\n\n~~~b\n2\n~~~\n", {{u"1\n", "a", {5, 2}, {0, 5}}, {u"2\n", "b", {17, 2}, {12, 5}}}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(requestsFor(c.text), c.expected)
            << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    }
}

/// A highlighter answering from a table; each answer can be held back until the test releases it.
class ScriptedHighlighter : public CodeSyntaxHighlighting {
public:
    std::map<std::u16string, std::vector<SyntaxToken>> answers;
    std::u16string failing;
    bool holdsAnswers = false;
    std::deque<testing::Gate<bool>> held;
    int calls = 0;
    std::vector<std::u16string> asked;

    QCoro::Task<std::vector<SyntaxToken>> tokens(std::u16string source, std::string, CancellationToken) override {
        calls += 1;
        asked.push_back(source);
        if (holdsAnswers) {
            held.emplace_back();
            QCoro::Task<bool> waiting = held.back().wait();
            co_await waiting;
        }
        if (source == failing) {
            throw CodeSyntaxHighlightingError::invalidMarkup();
        }
        co_return answers[source];
    }
};

/// An editor stand-in: a storage, a generation and a count of redraws.
struct HighlightedText {
    TextStorage storage;
    bool storageGone = false;
    std::uint64_t generation = 1;
    int redraws = 0;
    std::vector<TextRange> highlighted;
    std::optional<TextRange> visible;

    explicit HighlightedText(std::u16string text)
        : storage(std::move(text)) {}

    CodeHighlightSnapshot snapshot() const { return {generation, storage.identity(), storage.characterVersion()}; }
    CodeHighlightTarget target() {
        return CodeHighlightTarget{
            [this]() -> TextStorage * { return storageGone ? nullptr : &storage; },
            [this] { return generation; },
            [] { return MarkdownStyler::textColor(); },
            [] {},
            [] {},
            [this] { redraws += 1; },
            [this](const CodeHighlightRequest &request) { highlighted.push_back(request.contentRange); },
            [this] { return visible; },
            {},
        };
    }
    std::vector<std::string> tokenKinds() const {
        std::vector<std::string> kinds;
        for (const AttributeRun &run : storage.attributeRuns({0, storage.length()})) {
            if (const auto *kind =
                    attributeValueAs<std::string>(run.attributes.find(AttributeKey::veltoCodeSyntaxToken))) {
                kinds.emplace_back(kind->view());
            }
        }
        return kinds;
    }
};

const std::u16string twoBlocks = u"```js\nbad\n```\n\n```js\ngood\n```\n";

TEST(CodeHighlightTask, AFailingBlockShowsPlainAndTheNextIsStillHighlighted) {
    testing::ensureApplication();
    auto highlighter = std::make_shared<ScriptedHighlighter>();
    highlighter->failing = u"bad\n";
    highlighter->answers[u"good\n"] = {{{0, 4}, SyntaxTokenKind::keyword}};
    HighlightedText text(twoBlocks);
    testing::finish(highlightCodeBlocks(requestsFor(twoBlocks), highlighter, text.snapshot(), text.target(), {}));
    EXPECT_EQ(text.tokenKinds(), std::vector<std::string>{"keyword"});
    EXPECT_EQ(text.redraws, 1);

    // The same text again: the tokens are in place, nothing is applied, the view is still redrawn.
    const std::uint64_t groups = text.storage.finishedEditingGroups();
    testing::finish(highlightCodeBlocks(requestsFor(twoBlocks), highlighter, text.snapshot(), text.target(), {}));
    EXPECT_EQ(text.storage.finishedEditingGroups(), groups + 1); // only the failing block is cleared again
    EXPECT_EQ(text.redraws, 2);
}

TEST(CodeHighlightTask, AnyChangeWhileTheHighlighterWorksDropsTheResult) {
    testing::ensureApplication();
    enum class Change { typing, newerRequest, storageGone, cancelled };
    for (Change change : {Change::typing, Change::newerRequest, Change::storageGone, Change::cancelled}) {
        auto highlighter = std::make_shared<ScriptedHighlighter>();
        highlighter->holdsAnswers = true;
        highlighter->answers[u"bad\n"] = {{{0, 3}, SyntaxTokenKind::string}};
        HighlightedText text(twoBlocks);
        CancellationToken cancellation;
        auto task =
            highlightCodeBlocks(requestsFor(twoBlocks), highlighter, text.snapshot(), text.target(), cancellation);
        ASSERT_EQ(highlighter->held.size(), 1u);
        switch (change) {
        case Change::typing:
            text.storage.replaceCharacters({6, 0}, u"x"); // same length elsewhere would fool a length check
            text.storage.replaceCharacters({6, 1}, u"");
            break;
        case Change::newerRequest:
            text.generation += 1;
            break;
        case Change::storageGone:
            text.storageGone = true;
            break;
        case Change::cancelled:
            cancellation.cancel();
            break;
        }
        highlighter->held.front().open(true);
        testing::finish(std::move(task));
        EXPECT_TRUE(text.tokenKinds().empty()) << static_cast<int>(change);
        EXPECT_EQ(text.redraws, 0) << static_cast<int>(change);
        EXPECT_EQ(highlighter->calls, 1) << "the second block is never asked for";
    }
}

/// Six blocks of 14 units each: block i opens at 14 i, its code "b<i>\n" lies at 14 i + 6.
std::u16string sixBlocks() {
    std::u16string text;
    for (int block = 0; block < 6; ++block) {
        text += u"```py\nb" + std::u16string(1, char16_t(u'0' + block)) + u"\n```\n\n";
    }
    return text;
}

std::u16string code(int block) {
    return u"b" + std::u16string(1, char16_t(u'0' + block)) + u"\n";
}

std::vector<std::u16string> codes(std::initializer_list<int> blocks) {
    std::vector<std::u16string> result;
    for (int block : blocks) {
        result.push_back(code(block));
    }
    return result;
}

TEST(CodeHighlightTask, BlocksOnScreenAreAskedForFirstThenTheNearest) {
    testing::ensureApplication();
    struct Case {
        const char *name;
        std::optional<TextRange> visible;
        std::vector<std::u16string> expected;
    };
    const std::vector<Case> cases{
        {"screen not known: text order", std::nullopt, codes({0, 1, 2, 3, 4, 5})},
        {"inside one block: then the nearer neighbour, the one above on a tie", TextRange{58, 5},
         codes({4, 3, 5, 2, 1, 0})},
        {"the last block: then upwards", TextRange{71, 13}, codes({5, 4, 3, 2, 1, 0})},
        {"three blocks shown, in text order", TextRange{20, 30}, codes({1, 2, 3, 4, 0, 5})},
        {"a screen between blocks", TextRange{52, 2}, codes({3, 4, 2, 5, 1, 0})},
    };
    for (const Case &c : cases) {
        auto highlighter = std::make_shared<ScriptedHighlighter>();
        HighlightedText text(sixBlocks());
        text.visible = c.visible;
        testing::finish(highlightCodeBlocks(requestsFor(sixBlocks()), highlighter, text.snapshot(), text.target(), {}));
        EXPECT_EQ(highlighter->asked, c.expected) << c.name;
        EXPECT_EQ(text.highlighted.size(), 6u) << c.name;
    }
}

TEST(CodeHighlightTask, BlocksScrolledIntoViewMeanwhileComeNext) {
    testing::ensureApplication();
    auto highlighter = std::make_shared<ScriptedHighlighter>();
    highlighter->holdsAnswers = true;
    HighlightedText text(sixBlocks());
    text.visible = TextRange{0, 10};
    auto task = highlightCodeBlocks(requestsFor(sixBlocks()), highlighter, text.snapshot(), text.target(), {});
    ASSERT_EQ(highlighter->asked, codes({0}));

    text.visible = TextRange{71, 13}; // scrolled to the end while block 0 was being highlighted
    highlighter->held.front().open(true);
    ASSERT_TRUE(testing::processEventsUntil([&] { return highlighter->held.size() == 2; }));
    text.visible = TextRange{30, 0}; // and into block 2
    highlighter->holdsAnswers = false;
    highlighter->held.back().open(true);
    testing::finish(std::move(task));
    EXPECT_EQ(highlighter->asked, codes({0, 5, 2, 1, 3, 4}));
    EXPECT_EQ(text.redraws, 1);
}

/// Five blocks with 40,000 units of prose after each: farther apart than a small screen reaches.
constexpr std::size_t proseBetweenBlocks = 40'000;

std::u16string farApartBlocks() {
    std::u16string text;
    for (int block = 0; block < 5; ++block) {
        text += u"```py\nb" + std::u16string(1, char16_t(u'0' + block)) + u"\n```\n\n";
        text += std::u16string(proseBetweenBlocks, u'x') + u"\n\n";
    }
    return text;
}

TEST(CodeHighlightTask, BlocksFarFromTheScreenWaitUntilItComesNearAndAreAskedOnce) {
    testing::ensureApplication();
    const std::size_t stride = farApartBlocks().size() / 5;
    struct Move {
        const char *name;
        TextRange screen;
        std::vector<std::u16string> askedSoFar;
    };
    const std::vector<Move> moves{
        {"scrolled far down: the block there", {3 * stride + 2, 10}, codes({0, 3})},
        {"back to the top: nothing again", {0, 10}, codes({0, 3})},
        {"between two blocks, near neither", {stride + stride / 2, 10}, codes({0, 3})},
        {"the same place on a screen that reaches both", {stride + stride / 2 - 6'000, 12'000}, codes({0, 3, 1, 2})},
        {"the last block", {4 * stride + 2, 10}, codes({0, 3, 1, 2, 4})},
    };
    auto highlighter = std::make_shared<ScriptedHighlighter>();
    // The screen at the top, on the first block; the target tells of the screen's moves.
    const auto startAtTheTop = [&highlighter](HighlightedText &text, CodeHighlightTarget &target,
                                              CancellationToken cancellation) {
        text.visible = TextRange{0, 10};
        target = text.target();
        target.screenMoves = std::make_shared<ScreenMoves>();
        return highlightCodeBlocks(requestsFor(farApartBlocks()), highlighter, text.snapshot(), target, cancellation);
    };
    HighlightedText text(farApartBlocks());
    CodeHighlightTarget target;
    auto task = startAtTheTop(text, target, {});
    ASSERT_TRUE(testing::processEventsUntil([&] { return highlighter->asked == codes({0}); }));
    for (const Move &move : moves) {
        text.visible = move.screen;
        target.screenMoves->tell();
        EXPECT_TRUE(testing::processEventsUntil([&] { return highlighter->asked == move.askedSoFar; })) << move.name;
        for (int round = 0; round < 20; ++round) {
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(highlighter->asked, move.askedSoFar) << move.name;
    }
    EXPECT_EQ(text.highlighted.size(), 5u);
    EXPECT_EQ(text.redraws, 1) << "done once every block is";
    testing::finish(std::move(task));

    // A task left waiting for far blocks ends once cancelled.
    HighlightedText waiting(farApartBlocks());
    CodeHighlightTarget waitingTarget;
    CancellationToken stop;
    auto stale = startAtTheTop(waiting, waitingTarget, stop);
    ASSERT_TRUE(testing::processEventsUntil([&] { return waiting.highlighted.size() == 1; }));
    stop.cancel();
    testing::finish(std::move(stale));
    EXPECT_EQ(waiting.highlighted.size(), 1u);
}

// A style pass on a big page copies no code of the blocks far from the screen; the task reads it when it
// comes to them, so they are asked for with their code all the same.
TEST(CodeHighlightTask, BlocksFarFromTheScreenCarryTheirCodeOnlyWhenAskedFor) {
    testing::ensureApplication();
    const std::u16string page = farApartBlocks();
    const TextStorage storage{page};
    std::vector<CodeHighlightRequest> requests = MarkdownStyler::codeHighlightRequests(
        MarkdownSyntaxScanner::fencedCodeScan(page).blocks, storage, nullptr, TextRange{0, 10});
    ASSERT_EQ(requests.size(), 5u);
    for (std::size_t block = 0; block < requests.size(); ++block) {
        EXPECT_EQ(requests[block].source.empty(), block > 0) << "block " << block;
    }
    auto highlighter = std::make_shared<ScriptedHighlighter>();
    HighlightedText text(page);
    testing::finish(highlightCodeBlocks(std::move(requests), highlighter, text.snapshot(), text.target(), {}));
    EXPECT_EQ(highlighter->asked, codes({0, 1, 2, 3, 4}));
}

TEST(CodeHighlightTask, TextWithoutRequestableBlocksAsksNothing) {
    EXPECT_TRUE(requestsFor(u"# Title\n\n```\nno language\n```\n").empty());
}

} // namespace
} // namespace velto::editor
