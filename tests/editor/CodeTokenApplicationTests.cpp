#include "editor/highlight/CodeTokenApplication.h"

#include "ColorContrast.h"
#include "CoroutineTestSupport.h"
#include "editor/markdown/MarkdownStyler.h"

#include <QTimer>

#include <cctype>

#include <gtest/gtest.h>

namespace velto::editor {
namespace {

using namespace MarkdownStyler;
using Kind = SyntaxTokenKind;
using testsupport::finish;

SyntaxToken token(std::size_t location, std::size_t length, Kind kind) {
    return {TextRange{location, length}, kind};
}

const Color plainCodeColor = Color::sRGB(0.1, 0.1, 0.1);

/// The token kind, generation and colour at a position, for compact expectations.
struct Look {
    std::optional<std::string> kind;
    std::optional<std::uint64_t> generation;
    std::optional<Color> color;
    bool operator==(const Look &) const = default;
};

Look lookAt(const TextStorage &storage, std::size_t position) {
    const Attributes attributes = storage.attributes(position);
    Look look;
    if (const auto *kind = attributeValueAs<std::string>(attributes.find(AttributeKey::veltoCodeSyntaxToken))) {
        look.kind = *kind;
    }
    if (const auto *generation =
            attributeValueAs<std::uint64_t>(attributes.find(AttributeKey::veltoCodeSyntaxGeneration))) {
        look.generation = *generation;
    }
    if (const auto *color = attributeValueAs<Color>(attributes.find(AttributeKey::foregroundColor))) {
        look.color = *color;
    }
    return look;
}

Look tokenLook(Kind kind, std::uint64_t generation) {
    return {std::string(rawValue(kind)), generation, codeTokenColor(kind)};
}
const Look plainLook{std::nullopt, std::nullopt, plainCodeColor};

/// Records the hooks' calls; `currentUntil` makes isCurrent answer false from that call on.
struct RecordingHooks {
    int isCurrentCalls = 0;
    int currentUntil = 1'000'000;
    int before = 0;
    int after = 0;

    CodeTokenReplacementHooks hooks() {
        return {[this] { return ++isCurrentCalls < currentUntil; }, [this] { ++before; }, [this] { ++after; }};
    }
};

/// "```\n" + code of the length + "\n```": the code's content range starts at 4.
TextStorage blockStorage(std::size_t codeLength) {
    std::u16string text = u"```\n" + std::u16string(codeLength, u'x') + u"\n```";
    TextStorage storage(std::move(text));
    storage.addAttribute(AttributeKey::foregroundColor, plainCodeColor, TextRange{0, storage.length()});
    return storage;
}
constexpr std::size_t codeStart = 4;

/// One token of each two units over the code: kinds alternate so that neighbours never merge.
std::vector<SyntaxToken> alternatingTokens(std::size_t codeLength) {
    std::vector<SyntaxToken> tokens;
    for (std::size_t location = 0; location + 1 < codeLength; location += 2) {
        tokens.push_back(token(location, 1, (location / 2) % 2 == 0 ? Kind::string : Kind::number));
    }
    return tokens;
}

class CodeTokenApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::ensureCoreApplication(); }
};

TEST(CodeTokenColors, EachKindHasItsOwnNamedColourLegibleOnCodeInBothAppearances) {
    const Kind kinds[] = {Kind::keyword, Kind::number,    Kind::string, Kind::comment,
                          Kind::tag,     Kind::attribute, Kind::type};
    const Color background = codeBackgroundColor();
    const Color text = textColor();
    std::vector<Color> earlier;
    for (Kind kind : kinds) {
        const Color color = codeTokenColor(kind);
        std::string kindName(rawValue(kind));
        kindName.front() = static_cast<char>(std::toupper(kindName.front()));
        SCOPED_TRACE(kindName);
        EXPECT_EQ(color.name, "VeltoCode" + kindName);
        // Coloured tokens sit among plain code, so they need the floor for accents (3), not body text's 4.5.
        EXPECT_GE(testing::contrastRatio(color.light, background.light), 3.0);
        EXPECT_GE(testing::contrastRatio(color.dark, background.dark), 3.0);
        EXPECT_NE(color.light, text.light);
        EXPECT_NE(color.dark, text.dark);
        for (const Color &other : earlier) {
            EXPECT_NE(color.light, other.light);
            EXPECT_NE(color.dark, other.dark);
        }
        earlier.push_back(color);
    }
}

