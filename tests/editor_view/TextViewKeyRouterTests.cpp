#include "editor_view/input/TextViewKeyRouter.h"

#include "editor/markdown/MarkdownStyler.h"
#include "platform/desktop/KeyEventTranslation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace velto;
using namespace velto::editor;

namespace {

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

// A view that records what the key decisions asked of it.
class RecordingHost : public EditingTarget {
public:
    std::u16string text = u"one two";
    TextRange selection{4, 3};
    bool editable = true;
    std::vector<std::string> calls;
    UndoManager undo;
    UndoManager transition;
    bool hasTransition = false;

    RecordingHost()
        : storage_(text, MarkdownStyler::baseAttributes(MarkdownStyler::textColor())) {}
    void setText(std::u16string_view newText, TextRange newSelection) {
        storage_.replaceCharacters({0, storage_.length()}, newText);
        text = newText;
        selection = newSelection;
    }

    const TextStorage &storage() const override { return storage_; }
    bool isEditable() const override { return editable; }
    const EditorSettings &editorSettings() const override { return settings_; }
    const StyleSettings &styleSettings() const override { return style_; }
    TextRange selectedRange() const override { return selection; }
    void setSelectedRange(TextRange range) override { selection = range; }
    bool replaceText(TextRange range, std::u16string_view replacement, TextRange newSelection) override {
        storage_.replaceCharacters(range, replacement);
        text.replace(range.location, range.length, replacement);
        selection = newSelection;
        calls.push_back("replace");
        return true;
    }
    void insertTypedText(TextRange, std::u16string_view) override { calls.push_back("insertTypedText"); }
    void setUndoActionName(std::u16string_view) override {}
    void updateAttributes(TextRange, const std::function<Attributes(const Attributes &)> &) override {}
    Attributes typingAttributes() const override { return typingAttributes_; }
    void setTypingAttributes(const Attributes &attributes) override { typingAttributes_ = attributes; }
    Color codeTextColor() const override { return MarkdownStyler::textColor(); }

    void selectAllText() override { calls.push_back("selectAll"); }
    void copyToClipboard() override { calls.push_back("copy"); }
    void cutToClipboard() override { calls.push_back("cut"); }
    void pasteFromClipboard() override { calls.push_back("paste"); }
    void pasteAsPlainTextFromClipboard() override { calls.push_back("pasteAsPlainText"); }
    void changeIndentation(bool outdent) override { calls.push_back(outdent ? "outdent" : "indent"); }
    UndoManager *undoManager() override { return &undo; }
    UndoManager *pageTransitionRedoManager() override { return hasTransition ? &transition : nullptr; }

private:
    TextStorage storage_;
    EditorSettings settings_;
    StyleSettings style_;
    Attributes typingAttributes_ = MarkdownStyler::baseAttributes(MarkdownStyler::textColor());
};

LocalKeyEvent key(std::uint64_t flags, const char *characters, std::uint32_t keyCode = 0xFFFF) {
    QString typed = QString::fromUtf8(characters);
    return LocalKeyEvent{flags, keyCode, typed, typed, typed};
}

/// A key held with Shift that types `shifted` and `unshifted` without Shift.
LocalKeyEvent shiftedKey(std::uint64_t flags, const char *shifted, const char *unshifted) {
    LocalKeyEvent event = key(flags, shifted);
    event.charactersIgnoringShift = QString::fromUtf8(unshifted);
    return event;
}

/// The owner's side: records the commands run and the events reported, in one list.
struct RecordingCommandHost final : TextViewCommandHost {
    std::vector<std::string> reported;
    std::vector<VeltoCommandID> unavailable;

    void performCommand(VeltoCommandID id) override { reported.push_back(rawValue(id).toStdString()); }
    bool isCommandAvailable(VeltoCommandID id) const override {
        return std::find(unavailable.begin(), unavailable.end(), id) == unavailable.end();
    }
    CommandShortcuts commandShortcuts() const override {
        return CommandShortcuts{
            {VeltoCommandID::newPage, GlobalShortcut{0x2D, command, QStringLiteral("N")}},
            {VeltoCommandID::nextPage, GlobalShortcut{0x1E, command, QStringLiteral("]")}},
            {VeltoCommandID::previousPage, GlobalShortcut{0x21, command, QStringLiteral("[")}},
            {VeltoCommandID::browsePages, std::nullopt},
        };
    }
    void editorEvent(const EditorEvent &event) override {
        reported.push_back(event.kind == EditorEvent::Kind::cyclePage ? (event.reverse ? "previous" : "next") : "end");
    }
};

struct Fixture {
    RecordingHost host;
    RecordingCommandHost owner;
    TextViewKeyRouter router{host, owner};
    std::vector<std::string> &reported = owner.reported;

    // The view's key events, carried out as the view carries them out.

