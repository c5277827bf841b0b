#include "page_editor/EditorSettingsFeed.h"

#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"

namespace velto::editor {
namespace {

EditorFontChoice editorFontChoice(velto::EditorFontChoice choice) {
    return choice == velto::EditorFontChoice::system ? EditorFontChoice::system : EditorFontChoice::monospaced;
}

EditorIndentationChoice editorIndentation(velto::EditorIndentationChoice choice) {
    switch (choice) {
    case velto::EditorIndentationChoice::tab:
        return EditorIndentationChoice::tab;
    case velto::EditorIndentationChoice::spaces4:
        return EditorIndentationChoice::spaces4;
    case velto::EditorIndentationChoice::spaces2:
        break;
    }
    return EditorIndentationChoice::spaces2;
}

AppearanceChoice editorAppearanceChoice(velto::AppearanceChoice choice) {
    switch (choice) {
    case velto::AppearanceChoice::light:
        return AppearanceChoice::light;
    case velto::AppearanceChoice::dark:
        return AppearanceChoice::dark;
    case velto::AppearanceChoice::system:
        break;
    }
    return AppearanceChoice::system;
}

} // namespace

EditorSettings editorSettingsFromPreferences() {
    const EditorTextCheckingSettings checking = VeltoPreferences::textChecking();
    EditorSettings settings;
    // Raw, as stored: the editor falls back to its default size for one it does not offer.
    settings.storedFontSize =
        VeltoPreferences::storage().defaults().doubleValue(QString::fromLatin1(PreferenceKeys::editorFontSize));
    settings.fontChoice = editorFontChoice(VeltoPreferences::fontChoice());
    settings.indentation = editorIndentation(VeltoPreferences::indentation());
    settings.formatsMarkdown = VeltoPreferences::formatsMarkdown();
    settings.checksSpelling = checking.checksSpelling;
    settings.correctsSpellingAutomatically = checking.correctsSpellingAutomatically;
    settings.appearance = editorAppearanceChoice(VeltoPreferences::appearance());
    return settings;
}

EditorSettingsFeed::EditorSettingsFeed()
    : current_(editorSettingsFromPreferences()) {
    connect(&VeltoPreferences::storage().notificationCenter(), &VeltoNotificationCenter::veltoPreferencesDidChange,
            this, [this] { preferencesDidChange(); });
}

void EditorSettingsFeed::preferencesDidChange() {
    EditorSettings settings = editorSettingsFromPreferences();
    if (settings == current_) {
        return; // another preference changed
    }
    current_ = settings;
    emit editorSettingsChanged(current_);
}

} // namespace velto::editor