TEST_F(CodeTokenApplicationTest, TokensOutsideTheCodeAreSkippedAndTheRestApplied) {
    TextStorage storage = blockStorage(10);
    const TextRange content{codeStart, 10};
    applyCodeTokens(std::vector{token(0, 2, Kind::keyword), token(8, 3, Kind::string), token(11, 1, Kind::string),
                                token(std::numeric_limits<std::size_t>::max(), 2, Kind::string),
                                token(5, 1, Kind::comment)},
                    content, storage, 7);
    EXPECT_EQ(lookAt(storage, codeStart), tokenLook(Kind::keyword, 7));
    EXPECT_EQ(lookAt(storage, codeStart + 5), tokenLook(Kind::comment, 7));
    EXPECT_EQ(lookAt(storage, codeStart + 8), plainLook);
    EXPECT_EQ(lookAt(storage, codeStart + 9), plainLook);
    EXPECT_TRUE(codeTokensAreApplied({token(0, 2, Kind::keyword), token(5, 1, Kind::comment)}, content, storage));
}

TEST_F(CodeTokenApplicationTest, AppliedCheckComparesRunsExactly) {
    TextStorage storage = blockStorage(10);
    const TextRange content{codeStart, 10};
    const std::vector tokens{token(0, 2, Kind::keyword), token(3, 2, Kind::string)};
    EXPECT_FALSE(codeTokensAreApplied(tokens, content, storage));
    EXPECT_TRUE(codeTokensAreApplied({}, content, storage));
    applyCodeTokens(tokens, content, storage, 1);
    EXPECT_TRUE(codeTokensAreApplied(tokens, content, storage));
    EXPECT_FALSE(codeTokensAreApplied({token(0, 2, Kind::keyword)}, content, storage));
    EXPECT_FALSE(codeTokensAreApplied(tokens, TextRange{codeStart, storage.length()}, storage));
}

TEST_F(CodeTokenApplicationTest, NeighbouringTokensOfOneKindNeverCountAsApplied) {
    TextStorage storage = blockStorage(10);
    const TextRange content{codeStart, 10};
    const std::vector tokens{token(0, 2, Kind::keyword), token(2, 2, Kind::keyword)};
    EXPECT_TRUE(finish(replaceCodeTokens(tokens, content, storage, 1, plainCodeColor, RecordingHooks().hooks())));
    EXPECT_FALSE(codeTokensAreApplied(tokens, content, storage));
    EXPECT_TRUE(codeTokensAreApplied({token(0, 4, Kind::keyword)}, content, storage));
}

TEST_F(CodeTokenApplicationTest, ShortBlockIsReplacedInOneChange) {
    TextStorage storage = blockStorage(largeCodeBlockLength);
    const TextRange content{codeStart, largeCodeBlockLength};
    applyCodeTokens(std::vector{token(0, 4, Kind::comment)}, content, storage, 1);
    const std::uint64_t groupsBefore = storage.finishedEditingGroups();
    RecordingHooks recording;

    EXPECT_TRUE(finish(replaceCodeTokens(alternatingTokens(largeCodeBlockLength), content, storage, 2, plainCodeColor,
                                         recording.hooks())));
    EXPECT_EQ(storage.finishedEditingGroups(), groupsBefore + 1);
    EXPECT_EQ(recording.before, 1);
    EXPECT_EQ(recording.after, 1);
    EXPECT_EQ(lookAt(storage, codeStart), tokenLook(Kind::string, 2));
    EXPECT_EQ(lookAt(storage, codeStart + 1), plainLook); // the old comment is gone between new tokens
    EXPECT_EQ(lookAt(storage, codeStart + 2), tokenLook(Kind::number, 2));
}

