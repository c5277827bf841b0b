#include "EditorCoordinatorTestSupport.h"
#include "editor/editing/EditingCore.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/spelling/AutoCorrection.h"
#include "editor_view/spelling/ContinuousSpellChecking.h"
#include "editor_view/spelling/SpellChecker.h"
#include "platform/Text.h"
#include "platform/desktop/SpellingService.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <set>

namespace velto::editor {
namespace {

std::vector<std::u16string> wordsOf(std::u16string_view paragraph) {
    std::vector<std::u16string> words;
    for (TextRange range : spellingWords(paragraph)) {
        words.emplace_back(paragraph.substr(range.location, range.length));
    }
    return words;
}

TEST(SpellingWords, ProseIsCheckedButCodeLinkDestinationsAndAddressesAreNot) {
    struct Case {
        std::u16string paragraph;
        std::vector<std::u16string> words;
    };
    const std::vector<Case> cases{
        {u"Two words", {u"Two", u"words"}},
        {u"don't stop, 42 times", {u"don't", u"stop", u"times"}},
        {u"run `grpe -rn` now", {u"run", u"now"}},
        {u"see [the dokumentation](https://exmaple.org/pgae) here", {u"see", u"the", u"dokumentation", u"here"}},
        {u"mail someone@exmaple.org or visit www.exmaple.org", {u"mail", u"or", u"visit"}},
        // Emphasis markers at a word's edges are no part of it; underscores inside a word are.
        {u"_italic_ and **bold**", {u"italic", u"and", u"bold"}},
        {u"__strong__, _two words_", {u"strong", u"two", u"words"}},
        {u"call snake_case or _snake_case_ ___", {u"call", u"snake_case", u"or", u"snake_case"}},
        {u"", {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(wordsOf(c.paragraph), c.words) << text::toUTF8(c.paragraph);
    }
}

TEST(SpellingWords, ParagraphsTouchingARangeEndAtTheirTerminator) {
    const std::u16string text = u"one\r\ntwo\n\nthree";
    EXPECT_EQ(paragraphsTouching(text, {0, 0}), (std::vector<TextRange>{{0, 3}}));
    EXPECT_EQ(paragraphsTouching(text, {4, 6}), (std::vector<TextRange>{{0, 3}, {5, 3}, {9, 0}}));
    EXPECT_EQ(paragraphsTouching(text, {0, text.size()}), (std::vector<TextRange>{{0, 3}, {5, 3}, {9, 0}, {10, 5}}));
    EXPECT_EQ(paragraphsTouching(u"", {0, 0}), (std::vector<TextRange>{{0, 0}}));
}

TEST(SpellingDictionary, TheLocaleChoosesTheDictionaryWithFallbacks) {
    const std::set<std::string> installed{"de", "en_GB", "en_US"};
    const std::vector<std::string> all(installed.begin(), installed.end());
    auto has = [&](const std::string &tag) { return installed.count(tag) > 0; };
    struct Case {
        const char *locale;
        const char *expected;
    };
    for (const Case &c : std::vector<Case>{{"en_GB.UTF-8", "en_GB"},
                                           {"de_CH.UTF-8@euro", "de"},
                                           {"fr_FR.UTF-8", "en_US"},
                                           {"C", "en_US"},
                                           {"", "en_US"},
                                           {"en-GB", "en_GB"}}) {
        EXPECT_EQ(EnchantSpellingService::dictionaryLanguage(c.locale, has, all), c.expected) << c.locale;
    }
    EXPECT_EQ(EnchantSpellingService::dictionaryLanguage(
                  "fr_FR", [](const std::string &) { return false; }, std::vector<std::string>{}),
              "");
    EXPECT_EQ(EnchantSpellingService::dictionaryLanguage(
                  "fr_FR", [](const std::string &tag) { return tag == "nl"; }, std::vector<std::string>{"nl"}),
              "nl");
}

/// The installed English dictionary with a personal word list in a temporary folder, counting look-ups.
class CountingSpelling : public SpellingService {
public:
    explicit CountingSpelling(const std::filesystem::path &wordList)
        : real_(EnchantSpellingService::Configuration{"en_US", wordList}) {}
    bool isAvailable() const override { return real_.isAvailable(); }
    std::string language() const override { return real_.language(); }
    bool isCorrect(std::string_view word) override {
        lookUps += 1;
        return real_.isCorrect(word);
    }
    std::vector<std::string> suggestions(std::string_view word, std::size_t limit) override {
        return real_.suggestions(word, limit);
    }
    void ignore(std::string_view word) override { real_.ignore(word); }
    void learn(std::string_view word) override { real_.learn(word); }

    int lookUps = 0;

private:
    EnchantSpellingService real_;
};

struct SpellingFixture : ::testing::Test {
    testing::TemporaryFolder folder;
    std::filesystem::path wordList = folder / "spelling" / "personal.dic";
    CountingSpelling spelling{wordList};
    SpellChecker checker{spelling};

    void SetUp() override { ASSERT_TRUE(spelling.isAvailable()) << "the en_US dictionary is installed by setup"; }
};

TEST_F(SpellingFixture, MisspelledProseIsFlaggedOnceAndRememberedByParagraphText) {
    const std::u16string paragraph = u"This sentense is rong.";
    EXPECT_EQ(checker.misspellings(paragraph), (std::vector<TextRange>{{5, 8}, {17, 4}}));
    const int lookUps = spelling.lookUps;
    const std::u16string text = u"# Moved\n\n" + paragraph + u"\n";
    EXPECT_TRUE(
        checker.checkParagraphs(text, {0, text.size()}, {}, SpellChecker::Clock::now() + std::chrono::seconds(5)));
    EXPECT_EQ(checker.misspelledRanges(text, {0, text.size()}, {}), (std::vector<TextRange>{{14, 8}, {26, 4}}));
    EXPECT_EQ(spelling.lookUps, lookUps + 1) << "only the new heading's word is looked up";
}

TEST_F(SpellingFixture, CodeIsNeverFlagged) {
    testing::ensureApplication();
    for (const bool styled : {true, false}) {
        TextStorage storage(u"Prose with a mistaek.\n```\nmistaek in code\n```\nInline `mistaek` too.\n");
        if (styled) {
            MarkdownStyler::apply(storage);
        }
        ContinuousSpellChecking continuous(checker, {[&] { return &storage; },
                                                     [&] {
                                                         return TextRange{0, storage.length()};
                                                     },
                                                     [styled] { return styled; }});
        EXPECT_TRUE(continuous.misspelledRanges().empty()) << "off until switched on";
        continuous.setEnabled(true);
        EXPECT_TRUE(continuous.runSlice(std::chrono::seconds(5)));
        EXPECT_EQ(continuous.misspelledRanges(), (std::vector<TextRange>{{13, 7}})) << styled;
        continuous.setEnabled(false);
        EXPECT_TRUE(continuous.misspelledRanges().empty());
    }
}

TEST_F(SpellingFixture, IdleSlicesStopAtTheirDeadlineAndGoOnLater) {
    std::u16string text;
    for (int line = 0; line < 200; ++line) {
        text += u"Paragraf number " + text::toUTF16(std::to_string(line)) + u" has a mistaek\n";
    }
    EXPECT_FALSE(checker.checkParagraphs(text, {0, text.size()}, {}, SpellChecker::Clock::now()));
    EXPECT_EQ(checker.rememberedParagraphCount(), 0u);
    while (!checker.checkParagraphs(text, {0, text.size()}, {},
                                    SpellChecker::Clock::now() + std::chrono::milliseconds(2))) {
    }
    EXPECT_EQ(checker.misspelledRanges(text, {0, text.size()}, {}).size(), 400u);
}

TEST_F(SpellingFixture, SuggestionsIgnoreAndLearn) {
    const std::vector<std::u16string> suggestions = checker.suggestions(u"sentense");
    ASSERT_FALSE(suggestions.empty());
    EXPECT_LE(suggestions.size(), SpellChecker::maximumSuggestions);
    EXPECT_EQ(suggestions.front(), u"sentence");

    const std::u16string text = u"Veltoish and Zorbleflux";
    EXPECT_EQ(checker.misspellings(text).size(), 2u);
    checker.ignore(u"Veltoish");
    checker.learn(u"Zorbleflux");
    EXPECT_TRUE(checker.misspellings(text).empty());
    EXPECT_NE(folder.readFile("spelling/personal.dic").find("Zorbleflux"), std::string::npos);

    // A new session keeps what was learned and forgets what was ignored.
    CountingSpelling later(wordList);
    SpellChecker laterChecker(later);
    EXPECT_EQ(laterChecker.misspellings(text), (std::vector<TextRange>{{0, 8}}));
}

TEST_F(SpellingFixture, MisspelledWordUnderTheContextMenu) {
    const std::u16string text = u"A wrod here\n```\nwrod\n```\n";
    const std::vector<TextRange> code{{12, 13}};
    EXPECT_EQ(checker.misspelledWord(text, 3, code), (TextRange{2, 4}));
    EXPECT_EQ(checker.misspelledWord(text, 6, code), (TextRange{2, 4})) << "the caret just after the word";
    EXPECT_EQ(checker.misspelledWord(text, 8, code), std::nullopt);
    EXPECT_EQ(checker.misspelledWord(text, 17, code), std::nullopt);
}

TEST(AutoCorrectionRules, OneEditAndCapitalisation) {
    struct Edit {
        std::u16string a, b;
        bool oneApart;
    };
    for (const Edit &e : std::vector<Edit>{{u"teh", u"the", true},
                                           {u"recieve", u"receive", true},
                                           {u"wrold", u"world", true},
                                           {u"helo", u"hello", true},
                                           {u"hello", u"helo", true},
                                           {u"cat", u"cut", true},
                                           {u"same", u"same", false},
                                           {u"abcd", u"badc", false},
                                           {u"form", u"from", true},
                                           {u"speling", u"spelling", true},
                                           {u"ab", u"abcd", false}}) {
        EXPECT_EQ(isOneEditApart(e.a, e.b), e.oneApart) << text::toUTF8(e.a) << " " << text::toUTF8(e.b);
    }
    EXPECT_EQ(matchingCapitalisation(u"Teh", u"the"), u"The");
    EXPECT_EQ(matchingCapitalisation(u"TEH", u"the"), u"THE");
    EXPECT_EQ(matchingCapitalisation(u"teh", u"the"), u"the");
    EXPECT_EQ(matchingCapitalisation(u"teh", u"Paris"), u"Paris");
}

TEST_F(SpellingFixture, AutomaticCorrectionIsConservative) {
    auto noCode = [](std::size_t) { return false; };
    struct Case {
        std::u16string text;
        std::size_t typedAt;
        std::optional<AutoCorrection> expected;
    };
    const std::vector<Case> cases{
        {u"I saw teh ", 9, AutoCorrection{{6, 3}, u"the"}},
        {u"Teh.", 3, AutoCorrection{{0, 3}, u"The"}},
        {u"teh", 2, std::nullopt},       // a letter typed: the word goes on
        {u"isn'", 3, std::nullopt},      // an apostrophe may continue the word
        {u"the ", 3, std::nullopt},      // correct already
        {u"xqzvbnm ", 7, std::nullopt},  // no suggestion one edit away
        {u"[x](teh) ", 8, std::nullopt}, // not a word of prose
    };
    for (const Case &c : cases) {
        EXPECT_EQ(automaticCorrection(c.text, c.typedAt, checker, noCode), c.expected) << text::toUTF8(c.text);
    }
    EXPECT_EQ(automaticCorrection(u"`teh ", 4, checker, [](std::size_t) { return true; }), std::nullopt);
}

TEST_F(SpellingFixture, ASuggestionOrCorrectionReplacesTheWordAsOneUndoStep) {
    TextStorage storage;
    EditingCore core(storage);
    core.loadText(u"A sentense here\n```\nsentense\n```\n");
    core.setSelectedRange({15, 0});
    ContinuousSpellChecking continuous(checker, {[&] { return &storage; },
                                                 [&] {
                                                     return TextRange{0, storage.length()};
                                                 },
                                                 [] { return false; }});
    continuous.setEnabled(true);
    continuous.runSlice(std::chrono::seconds(5));
    ASSERT_EQ(continuous.misspelledRanges(), (std::vector<TextRange>{{2, 8}})) << "prose only, not the code";
    const std::optional<TextRange> word = checker.misspelledWord(storage.string(), 4, continuous.codeRanges());
    ASSERT_EQ(word, (TextRange{2, 8}));
    const std::vector<std::u16string> suggestions = checker.suggestions(u"sentense");
    ASSERT_FALSE(suggestions.empty());

    core.insertText(u"!"); // typing before, which the correction must not join
    ASSERT_TRUE(applyCorrection(core, {*word, suggestions.front()}));
    EXPECT_EQ(storage.string(), u"A sentence here!\n```\nsentense\n```\n");
    EXPECT_EQ(core.selectedRange(), (TextRange{16, 0})) << "the caret keeps its place after the word";
    core.undoManager()->undo();
    EXPECT_EQ(storage.string(), u"A sentense here!\n```\nsentense\n```\n");
    core.undoManager()->undo();
    EXPECT_EQ(storage.string(), u"A sentense here\n```\nsentense\n```\n");

    core.setEditable(false);
    EXPECT_FALSE(applyCorrection(core, {*word, u"sentence"}));
}

} // namespace
} // namespace velto::editor
