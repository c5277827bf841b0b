#pragma once

#include "editor/text/EditorPreferences.h"

namespace velto::editor {

/// The editor preferences read from the application's preferences, afresh at every call.
class VeltoEditorPreferences final : public EditorPreferences {
public:
    double storedEditorFontSize() const override;
    EditorFontChoice fontChoice() const override;
    EditorIndentationChoice indentation() const override;
};

} // namespace velto::editor
