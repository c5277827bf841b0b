#pragma once

#include "settings/AboutSettingsPage.h"
#include "settings/EditorSettingsPage.h"
#include "settings/GeneralSettingsPage.h"
#include "settings/SettingsCallbacks.h"
#include "settings/SettingsCategory.h"
#include "settings/SettingsPageHost.h"
#include "settings/SettingsPresenters.h"
#include "settings/ShortcutsSettingsPage.h"
#include "settings/StorageSettingsPage.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QKeySequence>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QWidget>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QListWidget;
class QScrollArea;
class QStackedWidget;

namespace velto {

class InlineShortcutRecorder;

/// The Settings window itself: a top-level window of fixed size (not a dialog, so Escape stays with the
/// recorders). Ctrl+W closes it; closing a visible window announces `closed`.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int contentWidth = 840;
    static constexpr int contentHeight = 600;
    static constexpr int sidebarWidth = 176;

    SettingsWindow();

    /// The keys the window takes itself (Ctrl+W closes it): a menu bar shows them but must not take them too.
    static QList<QKeySequence> ownKeys();
    /// Puts the application's main menu at the top of the window, replacing the one there; the window grows
    /// by the bar's height, so that the pages keep their size.
    void setMenuBar(QMenuBar *menuBar);
    QMenuBar *menuBar() const { return menuBar_; }

signals:
    /// The visible window was closed.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QMenuBar> menuBar_;
};

/// Owns the Settings window: the sidebar of five categories, their pages and the switching between them. Each
/// page is a presenter of its own that builds its controls, shows the stored preferences and carries out what
/// its controls ask; the controller gives them the window's alerts, the one shortcut recording that may run at
/// a time, and restoring all defaults, which spans the pages. Everything it needs from the rest of the
/// application comes in as callables. It is created once and kept: closing only hides the window, and
/// showWindow refreshes every control first. Main thread.
class SettingsWindowController : public QObject, private SettingsPageHost {
    Q_OBJECT

public:
    SettingsWindowController(SettingsWindowCallbacks callbacks,
                             SettingsPresenters presenters = SettingsPresenters::live());
    ~SettingsWindowController() override;

    SettingsWindow *window() const { return window_.get(); }

    /// Refreshes, then shows, raises and activates the window.
    void showWindow();
    /// Re-reads every preference and callable into the controls.
    void refresh() override;
    void showCategory(SettingsCategory category);
    SettingsCategory selectedCategory() const { return selectedCategory_; }
    QScrollArea *page(SettingsCategory category) const;

    GeneralSettingsPage &generalPage() const { return *generalPage_; }
    EditorSettingsPage &editorPage() const { return *editorPage_; }
    StorageSettingsPage &storagePage() const { return *storagePage_; }
    ShortcutsSettingsPage &shortcutsPage() const { return *shortcutsPage_; }
    AboutSettingsPage &aboutPage() const { return *aboutPage_; }

    void updateShortcutControls() override;
    /// The recorder that records now, if any.
    InlineShortcutRecorder *recordingRecorder() const;
    void endRecording() override;

    QCoro::Task<void> confirmRestoreAllDefaults() override;
    /// Preferences, shortcuts and launching at login back to their defaults, all or nothing: a default
    /// shortcut that cannot be registered, or a failed login change, leaves the other settings as they were.
    void restoreAllDefaults();

    /// Shows the failure alert (a sheet of the window).
    QCoro::Task<void> presentWarning(QString title, QString message,
                                     SettingsAlert::Style style = SettingsAlert::Style::warning) override;

    QListWidget *categoryList = nullptr;
    QStackedWidget *pageContainer = nullptr;

private:
    void buildContent();
    QWidget *makeSidebar();
    QWidget *pageWindow() const override { return window_.get(); }
    void recordingChanged(InlineShortcutRecorder *recorder, bool isRecording) override;
    void didClose();
    void disablePreviewControls(QWidget *page);
    void applyWindowAppearance() override;
    QCoro::Task<int> presentAlert(SettingsAlert alert) override;

    SettingsWindowCallbacks callbacks_;
    SettingsPresenters presenters_;
    std::unique_ptr<SettingsWindow> window_;
    std::unique_ptr<GeneralSettingsPage> generalPage_;
    std::unique_ptr<EditorSettingsPage> editorPage_;
    std::unique_ptr<StorageSettingsPage> storagePage_;
    std::unique_ptr<ShortcutsSettingsPage> shortcutsPage_;
    std::unique_ptr<AboutSettingsPage> aboutPage_;
    std::map<SettingsCategory, QScrollArea *> categoryPages_;
    SettingsCategory selectedCategory_ = SettingsCategory::general;
    QPointer<InlineShortcutRecorder> recordingRecorder_;
};

/// The Settings window for the shell: created once with the application's callables, shown on request.
std::unique_ptr<SettingsWindowController> makeSettingsWindowController(SettingsWindowCallbacks callbacks);

} // namespace velto
