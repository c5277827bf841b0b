#include "editor_view/layout/ViewEnvironment.h"

#include "editor/text/FontMetrics.h"
#include "editor_view/layout/QtFonts.h"

#include <memory>

namespace velto::editor {

void installViewEnvironment() {
    setFontMetricsProvider(std::make_shared<QtFontMetricsProvider>());
}

} // namespace velto::editor
