#include "editor/markdown/StyleSettings.h"

#include "editor/markdown/MarkdownStyler.h"

namespace velto::editor {

StyleSettings StyleSettings::from(const EditorSettings &settings, const FontMetricsProvider &metrics) {
    StyleSettings style;
    style.fontSize = editorFontSize(settings);
    style.family =
        settings.fontChoice == EditorFontChoice::system ? FontFamilyRole::system : FontFamilyRole::monospacedSystem;
    style.codeFontMetrics = metrics.metrics(MarkdownStyler::codeFont(style));
    return style;
}

} // namespace velto::editor
