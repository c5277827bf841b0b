#pragma once

#include "settings/SettingsCallbacks.h"

#include <QtCore/QObject>

class QCheckBox;
class QScrollArea;

namespace velto {

class HoverButton;

/// The About page of the Settings window: the icon, the name and the version, feedback, the changelog and
/// update checks. A control whose callable the application left empty is disabled and says why.
class AboutSettingsPage : public QObject {
public:
    /// `actions` are the window's, kept by it for as long as the page lives.
    explicit AboutSettingsPage(const AboutSettingsActions &actions);

    /// Builds the page's controls; called once, the window owns what it returns.
    QScrollArea *makePage();
    /// Shows whether automatic update checks are on.
    void refresh();

    HoverButton *sendFeedbackButton = nullptr;
    HoverButton *viewChangelogButton = nullptr;
    HoverButton *checkForUpdatesButton = nullptr;
    QCheckBox *automaticUpdateChecksSwitch = nullptr;

private:
    /// The identity row: the icon, the name and the version line.
    QWidget *makeIdentity();

    const AboutSettingsActions &actions_;
};

} // namespace velto
