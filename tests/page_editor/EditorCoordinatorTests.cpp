#include "EditorSessionFixture.h"
#include "editor/markdown/MarkdownStyler.h"
#include "platform/desktop/SpellingService.h"

#include <gtest/gtest.h>

namespace velto::editor {
namespace {

using namespace std::chrono_literals;
using Pending = VeltoEditorCoordinator::PendingRange;
using testing::EditorSession;

TEST(EditorCoordinator, ABurstOfTypingIsStyledOnceAndHandedOverOnceAfterItsLastKeystroke) {
    EditorSession session("start\n");
    const std::uint64_t groups = session.storage.finishedEditingGroups();
    session.typeAtEnd(u"a");
    session.scheduler.advance(30ms);
    session.typeAtEnd(u"b");
    session.scheduler.advance(30ms);
    session.typeAtEnd(u"c");
    EXPECT_EQ(session.storage.finishedEditingGroups(), groups + 3) << "no style pass between keystrokes";
    session.scheduler.advance(49ms);
    EXPECT_TRUE(session.coordinator->hasPendingStylePass());
    session.scheduler.advance(1ms);
    EXPECT_FALSE(session.coordinator->hasPendingStylePass());
    EXPECT_EQ(session.storedText(), "start\n");
    session.scheduler.advance(199ms);
    EXPECT_EQ(session.storedText(), "start\n");
    session.scheduler.advance(1ms);
    EXPECT_EQ(session.storedText(), "start\nabc");
    EXPECT_EQ(session.scheduler.pendingCount(), 0u);
    EXPECT_EQ(session.availability, (std::pair<bool, bool>{true, false}));
}

TEST(EditorCoordinator, KeysPutOffTheScheduledStylePassAndSaveInsteadOfSchedulingNewOnes) {
    EditorSession session("start\n");
    session.typeAtEnd(u"a");
    const std::uint64_t scheduled = session.scheduler.scheduledCount();
    for (char16_t key : std::u16string_view(u"bcdefghij")) {
        session.scheduler.advance(20ms);
        session.typeAtEnd(std::u16string(1, key));
    }
    EXPECT_EQ(session.scheduler.scheduledCount(), scheduled) << "no new timer per key";
    EXPECT_EQ(session.scheduler.pendingCount(), 2u) << "the style pass and the save";
    session.scheduler.advance(249ms);
    EXPECT_EQ(session.storedText(), "start\n") << "the save waits for the last key";
    session.scheduler.advance(1ms);
    EXPECT_EQ(session.storedText(), "start\nabcdefghij");

    // Once they ran, the next key schedules them anew; composing cancels them.
    const std::uint64_t scheduledUntilTheSave = session.scheduler.scheduledCount();
    session.typeAtEnd(u"k");
    EXPECT_EQ(session.scheduler.pendingCount(), 2u);
    EXPECT_GT(session.scheduler.scheduledCount(), scheduledUntilTheSave);
    session.core.setHasMarkedText(true);
    session.typeAtEnd(u"l");
    EXPECT_EQ(session.scheduler.pendingCount(), 0u);
}

TEST(EditorCoordinator, TheTextIsTakenWhenTheSaveIsDueAndALoadDropsAPendingSave) {
    EditorSession session("one\n");
    session.typeAtEnd(u"x");
    session.scheduler.advance(240ms);
    session.core.insertText(u"y"); // a later change moves the save on and is part of it
    session.scheduler.advance(250ms);
    EXPECT_EQ(session.storedText(), "one\nxy");

    session.typeAtEnd(u"z");
    std::optional<VeltoPageOperation> created = session.store->createNewPage(systemClock().now());
    ASSERT_TRUE(created.has_value());
    session.showCurrentPage(); // loading the new page drops the save of the old text
    EXPECT_FALSE(session.coordinator->hasPendingSave());
    session.scheduler.advance(1s);
    EXPECT_EQ(session.storedText(), "");
}

TEST(EditorCoordinator, PendingStyleRangeFollowsEdits) {
    struct Step {
        TextRange range;
        std::optional<std::u16string> replacement;
    };
    struct Case {
        const char *what;
        std::optional<Pending> before;
        Step edit;
        Pending after;
    };
    const std::vector<Case> cases{
        {"replacement before the pending range", Pending{10, 4}, {{5, 3}, u"ab"}, Pending{5, 8}},
        {"deletion reaching into it", Pending{0, 5}, {{2, 4}, u""}, Pending{0, 2}},
        {"first edit", std::nullopt, {{7, 0}, u"xyz"}, Pending{7, 3}},
        {"attributes only keep the length", Pending{10, 4}, {{2, 3}, std::nullopt}, Pending{2, 12}},
        {"deletion ending past the pending range: clamped later", Pending{8, 2}, {{0, 20}, u""}, Pending{0, 2}},
    };
    for (const Case &c : cases) {
        EditorSession session("");
        if (c.before) {
            // Reach the starting range with edits of their own: an insertion of its length at its place.
            session.coordinator->editorWillReplaceCharacters(
                {static_cast<std::size_t>(c.before->location), 0},
                std::u16string(static_cast<std::size_t>(c.before->length), u'x'));
        }
        std::optional<std::u16string_view> replacement;
        if (c.edit.replacement) {
            replacement = *c.edit.replacement;
        }
        session.coordinator->editorWillReplaceCharacters(c.edit.range, replacement);
        EXPECT_EQ(session.coordinator->pendingStyleRange(), c.after) << c.what;
    }
}

TEST(EditorCoordinator, APendingRangePastTheEndIsClampedBeforeStyling) {
    EditorSession session("");
    session.coordinator->editorWillReplaceCharacters({40, 0}, u"0123456789");
    session.coordinator->applyIncrementalEditorAppearance(); // would throw on a range outside the text
    EXPECT_FALSE(session.coordinator->pendingStyleRange().has_value());
}

TEST(EditorCoordinator, NothingIsScheduledWhileAnInputMethodComposes) {
    EditorSession session("");
    session.typeAtEnd(u"a");
    session.core.setHasMarkedText(true);
    session.typeAtEnd(u"k");
    EXPECT_EQ(session.scheduler.pendingCount(), 0u);
    session.scheduler.advance(1s);
    EXPECT_EQ(session.storedText(), "");
    session.core.setHasMarkedText(false);
    session.typeAtEnd(u"\u304B");
    EXPECT_TRUE(session.coordinator->hasPendingStylePass());
    session.scheduler.advance(250ms);
    EXPECT_EQ(session.storedText(), "ak\xE3\x81\x8B");
}

TEST(EditorCoordinator, AFlushWithoutEditsChangesNothingInTheStore) {
    EditorSession session("same\n");
    const std::uint64_t revision = session.store->mutations().revision;
    session.coordinator->flushPendingChanges();
    EXPECT_EQ(session.store->mutations().revision, revision);
}

TEST(EditorCoordinator, AppendIsOneExactUndoableStep) {
    struct Case {
        std::string page;
        std::u16string appended;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"no line feed", u"(", "no line feed\n("},
        {"ends in a line feed\n", u"- item", "ends in a line feed\n- item"},
        {"", u"first", "first"},
    };
    for (const Case &c : cases) {
        EditorSession session(c.page);
        session.coordinator->appendAsUndoableEdit(c.appended);
        EXPECT_EQ(session.shownText(), c.expected);
        EXPECT_EQ(session.storedText(), c.expected) << "handed over at once";
        EXPECT_EQ(session.histories.undoManager()->undoActionName(), QStringLiteral("Append Clipboard"));
        session.histories.undoManager()->undo();
        EXPECT_EQ(session.shownText(), c.page);
    }
}

TEST(EditorCoordinator, AppendToAPageThatCannotBeEditedBeeps) {
    EditorSession session("kept\n");
    session.core.setEditable(false);
    session.coordinator->appendAsUndoableEdit(u"more");
    EXPECT_EQ(session.view.beeps, 1);
    EXPECT_EQ(session.shownText(), "kept\n");
    EXPECT_FALSE(session.histories.canUndo());
}

TEST(EditorCoordinator, PreferencesAreAppliedWithAFullRestyle) {
    EditorSession session("# Title\n\n---\n\n```swift\nlet x = 1\n```\n");
    ASSERT_TRUE(session.view.appearance.has_value());
    EXPECT_EQ(session.view.appearance->font.pointSize, 15);
    EXPECT_EQ(session.view.appearance->font.family, FontFamilyRole::monospacedSystem);
    EXPECT_TRUE(session.view.appearance->horizontalRuleColor.has_value());
    EXPECT_EQ(session.view.appearance->defaultParagraphStyle.lineSpacing, 15 * 0.28);
    EXPECT_EQ(session.view.appearance->defaultParagraphStyle.paragraphSpacing, 2.25);
    EXPECT_TRUE(testing::processEventsUntil([&] { return session.highlighter->calls == 1; }));

    VeltoPreferences::storage().defaults().set(PreferenceKeys::editorFontSize, 14);
    VeltoPreferences::storage().defaults().set(PreferenceKeys::editorFontChoice, QStringLiteral("system"));
    VeltoPreferences::setTextChecking({true, true});
    VeltoPreferences::setFormatsMarkdown(false);
    session.coordinator->applyEditorPreferences();
    EXPECT_EQ(session.view.appearance->font.pointSize, 15) << "a size not offered falls back to 15";
    EXPECT_EQ(session.view.appearance->font.family, FontFamilyRole::system);
    EXPECT_FALSE(session.view.appearance->horizontalRuleColor.has_value());
    EXPECT_TRUE(session.view.appearance->continuousSpellChecking);
    EXPECT_TRUE(session.view.appearance->automaticSpellingCorrection);
    // Unformatted: every character has the base attributes, and nothing is highlighted.
    EXPECT_EQ(session.storage.attributeRuns({0, session.storage.length()}).size(), 1u);
    session.typeAtEnd(u"x");
    session.scheduler.advance(50ms);
    EXPECT_EQ(session.storage.attributeRuns({0, session.storage.length()}).size(), 1u);
    testing::processEventsUntil([] { return false; }, 20ms);
    EXPECT_EQ(session.highlighter->calls, 1);

    session.core.setSelectedRange({26, 0}); // inside the code block: no corrections there
    session.coordinator->applyEditorPreferences();
    EXPECT_FALSE(session.view.appearance->automaticSpellingCorrection);
}

// The editing rules follow the settings the editor was given: a step changed in Settings while a page is
// open reaches the next Tab, before the panel applies the new fonts.
TEST(EditorCoordinator, AChangedIndentationStepReachesTheOpenEditorAtTheNextTab) {
    struct Step {
        velto::EditorIndentationChoice choice;
        std::u16string inserted;
    };
    const std::vector<Step> steps{
        {velto::EditorIndentationChoice::spaces2, u"  "},
        {velto::EditorIndentationChoice::tab, u"\t"},
        {velto::EditorIndentationChoice::spaces4, u"    "},
    };
    EditorSession session("");
    for (const Step &step : steps) {
        VeltoPreferences::setIndentation(step.choice);
        session.core.loadText(u"");
        session.core.changeIndentation(false);
        EXPECT_EQ(session.core.string(), step.inserted);
    }
}

// The styling passes follow the settings too: the next pass after a size change styles in the new size.
TEST(EditorCoordinator, AChangedFontSizeReachesTheNextStylingPass) {
    EditorSession session("one\n");
    const auto sizeAt = [&session](std::size_t location) {
        return attributeValueAs<FontDescriptor>(session.storage.attribute(AttributeKey::font, location))->pointSize;
    };
    EXPECT_EQ(sizeAt(0), 15);
    VeltoPreferences::setEditorFontSize(24);
    session.typeAtEnd(u"two");
    session.scheduler.advance(50ms);
    EXPECT_EQ(sizeAt(4), 24) << "the edited line";
}

TEST(EditorCoordinator, AHeadingIsStyledAtOnceAndTheSelectionSurvivesStyling) {
    EditorSession session("Title\n\nbody text\n");
    session.core.setSelectedRange({0, 0});
    session.core.insertText(u"#");
    session.core.insertText(u" ");
    EXPECT_FALSE(session.coordinator->hasPendingStylePass()) << "the heading fast path styled it";
    EXPECT_FALSE(session.coordinator->pendingStyleRange().has_value());
    const AttributeValue *font = session.storage.attribute(AttributeKey::font, 3);
    ASSERT_NE(font, nullptr);
    EXPECT_GT(attributeValueAs<FontDescriptor>(font)->pointSize, 15);

    session.core.setSelectedRange({10, 4});
    session.typeAtEnd(u"*more*");
    session.core.setSelectedRange({10, 4});
    session.scheduler.advance(50ms);
    EXPECT_EQ(session.core.selectedRange(), (TextRange{10, 4}));
}

TEST(EditorCoordinator, TheViewsTextNeverBecomesAnotherPagesText) {
    EditorSession session("page one\n");
    const Uuid first = session.store->document().currentPage.id;
    session.typeAtEnd(u" edited");
    // The store moves to a new page before the view has followed it.
    QObject::disconnect(session.store.get(), nullptr, session.coordinator.get(), nullptr);
    ASSERT_TRUE(session.store->createNewPage(systemClock().now()).has_value());
    session.scheduler.advance(1s);
    session.coordinator->flushPendingChanges();
    EXPECT_EQ(session.storedText(), "");
    EXPECT_EQ(session.coordinator->loadedPageID(), first);
}

TEST(EditorCoordinator, AnotherCurrentPageIsShownByThePanelWhenItMakesTheTransitionElseByTheCoordinator) {
    struct Case {
        bool panelMakesTransitions;
        std::string shownAfterwards;
    };
    for (const Case &c : {Case{true, "page one\n"}, Case{false, ""}}) {
        EditorSession session("page one\n");
        session.panelMakesPageTransitions = c.panelMakesTransitions;
        // A page made by another road than the panel's page operations: the store tells the editor.
        ASSERT_TRUE(session.store->createNewPage(systemClock().now()).has_value());
        const Uuid second = session.store->document().currentPage.id;
        EXPECT_EQ(session.pageTransitions, 1);
        EXPECT_EQ(session.shownText(), c.shownAfterwards) << c.panelMakesTransitions;
        EXPECT_EQ(session.coordinator->loadedPageID() == second, !c.panelMakesTransitions);
    }
}

TEST(EditorCoordinator, AFenceIsHighlightedOnceItsLineIsFinishedAndEveryEditCancelsHighlighting) {
    EditorSession session("");
    session.typeAtEnd(u"```js");
    session.scheduler.advance(50ms);
    testing::processEventsUntil([] { return false; }, 20ms);
    EXPECT_EQ(session.highlighter->calls, 0) << "the fence line is still being typed";
    session.typeAtEnd(u"\nlet x");
    session.scheduler.advance(50ms);
    EXPECT_TRUE(testing::processEventsUntil([&] { return session.highlighter->calls == 1; }));
    EXPECT_TRUE(testing::processEventsUntil([&] { return !session.coordinator->isHighlightingCode(); }));
    const std::uint64_t generation = session.coordinator->codeHighlightGeneration();
    session.typeAtEnd(u"y");
    EXPECT_GT(session.coordinator->codeHighlightGeneration(), generation) << "results for the old text are dropped";
    EXPECT_FALSE(session.coordinator->isHighlightingCode());
    session.scheduler.advance(50ms);
    EXPECT_TRUE(testing::processEventsUntil([&] { return session.highlighter->calls == 2; }));
}

TEST(EditorCoordinator, TheStoreMayGoFirstAtShutdown) {
    EditorSession session("text\n");
    session.waitForSaves();
    session.store.reset();
    session.coordinator.reset(); // takes its hook back only from a store that is still there
}

TEST(EditorCoordinator, AutomaticCorrectionIsAnUndoStepOfItsOwn) {
    velto::testing::TemporaryFolder words;
    EnchantSpellingService spelling(EnchantSpellingService::Configuration{"en_US", words / "personal.dic"});
    SpellChecker checker(spelling);
    EditorSession session("");
    session.coordinator->setSpellChecker(&checker);
    session.typeAtEnd(u"I saw teh ");
    EXPECT_EQ(session.shownText(), "I saw teh ") << "off until switched on";

    VeltoPreferences::setTextChecking({true, true});
    session.typeAtEnd(u"teh ");
    EXPECT_EQ(session.shownText(), "I saw teh the ");
    session.histories.undoManager()->undo();
    EXPECT_EQ(session.shownText(), "I saw teh teh ");
    session.scheduler.advance(250ms);
    EXPECT_EQ(session.storedText(), "I saw teh teh ");

    session.typeAtEnd(u"`teh` ");
    EXPECT_EQ(session.shownText(), "I saw teh teh `teh` ") << "code is never corrected";

    std::u16string longParagraph;
    while (longParagraph.size() <= 32'768) {
        longParagraph += u"words ";
    }
    session.core.insertText(longParagraph);
    session.typeAtEnd(u"teh ");
    EXPECT_TRUE(session.core.string().ends_with(u"words teh ")) << "a paragraph too long to read on every space";
}

} // namespace
} // namespace velto::editor
