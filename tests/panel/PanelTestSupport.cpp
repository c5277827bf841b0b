#include "PanelTestSupport.h"

#include "preferences/Preferences.h"

namespace velto::testing {

TemporaryPreferences::TemporaryPreferences()
    : store(std::make_unique<PreferencesStore>(
          std::make_unique<DefaultsDomain>(folder.filePath(QStringLiteral("Velto.json"))), center)) {
    VeltoPreferences::useStorage(store.get());
    VeltoPreferences::registerDefaults();
}

TemporaryPreferences::~TemporaryPreferences() {
    VeltoPreferences::useStorage(nullptr);
}

} // namespace velto::testing
