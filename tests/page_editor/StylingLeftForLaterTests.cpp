#include "EditorSessionFixture.h"
#include "editor/markdown/MarkdownStyler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace velto::editor {
namespace {

using namespace std::chrono_literals;
using testing::EditorSession;

/// A page with every construct the styler reads across lines or far away: setext headings, fenced
/// blocks, code spans over two lines, links, lists, quotes, rules and long lines.
std::string markdownPage() {
    std::string page;
    for (int section = 0; section < 40; ++section) {
        const std::string n = std::to_string(section);
        page += "# Heading " + n + "\n";
        page += "Some *emphasis* and **strong** text with a [link](https://example.com/" + n + ") and `code`.\n";
        page += "- item one\n- [ ] a task " + n + "\n> a quote\n";
        page += "Title " + n + "\n=====\n";
        page += "```python\nprint(\"" + n + "\")\n```\n";
        page += "A span of `code that runs\nover two lines` and ~~struck~~ https://example.org/" + n + "\n";
        page += std::string(300, 'w') + " **far" + n + "** _x_\n---\n\n";
    }
    return page;
}

/// The runs one full pass gives the text the session shows, in the session's colour and fonts.
std::vector<AttributeRun> fullPassRuns(const EditorSession &session) {
    TextStorage reference(session.core.string());
    MarkdownStyler::apply(reference, session.coordinator->editorTextColor(), session.core.styleSettings());
    return reference.attributeRuns({0, reference.length()});
}

std::vector<AttributeRun> shownRuns(const EditorSession &session) {
    return session.storage.attributeRuns({0, session.storage.length()});
}

/// Small pieces, so that a page of some kilobytes is styled in many of them, the idle slices reaching a few
/// kilobytes from the screen.
constexpr std::size_t smallReach = 3'000;
constexpr StylingLeftForLater::Sizes smallPieces{1, 400, 700, smallReach};

/// The page loaded with the screen on `visible`, its full restyle cut into small pieces.
void loadInPieces(EditorSession &session, TextRange visible) {
    session.coordinator->setStylingPieceSizes(smallPieces);
    session.view.visible = visible;
    session.coordinator->loadCurrentPageText();
}

std::size_t middleOfFirstLeft(const EditorSession &session) {
    const TextRange left = session.coordinator->textLeftForLaterStyling().at(0);
    return left.location + left.length / 2;
}

void replace(EditorSession &session, TextRange range, std::u16string_view text) {
    session.core.breakUndoCoalescing();
    ASSERT_TRUE(session.core.replaceText(range, text, TextRange{range.location + text.size(), 0}));
}

TEST(StylingLeftForLater, ABigPageStyledInPiecesEndsAsOneFullPassWhateverHappensBetweenThem) {
    struct Case {
        const char *what;
        std::function<void(EditorSession &)> between;
    };
    const std::vector<Case> cases{
        {"nothing", [](EditorSession &) {}},
        {"typing before what is left, on screen",
         [](EditorSession &session) {
             session.core.setSelectedRange({120, 0});
             session.core.insertText(u"a *b");
         }},
        {"typing inside what is left",
         [](EditorSession &session) {
             // At a line's start, where the backtick pairs with the runs of the lines below.
             session.core.setSelectedRange({session.core.string().find(u"\nSome", middleOfFirstLeft(session)) + 1, 0});
             session.core.insertText(u"**x** `y");
         }},
        {"typing into a heading inside what is left",
         [](EditorSession &session) {
             const std::size_t heading = session.core.string().find(u"\n# Heading", middleOfFirstLeft(session));
             session.core.setSelectedRange({heading + 12, 0});
             session.core.insertText(u"**x** `y");
         }},
        {"typing into a heading on screen, key by key, each styled at once",
         [](EditorSession &session) {
             session.core.setSelectedRange({session.core.string().find(u"# Heading") + 9, 0});
             for (char16_t unit : std::u16string(u"**x** `y")) {
                 session.core.insertText(std::u16string_view(&unit, 1));
                 session.scheduler.advance(20ms);
             }
         }},
        {"typing at the end", [](EditorSession &session) { session.typeAtEnd(u"\n# tail *z*"); }},
        {"a paste of lines with a fenced block inside what is left",
         [](EditorSession &session) {
             replace(session, {middleOfFirstLeft(session), 0}, u"\n```js\nlet a = 1;\n```\nTitle\n====\n");
         }},
        {"a fence opened and left open inside what is left",
         [](EditorSession &session) {
             const std::size_t at = session.core.string().find(u"\n", middleOfFirstLeft(session)) + 1;
             replace(session, {at, 0}, u"```\n");
         }},
        {"a fence closed early: an opening line removed",
         [](EditorSession &session) {
             const std::size_t at = session.core.string().find(u"```python\n", middleOfFirstLeft(session));
             replace(session, {at, 10}, u"");
         }},
        {"a deletion from the screen into what is left, then undone",
         [](EditorSession &session) {
             const TextRange left = session.coordinator->textLeftForLaterStyling().at(0);
             replace(session, rangeBetween(left.location - 50, left.location + 300), u"");
             session.scheduler.advance(60ms);
             session.histories.undoManager()->undo();
         }},
        {"the store's copy changed inside what is left",
         [](EditorSession &session) {
             std::u16string changed = session.core.string();
             changed.insert(middleOfFirstLeft(session), u"\n## from elsewhere\n");
             session.store->setText(text::toUTF8(changed), systemClock().now());
             session.coordinator->currentPageTextChangedInStore();
         }},
        {"another theme",
         [](EditorSession &session) {
             session.coordinator->applyEditorPreferences(
                 VeltoTheme::resolve(AppearanceChoice::dark, Appearance::aqua, false));
         }},
    };
    const std::string page = markdownPage();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EditorSession session(page);
        loadInPieces(session, {0, 600});
        ASSERT_FALSE(session.coordinator->textLeftForLaterStyling().empty()) << "the far text waits";
        session.scheduler.advance(3ms); // a few slices
        ASSERT_FALSE(session.coordinator->textLeftForLaterStyling().empty());
        c.between(session);
        session.scheduler.advance(10s);
        EXPECT_FALSE(session.coordinator->textLeftForLaterStyling().empty()) << "the slices stop near the screen";
        session.storage.styleLeftForLaterNear({0, session.storage.length()}); // as a reader of all of it does
        EXPECT_TRUE(session.coordinator->textLeftForLaterStyling().empty());
        EXPECT_EQ(shownRuns(session), fullPassRuns(session));
    }
}

