#include "ui/KeyNames.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

GlobalShortcut shortcut(std::uint64_t modifiers, const char *label) {
    return GlobalShortcut{0, modifiers, QString::fromUtf8(label)};
}

TEST(KeyNames, ShortcutsReadAsLinuxKeyNames) {
    using namespace ModifierFlags;
    struct Case {
        std::optional<GlobalShortcut> shortcut;
        const char *text;
    };
    const Case cases[] = {
        {shortcut(command, "N"), "Ctrl+N"},
        {shortcut(shift | command, "A"), "Ctrl+Shift+A"},
        {shortcut(option | command, "V"), "Ctrl+Alt+V"},
        {shortcut(control | shift, "⇥"), "Shift+Super+Tab"},
        {shortcut(control, "⇥"), "Super+Tab"},
        {shortcut(option, "Space"), "Alt+Space"},
        {shortcut(option | command, "−"), "Ctrl+Alt+−"},
        {shortcut(command, "↩"), "Ctrl+Enter"},
        {shortcut(0, "⎋"), "Esc"},
        {shortcut(command, "⌫"), "Ctrl+Backspace"},
        {shortcut(command, "F12"), "Ctrl+F12"},
        {std::nullopt, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KeyNames::text(c.shortcut).toStdString(), c.text);
    }
}

TEST(KeyNames, KeycapsAreOnePerModifierThenTheKey) {
    EXPECT_EQ(KeyNames::keycaps(shortcut(ModifierFlags::shift | ModifierFlags::command, "Z")),
              (QStringList{"Ctrl", "Shift", "Z"}));
    EXPECT_TRUE(KeyNames::keycaps(std::nullopt).isEmpty());
}

} // namespace
} // namespace velto
