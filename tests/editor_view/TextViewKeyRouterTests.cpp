#include "editor_view/TextViewKeyRouter.h"

#include "editor_view/KeyEventTranslation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velto;
using namespace velto::editor;

namespace {

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

// A view that records what the routing asked of it.
class RecordingHost : public TextViewKeyHost {
public:
    std::u16string text = u"one two";
    TextRange selection{4, 3};
    bool editable = true;
    bool inFence = false;
    std::vector<std::string> calls;
    UndoManager undo;
    UndoManager transition;
    bool hasTransition = false;

    bool isEditable() const override { return editable; }
    TextRange selectedRange() const override { return selection; }
    std::u16string substring(TextRange range) const override { return text.substr(range.location, range.length); }
    bool replaceText(TextRange range, std::u16string_view replacement, TextRange newSelection) override {
        text.replace(range.location, range.length, replacement);
        selection = newSelection;
        calls.push_back("replace");
        return true;
    }
    void selectAll() override { calls.push_back("selectAll"); }
    void copy() override { calls.push_back("copy"); }
    void cut() override { calls.push_back("cut"); }
    void paste() override { calls.push_back("paste"); }
    void pasteAsPlainText() override { calls.push_back("pasteAsPlainText"); }
    void changeIndentation(bool outdent) override { calls.push_back(outdent ? "outdent" : "indent"); }
    bool isInsideFencedCode(std::size_t) const override { return inFence; }
    void withCodeTypingAttributes(const std::function<void()> &body) override {
        calls.push_back("codeAttributes(");
        body();
        calls.push_back(")");
    }
    UndoManager *undoManager() override { return &undo; }
    UndoManager *pageTransitionRedoManager() override { return hasTransition ? &transition : nullptr; }
};

LocalKeyEvent key(std::uint64_t flags, const char *characters, std::uint32_t keyCode = 0xFFFF) {
    return LocalKeyEvent{flags, keyCode, QString::fromUtf8(characters), QString::fromUtf8(characters)};
}

struct Fixture {
    RecordingHost host;
    TextViewKeyRouter router{host};
    std::vector<std::string> reported;

