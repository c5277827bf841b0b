#pragma once

#include "editor/text/VeltoTheme.h"
#include "preferences/FontSizes.h"

namespace velto::editor {

enum class EditorFontChoice { monospaced, system };
/// One indentation step: a tab, two spaces or four spaces.
enum class EditorIndentationChoice { tab, spaces2, spaces4 };

/// What the editor reads of the user's preferences, as one value. The application builds it from the
/// preferences in one place and pushes it whenever they change, so that styling, the editing rules, the
/// view and the coordinator never read the preferences themselves, and a keystroke reads no setting.
struct EditorSettings {
    /// The stored "editorFontSize" in points; 0 when nothing is stored. editorFontSize() gives the size used.
    double storedFontSize = 0;
    EditorFontChoice fontChoice = EditorFontChoice::monospaced;
    /// The "editorIndentationChoice" the editing rules indent with.
    EditorIndentationChoice indentation = EditorIndentationChoice::spaces2;
    bool formatsMarkdown = true;
    bool checksSpelling = false;
    bool correctsSpellingAutomatically = false;
    AppearanceChoice appearance = AppearanceChoice::system;

    bool operator==(const EditorSettings &) const = default;
};

using VeltoPreferences::availableFontSizes;
using VeltoPreferences::defaultFontSize;

/// The editor's point size: the stored size when it is one of the available sizes, else 15.
double editorFontSize(const EditorSettings &settings);

} // namespace velto::editor
