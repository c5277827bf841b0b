#include "editor/editing/EditingCore.h"

#include "editor/editing/TextBoundaries.h"
#include "editor/rules/TypingRules.h"
#include "editor/text/StringRanges.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace velto::editor;
using namespace std::string_literals;
using Movement = EditingCore::Movement;

namespace {

/// A core whose policy and observer note what the change protocol asked and told.
struct Fixture final : EditPolicy, EditingObserver {
    TextStorage storage;
    EditingCore core{storage, this};
    std::vector<std::string> events;
    bool allowsChanges = true;
    Subscription subscription;

    explicit Fixture(std::u16string_view text = u"") {
        core.loadText(text);
        subscription = core.subscribe(*this);
    }
    bool allowsChange(TextRange range, std::u16string_view replacement) override {
        events.push_back("should " + std::to_string(range.location) + "+" + std::to_string(range.length) + " " +
                         std::to_string(replacement.size()));
        return allowsChanges;
    }
    void textDidChange() override { events.push_back("did"); }
    void type(std::u16string_view text) {
        for (char16_t unit : text) {
            core.insertText(std::u16string(1, unit));
        }
    }
    UndoManager &undo() { return *core.undoManager(); }
};

Attributes colour(double red) {
    return Attributes{{AttributeKey::foregroundColor, Color::sRGB(red, 0, 0)}};
}

// Texts that must come through every edit elsewhere unchanged: line ends of every kind, NBSP, a
// noncharacter, NUL, a ZWJ emoji sequence and combining marks.
const std::u16string specialText = u"a\rb\r\nc\u2028d\u2029e\u0085f\u00A0g\uFDD0h"
                                   u"\u0000"
                                   u"i\U0001F469\u200D\U0001F4BBj e\u0301\u0327k"s;

} // namespace

TEST(EditingCoreTests, TypingCoalescesIntoOneStepThatRestoresTextAndSelection) {
    Fixture f(u"xy");
    f.core.setSelectedRange({1, 0});
    f.core.insertText(u"");
    EXPECT_FALSE(f.undo().canUndo());
    f.type(u"abc");
    EXPECT_EQ(f.core.string(), u"xabcy");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{4, 0}));

    f.undo().undo();
    EXPECT_EQ(f.core.string(), u"xy");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{1, 0}));
    EXPECT_FALSE(f.undo().canUndo());
    f.undo().redo();
    EXPECT_EQ(f.core.string(), u"xabcy");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{4, 0}));
}

TEST(EditingCoreTests, BackspacesJoinTheTypingStepAlsoBeyondWhatWasTyped) {
    Fixture f(u"xy");
    f.type(u"ab");
    f.core.deleteBackward();
    f.core.deleteBackward();
    f.core.deleteBackward(); // removes the "y" that was there before
    f.core.deleteForward();  // nothing after the caret
    EXPECT_EQ(f.core.string(), u"x");
    f.undo().undo();
    EXPECT_EQ(f.core.string(), u"xy");
    EXPECT_FALSE(f.undo().canUndo());
    f.undo().redo();
    EXPECT_EQ(f.core.string(), u"x");
}

TEST(EditingCoreTests, CoalescingBreaksOnSelectionChangeExplicitBreakAndRuleEdits) {
    Fixture f;
    f.type(u"ab");
    f.core.setSelectedRange({0, 0});
    f.type(u"c"); // step 2
    f.core.breakUndoCoalescing();
    f.type(u"d");                              // step 3
    f.core.replaceText({0, 0}, u"**", {2, 0}); // step 4
    f.type(u"e");                              // step 5
    EXPECT_EQ(f.core.string(), u"**ecdab");
    std::vector<std::u16string> seen;
    while (f.undo().canUndo()) {
        f.undo().undo();
        seen.push_back(f.core.string());
    }
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"**cdab", u"cdab", u"cab", u"ab", u""}));
}

TEST(EditingCoreTests, AnotherRegistrationOnTheManagerEndsTheTypingStep) {
    Fixture f;
    f.type(u"ab");
    f.undo().registerUndo([](UndoManager &) {});
    f.type(u"c");
    f.undo().undo();
    EXPECT_EQ(f.core.string(), u"ab");
}

