#include "editor_view/VeltoEditorPreferences.h"

#include "preferences/Preferences.h"

namespace velto::editor {

double VeltoEditorPreferences::storedEditorFontSize() const {
    return VeltoPreferences::storage().defaults().doubleValue(QString::fromLatin1(PreferenceKeys::editorFontSize));
}

EditorFontChoice VeltoEditorPreferences::fontChoice() const {
    return VeltoPreferences::fontChoice() == velto::EditorFontChoice::system ? EditorFontChoice::system
                                                                             : EditorFontChoice::monospaced;
}

} // namespace velto::editor
