#include "editor/text/EditorSettings.h"
#include "editor/text/FontMetrics.h"

#include <algorithm>
#include <atomic>

// The editor's font size, and the process-wide measure of fonts that the view environment installs and the
// owner of a styled text reads when it makes the text's style settings. Styling runs on the main thread; the
// atomic shared pointer only keeps a replacement from another thread well defined.
namespace velto::editor {

namespace {

std::shared_ptr<const FontMetricsProvider> &metricsSlot() {
    static auto *slot = new std::shared_ptr<const FontMetricsProvider>(std::make_shared<ProportionalFontMetrics>());
    return *slot;
}

} // namespace

double editorFontSize(const EditorSettings &settings) {
    const double stored = settings.storedFontSize;
    return std::find(availableFontSizes.begin(), availableFontSizes.end(), stored) != availableFontSizes.end()
               ? stored
               : defaultFontSize;
}

const FontMetricsProvider &currentFontMetricsProvider() {
    return *std::atomic_load(&metricsSlot());
}

void setFontMetricsProvider(std::shared_ptr<const FontMetricsProvider> provider) {
    if (!provider) {
        provider = std::make_shared<ProportionalFontMetrics>();
    }
    std::atomic_store(&metricsSlot(), std::move(provider));
}

} // namespace velto::editor
