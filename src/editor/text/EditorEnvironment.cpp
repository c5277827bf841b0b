#include "editor/text/EditorSettings.h"
#include "editor/text/FontMetrics.h"

#include <algorithm>
#include <atomic>

// The process-wide collaborators of styling. Styling runs on the main thread; the atomic shared
// pointers only keep a replacement from another thread well defined.
namespace velto::editor {

namespace {

std::shared_ptr<const EditorSettings> &settingsSlot() {
    static auto *slot = new std::shared_ptr<const EditorSettings>(std::make_shared<EditorSettings>());
    return *slot;
}

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

EditorSettings currentEditorSettings() {
    return *std::atomic_load(&settingsSlot());
}

void setCurrentEditorSettings(const EditorSettings &settings) {
    std::atomic_store(&settingsSlot(), std::make_shared<const EditorSettings>(settings));
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
