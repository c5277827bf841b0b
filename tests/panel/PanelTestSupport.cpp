#include "PanelTestSupport.h"

#include "panel/Appearance.h"
#include "preferences/Preferences.h"

#include <QtGui/QFont>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

namespace velto::testing {
namespace {

/// One QApplication for the whole executable (offscreen), with the desktop's settings replaced by fixed
/// ones, so that no test reads the real session's portal.
class PanelEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setDisplayOptionsProvider(&testDisplayOptions());
        setColorSchemeSource(&testColorScheme());
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "velto_panel_tests";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    }
};

const auto *const registeredEnvironment = ::testing::AddGlobalTestEnvironment(new PanelEnvironment);

} // namespace

FixedDisplayOptions &testDisplayOptions() {
    static FixedDisplayOptions *options = new FixedDisplayOptions;
    return *options;
}

FixedColorScheme &testColorScheme() {
    static FixedColorScheme *scheme = new FixedColorScheme;
    return *scheme;
}

TemporaryPreferences::TemporaryPreferences()
    : store(std::make_unique<PreferencesStore>(
          std::make_unique<DefaultsDomain>(folder.filePath(QStringLiteral("Velto.json"))), center)) {
    VeltoPreferences::useStorage(store.get());
    VeltoPreferences::registerDefaults();
}

TemporaryPreferences::~TemporaryPreferences() {
    VeltoPreferences::useStorage(nullptr);
}

void resetDesktop() {
    testDisplayOptions().set({});
    testColorScheme().set(ColorScheme::light);
    VeltoAppearance::shared().setPreference(AppearanceChoice::system);
}

} // namespace velto::testing