TEST(EditingCoreTests, ReplaceTextFollowsTheChangeProtocolAsOneStep) {
    Fixture f(u"one two");
    f.core.setSelectedRange({4, 3});
    f.events.clear();
    EXPECT_TRUE(f.core.replaceText({4, 3}, u"**two**", {6, 3}));
    EXPECT_EQ(f.events, (std::vector<std::string>{"should 4+3 7", "did"}));
    EXPECT_EQ(f.core.selectedRange(), (TextRange{6, 3}));

    f.undo().undo();
    EXPECT_EQ(f.core.string(), u"one two");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{4, 3}));
    f.undo().redo();
    EXPECT_EQ(f.core.string(), u"one **two**");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{6, 3}));
}

TEST(EditingCoreTests, RefusedOrReadOnlyChangesLeaveEverythingAlone) {
    Fixture f(u"text");
    f.core.setSelectedRange({1, 0});
    f.allowsChanges = false;
    EXPECT_FALSE(f.core.replaceText({0, 1}, u"T", {0, 0}));
    f.core.insertText(u"x");
    f.allowsChanges = true;
    f.core.setEditable(false);
    EXPECT_FALSE(f.core.replaceText({0, 1}, u"T", {0, 0}));
    f.core.insertText(u"x");
    f.core.deleteBackward();
    f.core.deleteWordForward();
    EXPECT_FALSE(f.core.replaceText({3, 5}, u"", {0, 0})); // beyond the text: refused, not thrown
    EXPECT_EQ(f.core.string(), u"text");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{1, 0}));
    EXPECT_FALSE(f.undo().canUndo());
    // A page that is not loaded still shows: loading works while not editable.
    f.core.loadText(u"preview");
    EXPECT_EQ(f.core.string(), u"preview");
}

TEST(EditingCoreTests, LoadingIsOutsideUndoAndTheProtocolAndRepairsLoneSurrogates) {
    Fixture f(u"old");
    f.type(u"!");
    f.events.clear();
    f.core.loadText(std::u16string(u"a") + char16_t(0xD800) + u"b" + char16_t(0xDC00) + u"\U0001F600");
    EXPECT_EQ(f.core.string(), u"a\uFFFDb\uFFFD\U0001F600");
    EXPECT_TRUE(f.events.empty());
    EXPECT_EQ(f.core.selectedRange(), (TextRange{6, 0}));
    f.core.insertText(std::u16string(1, char16_t(0xDBFF)));
    EXPECT_EQ(f.core.string(), u"a\uFFFDb\uFFFD\U0001F600\uFFFD");
}

// Whoever built something from the text given (a big page's code index, on another thread) learns whether the
// storage holds that very text.
TEST(EditingCoreTests, LoadingSaysWhetherTheTextWentInAsGiven) {
    const std::u16string high(1, char16_t(0xD800));
    const std::u16string low(1, char16_t(0xDC00));
    const struct {
        std::u16string text;
        bool asGiven;
    } cases[] = {
        {u"plain text", true},
        {u"", true},
        {u"a pair \U0001F600 of surrogates", true},
        {u"a lone " + high + u" high one", false},
        {u"a lone low one at the end " + low, false},
        {low + high, false},
    };
    for (const auto &entry : cases) {
        Fixture f(u"old");
        EXPECT_EQ(f.core.loadText(entry.text), entry.asGiven);
        EXPECT_EQ(f.core.string() == entry.text, entry.asGiven);
        EXPECT_EQ(f.core.string().size(), entry.text.size());
    }
}

// A page's text is decoded from its UTF-8, a chunk at a time, and goes in unsearched: whatever the bytes, encoded
// surrogates and cut sequences included, and wherever the chunks are cut, decoding leaves no lone surrogate, so the
// storage holds what the searching load of the whole text decoded gives.
TEST(EditingCoreTests, ADecodedTextGoesInAsTheSearchingLoadPutsIt) {
    const std::string encodedHigh = "\xED\xA0\x80";
    const std::string encodedLow = "\xED\xB0\x80";
    std::string mixed; // sequences of every length, and stray continuation bytes, across many chunks
    for (int k = 0; mixed.size() < 20'000; ++k) {
        mixed += k % 7 == 0 ? "\x80\x80\x80\x80" : "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
    }
    for (const std::string &bytes :
         {std::string("plain"), encodedHigh + "a" + encodedLow, encodedHigh + encodedLow, std::string("\xF0\x9F\x98"),
          std::string("a \xF0\x9F\x98\x80 pair"), "\xED\xBF\xBF" + std::string("\xC0\x80\xFF"), mixed}) {
        const std::u16string decoded = velto::text::toUTF16(bytes);
        Fixture searched(u"old");
        EXPECT_TRUE(searched.core.loadText(decoded)) << bytes;
        Fixture unsearched(u"old");
        unsearched.events.clear();
        unsearched.core.loadUTF8Text(bytes);
        EXPECT_EQ(unsearched.core.string(), searched.core.string()) << bytes;
        EXPECT_EQ(unsearched.core.selectedRange(), searched.core.selectedRange()) << bytes;
        EXPECT_TRUE(unsearched.events.empty());
    }
}

