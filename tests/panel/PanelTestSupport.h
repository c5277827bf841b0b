#pragma once

#include "platform/desktop/ColorScheme.h"
#include "platform/desktop/DisplayOptions.h"
#include "preferences/NotificationCenter.h"
#include "preferences/PreferencesStore.h"
#include "support/async/ManualScheduler.h"

#include <QtCore/QString>
#include <QtCore/QTemporaryDir>

#include <memory>

namespace velto::testing {

/// Preferences in a temporary file, with the registered defaults, in place of the process's standard store
/// while the object lives: what one test changes (a shortcut, the appearance) cannot reach the next.
class TemporaryPreferences {
public:
    TemporaryPreferences();
    ~TemporaryPreferences();
    TemporaryPreferences(const TemporaryPreferences &) = delete;
    TemporaryPreferences &operator=(const TemporaryPreferences &) = delete;

    QTemporaryDir folder;
    VeltoNotificationCenter center;
    std::unique_ptr<PreferencesStore> store;
};

/// The display options and colour scheme every test of the panel starts from (all off, light); a test
/// that changes them puts them back through `resetDesktop`.
FixedDisplayOptions &testDisplayOptions();
FixedColorScheme &testColorScheme();
void resetDesktop();

} // namespace velto::testing