    Fixture() {
        router.callbacks.editorEventHandler = [this](const EditorEvent &event) {
            reported.push_back(event.kind == EditorEvent::Kind::cyclePage ? (event.reverse ? "previous" : "next")
                                                                          : "end");
        };
        router.callbacks.commandHandler = [this](VeltoCommandID id) {
            reported.push_back(rawValue(id).toStdString());
            return true;
        };
        router.callbacks.commandShortcuts = [] {
            return CommandShortcuts{
                {VeltoCommandID::newPage, GlobalShortcut{0x2D, command, QStringLiteral("N")}},
                {VeltoCommandID::nextPage, GlobalShortcut{0x1E, command, QStringLiteral("]")}},
                {VeltoCommandID::previousPage, GlobalShortcut{0x21, command, QStringLiteral("[")}},
                {VeltoCommandID::browsePages, std::nullopt},
            };
        };
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
        {key(shift | command, "`"), u"one `two`", {5, 3}},
    };
    for (const Row &row : rows) {
        Fixture f;
        EXPECT_TRUE(f.router.performKeyEquivalent(row.event));
        EXPECT_EQ(f.host.text, row.expected);
        EXPECT_EQ(f.host.selection, row.selection);
    }
}

TEST(TextViewKeyRouterTests, MarkerShortcutWithoutSelectionOrWhileReadOnlyIsConsumedWithoutEffect) {
    Fixture f;
    f.host.selection = {2, 0};
    EXPECT_TRUE(f.router.performKeyEquivalent(key(command, "b")));
    f.host.selection = {4, 3};
    f.host.editable = false;
    EXPECT_TRUE(f.router.performKeyEquivalent(key(command, "b")));
    EXPECT_EQ(f.host.text, u"one two");
    EXPECT_TRUE(f.host.calls.empty());
}

TEST(TextViewKeyRouterTests, CapsLockKeepsCommandBFromWrappingAndLeavesItToTheDefault) {
    Fixture f;
    EXPECT_FALSE(f.router.performKeyEquivalent(key(capsLockFlag | command, "b")));
    EXPECT_EQ(f.host.text, u"one two");
    // The shortcut router ignores Caps Lock: a command with the shortcut still runs.
    EXPECT_TRUE(f.router.performKeyEquivalent(key(capsLockFlag | command, "n")));
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
            EXPECT_TRUE(f.router.performKeyEquivalent(row.event));
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

    EXPECT_TRUE(f.router.performKeyEquivalent(key(command, "z")));
    EXPECT_TRUE(f.router.performKeyEquivalent(key(shift | command, "Z")));
    EXPECT_EQ(activeRedos, 1);
    EXPECT_EQ(transitionRedos, 0);
    EXPECT_TRUE(f.router.performKeyEquivalent(key(shift | command, "z")));
    EXPECT_EQ(transitionRedos, 1);
}

TEST(TextViewKeyRouterTests, UnknownKeyIsLeftToTheDefaultHandling) {
    Fixture f;
    EXPECT_FALSE(f.router.performKeyEquivalent(key(command, "q")));
    EXPECT_FALSE(f.router.performKeyEquivalent(key(0, "b")));
    EXPECT_TRUE(f.reported.empty());
}

TEST(TextViewKeyRouterTests, PageCycleLastsWhileItsModifiersAreHeld) {
    Fixture f;
    EXPECT_TRUE(f.router.performKeyEquivalent(key(command, "]")));
    f.router.keyDown(key(command, "]"), [] { FAIL() << "a page shortcut never reaches the default"; });
    f.router.flagsChanged(command | shift); // still a superset
    EXPECT_TRUE(f.router.performKeyEquivalent(key(command, "[")));
    EXPECT_EQ(f.reported, (std::vector<std::string>{"next", "next", "previous"}));
    f.router.flagsChanged(shift);
    f.router.flagsChanged(0);
    EXPECT_EQ(f.reported, (std::vector<std::string>{"next", "next", "previous", "end"}));
    EXPECT_FALSE(f.router.activePageCycleModifiers());
}

TEST(TextViewKeyRouterTests, OtherKeysEndTheCycleForTheOwnerButKeepTheRecord) {
    Fixture f;
    f.router.performKeyEquivalent(key(command, "]"));
    int defaults = 0;
    f.router.keyDown(key(command, "k"), [&] { ++defaults; });
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
        f.router.keyDown(key(row.flags, "\t", 48), [&] { reached = true; });
        EXPECT_EQ(f.host.calls, row.calls) << row.flags;
        EXPECT_EQ(reached, row.reachesDefault) << row.flags;
        EXPECT_EQ(f.reported.size(), row.reachesDefault ? 1u : 0u);
    }
}

TEST(TextViewKeyRouterTests, TypingInsideFencedCodeTakesTheCodeTypingAttributes) {
    Fixture f;
    f.host.inFence = true;
    f.router.keyDown(key(0, "x"), [&] { f.host.calls.push_back("type"); });
    EXPECT_EQ(f.host.calls, (std::vector<std::string>{"codeAttributes(", "type", ")"}));
}

TEST(TextViewKeyRouterTests, EscapeAndMenuCommandsReachTheCommandHandler) {
    Fixture f;
    std::vector<VeltoCommandID> unavailable{VeltoCommandID::archivePage};
    f.router.callbacks.commandAvailabilityHandler = [&](VeltoCommandID id) {
        return std::find(unavailable.begin(), unavailable.end(), id) == unavailable.end();
    };
    f.router.cancelOperation();
    f.router.performVeltoCommand(QStringLiteral("settings.open"));
    f.router.performVeltoCommand(QStringLiteral("no.such.command"));
    f.router.performVeltoCommand(QString());
    EXPECT_EQ(f.reported, (std::vector<std::string>{"panel.close", "settings.open"}));
    EXPECT_EQ(f.router.validateVeltoCommand(QStringLiteral("page.new")), true);
    EXPECT_EQ(f.router.validateVeltoCommand(rawValue(VeltoCommandID::archivePage)), false);
    EXPECT_EQ(f.router.validateVeltoCommand(QStringLiteral("copy")), std::nullopt);
}
