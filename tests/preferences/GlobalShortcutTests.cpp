#include "preferences/GlobalShortcut.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t control = ModifierFlags::control;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

GlobalShortcut decodedFrom(const char *json) {
    return GlobalShortcut::decoded(nlohmann::json::parse(json));
}

std::string decodingError(const char *json) {
    try {
        decodedFrom(json);
    } catch (const ShortcutDecodingError &error) {
        return error.what();
    }
    return "decoded";
}

TEST(GlobalShortcutLabels, NormalizedForms) {
    const std::pair<QString, QString> cases[] = {
        {"space", "SPACE"}, {"f5", "F5"}, {"a", "A"}, {"\u2212", "-"}, {"ß", "ß"}, {"⇥", "⇥"}, {"", ""},
    };
    for (const auto &[label, normalized] : cases) {
        EXPECT_EQ(GlobalShortcut::normalizedKeyLabel(label), normalized) << label.toStdString();
    }
}

TEST(GlobalShortcutLabels, NamedSpecialKeys) {
    const std::pair<QString, bool> cases[] = {
        {"Space", true}, {"space", true}, {"⎋", true},   {"⇟", true},  {"F1", true}, {"f35", true},  {"F35", true},
        {"F36", false},  {"F0", false},   {"FX", false}, {"F", false}, {"A", false}, {"Tab", false}, {"F05", true},
    };
    for (const auto &[label, special] : cases) {
        EXPECT_EQ(GlobalShortcut::isNamedSpecialKey(label), special) << label.toStdString();
    }
}

TEST(GlobalShortcutLabels, ValidLabels) {
    const std::pair<QString, bool> cases[] = {
        {"A", true}, {"\u2212", true}, {"é", true},   {"e\u0301", true}, {"F12", true},
        {"", false}, {"AB", false},    {"\t", false}, {"\u200d", false}, {"Tab", false},
    };
    for (const auto &[label, valid] : cases) {
        EXPECT_EQ(GlobalShortcut::isValidLocalKeyLabel(label), valid) << label.toStdString();
    }
}

TEST(GlobalShortcutLabels, Comparison) {
    EXPECT_TRUE(GlobalShortcut::localKeyLabelsEqual("a", "A"));
    EXPECT_TRUE(GlobalShortcut::localKeyLabelsEqual("space", "Space"));
    EXPECT_TRUE(GlobalShortcut::localKeyLabelsEqual("f5", "F5"));
    EXPECT_TRUE(GlobalShortcut::localKeyLabelsEqual("\u2212", "-"));
    EXPECT_FALSE(GlobalShortcut::localKeyLabelsEqual("=", "+"));
    EXPECT_FALSE(GlobalShortcut::localKeyLabelsEqual("F5", "F6"));
}

TEST(GlobalShortcutLabels, CanonicalLabelsOfKeyCodes) {
    EXPECT_EQ(GlobalShortcut::specialKeyLabels().size(), 34u);
    EXPECT_EQ(GlobalShortcut::accessibilityKeyLabels().size(), 17);
    EXPECT_EQ(GlobalShortcut::canonicalSpecialKeyLabel(49), QStringLiteral("Space"));
    EXPECT_EQ(GlobalShortcut::canonicalSpecialKeyLabel(96), QStringLiteral("F5"));
    EXPECT_EQ(GlobalShortcut::canonicalSpecialKeyLabel(90), QStringLiteral("F20"));
    EXPECT_EQ(GlobalShortcut::canonicalSpecialKeyLabel(0), std::nullopt);
}

TEST(GlobalShortcutTitles, GlyphsAndSpokenNames) {
    struct Case {
        GlobalShortcut shortcut;
        QString title;
        QString accessibilityTitle;
    };
    const Case cases[] = {
        {{49, option, "Space"}, "⌥Space", "Option Space"},
        {{0, shift | command, "A"}, "⇧⌘A", "Shift Command A"},
        {{48, control | shift, "⇥"}, "⌃⇧⇥", "Control Shift Tab"},
        {{48, control, "⇥"}, "⌃⇥", "Control Tab"},
        {{9, option | command, "V"}, "⌥⌘V", "Option Command V"},
        {{43, command, ","}, "⌘,", "Command Comma"},
        {{27, command, "\u2212"}, "⌘\u2212", "Command Minus"},
        {{1, control | option | shift | command | (1u << 16), "s"}, "⌃⌥⇧⌘s", "Control Option Shift Command s"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.shortcut.title(), c.title);
        EXPECT_EQ(c.shortcut.accessibilityTitle(), c.accessibilityTitle);
    }
}

TEST(GlobalShortcutCarbon, ModifierMask) {
    EXPECT_EQ((GlobalShortcut{0, control | option | shift | command, "A"}.carbonModifiers()), 0x1B00u);
    EXPECT_EQ((GlobalShortcut{0, option | command, "A"}.carbonModifiers()), 0x900u);
    EXPECT_EQ((GlobalShortcut{0, shift, "A"}.carbonModifiers()), 0x200u);
    EXPECT_EQ((GlobalShortcut{0, 1u << 16, "A"}.carbonModifiers()), 0u);
}