    /// A shortcut override: false when the key is no key equivalent.
    bool performKeyEquivalent(const LocalKeyEvent &event) {
        std::optional<KeyDecision> decision = keyEquivalentDecision(event, owner.commandShortcuts());
        if (!decision) {
            return false;
        }
        router.carryOut(*decision, [] { FAIL() << "a key equivalent is never the view's own"; });
        return true;
    }
    /// A press; `own` stands for the view's own handling of a key that types.
    void keyDown(const LocalKeyEvent &event, const std::function<void()> &own) {
        KeyDecision typing;
        typing.kind = KeyDecision::Kind::typedText;
        typing.ordinaryKeyDown = true;
        router.carryOut(keyDownDecision(event, owner.commandShortcuts()).value_or(typing), own);
    }
    void flagsChanged(std::uint64_t flags) {
        run({VeltoKeyCommand::Kind::modifiersChanged, VeltoCommandID::closePanel, flags});
    }
    void cancelOperation() { run({VeltoKeyCommand::Kind::run, VeltoCommandID::closePanel, 0}); }
    void run(const VeltoKeyCommand &command) {
        KeyDecision decision;
        decision.kind = KeyDecision::Kind::veltoCommand;
        decision.velto = command;
        router.carryOut(decision, [] {});
    }
};

} // namespace

TEST(TextViewKeyRouterTests, MarkerShortcutsWrapTheSelectionAndKeepItSelected) {
    struct Row {
        LocalKeyEvent event;
        std::u16string expected;
        TextRange selection;
    };
    const Row rows[] = {
        {key(command, "b"), u"one **two**", {6, 3}},
        {key(command, "I"), u"one _two_", {5, 3}},
        {shiftedKey(shift | command, "~", "`"), u"one `two`", {5, 3}}, // the US layout's "`" key
        {shiftedKey(shift | command, "`", "´"), u"one `two`", {5, 3}}, // a layout where "`" needs Shift
    };
    for (const Row &row : rows) {
        Fixture f;
        EXPECT_TRUE(f.performKeyEquivalent(row.event));
        EXPECT_EQ(f.host.text, row.expected);
        EXPECT_EQ(f.host.selection, row.selection);
    }
}

TEST(TextViewKeyRouterTests, MarkerShortcutWithoutSelectionOrWhileReadOnlyIsConsumedWithoutEffect) {
    Fixture f;
    f.host.selection = {2, 0};
    EXPECT_TRUE(f.performKeyEquivalent(key(command, "b")));
    f.host.selection = {4, 3};
    f.host.editable = false;
    EXPECT_TRUE(f.performKeyEquivalent(key(command, "b")));
    EXPECT_EQ(f.host.text, u"one two");
    EXPECT_TRUE(f.host.calls.empty());
}

TEST(TextViewKeyRouterTests, OnlyTheBacktickRowMatchesTheKeysCharacterWithoutShift) {
    const LocalKeyEvent notMarkers[] = {
        shiftedKey(command, "~", "`"),          // without Shift the row does not match
        shiftedKey(shift | command, "B", "b"),  // Ctrl+B's row is not held with Shift
        shiftedKey(shift | command, "\"", "'"), // another key
    };
    for (const LocalKeyEvent &event : notMarkers) {
        Fixture f;
        f.performKeyEquivalent(event);
        EXPECT_EQ(f.host.text, u"one two") << event.charactersIgnoringModifiers->toStdString();
    }
}

TEST(TextViewKeyRouterTests, CapsLockKeepsCommandBFromWrappingAndLeavesItToTheDefault) {
    Fixture f;
    EXPECT_FALSE(f.performKeyEquivalent(key(capsLockFlag | command, "b")));
    EXPECT_EQ(f.host.text, u"one two");
    // The shortcut router ignores Caps Lock: a command with the shortcut still runs.
    EXPECT_TRUE(f.performKeyEquivalent(key(capsLockFlag | command, "n")));
    EXPECT_EQ(f.reported, (std::vector<std::string>{"page.new"}));
}

TEST(TextViewKeyRouterTests, EditingShortcutsAndWhatReadOnlySwallows) {
    struct Row {
        LocalKeyEvent event;
        std::string editableCall;
        std::string readOnlyCall; // empty: swallowed
    };
    const Row rows[] = {
        {key(command, "a"), "selectAll", "selectAll"},
        {key(command, "c"), "copy", "copy"},
        {key(command, "x"), "cut", ""},
        {key(command, "v"), "paste", ""},
        {key(option | shift | command, "v"), "pasteAsPlainText", ""},
    };
    for (const Row &row : rows) {
        for (bool editable : {true, false}) {
            Fixture f;
            f.host.editable = editable;
            EXPECT_TRUE(f.performKeyEquivalent(row.event));
            std::vector<std::string> expected;
            const std::string &call = editable ? row.editableCall : row.readOnlyCall;
            if (!call.empty()) {
                expected.push_back(call);
            }
            EXPECT_EQ(f.host.calls, expected) << row.editableCall << (editable ? "" : " read-only");
        }
    }
}

