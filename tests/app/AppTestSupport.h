#pragma once

#include "preferences/Preferences.h"

#include <QtWidgets/QApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace velto::testing {

/// The shell's tests need a widget application; without a display they run on the offscreen platform.
inline QApplication &widgetApplication() {
    static int argc = 1;
    static char name[] = "velto_app_tests";
    static char *argv[] = {name, nullptr};
    static QApplication *application = [] {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        return new QApplication(argc, argv);
    }();
    return *application;
}

/// Preferences kept in `file` (inside a test's temporary folder), used by every preference operation until
/// `VeltoPreferences::useStorage(nullptr)`.
inline std::unique_ptr<PreferencesStore> usePreferencesFile(const std::filesystem::path &file) {
    auto store =
        std::make_unique<PreferencesStore>(std::make_unique<DefaultsDomain>(QString::fromStdString(file.string())),
                                           VeltoNotificationCenter::defaultCenter());
    VeltoPreferences::useStorage(store.get());
    return store;
}

} // namespace velto::testing