TEST(StylingLeftForLater, WhatComesOnScreenIsStyledBeforeItIsShown) {
    const std::string page = markdownPage();
    EditorSession session(page);
    loadInPieces(session, {0, 600});
    const std::vector<AttributeRun> full = fullPassRuns(session);
    const auto attributesAt = [](const std::vector<AttributeRun> &runs, std::size_t location) {
        for (const AttributeRun &run : runs) {
            if (run.range.contains(location)) {
                return run.attributes;
            }
        }
        return Attributes();
    };
    struct Jump {
        const char *what;
        TextRange visible;
    };
    const std::vector<Jump> jumps{
        {"to the end", {session.storage.length() - 700, 700}},
        {"to the middle", {session.storage.length() / 2, 900}},
        {"back near the start", {1500, 800}},
    };
    for (const Jump &jump : jumps) {
        SCOPED_TRACE(jump.what);
        session.view.visible = jump.visible;
        session.coordinator->editorVisibleRangeMayHaveChanged(); // as the view tells of a scroll, before painting
        for (std::size_t location = jump.visible.location; location < jump.visible.end(); ++location) {
            ASSERT_EQ(session.storage.attributes(location), attributesAt(full, location)) << "at " << location;
        }
        EXPECT_FALSE(session.coordinator->textLeftForLaterStyling().empty()) << "the rest still waits";
    }
}

