#include "editor/text/EditorPreferences.h"
#include "editor/text/FontMetrics.h"

#include <algorithm>
#include <atomic>

// The process-wide collaborators of styling. Styling runs on the main thread; the atomic shared
// pointers only keep a replacement from another thread well defined.
namespace velto::editor {

namespace {

std::shared_ptr<const EditorPreferences> &preferencesSlot() {
    static auto *slot = new std::shared_ptr<const EditorPreferences>(std::make_shared<FixedEditorPreferences>());
    return *slot;
}

std::shared_ptr<const FontMetricsProvider> &metricsSlot() {
    static auto *slot = new std::shared_ptr<const FontMetricsProvider>(std::make_shared<ProportionalFontMetrics>());
    return *slot;
}

} // namespace

double editorFontSize(const EditorPreferences &preferences) {
    const double stored = preferences.storedEditorFontSize();
    return std::find(availableFontSizes.begin(), availableFontSizes.end(), stored) != availableFontSizes.end()
               ? stored
               : defaultFontSize;
}

const EditorPreferences &currentEditorPreferences() {
    return *std::atomic_load(&preferencesSlot());
}

void setEditorPreferences(std::shared_ptr<const EditorPreferences> preferences) {
    if (!preferences) {
        preferences = std::make_shared<FixedEditorPreferences>();
    }
    std::atomic_store(&preferencesSlot(), std::move(preferences));
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
