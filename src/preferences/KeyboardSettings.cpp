#include "preferences/KeyboardSettings.h"

#include "preferences/CommandCatalog.h"
#include "preferences/Preferences.h"

namespace velto {

KeyboardSettings KeyboardSettings::fillingMissingAppShortcuts(const KeyboardSettings &previous) const {
    KeyboardSettings completed{1, globalShortcut, appendClipboardShortcut, appShortcuts};
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        QString key = rawValue(id);
        if (completed.appShortcuts.contains(key)) {
            continue;
        }
        auto previousEntry = previous.appShortcuts.find(key);
        completed.appShortcuts[key] =
            previousEntry != previous.appShortcuts.end() ? previousEntry->second : std::nullopt;
    }
    return completed;
}

namespace VeltoPreferences {

KeyboardSettings keyboardSettings() {
    KeyboardSettings settings;
    settings.globalShortcut = globalShortcut();
    settings.appendClipboardShortcut = appendClipboardShortcut();
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        settings.appShortcuts[rawValue(id)] = shortcut(id);
    }
    return settings;
}

void setKeyboardSettings(const KeyboardSettings &settings) {
    storage().performBatch([&settings] {
        setGlobalShortcut(settings.globalShortcut);
        setAppendClipboardShortcut(settings.appendClipboardShortcut);
        for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
            auto entry = settings.appShortcuts.find(rawValue(id));
            if (entry != settings.appShortcuts.end()) {
                setShortcut(id, entry->second);
            }
        }
    });
}

} // namespace VeltoPreferences

} // namespace velto
