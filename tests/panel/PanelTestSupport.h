#pragma once

#include "preferences/NotificationCenter.h"
#include "preferences/PreferencesStore.h"
#include "support/async/ManualScheduler.h"
#include "support/ui/WidgetTestEnvironment.h"

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

} // namespace velto::testing
