#pragma once

#include "settings/SettingsPresenters.h"

#include <QtCore/QString>
#include <QtWidgets/QWidget>
#include <qcorotask.h>

namespace velto {

class InlineShortcutRecorder;

/// What a page of the Settings window asks of the window it is shown in: its alerts, a refresh of every page,
/// and the one shortcut recording that may run at a time.
class SettingsPageHost {
public:
    virtual ~SettingsPageHost() = default;

    /// The window the page's menus and file dialogs belong to.
    virtual QWidget *pageWindow() const = 0;
    /// Re-reads every preference and callable into the controls of every page.
    virtual void refresh() = 0;
    /// The window's colours after the appearance changed.
    virtual void applyWindowAppearance() = 0;
    /// Shows an alert (a sheet of the window) after ending a recording; answers the button's response.
    virtual QCoro::Task<int> presentAlert(SettingsAlert alert) = 0;
    /// Shows the failure alert (a sheet of the window).
    virtual QCoro::Task<void> presentWarning(QString title, QString message, SettingsAlert::Style style) = 0;
    QCoro::Task<void> presentWarning(QString title, QString message) {
        return presentWarning(std::move(title), std::move(message), SettingsAlert::Style::warning);
    }

    /// A recorder started or stopped recording.
    virtual void recordingChanged(InlineShortcutRecorder *recorder, bool isRecording) = 0;
    /// Ends the active recording (grab released, one report) before anything else takes the keyboard.
    virtual void endRecording() = 0;
    /// The shortcuts changed: their recorders and the controls that depend on them show the new values.
    virtual void updateShortcutControls() = 0;
    virtual QCoro::Task<void> confirmRestoreAllDefaults() = 0;
};

} // namespace velto