TEST(TextViewKeyRouterTests, RedoUsesThePageTransitionManagerOnlyWhenTheActiveOneCannot) {
    Fixture f;
    int activeRedos = 0;
    int transitionRedos = 0;
    f.host.undo.registerUndo([&](UndoManager &m) { m.registerUndo([&](UndoManager &) { ++activeRedos; }); });
    f.host.transition.registerUndo([&](UndoManager &m) { m.registerUndo([&](UndoManager &) { ++transitionRedos; }); });
    f.host.transition.undo();
    f.host.hasTransition = true;

    EXPECT_TRUE(f.performKeyEquivalent(key(command, "z")));
    EXPECT_TRUE(f.performKeyEquivalent(key(shift | command, "Z")));
    EXPECT_EQ(activeRedos, 1);
    EXPECT_EQ(transitionRedos, 0);
    EXPECT_TRUE(f.performKeyEquivalent(key(shift | command, "z")));
    EXPECT_EQ(transitionRedos, 1);
}

TEST(TextViewKeyRouterTests, UnknownKeyIsLeftToTheDefaultHandling) {
    Fixture f;
    EXPECT_FALSE(f.performKeyEquivalent(key(command, "q")));
    EXPECT_FALSE(f.performKeyEquivalent(key(0, "b")));
    EXPECT_TRUE(f.reported.empty());
}

TEST(TextViewKeyRouterTests, PageCycleLastsWhileItsModifiersAreHeld) {
    Fixture f;
    EXPECT_TRUE(f.performKeyEquivalent(key(command, "]")));
    f.keyDown(key(command, "]"), [] { FAIL() << "a page shortcut never reaches the default"; });
    f.flagsChanged(command | shift); // still a superset
    EXPECT_TRUE(f.performKeyEquivalent(key(command, "[")));
    EXPECT_EQ(f.reported, (std::vector<std::string>{"next", "next", "previous"}));
    f.flagsChanged(shift);
    f.flagsChanged(0);
    EXPECT_EQ(f.reported, (std::vector<std::string>{"next", "next", "previous", "end"}));
    EXPECT_FALSE(f.router.activePageCycleModifiers());
}

TEST(TextViewKeyRouterTests, OtherKeysEndTheCycleForTheOwnerButKeepTheRecord) {
    Fixture f;
    f.performKeyEquivalent(key(command, "]"));
    int defaults = 0;
    f.keyDown(key(command, "k"), [&] { ++defaults; });
    EXPECT_EQ(defaults, 1);
    EXPECT_EQ(f.reported, (std::vector<std::string>{"next", "end"}));
    EXPECT_EQ(f.router.activePageCycleModifiers(), command);
}

TEST(TextViewKeyRouterTests, TabIndentsOnlyWithoutModifiersButShift) {
    struct Row {
        std::uint64_t flags;
        std::vector<std::string> calls;
        bool reachesDefault;
    };
    const Row rows[] = {
        {0, {"indent"}, false}, {shift, {"outdent"}, false},        {command, {}, true},
        {option, {}, true},     {ModifierFlags::control, {}, true}, {capsLockFlag, {}, true},
    };
    for (const Row &row : rows) {
        Fixture f;
        bool reached = false;
        f.keyDown(key(row.flags, "\t", 48), [&] { reached = true; });
        EXPECT_EQ(f.host.calls, row.calls) << row.flags;
        EXPECT_EQ(reached, row.reachesDefault) << row.flags;
        EXPECT_EQ(f.reported.size(), row.reachesDefault ? 1u : 0u);
    }
}

TEST(TextViewKeyRouterTests, TypingInsideFencedCodeTakesTheCodeTypingAttributes) {
    Fixture f;
    f.host.setText(u"```\nlet\n```", {5, 0});
    const Attributes prose = f.host.typingAttributes();
    const Attributes code = prose.merging(MarkdownStyler::codeAttributes(MarkdownStyler::textColor()));
    f.keyDown(key(0, "x"), [&] {
        EXPECT_EQ(f.host.typingAttributes(), code);
        f.host.calls.push_back("type");
    });
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"type"}));
    EXPECT_EQ(f.host.typingAttributes(), prose);
}

TEST(TextViewKeyRouterTests, EscapeAndMenuCommandsReachTheCommandHandler) {
    Fixture f;
    f.owner.unavailable = {VeltoCommandID::archivePage};
    f.cancelOperation();
    f.router.performVeltoCommand(QStringLiteral("settings.open"));
    f.router.performVeltoCommand(QStringLiteral("no.such.command"));
    f.router.performVeltoCommand(QString());
    EXPECT_EQ(f.reported, (std::vector<std::string>{"panel.close", "settings.open"}));
    EXPECT_EQ(f.router.validateVeltoCommand(QStringLiteral("page.new")), true);
    EXPECT_EQ(f.router.validateVeltoCommand(rawValue(VeltoCommandID::archivePage)), false);
    EXPECT_EQ(f.router.validateVeltoCommand(QStringLiteral("copy")), std::nullopt);
}
