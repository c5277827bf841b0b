#pragma once

#include "editor/text/EditorSettings.h"

#include <QtCore/QObject>

namespace velto::editor {

/// The editor settings as the application's preferences hold them now: the one place where the editor's
/// settings are read from the preferences.
EditorSettings editorSettingsFromPreferences();

/// Holds the editor settings and pushes them on when a change of the preferences alters them: the editor
/// coordinator hears of it and gives the new value to the editing core, whose rules and styling follow it
/// from the next keystroke. The preferences announce a change once per written batch, before the Settings
/// window reports what it changed, so the panel restyles with the new value.
class EditorSettingsFeed : public QObject {
    Q_OBJECT

public:
    /// Reads and installs the settings, then follows the change notifications of the preferences' store in use.
    EditorSettingsFeed();

    const EditorSettings &current() const { return current_; }

signals:
    void editorSettingsChanged(const velto::editor::EditorSettings &settings);

private:
    void preferencesDidChange();

    EditorSettings current_;
};

} // namespace velto::editor
