#pragma once

#include "editor/text/EditorSettings.h"
#include "editor/text/FontMetrics.h"
#include "editor/text/TextAttributes.h"

namespace velto::editor {

/// What the styler builds its fonts and paragraph styles from besides the text: the size and family the
/// editor settings choose, and the code font measured at that size. The owner of a styled text makes it
/// when the settings change and hands it to every pass, so that a pass reads no setting. The default is
/// what the editor shows before any settings come: 15 points, the monospaced family, fonts measured in
/// proportion to their size.
struct StyleSettings {
    double fontSize = defaultFontSize;
    FontFamilyRole family = FontFamilyRole::monospacedSystem;
    /// The code font's vertical measure, which sets the least height of a code line.
    FontMetrics codeFontMetrics =
        ProportionalFontMetrics().metrics(FontDescriptor{FontFamilyRole::userFixedPitch, defaultFontSize});

    /// The settings' size (15 for a size not offered) and family, with the code font measured by `metrics`.
    static StyleSettings from(const EditorSettings &settings, const FontMetricsProvider &metrics);

    bool operator==(const StyleSettings &) const = default;
};

} // namespace velto::editor
