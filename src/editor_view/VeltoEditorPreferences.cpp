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

EditorIndentationChoice VeltoEditorPreferences::indentation() const {
    switch (VeltoPreferences::indentation()) {
    case velto::EditorIndentationChoice::tab:
        return EditorIndentationChoice::tab;
    case velto::EditorIndentationChoice::spaces4:
        return EditorIndentationChoice::spaces4;
    case velto::EditorIndentationChoice::spaces2:
        break;
    }
    return EditorIndentationChoice::spaces2;
}

} // namespace velto::editor