TEST(GlobalShortcutConflicts, LocalCollisions) {
    struct Case {
        GlobalShortcut a;
        GlobalShortcut b;
        bool conflict;
    };
    const Case cases[] = {
        {{0, command, "a"}, {0, command, "A"}, true},
        {{0, command, "A"}, {0, option | command, "A"}, false},
        {{0, command, "A"}, {11, command, "A"}, true},
        {{3, command, "A"}, {3, command, "B"}, false},
        {{24, command, "+"}, {24, shift | command, "="}, true},
        {{24, shift | command, "="}, {24, command, "+"}, true},
        {{24, command, "+"}, {24, shift | command, "+"}, true},
        {{24, command, "="}, {24, command, "+"}, false},
        {{24, command, "+"}, {24, option | command, "+"}, false},
        {{27, command, "\u2212"}, {27, command, "-"}, true},
        {{0, command | (1u << 16), "A"}, {0, command, "a"}, true},
        {{0, command, "AB"}, {0, command, "AB"}, false},
        {{0, command, "A"}, {0, command, ""}, false},
        {{49, option, "Space"}, {49, option, "space"}, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.a.conflictsLocally(c.b), c.conflict)
            << c.a.title().toStdString() << " / " << c.b.title().toStdString();
    }
}

TEST(GlobalShortcutCoding, EncodesMembersInOrder) {
    GlobalShortcut shortcut{49, option, "Space"};
    EXPECT_EQ(shortcut.encoded().dump(), R"({"keyCode":49,"modifiers":524288,"keyLabel":"Space"})");
    EXPECT_EQ(GlobalShortcut::decoded(nlohmann::json(shortcut.encoded())), shortcut);
}

TEST(GlobalShortcutCoding, DecodingKeepsLabelAsRead) {
    EXPECT_EQ(decodedFrom(R"({"keyCode":49,"modifiers":524288,"keyLabel":"Space"})"),
              (GlobalShortcut{49, option, "Space"}));
    EXPECT_EQ(decodedFrom(R"({"keyCode":49,"modifiers":524288,"keyLabel":"space"})").keyLabel, "space");
    EXPECT_EQ(decodedFrom(R"({"keyCode":27,"modifiers":1048576,"keyLabel":"−"})").keyLabel, "\u2212");
    EXPECT_EQ(decodedFrom(R"({"keyCode":0,"modifiers":0,"keyLabel":"a"})"), (GlobalShortcut{0, 0, "a"}));
}

TEST(GlobalShortcutCoding, DecodingRefusesBadValuesWithTheirMessages) {
    const std::pair<const char *, const char *> cases[] = {
        {R"({"keyCode":0,"modifiers":0,"keyLabel":"Space"})",
         "Shortcut special-key label does not match its key code."},
        {R"({"keyCode":49,"modifiers":0,"keyLabel":"A"})", "Shortcut special-key label does not match its key code."},
        {R"({"keyCode":96,"modifiers":0,"keyLabel":"F6"})", "Shortcut special-key label does not match its key code."},
        {R"({"keyCode":0,"modifiers":0,"keyLabel":"F21"})", "Shortcut special-key label does not match its key code."},
        {R"({"keyCode":0,"modifiers":65536,"keyLabel":"A"})", "Shortcut contains unsupported modifiers."},
        {R"({"keyCode":0,"modifiers":0,"keyLabel":""})", "Shortcut key label is invalid."},
        {R"({"keyCode":0,"modifiers":0,"keyLabel":"AB"})", "Shortcut key label is invalid."},
        {R"({"keyCode":0,"modifiers":0,"keyLabel":"\u0007"})", "Shortcut key label is invalid."},
    };
    for (const auto &[json, message] : cases) {
        EXPECT_EQ(decodingError(json), message) << json;
    }
}

TEST(GlobalShortcutCoding, MissingOrMistypedMembersAreFormatErrors) {
    const char *cases[] = {
        R"({"keyCode":0,"modifiers":0})",
        R"({"keyCode":"0","modifiers":0,"keyLabel":"A"})",
        R"({"keyCode":-1,"modifiers":0,"keyLabel":"A"})",
        R"({"keyCode":4294967296,"modifiers":0,"keyLabel":"A"})",
        R"({"keyCode":1.5,"modifiers":0,"keyLabel":"A"})",
        R"({"keyCode":0,"modifiers":0,"keyLabel":7})",
        R"([0, 0, "A"])",
    };
    for (const char *json : cases) {
        EXPECT_THROW(decodedFrom(json), ShortcutFormatError) << json;
    }
}

} // namespace
} // namespace velto
