#include "editor_view/ViewEnvironment.h"

#include "editor/text/EditorPreferences.h"
#include "editor/text/FontMetrics.h"
#include "editor_view/QtFonts.h"
#include "editor_view/VeltoEditorPreferences.h"

#include <memory>

namespace velto::editor {

void installViewEnvironment() {
    setFontMetricsProvider(std::make_shared<QtFontMetricsProvider>());
    setEditorPreferences(std::make_shared<VeltoEditorPreferences>());
}

} // namespace velto::editor
