#include "PreferencesTestSupport.h"

#include "platform/desktop/XkbKeymap.h"
#include "preferences/CommandCatalog.h"
#include "preferences/KeyboardSettingsFile.h"
#include "preferences/KeyboardSettingsImportWorkflow.h"

namespace velto {
namespace {

using enum VeltoCommandID;
using Conflict = KeyboardSettingsConflict;

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t control = ModifierFlags::control;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

const QString showOrHide = QStringLiteral("Show or hide Velto");
const QString appendClipboard = QStringLiteral("Append clipboard text");

KeyboardLayoutTranslator layout(const char *name, const char *variant = "") {
    return KeyboardLayoutTranslator::forKeymap(XkbKeymap::fromLayoutNames(name, variant));
}

/// The catalog defaults with Option-Space and Option-Command-V, as a fresh installation has them.
KeyboardSettings defaultSettings() {
    KeyboardSettings settings{
        1, VeltoPreferences::defaultGlobalShortcut(), VeltoPreferences::defaultAppendClipboardShortcut(), {}};
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        settings.appShortcuts[rawValue(id)] = VeltoCommandCatalog::descriptor(id).shortcut->defaultShortcut;
    }
    return settings;
}

/// Settings without hot keys and with only the given command shortcuts.
KeyboardSettings commandsOnly(std::map<QString, std::optional<GlobalShortcut>> appShortcuts) {
    return {1, std::nullopt, std::nullopt, std::move(appShortcuts)};
}

TEST(KeyboardSettingsValidation, DefaultsAreValidOnUsLayout) {
    EXPECT_TRUE(KeyboardSettingsValidator::conflicts(defaultSettings(), layout("us")).empty());
}

TEST(KeyboardSettingsValidation, UnsafeAndNativeCommandShortcuts) {
    struct Case {
        GlobalShortcut shortcut;
        std::vector<Conflict> conflicts;
    };
    const Case cases[] = {
        {{0, shift, "A"}, {Conflict::unsafeShortcut("Start New Page")}},
        {{0, 0, "A"}, {Conflict::unsafeShortcut("Start New Page")}},
        {{8, command, "C"}, {Conflict::nativeCommand("Start New Page")}},
        {{9, option | shift | command, "V"}, {Conflict::nativeCommand("Start New Page")}},
        {{6, shift | command, "Z"}, {Conflict::nativeCommand("Start New Page")}},
        {{15, command, "R"}, {Conflict::nativeCommand("Start New Page")}},
        {{0, control, "A"}, {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KeyboardSettingsValidator::conflicts(commandsOnly({{"page.new", c.shortcut}}), layout("us")),
                  c.conflicts)
            << c.shortcut.title().toStdString();
    }
}

TEST(KeyboardSettingsValidation, HotKeysNeedSafeModifiers) {
    struct Case {
        std::uint64_t modifiers;
        bool unsafe;
    };
    const Case cases[] = {
        {command, true},           {shift, true},    {0, true},
        {shift | command, false},  {control, false}, {option, false},
        {option | command, false},
    };
    for (const Case &c : cases) {
        KeyboardSettings settings{1, GlobalShortcut{49, c.modifiers, "Space"}, std::nullopt, {}};
        std::vector<Conflict> expected;
        if (c.unsafe) {
            expected.push_back(Conflict::unsafeShortcut(showOrHide));
        }
        EXPECT_EQ(KeyboardSettingsValidator::conflicts(settings, layout("us")), expected) << c.modifiers;
    }
}

TEST(KeyboardSettingsValidation, EqualHotKeysCompareKeyCodesNotLabels) {
    KeyboardSettings settings{1, GlobalShortcut{49, option, "Space"}, GlobalShortcut{49, option, "space"}, {}};
    EXPECT_EQ(KeyboardSettingsValidator::conflicts(settings, layout("us")), std::vector{Conflict::globalShortcuts()});
}

TEST(KeyboardSettingsValidation, HotKeyCollisionFollowsTheCurrentLayout) {
    KeyboardSettings settings = commandsOnly({{"page.new", GlobalShortcut{40, option | command, "D"}}});
    settings.globalShortcut = GlobalShortcut{2, option | command, "X"};
    EXPECT_EQ(KeyboardSettingsValidator::conflicts(settings, layout("us")),
              std::vector{Conflict::shortcuts(showOrHide, "Start New Page")});
    EXPECT_TRUE(KeyboardSettingsValidator::conflicts(settings, layout("us", "dvorak")).empty())
        << "key code 2 types “e” on Dvorak";
    EXPECT_TRUE(KeyboardSettingsValidator::conflicts(settings, KeyboardLayoutTranslator::unavailable()).empty());
}

TEST(KeyboardSettingsValidation, SpecialKeysCollideByKeyCode) {
    KeyboardSettings settings = commandsOnly({{"page.next", GlobalShortcut{49, option, "Space"}}});
    settings.appendClipboardShortcut = GlobalShortcut{49, option, "Space"};
    EXPECT_EQ(KeyboardSettingsValidator::conflicts(settings, KeyboardLayoutTranslator::unavailable()),
              std::vector{Conflict::shortcuts(appendClipboard, "Next Page")});
}

TEST(KeyboardSettingsValidation, CommandPairsUseTheLocalRules) {
    KeyboardSettings plusAndEquals = commandsOnly({{"editor.text-size.increase", GlobalShortcut{24, command, "+"}},
                                                   {"page.new", GlobalShortcut{24, shift | command, "="}}});
    EXPECT_EQ(KeyboardSettingsValidator::conflicts(plusAndEquals, layout("us")),
              std::vector{Conflict::shortcuts("Start New Page", "Increase Text Size")});

    KeyboardSettings plusAndOptionPlus =
        commandsOnly({{"editor.text-size.increase", GlobalShortcut{24, command, "+"}},
                      {"panel.size.increase", GlobalShortcut{24, option | command, "+"}}});
    EXPECT_TRUE(KeyboardSettingsValidator::conflicts(plusAndOptionPlus, layout("us")).empty());

    KeyboardSettings removedAndUnknown = commandsOnly({{"page.new", std::nullopt},
                                                       {"page.archive", GlobalShortcut{0, command, "A"}},
                                                       {"not.a.command", GlobalShortcut{0, command, "A"}}});
    EXPECT_EQ(KeyboardSettingsValidator::conflicts(removedAndUnknown, layout("us")),
              std::vector{Conflict::nativeCommand("Archive Page")});
}

TEST(KeyboardSettingsValidation, ConflictsAreListedInRuleOrder) {
    KeyboardSettings settings = commandsOnly({
        {"page.new", GlobalShortcut{2, option, "D"}},
        {"page.archive", GlobalShortcut{8, command, "C"}},
        {"page.next", GlobalShortcut{2, option, "d"}},
    });
    settings.globalShortcut = GlobalShortcut{2, option, "D"};
    settings.appendClipboardShortcut = GlobalShortcut{2, option, "D"};
    std::vector<Conflict> expected{
        Conflict::globalShortcuts(),
        Conflict::shortcuts(showOrHide, "Start New Page"),
        Conflict::shortcuts(appendClipboard, "Start New Page"),
        Conflict::nativeCommand("Archive Page"),
        Conflict::shortcuts(showOrHide, "Next Page"),
        Conflict::shortcuts(appendClipboard, "Next Page"),
        Conflict::shortcuts("Start New Page", "Next Page"),
    };
    EXPECT_EQ(KeyboardSettingsValidator::conflicts(settings, layout("us")), expected);

    settings.globalShortcut->modifiers = command;
    settings.appendClipboardShortcut->modifiers = 0;
    std::vector<Conflict> unsafeFirst = KeyboardSettingsValidator::conflicts(settings, layout("us"));
    ASSERT_GE(unsafeFirst.size(), 2u);
    EXPECT_EQ(unsafeFirst[0], Conflict::unsafeShortcut(showOrHide));
    EXPECT_EQ(unsafeFirst[1], Conflict::unsafeShortcut(appendClipboard));
}

TEST(KeyboardSettingsCompletion, MissingEntriesComeFromThePreviousSettings) {
    KeyboardSettings previous = defaultSettings();
    previous.appShortcuts.erase("page.next");
    KeyboardSettings imported = commandsOnly({{"page.new", std::nullopt}, {"custom", GlobalShortcut{0, command, "A"}}});
    imported.version = 7;

    KeyboardSettings completed = imported.fillingMissingAppShortcuts(previous);
    EXPECT_EQ(completed.version, 1);
    EXPECT_EQ(completed.globalShortcut, std::nullopt);
    EXPECT_EQ(completed.appShortcuts.size(), 15u);
    EXPECT_EQ(completed.appShortcuts.at("page.new"), std::nullopt) << "an entry without value is kept";
    EXPECT_EQ(completed.appShortcuts.at("page.next"), std::nullopt) << "missing in both";
    EXPECT_EQ(completed.appShortcuts.at("page.archive"), previous.appShortcuts.at("page.archive"));
    EXPECT_TRUE(completed.appShortcuts.contains("custom"));
}

class KeyboardSettingsImportTest : public testing::TemporaryPreferences {
protected:
    KeyboardSettingsImportWorkflow workflow() {
        return {VeltoPreferences::keyboardSettings, VeltoPreferences::setKeyboardSettings,
                [this] {
                    registrations.push_back(VeltoPreferences::keyboardSettings());
                    ShortcutRegistrationAvailability next = availabilities.front();
                    availabilities.erase(availabilities.begin());
                    return next;
                },
                layout("us")};
    }

    std::vector<ShortcutRegistrationAvailability> availabilities;
    std::vector<KeyboardSettings> registrations;
};

TEST_F(KeyboardSettingsImportTest, SettingsAreWrittenAsOneBatch) {
    KeyboardSettings settings = commandsOnly({{"page.archive", std::nullopt},
                                              {"page.new", GlobalShortcut{45, control | command, "N"}},
                                              {"page.browse", GlobalShortcut{11, command, "B"}},
                                              {"unknown", GlobalShortcut{11, command, "B"}}});
    VeltoPreferences::setKeyboardSettings(settings);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), std::nullopt);
    EXPECT_EQ(VeltoPreferences::appendClipboardShortcut(), std::nullopt);
    EXPECT_EQ(shortcut(archivePage), std::nullopt);
    EXPECT_TRUE(defaults().boolean("appShortcut.archivePage.configured"));
    EXPECT_EQ(shortcut(newPage), (GlobalShortcut{45, control | command, "N"}));
    EXPECT_EQ(shortcut(browsePages), std::nullopt);
    EXPECT_EQ(shortcut(nextPage), (GlobalShortcut{48, control, "⇥"})) << "commands without entry keep theirs";
    EXPECT_FALSE(defaults().object("appShortcut.nextPage.configured").isValid());
}