TEST_F(CodeTokenApplicationTest, EmptyTokenListTurnsAShortBlockPlain) {
    TextStorage storage = blockStorage(10);
    const TextRange content{codeStart, 10};
    applyCodeTokens(std::vector{token(0, 10, Kind::comment)}, content, storage, 1);
    EXPECT_TRUE(finish(replaceCodeTokens({}, content, storage, 2, plainCodeColor, RecordingHooks().hooks())));
    for (std::size_t position = codeStart; position < codeStart + 10; ++position) {
        EXPECT_EQ(lookAt(storage, position), plainLook);
    }
}

TEST_F(CodeTokenApplicationTest, LongerBlockIsReplacedInBatchesThenLosesStaleTokens) {
    const std::size_t length = largeCodeBlockLength + 1;
    TextStorage storage = blockStorage(length);
    const TextRange content{codeStart, length};
    // Old tokens of generation 1: one on every odd unit, which the new tokens never cover.
    std::vector<SyntaxToken> old;
    for (std::size_t location = 1; location < length; location += 2) {
        old.push_back(token(location, 1, Kind::comment));
    }
    applyCodeTokens(old, content, storage, 1);
    RecordingHooks recording;

    const std::vector<SyntaxToken> tokens = alternatingTokens(length); // 16,384 tokens: 9 batches
    EXPECT_TRUE(finish(replaceCodeTokens(tokens, content, storage, 2, plainCodeColor, recording.hooks())));
    // 9 batches of new tokens, then 9 of the 16,384 stale runs.
    EXPECT_EQ(recording.before, 18);
    EXPECT_EQ(recording.after, 18);
    EXPECT_TRUE(codeTokensAreApplied(tokens, content, storage));
    EXPECT_EQ(lookAt(storage, codeStart + 1), plainLook);
    EXPECT_EQ(lookAt(storage, codeStart + 2), tokenLook(Kind::number, 2));
}

TEST_F(CodeTokenApplicationTest, EmptyTokenListRemovesEveryOldTokenOfALongBlock) {
    const std::size_t length = largeCodeBlockLength + 100;
    TextStorage storage = blockStorage(length);
    const TextRange content{codeStart, length};
    applyCodeTokens(alternatingTokens(length), content, storage, 1);
    EXPECT_TRUE(finish(replaceCodeTokens({}, content, storage, 2, plainCodeColor, RecordingHooks().hooks())));
    EXPECT_TRUE(codeTokensAreApplied({}, content, storage));
    EXPECT_EQ(lookAt(storage, codeStart), plainLook);
}

