// The launch's warning about a global shortcut another program holds: which shortcut it names, and how.
#include "AppTestSupport.h"
#include "app/hotkeys/HotKeyRegistrationWarning.h"
#include "platform/desktop/KeyCodes.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

TEST(HotKeyRegistrationWarning, TheDefaultShowOrHideShortcutIsCalledTheDefaultAndNamedASavedOneIsCalledSaved) {
    struct Case {
        const char *name;
        std::optional<GlobalShortcut> showOrHide; // none: the default, as a new user has it
        std::optional<GlobalShortcut> appendClipboard;
        bool toggleAvailable;
        bool clipboardAvailable;
        QString message;
    };
    const GlobalShortcut ctrlShiftK{40, keyCodes::commandFlag | keyCodes::shiftFlag, QStringLiteral("K")};
    const GlobalShortcut ctrlAltV{9, keyCodes::commandFlag | keyCodes::optionFlag, QStringLiteral("V")};
    const QString savedTaken =
        QStringLiteral("The saved show/hide shortcut is already in use. Choose another shortcut from Settings.");
    const Case cases[] = {
        {"the default taken", std::nullopt, std::nullopt, false, true,
         QStringLiteral("The default show/hide shortcut, Alt+Space, is already in use. Choose another shortcut from "
                        "Settings.")},
        {"a saved one taken", ctrlShiftK, std::nullopt, false, true, savedTaken},
        {"both taken: the show/hide shortcut is named", ctrlShiftK, std::nullopt, false, false, savedTaken},
        {"both left unregistered: both named", std::nullopt, ctrlAltV, false, false,
         QStringLiteral("The default show/hide shortcut, Alt+Space, is already in use. Clipboard append (Ctrl+Alt+V) "
                        "is unavailable until it works. Choose another shortcut from Settings.")},
        {"only the clipboard shortcut, unset", std::nullopt, std::nullopt, true, false,
         QStringLiteral("The clipboard shortcut is already in use by another app, so clipboard append is "
                        "unavailable. Your show/hide shortcut still works.")},
    };
    testing::widgetApplication();
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        testing::TemporaryFolder folder;
        std::unique_ptr<PreferencesStore> preferences = testing::usePreferencesFile(folder / "Velto.json");
        VeltoPreferences::registerDefaults();
        if (test.showOrHide) {
            VeltoPreferences::setGlobalShortcut(test.showOrHide);
        }
        VeltoPreferences::setAppendClipboardShortcut(test.appendClipboard);
        ShellAlert alert = hotKeyRegistrationWarning(test.toggleAvailable, test.clipboardAvailable);
        EXPECT_EQ(alert.title, QStringLiteral("A Velto Shortcut Is Unavailable"));
        EXPECT_EQ(alert.message, test.message);
        EXPECT_EQ(alert.style, ShellAlert::Style::warning);
        EXPECT_EQ(alert.buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Choose Another Shortcut…")}));
        VeltoPreferences::useStorage(nullptr);
    }
}

TEST(HotKeyRegistrationWarning, OnlyTheSecondButtonLeadsToChoosingAnotherShortcut) {
    testing::widgetApplication();
    testing::TemporaryFolder folder;
    std::unique_ptr<PreferencesStore> preferences = testing::usePreferencesFile(folder / "Velto.json");
    VeltoPreferences::registerDefaults();
    for (int answer : {firstAlertButton, firstAlertButton + 1, 0}) {
        SCOPED_TRACE(answer);
        int choices = 0;
        showHotKeyRegistrationWarning(
            false, false, [answer](const ShellAlert &) { return answer; }, [&] { ++choices; });
        EXPECT_EQ(choices, answer == firstAlertButton + 1 ? 1 : 0);
    }
    VeltoPreferences::useStorage(nullptr);
}

} // namespace
} // namespace velto