TEST(EditingCoreTests, UndoPutsBackTheAttributesOfDeletedText) {
    TextStorage storage(u"red blue", colour(0.1));
    storage.setAttributes(colour(0.9), {4, 4});
    EditingCore core(storage);
    core.setSelectedRange({2, 5});
    core.deleteBackward();
    EXPECT_EQ(core.string(), u"ree");
    core.undoManager()->undo();
    EXPECT_EQ(storage.attributeRuns({0, 8}), (std::vector<AttributeRun>{{{0, 4}, colour(0.1)}, {{4, 4}, colour(0.9)}}));
}

TEST(EditingCoreTests, TypingTakesTheTypingAttributesWhichFollowTheSelection) {
    TextStorage storage(u"ab", colour(0.1));
    storage.setAttributes(colour(0.9), {1, 1});
    EditingCore core(storage);
    core.setSelectedRange({1, 0});
    EXPECT_EQ(core.typingAttributes(), colour(0.1));
    core.setTypingAttributes(colour(0.5));
    core.insertText(u"x");
    EXPECT_EQ(storage.attributes(1), colour(0.5));
    core.setSelectedRange({0, 0});
    EXPECT_EQ(core.typingAttributes(), colour(0.1)); // at the start: the first character's
}

TEST(EditingCoreTests, CaretNeverStandsInsideAGrapheme) {
    // Every unit offset of texts whose clusters span several units: the selection snaps outward.
    const std::u16string texts[] = {u"a\r\nb", u"a\U0001F600b", u"ae\u0301\u0327b", u"a\U0001F469\u200D\U0001F4BBb",
                                    specialText};
    for (const std::u16string &text : texts) {
        Fixture f(text);
        for (std::size_t offset = 0; offset <= text.size(); ++offset) {
            f.core.setSelectedRange({offset, 0});
            EXPECT_TRUE(isGraphemeBoundary(text, f.core.selectedRange().location)) << offset;
            f.core.setSelectedRange({offset, 1});
            EXPECT_TRUE(isGraphemeBoundary(text, f.core.selectedRange().location)) << offset;
            EXPECT_TRUE(isGraphemeBoundary(text, f.core.selectedRange().end())) << offset;
        }
        // Walking forward and back visits only boundaries and returns to the start.
        f.core.setSelectedRange({0, 0});
        std::size_t steps = 0;
        while (f.core.selectedRange().location < text.size() && steps++ < text.size()) {
            f.core.move(Movement::forwardCharacter, false);
            EXPECT_TRUE(isGraphemeBoundary(text, f.core.selectedRange().location));
        }
        EXPECT_EQ(f.core.selectedRange().location, text.size());
        while (f.core.selectedRange().location > 0 && steps-- > 0) {
            f.core.move(Movement::backwardCharacter, false);
        }
        EXPECT_EQ(f.core.selectedRange().location, 0u);
    }
}

TEST(EditingCoreTests, DeletionRemovesWholeGraphemes) {
    struct Row {
        std::u16string text;
        std::size_t caret;
        bool backward;
        std::u16string expected;
    };
    const Row rows[] = {
        {u"a\r\nb", 3, true, u"ab"},
        {u"a\r\nb", 1, false, u"ab"},
        {u"a\U0001F600b", 3, true, u"ab"},
        {u"ae\u0301b", 3, true, u"ab"},
        {u"a\U0001F469\u200D\U0001F4BBb", 1, false, u"ab"},
    };
    for (const Row &row : rows) {
        Fixture f(row.text);
        f.core.setSelectedRange({row.caret, 0});
        row.backward ? f.core.deleteBackward() : f.core.deleteForward();
        EXPECT_EQ(f.core.string(), row.expected);
    }
}

