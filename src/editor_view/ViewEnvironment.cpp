#include "editor_view/ViewEnvironment.h"

#include "editor/text/FontMetrics.h"
#include "editor_view/QtFonts.h"

#include <memory>

namespace velto::editor {

void installViewEnvironment() {
    setFontMetricsProvider(std::make_shared<QtFontMetricsProvider>());
}

} // namespace velto::editor
