#pragma once

#include "preferences/Preferences.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace velto::testing {

/// Queued signals and socket notifiers need an application object; one is made on first use.
inline QCoreApplication &coreApplication() {
    static int argc = 1;
    static char name[] = "velto_preferences_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *application =
        QCoreApplication::instance() != nullptr ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *application;
}

/// A preferences domain in a temporary file, put in place of the standard store for the test's duration,
/// with a count of the change notifications it posts.
class TemporaryPreferences : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        store = std::make_unique<PreferencesStore>(std::make_unique<DefaultsDomain>(filePath()), center);
        VeltoPreferences::useStorage(store.get());
        QObject::connect(&center, &VeltoNotificationCenter::veltoPreferencesDidChange, [this] { ++changes; });
        QObject::connect(&center, &VeltoNotificationCenter::veltoPanelSizeModeDidChange,
                         [this] { ++panelSizeModeChanges; });
    }

    void TearDown() override { VeltoPreferences::useStorage(nullptr); }

    QString filePath() const { return folder.filePath(QStringLiteral("Velto.json")); }
    DefaultsDomain &defaults() { return store->defaults(); }

    QTemporaryDir folder;
    VeltoNotificationCenter center;
    std::unique_ptr<PreferencesStore> store;
    int changes = 0;
    int panelSizeModeChanges = 0;
};

} // namespace velto::testing
