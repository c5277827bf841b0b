#include "PreferencesTestSupport.h"

#include "preferences/LocalShortcutRouter.h"

namespace velto {
namespace {

using enum VeltoCommandID;
using Kind = LocalShortcutAction::Kind;

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t control = ModifierFlags::control;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;
constexpr std::uint64_t capsLock = 1u << 16;

/// A key press with the characters it types, as a text view reports it.
LocalKeyEvent keyEvent(std::uint64_t modifiers, std::uint32_t keyCode, const QString &characters,
                       const QString &ignoringModifiers) {
    return {modifiers, keyCode, characters, ignoringModifiers};
}

LocalKeyEvent keyEvent(std::uint64_t modifiers, std::uint32_t keyCode, const QString &characters) {
    return keyEvent(modifiers, keyCode, characters, characters);
}

TEST(LocalShortcutRouting, EditingActionsWin) {
    CommandShortcuts commands{{newPage, GlobalShortcut{8, command, "C"}}};
    struct Case {
        LocalKeyEvent event;
        std::optional<LocalShortcutAction> action;
    };
    const Case cases[] = {
        {keyEvent(command, 8, "c"), LocalShortcutAction::editing(Kind::copy)},
        {keyEvent(command, 0, "a"), LocalShortcutAction::editing(Kind::selectAll)},
        {keyEvent(command, 7, "x"), LocalShortcutAction::editing(Kind::cut)},
        {keyEvent(command, 9, "v"), LocalShortcutAction::editing(Kind::paste)},
        {keyEvent(command, 6, "z"), LocalShortcutAction::editing(Kind::undo)},
        {keyEvent(shift | command, 6, "Z", "z"), LocalShortcutAction::editing(Kind::redo)},
        {keyEvent(shift | command, 6, "Z", "Z"), LocalShortcutAction::editing(Kind::redo)},
        {keyEvent(option | shift | command, 9, "◊", "V"), LocalShortcutAction::editing(Kind::pasteAndMatchStyle)},
        {keyEvent(option | command, 6, "Ω", "z"), std::nullopt},
        {keyEvent(command | capsLock, 6, "z"), LocalShortcutAction::editing(Kind::undo)},
        {keyEvent(control, 6, "z"), std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LocalShortcutRouter::action(c.event, commands), c.action)
            << c.event.characters->toStdString() << " " << c.event.modifierFlags;
    }
}

TEST(LocalShortcutRouting, FirstMatchingCommandInOrder) {
    CommandShortcuts commands{
        {browsePages, std::nullopt},
        {newPage, GlobalShortcut{45, command, "N"}},
        {closePanel, GlobalShortcut{45, command, "n"}},
    };
    EXPECT_EQ(LocalShortcutRouter::action(keyEvent(command, 45, "n"), commands), LocalShortcutAction::command(newPage));
    EXPECT_EQ(LocalShortcutRouter::action(keyEvent(command, 45, "m"), commands), std::nullopt);
}

TEST(LocalShortcutMatching, MatchesByCharactersAndModifiers) {
    struct Case {
        GlobalShortcut shortcut;
        LocalKeyEvent event;
        bool matches;
    };
    const Case cases[] = {
        // "+" is found on "=" with or without Shift
        {{24, command, "+"}, keyEvent(command, 24, "="), true},
        {{24, command, "+"}, keyEvent(shift | command, 24, "+"), true},
        {{24, command, "="}, keyEvent(shift | command, 24, "+"), false},
        {{24, command, "+"}, keyEvent(option | command, 24, "≠", "="), false},
        // the minus sign stands for the hyphen
        {{27, command, "\u2212"}, keyEvent(command, 27, "-"), true},
        // letters follow the layout, not the key code
        {{37, command, "L"}, keyEvent(command, 2, "l"), true},
        {{37, command, "L"}, keyEvent(command, 37, "k"), false},
        {{37, command, "L"}, keyEvent(command | capsLock, 37, "L", "l"), true},
        {{37, command, "L"}, keyEvent(command | shift, 37, "L"), false},
        // special keys match by key code whatever the characters
        {{36, command, "↩"}, keyEvent(command, 36, "\r"), true},
        {{36, command, "↩"}, keyEvent(command | shift, 36, "\r"), false},
        {{48, control, "⇥"}, {control, 48, std::nullopt, std::nullopt}, true},
        {{48, control, "⇥"}, keyEvent(control, 49, "\t"), false},
        // no characters: only special keys can match
        {{45, command, "N"}, {command, 45, std::nullopt, std::nullopt}, false},
        // invalid labels never match
        {{45, command, "NN"}, keyEvent(command, 45, "NN"), false},
        // typed characters count when the unmodified ones differ
        {{18, command, "!"}, keyEvent(command, 18, "!", "1"), true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.shortcut.matchesLocal(c.event), c.matches)
            << c.shortcut.title().toStdString() << " vs " << c.event.characters.value_or("<none>").toStdString();
    }
}

TEST(LocalShortcutReserved, NativeCommandsAreReserved) {
    const std::pair<GlobalShortcut, bool> cases[] = {
        {{12, command, "Q"}, true},          {{15, command, "R"}, true},
        {{15, command, "r"}, true},          {{50, command, "`"}, false},
        {{50, shift | command, "`"}, true},  {{9, option | shift | command, "V"}, true},
        {{9, option | command, "V"}, false}, {{0, shift | command, "A"}, false},
        {{8, option | command, "C"}, false}, {{8, command, "c"}, true},
        {{5, shift | command, "G"}, true},   {{15, shift | command, "R"}, false},
        {{11, command, "B"}, true},          {{34, command, "I"}, true},
        {{45, command, "N"}, false},
    };
    for (const auto &[shortcut, reserved] : cases) {
        EXPECT_EQ(LocalShortcutRouter::isReservedForNativeCommand(shortcut), reserved)
            << shortcut.title().toStdString();
    }
}

TEST(LocalMenuKeyEquivalent, CharactersForMenuItems) {
    const std::pair<QString, QString> cases[] = {
        {"Space", " "},
        {"F12", QString(QChar(0xF70F))},
        {"F1", QString(QChar(0xF704))},
        {"F35", QString(QChar(0xF726))},
        {"F36", ""},
        {"F0", ""},
        {"R", "r"},
        {"Tab", ""},
        {"⇥", "\t"},
        {"↩", "\r"},
        {"⌦", QString(QChar(0xF728))},
        {"⎋", "\x1b"},
        {"\u2212", "-"},
        {"+", "+"},
        {",", ","},
    };
    for (const auto &[label, equivalent] : cases) {
        EXPECT_EQ((GlobalShortcut{0, command, label}.localMenuKeyEquivalent()), equivalent) << label.toStdString();
    }
}

using LocalShortcutDefaultsTest = testing::TemporaryPreferences;

TEST_F(LocalShortcutDefaultsTest, DefaultCommandsRouteFromTheirUsKeys) {
    struct Case {
        LocalKeyEvent event;
        VeltoCommandID command;
    };
    const Case cases[] = {
        {keyEvent(command, 45, "n"), newPage},
        {keyEvent(shift | command, 0, "A", "a"), archivePage},
        {keyEvent(control, 48, "\t"), nextPage},
        {keyEvent(control | shift, 48, "\t"), previousPage},
        {keyEvent(command, 13, "w"), closePanel},
        {keyEvent(command, 43, ","), openSettings},
        {keyEvent(command, 24, "="), increaseTextSize},
        {keyEvent(command, 27, "-"), decreaseTextSize},
        {keyEvent(command, 29, "0"), resetTextSize},
        {keyEvent(option | command, 24, "≠", "="), increasePanelSize},
        {keyEvent(option | command, 27, "–", "-"), decreasePanelSize},
        {keyEvent(option | command, 29, "º", "0"), fitPanelToContent},
        {keyEvent(command, 37, "l"), toggleTaskCheckbox},
        {keyEvent(option | command, 46, "µ", "m"), toggleMarkdownFormatting},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LocalShortcutRouter::action(c.event), LocalShortcutAction::command(c.command))
            << rawValue(c.command).toStdString();
    }
    setShortcut(newPage, std::nullopt);
    EXPECT_EQ(LocalShortcutRouter::action(keyEvent(command, 45, "n")), std::nullopt);
}

// The shortcuts are read once and kept: every way the preferences can change must still reach the routing.
TEST_F(LocalShortcutDefaultsTest, RoutingFollowsEveryChangeOfThePreferences) {
    const LocalKeyEvent commandN = keyEvent(command, 45, "n");
    ASSERT_EQ(LocalShortcutRouter::action(commandN), LocalShortcutAction::command(newPage));

    defaults().set(QStringLiteral("appShortcut.newPage.configured"), true); // written without a notification
    EXPECT_EQ(LocalShortcutRouter::action(commandN), std::nullopt);
    defaults().remove(QStringLiteral("appShortcut.newPage.configured"));
    EXPECT_EQ(LocalShortcutRouter::action(commandN), LocalShortcutAction::command(newPage));

    setShortcut(newPage, GlobalShortcut{46, command, "M"});
    EXPECT_EQ(LocalShortcutRouter::action(keyEvent(command, 46, "m")), LocalShortcutAction::command(newPage));

    // Other preferences put in place, as each test and the test launch do, read as their own.
    VeltoNotificationCenter otherCenter;
    PreferencesStore other{std::make_unique<DefaultsDomain>(folder.filePath(QStringLiteral("Other.json"))),
                           otherCenter};
    VeltoPreferences::useStorage(&other);
    EXPECT_EQ(LocalShortcutRouter::action(commandN), LocalShortcutAction::command(newPage));
    VeltoPreferences::useStorage(store.get());
    EXPECT_EQ(LocalShortcutRouter::action(commandN), std::nullopt);
}

} // namespace
} // namespace velto