TEST(EditingCoreTests, MovementTable) {
    const std::u16string text = u"one, two\r\nthree  four";
    struct Row {
        Movement movement;
        std::size_t from;
        std::size_t to;
    };
    const Row rows[] = {
        {Movement::forwardWord, 0, 3},       {Movement::forwardWord, 3, 8},
        {Movement::forwardWord, 8, 15},      {Movement::backwardWord, 15, 10},
        {Movement::backwardWord, 10, 5},     {Movement::backwardWord, 2, 0},
        {Movement::beginningOfLine, 13, 10}, {Movement::endOfLine, 2, 8},
        {Movement::endOfLine, 12, 21},       {Movement::beginningOfLine, 10, 10},
        {Movement::forwardCharacter, 8, 10}, {Movement::backwardCharacter, 10, 8},
        {Movement::endOfDocument, 3, 21},    {Movement::beginningOfDocument, 3, 0},
        {Movement::forwardWord, 17, 21},     {Movement::backwardWord, 0, 0},
    };
    TextStorage storage(text);
    EditingCore core(storage);
    for (const Row &row : rows) {
        EXPECT_EQ(core.destination(row.movement, row.from), row.to)
            << static_cast<int>(row.movement) << " from " << row.from;
    }
}

TEST(EditingCoreTests, ExtendingMovesTheHeadAndPlainMovesCollapse) {
    Fixture f(u"one two three");
    f.core.setSelectedRange({4, 0});
    f.core.move(Movement::forwardWord, true);
    EXPECT_EQ(f.core.selectedRange(), (TextRange{4, 3}));
    f.core.move(Movement::backwardWord, true);
    f.core.move(Movement::backwardWord, true);
    EXPECT_EQ(f.core.selectedRange(), (TextRange{0, 4}));
    EXPECT_EQ(f.core.selectionHead(), 0u);
    f.core.move(Movement::forwardCharacter, false);
    EXPECT_EQ(f.core.selectedRange(), (TextRange{4, 0}));
    f.core.setSelectedRange({4, 3});
    f.core.move(Movement::backwardCharacter, false);
    EXPECT_EQ(f.core.selectedRange(), (TextRange{4, 0}));
}

TEST(EditingCoreTests, WordDeletionsRemoveTheNeighbouringWord) {
    Fixture f(u"alpha beta gamma");
    f.core.setSelectedRange({10, 0});
    f.core.deleteWordBackward();
    EXPECT_EQ(f.core.string(), u"alpha  gamma");
    f.core.setSelectedRange({0, 0});
    f.core.deleteWordForward();
    EXPECT_EQ(f.core.string(), u"  gamma");
}

TEST(EditingCoreTests, SpecialCharactersSurviveEditsElsewhereByteForByte) {
    Fixture f(specialText + u"\n" + specialText);
    std::size_t middle = specialText.size();
    f.core.setSelectedRange({middle, 0});
    f.type(u" typed");
    f.core.deleteBackward();
    f.core.deleteWordBackward();
    EXPECT_EQ(f.core.string(), specialText + u" \n" + specialText);
    f.core.deleteBackward();
    f.core.replaceText({middle, 0}, u"rule", {middle + 4, 0});
    EXPECT_EQ(f.core.string(), specialText + u"rule\n" + specialText);
    while (f.undo().canUndo()) {
        f.undo().undo();
    }
    EXPECT_EQ(f.core.string(), specialText + u"\n" + specialText);
}