TEST_F(KeyboardSettingsImportTest, SuccessfulImportStoresAndRegisters) {
    availabilities = {{true, true}};
    KeyboardSettings imported = KeyboardSettingsFile::decode(
        R"({"version":1,"globalShortcut":null,"appendClipboardShortcut":null,"appShortcuts":{}})");
    EXPECT_EQ(workflow().apply(imported), std::nullopt);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), std::nullopt);
    EXPECT_EQ(VeltoPreferences::appendClipboardShortcut(), std::nullopt);
    EXPECT_EQ(VeltoPreferences::keyboardSettings().appShortcuts, defaultSettings().appShortcuts)
        << "an empty appShortcuts keeps every command's current shortcut";
    EXPECT_EQ(registrations.size(), 1u);
    EXPECT_EQ(changes, 1);
}

TEST_F(KeyboardSettingsImportTest, ConflictsChangeNothing) {
    KeyboardSettings imported = commandsOnly({{"page.new", GlobalShortcut{8, command, "C"}}});
    std::optional<KeyboardSettingsImportFailure> failure = workflow().apply(imported);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, KeyboardSettingsImportFailure::Kind::conflicts);
    EXPECT_EQ(failure->conflicts, std::vector{Conflict::nativeCommand("Start New Page")});
    EXPECT_TRUE(registrations.empty());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(VeltoPreferences::keyboardSettings(), defaultSettings());
}

