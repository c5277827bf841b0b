#include "SettingsTestSupport.h"

#include "preferences/KeyboardSettings.h"
#include "preferences/KeyboardSettingsFile.h"
#include "settings/InlineShortcutRecorder.h"
#include "support/TemporaryFolder.h"
#include "ui/HoverButton.h"

#include <sys/stat.h>

namespace velto::testing {
namespace {

using namespace ModifierFlags;
using Sharing = SettingsWindowTest;

const GlobalShortcut optionK{40, option, QStringLiteral("K")};

std::filesystem::path writeSettings(const TemporaryFolder &files, const KeyboardSettings &settings) {
    QByteArray bytes = KeyboardSettingsFile::encode(settings);
    return files.writeFile("settings.json",
                           std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

TEST_F(Sharing, ExportedSettingsImportBackUnchanged) {
    TemporaryFolder files;
    VeltoPreferences::setGlobalShortcut(optionK);
    setShortcut(VeltoCommandID::nextPage, std::nullopt);
    KeyboardSettings exported = VeltoPreferences::keyboardSettings();
    doubles.chosenExportFile = files / "Velto Keyboard Settings.json";
    finish(controller().shortcutsPage().exportKeyboardSettings());
    EXPECT_TRUE(doubles.alerts.empty());

    VeltoPreferences::setGlobalShortcut(VeltoPreferences::defaultGlobalShortcut());
    VeltoCommandCatalog::restoreDefaultShortcuts();
    doubles.chosenImportFile = doubles.chosenExportFile;
    finish(controller().shortcutsPage().importKeyboardSettings());
    EXPECT_EQ(VeltoPreferences::keyboardSettings(), exported);
    EXPECT_EQ(doubles.alertTitles(), (std::vector<std::string>{"Keyboard Settings Imported"}));
    EXPECT_EQ(doubles.alerts[0].style, SettingsAlert::Style::informational);
    EXPECT_EQ(controller().shortcutsPage().shortcutRecorder->shortcut(), optionK);
    EXPECT_TRUE(controller().shortcutsPage().importKeyboardSettingsButton->isEnabled());
    EXPECT_TRUE(controller().shortcutsPage().exportKeyboardSettingsButton->isEnabled());
}

TEST_F(Sharing, ExportFailureIsReportedAndCancelDoesNothing) {
    TemporaryFolder files;
    finish(controller().shortcutsPage().exportKeyboardSettings()); // cancelled
    EXPECT_TRUE(doubles.alerts.empty());
    doubles.chosenExportFile = files / "missing folder" / "settings.json";
    finish(controller().shortcutsPage().exportKeyboardSettings());
    EXPECT_EQ(doubles.alertTitles(), (std::vector<std::string>{"Couldn’t Export Keyboard Settings"}));
}

TEST_F(Sharing, ImportOutcomesAndTheirTexts) {
    TemporaryFolder files;
    KeyboardSettings valid = VeltoPreferences::keyboardSettings();
    valid.globalShortcut = optionK;
    KeyboardSettings conflicting = valid;
    conflicting.appendClipboardShortcut = optionK;
    conflicting.appShortcuts[rawValue(VeltoCommandID::newPage)] = GlobalShortcut{40, shift, QStringLiteral("K")};

    struct Case {
        const char *name;
        KeyboardSettings settings;
        std::deque<ShortcutRegistrationAvailability> registrations;
        const char *title;
        const char *message;
        bool imported;
    };
    const Case cases[] = {
        {"registration fails",
         valid,
         {{false, true}, {}},
         "Keyboard Shortcut Is Unavailable",
         "The system could not register an imported global shortcut. Your previous keyboard settings were restored.",
         false},
        {"rollback fails",
         valid,
         {{false, true}, {false, true}},
         "Previous Shortcut Is Unavailable",
         "Velto restored the previous shortcut setting, but the system could not register it. Choose another "
         "shortcut.",
         false},
        {"conflicts",
         conflicting,
         {},
         "Keyboard Shortcuts Conflict",
         "No settings were imported.\n\n• Show or hide Velto and Append clipboard text use the same shortcut.\n"
         "• Start New Page does not use a safe modifier combination.",
         false},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        VeltoPreferences::setGlobalShortcut(VeltoPreferences::defaultGlobalShortcut());
        doubles.alerts.clear();
        doubles.registrations = test.registrations;
        doubles.chosenImportFile = writeSettings(files, test.settings);
        finish(controller().shortcutsPage().importKeyboardSettings());
        ASSERT_EQ(doubles.alerts.size(), 1u);
        EXPECT_EQ(doubles.alerts[0].title.toStdString(), test.title);
        EXPECT_EQ(doubles.alerts[0].message.toStdString(), test.message);
        EXPECT_EQ(VeltoPreferences::globalShortcut() == optionK, test.imported);
        EXPECT_EQ(controller().shortcutsPage().shortcutRecorder->shortcut(), VeltoPreferences::globalShortcut());
        EXPECT_TRUE(controller().shortcutsPage().importKeyboardSettingsButton->isEnabled());
    }
}

TEST_F(Sharing, FilesThatAreNoSettingsFileAreRefusedWithTheirSentence) {
    TemporaryFolder files;
    std::filesystem::path pipe = files / "pipe.json";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string large(70'000, ' ');
    const std::pair<std::filesystem::path, QString> cases[] = {
        {pipe, QStringLiteral("This file isn’t a valid Velto keyboard settings file.")},
        {files.writeFile("large.json", large), QString()},
        {files.writeFile("text.json", "not json"), QString()},
        {files / "missing.json", QString()},
    };
    KeyboardSettings before = VeltoPreferences::keyboardSettings();
    for (const auto &[file, message] : cases) {
        doubles.alerts.clear();
        doubles.chosenImportFile = file;
        finish(controller().shortcutsPage().importKeyboardSettings());
        ASSERT_EQ(doubles.alerts.size(), 1u) << file;
        EXPECT_EQ(doubles.alerts[0].title, QStringLiteral("Couldn’t Import Keyboard Settings"));
        EXPECT_FALSE(doubles.alerts[0].message.isEmpty());
        if (!message.isEmpty()) {
            EXPECT_EQ(doubles.alerts[0].message, message);
        }
        EXPECT_TRUE(controller().shortcutsPage().exportKeyboardSettingsButton->isEnabled());
    }
    EXPECT_EQ(VeltoPreferences::keyboardSettings(), before);
    EXPECT_EQ(doubles.count("register"), 0);
}

} // namespace
} // namespace velto::testing
