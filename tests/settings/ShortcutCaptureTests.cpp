#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/XkbKeymap.h"
#include "preferences/KeyboardLayoutTranslator.h"
#include "settings/ShortcutCapture.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

using namespace ModifierFlags;
constexpr std::uint32_t kKey = 40, tabKey = 48, escapeKey = 53, deleteKey = 51, forwardDeleteKey = 117, spaceKey = 49;
constexpr std::uint32_t f1Key = 122, f12Key = 111, f13Key = 105, zKey = 6;

RecorderKeyPress press(std::uint32_t keyCode, std::uint64_t flags, const char *typed = "k") {
    return {keyCode, flags, typed == nullptr ? std::nullopt : std::optional<QString>(QString::fromUtf8(typed))};
}

std::optional<QString> refusal(const CaptureOutcome &outcome) {
    if (const auto *refused = std::get_if<RefusedKeyPress>(&outcome)) {
        return refused->message;
    }
    return std::nullopt;
}

TEST(ShortcutCapture, ModifierRuleDependsOnWhetherCtrlAloneIsAllowed) {
    struct Case {
        std::uint64_t flags;
        bool acceptedGlobally;
        bool acceptedForCommands;
    };
    const Case cases[] = {
        {option, true, true},
        {control, true, true},
        {shift | command, true, true},
        {command, false, true},
        {shift, false, false},
        {0, false, false},
        {capsLockFlag | command, false, true},
        {option | command | shift | control, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(!refusal(captureShortcut(press(kKey, c.flags), false)), c.acceptedGlobally);
        EXPECT_EQ(!refusal(captureShortcut(press(kKey, c.flags), true)), c.acceptedForCommands);
        if (!c.acceptedGlobally) {
            EXPECT_EQ(refusal(captureShortcut(press(kKey, c.flags), false)), RecorderMessages::modifiersMissing);
        }
    }
}

TEST(ShortcutCapture, CandidateKeepsOnlyTheFourModifiersAndAnUpperCaseLabel) {
    CaptureOutcome outcome = captureShortcut(press(kKey, option | capsLockFlag | 0x3), false);
    ASSERT_TRUE(std::holds_alternative<CapturedShortcut>(outcome));
    EXPECT_EQ(std::get<CapturedShortcut>(outcome).candidate, (GlobalShortcut{kKey, option, QStringLiteral("K")}));

    CaptureOutcome space = captureShortcut(press(spaceKey, option, " "), false);
    EXPECT_EQ(std::get<CapturedShortcut>(space).candidate.keyLabel, QStringLiteral("Space"));
    // ß upper-cases to two letters, so it stays as typed.
    CaptureOutcome eszett = captureShortcut(press(27, option, "ß"), false);
    EXPECT_EQ(std::get<CapturedShortcut>(eszett).candidate.keyLabel, QStringLiteral("ß"));
}

TEST(ShortcutCapture, KeysWithoutAUsableLabelOrKeptByTheSystemAreRefused) {
    const RecorderKeyPress refused[] = {
        {std::nullopt, option, QStringLiteral("k")}, // not in the key-code table
        press(kKey, option, nullptr),                // types nothing
        press(kKey, option, "ab"),                   // several characters
        press(kKey, option, "\x01"),                 // a control character
        press(f1Key, command | option),              // switching to a virtual terminal
        press(f12Key, command | option | shift),
        press(deleteKey, command | option), // ending the X server
    };
    for (const RecorderKeyPress &p : refused) {
        EXPECT_EQ(refusal(captureShortcut(p, true)), RecorderMessages::unusableKey);
    }
    EXPECT_FALSE(refusal(captureShortcut(press(f1Key, option), false)));
    EXPECT_FALSE(refusal(captureShortcut(press(f13Key, command | option), false)));
}

TEST(ShortcutCapture, TabDeleteAndEscapeRoles) {
    struct Case {
        std::uint32_t keyCode;
        std::uint64_t flags;
        RecorderKeyRole role;
    };
    const Case cases[] = {
        {tabKey, 0, RecorderKeyRole::focusNext},
        {tabKey, shift, RecorderKeyRole::focusPrevious},
        {tabKey, capsLockFlag, RecorderKeyRole::capture}, // Caps Lock counts here: Tab is then captured
        {tabKey, command, RecorderKeyRole::capture},
        {tabKey, 0x3, RecorderKeyRole::focusNext}, // device bits never count
        {deleteKey, 0, RecorderKeyRole::clear},
        {forwardDeleteKey, 0, RecorderKeyRole::clear},
        {deleteKey, option, RecorderKeyRole::capture},
        {escapeKey, 0, RecorderKeyRole::cancel},
        {escapeKey, capsLockFlag, RecorderKeyRole::capture},
        {escapeKey, option, RecorderKeyRole::capture},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.keyCode << " " << c.flags);
        EXPECT_EQ(recorderKeyRole(press(c.keyCode, c.flags)), c.role);
    }
    // Escape with Caps Lock reaches the capture, which ends recording without a refusal.
    EXPECT_TRUE(std::holds_alternative<EndedRecording>(captureShortcut(press(escapeKey, capsLockFlag), false)));
    // Escape with Alt is a shortcut like any other.
    EXPECT_TRUE(std::holds_alternative<CapturedShortcut>(captureShortcut(press(escapeKey, option), false)));
}

TEST(ShortcutCapture, LabelsFollowTheKeyboardLayout) {
    struct Case {
        const char *layout;
        const char *label;
    };
    for (const Case &c : {Case{"us", "Z"}, Case{"de", "Y"}}) {
        std::shared_ptr<const XkbKeymap> keymap = XkbKeymap::fromLayoutNames(c.layout);
        ASSERT_NE(keymap, nullptr) << c.layout;
        KeyboardLayoutTranslator layout = KeyboardLayoutTranslator::forKeymap(keymap);
        RecorderKeyPress p{zKey, option, layout.translate(zKey, 0)};
        EXPECT_EQ(recorderKeyLabel(p), QString::fromLatin1(c.label)) << c.layout;
    }
}

} // namespace
} // namespace velto