// Random edits, each its own step: undoing walks back through every state before an edit (text and
// selection exactly), redoing forward through every state after one.
TEST(EditingCoreTests, RandomEditsUndoAndRedoThroughEveryStateExactly) {
    std::mt19937 random(20261207);
    const std::u16string insertions[] = {u"a", u"\r\n", u"\U0001F600", u"e\u0301", u"word ", u"\u2029", u"\0"s};
    for (int round = 0; round < 20; ++round) {
        Fixture f(specialText);
        struct State {
            std::u16string text;
            TextRange selection;
            bool operator==(const State &) const = default;
        };
        std::vector<State> before;
        std::vector<State> after;
        for (int step = 0; step < 40; ++step) {
            std::size_t length = f.core.length();
            std::size_t a = random() % (length + 1);
            std::size_t b = random() % (length + 1);
            f.core.setSelectedRange(rangeBetween(std::min(a, b), std::max(a, b)));
            if (random() % 2 == 0) {
                f.core.setSelectedRange({f.core.selectedRange().location, 0});
            }
            f.core.breakUndoCoalescing();
            State current{f.core.string(), f.core.selectedRange()};
            std::uint64_t version = f.storage.characterVersion();
            switch (random() % 6) {
            case 0:
                f.core.insertText(insertions[random() % std::size(insertions)]);
                break;
            case 1:
                f.core.deleteBackward();
                break;
            case 2:
                f.core.deleteForward();
                break;
            case 3:
                f.core.deleteWordBackward();
                break;
            case 4: {
                TextRange selection = f.core.selectedRange();
                f.core.replaceText(selection, u"[" + f.core.textStorage().substring(selection) + u"]",
                                   {selection.location + 1, selection.length});
                break;
            }
            default:
                f.type(u"xyz");
                f.core.deleteBackward();
                break;
            }
            if (f.storage.characterVersion() != version) {
                before.push_back(current);
                after.push_back(State{f.core.string(), f.core.selectedRange()});
            }
        }
        for (auto state = before.rbegin(); state != before.rend(); ++state) {
            ASSERT_TRUE(f.undo().canUndo());
            f.undo().undo();
            ASSERT_EQ((State{f.core.string(), f.core.selectedRange()}), *state) << "round " << round;
        }
        EXPECT_FALSE(f.undo().canUndo());
        for (const State &state : after) {
            ASSERT_TRUE(f.undo().canRedo());
            f.undo().redo();
            ASSERT_EQ((State{f.core.string(), f.core.selectedRange()}), state) << "round " << round;
        }
        EXPECT_FALSE(f.undo().canRedo());
    }
}

// The editing rules work on the core: a rule edit is one undo step, typing around it coalesces as usual.
TEST(EditingCoreTests, RulesEditThroughTheCoreAsOneUndoStepEach) {
    Fixture f(u"say word");
    f.core.setSelectedRange({4, 4});
    TypingRules::insertText(f.core, u"(", TextRange{TextRange::notFound, 0});
    EXPECT_EQ(f.core.string(), u"say (word)");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{5, 4}));
    f.core.setSelectedRange({10, 0});
    TypingRules::insertText(f.core, u"!", TextRange{TextRange::notFound, 0});
    TypingRules::insertText(f.core, u"?", TextRange{TextRange::notFound, 0});
    f.core.setUndoActionName(u"Typing");
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Typing"));
    f.undo().undo();
    EXPECT_EQ(f.core.string(), u"say (word)");
    f.undo().undo();
    EXPECT_EQ(f.core.string(), u"say word");
    EXPECT_EQ(f.core.selectedRange(), (TextRange{4, 4}));
    EXPECT_EQ(f.core.characterAt(-1), std::nullopt);
    EXPECT_EQ(f.core.characterAt(0), u's');
}

// Steps read only the lines around the caret; they must land where a reading of the whole text would, also
// next to line ends of every kind, across lines without words and on a line too long to read around.
TEST(EditingCoreTests, StepsAgreeWithTheWholeText) {
    std::u16string text = u"\n\r\n\n" + specialText + u"\r\n\r\n" + std::u16string(5000, u'x') + u"e\u0301\n" +
                          u"\U0001F469\u200D\U0001F4BB\r\n\n, .\n\n-- !\r\nlast words";
    TextStorage storage(text);
    EditingCore core(storage);
    storage.replaceCharacters({text.size() / 2, 0}, u""); // nothing changes: the text lies in several chunks
    for (std::size_t position = 0; position <= text.size(); ++position) {
        bool insideLongLine = text[std::min(position, text.size() - 1)] == u'x' && position % 250 != 0;
        if (isGraphemeBoundary(text, position) && !insideLongLine) { // where a caret can stand
            ASSERT_EQ(core.destination(Movement::backwardCharacter, position), previousGraphemeBoundary(text, position))
                << position;
            ASSERT_EQ(core.destination(Movement::forwardCharacter, position), nextGraphemeBoundary(text, position))
                << position;
            ASSERT_EQ(core.destination(Movement::backwardWord, position), previousWordStart(text, position))
                << position;
            ASSERT_EQ(core.destination(Movement::forwardWord, position), nextWordEnd(text, position)) << position;
            TextRange paragraph = paragraphRange(text, TextRange{position, 0});
            ASSERT_EQ(core.destination(Movement::beginningOfLine, position), paragraph.location) << position;
            ASSERT_EQ(core.destination(Movement::endOfLine, position), contentsEnd(text, paragraph)) << position;
        }
        core.setSelectedRange({position, 0});
        ASSERT_EQ(core.selectedRange().location, graphemeBoundaryAtOrBefore(text, position)) << position;
    }
}