// The text view hears of a finished edit before the styling does, and may scroll then and ask for what it shows
// to be styled: what is left for later must follow the edit before anything is styled or taken from it.
TEST(StylingLeftForLater, WhatIsLeftFollowsAnEditThatAReaderHeardOfFirst) {
    struct ReaderToldFirst final : TextStorageObserver {
        std::function<void()> told;
        void editingGroupDidFinish(const EditingSummary &summary) override {
            if (!summary.attributesOnly && told) {
                told();
            }
        }
    } reader;
    TextStorage storage(text::toUTF16(markdownPage()));
    const Subscription first = storage.subscribe(reader);
    velto::testing::ManualScheduler scheduler;
    StylingLeftForLater styling(storage, scheduler);
    styling.setSizes(smallPieces);
    const Color color = MarkdownStyler::textColor();
    styling.restyle([] { return TextRange{0, 600}; }, color, StyleSettings());
    reader.told = [&styling] { styling.styleNear(TextRange{9'000, 300}); };
    storage.replaceCharacters(TextRange{5'000, 2'000}, u""); // far inside what is left
    reader.told = nullptr;
    ASSERT_FALSE(styling.leftForLater().empty());
    scheduler.advance(10s);
    storage.styleLeftForLaterNear({0, storage.length()});
    EXPECT_TRUE(styling.leftForLater().empty());
    TextStorage reference(storage.string());
    MarkdownStyler::apply(reference, color, StyleSettings());
    EXPECT_EQ(storage.attributeRuns({0, storage.length()}), reference.attributeRuns({0, reference.length()}));
}

TEST(StylingLeftForLater, TheIdleSlicesStyleAroundWhereTheScreenWasLastAndStop) {
    const std::string page = markdownPage();
    EditorSession session(page);
    const std::size_t length = session.storage.length();
    const std::vector<AttributeRun> full = fullPassRuns(session);
    const auto styledAsByAFullPass = [&](TextRange range) {
        std::vector<AttributeRun> expected;
        for (AttributeRun run : full) {
            if (const TextRange part = intersection(run.range, range); part.length > 0) {
                expected.push_back({part, run.attributes});
            }
        }
        return session.storage.attributeRuns(range) == expected;
    };
    loadInPieces(session, {0, 600});
    session.scheduler.advance(10s);
    std::vector<TextRange> left = session.coordinator->textLeftForLaterStyling();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_GE(left[0].location, 300 + smallReach);
    EXPECT_LT(left[0].location, 300 + smallReach + 1'000) << "whole lines and constructs past the reach";
    EXPECT_EQ(left[0].end(), length);
    EXPECT_EQ(session.scheduler.pendingCount(), 0u) << "no slice waits";
    EXPECT_TRUE(styledAsByAFullPass({0, left[0].location}));

    // A jump to the end styles what is shown at once, and the slices go on around it up to the same reach.
    session.view.visible = TextRange{length - 700, 700};
    session.coordinator->editorVisibleRangeMayHaveChanged();
    EXPECT_TRUE(styledAsByAFullPass(*session.view.visible));
    session.scheduler.advance(10s);
    left = session.coordinator->textLeftForLaterStyling();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_LE(left[0].end(), length - 350 - smallReach);
    EXPECT_GT(left[0].end() + 1'000, length - 350 - smallReach);
    EXPECT_TRUE(styledAsByAFullPass({left[0].end(), length - left[0].end()}));

    // A caret put in the middle (by a find, an undo) types with the attributes a full pass gives there.
    const std::size_t middle = left[0].location + left[0].length / 2;
    session.core.setSelectedRange({middle, 0});
    EXPECT_TRUE(styledAsByAFullPass({middle - 1, 1}));
    EXPECT_EQ(session.core.typingAttributes(), session.storage.attributes(middle - 1));
}

TEST(StylingLeftForLater, ShorterPagesAreStyledAtOnceAndUnformattedTextLeavesNothingForLater) {
    const std::string page = markdownPage();
    EditorSession session(page);
    session.coordinator->setStylingPieceSizes({page.size() + 1, 400, 700});
    session.coordinator->loadCurrentPageText();
    EXPECT_TRUE(session.coordinator->textLeftForLaterStyling().empty());
    EXPECT_EQ(session.scheduler.pendingCount(), 0u);
    EXPECT_EQ(shownRuns(session), fullPassRuns(session));

    loadInPieces(session, {0, 600});
    ASSERT_FALSE(session.coordinator->textLeftForLaterStyling().empty());
    VeltoPreferences::setFormatsMarkdown(false);
    session.coordinator->applyEditorPreferences();
    EXPECT_TRUE(session.coordinator->textLeftForLaterStyling().empty());
    session.scheduler.advance(10s);
    EXPECT_EQ(session.storage.attributeRuns({0, session.storage.length()}).size(), 1u) << "no slice styles it";
}

} // namespace
} // namespace velto::editor