TEST_F(KeyboardSettingsImportTest, FailedRegistrationRestoresThePreviousSettings) {
    setShortcut(newPage, GlobalShortcut{45, control | command, "N"});
    KeyboardSettings previous = VeltoPreferences::keyboardSettings();
    availabilities = {{false, true}, {true, true}};
    KeyboardSettings imported{1, GlobalShortcut{49, control, "Space"}, std::nullopt, {}};

    std::optional<KeyboardSettingsImportFailure> failure = workflow().apply(imported);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, KeyboardSettingsImportFailure::Kind::registrationFailed);
    EXPECT_EQ(failure->availability, (ShortcutRegistrationAvailability{false, true}));
    ASSERT_EQ(registrations.size(), 2u);
    EXPECT_EQ(registrations[0].globalShortcut, (GlobalShortcut{49, control, "Space"}));
    EXPECT_EQ(registrations[1], previous);
    EXPECT_EQ(VeltoPreferences::keyboardSettings(), previous);
}

TEST_F(KeyboardSettingsImportTest, FailedRollbackReportsTheSecondAttempt) {
    availabilities = {{true, false}, {false, false}};
    std::optional<KeyboardSettingsImportFailure> failure = workflow().apply(defaultSettings());
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, KeyboardSettingsImportFailure::Kind::rollbackRegistrationFailed);
    EXPECT_EQ(failure->availability, (ShortcutRegistrationAvailability{false, false}));
}

} // namespace
} // namespace velto