TEST_F(CodeTokenApplicationTest, EditDuringBatchesStopsBeforeTheNextBatchAndKeepsWhatWasApplied) {
    const std::size_t length = largeCodeBlockLength * 2;
    TextStorage storage = blockStorage(length);
    const TextRange content{codeStart, length};
    applyCodeTokens(alternatingTokens(length), content, storage, 1);
    RecordingHooks recording;
    recording.currentUntil = 2; // the text changes after the first batch

    EXPECT_FALSE(
        finish(replaceCodeTokens(alternatingTokens(length), content, storage, 2, plainCodeColor, recording.hooks())));
    EXPECT_EQ(recording.before, 1);
    EXPECT_EQ(lookAt(storage, codeStart), tokenLook(Kind::string, 2));
    // Token 2,000 (at unit 4,000) belongs to the second batch: it still shows the old generation.
    EXPECT_EQ(lookAt(storage, codeStart + 4'000), tokenLook(Kind::string, 1));
}

TEST_F(CodeTokenApplicationTest, BatchesYieldToOtherMainThreadWork) {
    const std::size_t length = largeCodeBlockLength * 2;
    TextStorage storage = blockStorage(length);
    bool otherWorkRan = false;
    std::vector<bool> otherWorkRanBeforeBatch;
    QTimer::singleShot(0, [&otherWorkRan] { otherWorkRan = true; });
    const CodeTokenUpdateHooks hooks{[] { return true; }, [&] { otherWorkRanBeforeBatch.push_back(otherWorkRan); },
                                     [](int) {}};
    EXPECT_TRUE(finish(applyCodeTokensInBatches(alternatingTokens(length), TextRange{codeStart, length}, storage, 3,
                                                codeTokenBatchSize, hooks)));
    ASSERT_GE(otherWorkRanBeforeBatch.size(), 2u);
    EXPECT_FALSE(otherWorkRanBeforeBatch.front());
    EXPECT_TRUE(otherWorkRanBeforeBatch[1]);
}

TEST_F(CodeTokenApplicationTest, CancelledOrMisfittingWorkLeavesTheStorageAlone) {
    TextStorage storage = blockStorage(10);
    const std::uint64_t groupsBefore = storage.finishedEditingGroups();
    CancellationToken cancellation;
    cancellation.cancel();
    EXPECT_FALSE(finish(replaceCodeTokens({token(0, 1, Kind::tag)}, TextRange{codeStart, 10}, storage, 1,
                                          plainCodeColor, RecordingHooks().hooks(), cancellation)));
    EXPECT_FALSE(finish(replaceCodeTokens({token(0, 1, Kind::tag)}, TextRange{codeStart, 100}, storage, 1,
                                          plainCodeColor, RecordingHooks().hooks())));
    RecordingHooks stale;
    stale.currentUntil = 1;
    EXPECT_FALSE(finish(replaceCodeTokens({token(0, 1, Kind::tag)}, TextRange{codeStart, 10}, storage, 1,
                                          plainCodeColor, stale.hooks())));
    const CodeTokenUpdateHooks always{[] { return true; }, [] {}, [](int) {}};
    EXPECT_FALSE(
        finish(applyCodeTokensInBatches({token(0, 1, Kind::tag)}, TextRange{codeStart, 10}, storage, 1, 0, always)));
    EXPECT_FALSE(finish(removeStaleCodeTokensInBatches(TextRange{codeStart, 100}, storage, 1, plainCodeColor,
                                                       codeTokenBatchSize, always)));
    EXPECT_EQ(storage.finishedEditingGroups(), groupsBefore);
    EXPECT_FALSE(codeTokensAreApplied({}, TextRange{codeStart, 100}, storage));
}

TEST_F(CodeTokenApplicationTest, RunsWithoutAMatchingGenerationNumberAreStale) {
    TextStorage storage = blockStorage(10);
    const TextRange content{codeStart, 10};
    storage.addAttribute(AttributeKey::veltoCodeSyntaxToken, std::string("keyword"), TextRange{codeStart, 1});
    storage.addAttributes({{AttributeKey::veltoCodeSyntaxToken, std::string("bogus")},
                           {AttributeKey::veltoCodeSyntaxGeneration, std::string("5")}},
                          TextRange{codeStart + 2, 1});
    applyCodeTokens(std::vector{token(4, 1, Kind::type)}, content, storage, 5);
    applyCodeTokens(std::vector{token(6, 1, Kind::type)}, content, storage, 4);
    const CodeTokenUpdateHooks always{[] { return true; }, [] {}, [](int) {}};
    EXPECT_TRUE(finish(removeStaleCodeTokensInBatches(content, storage, 5, plainCodeColor, 1, always)));
    EXPECT_EQ(lookAt(storage, codeStart), plainLook);
    EXPECT_EQ(lookAt(storage, codeStart + 2), plainLook);
    EXPECT_EQ(lookAt(storage, codeStart + 4), tokenLook(Kind::type, 5));
    EXPECT_EQ(lookAt(storage, codeStart + 6), plainLook);
}

} // namespace
} // namespace velto::editor
