#pragma once

#include "app/shell/ShellAlert.h"

#include <QtCore/QObject>
#include <QtCore/QUrl>

#include <functional>
#include <memory>

class QMenu;

namespace velto {

class AboutPanel;
class ApplicationShell;
class SettingsWindow;
struct MainMenuActions;
enum class TextFinderAction;

/// The shell's menus and the small windows they open: the tray icon's menu, the main menu of the Settings window
/// with its validation, the panel's own Quit and Reload keys, About, feedback and the changelog.
class ShellMenus : public QObject {
public:
    struct Options {
        ShellAlertPresenter presentAlert;          // empty: a modal alert
        std::function<bool(const QUrl &)> openURL; // empty: QDesktopServices
    };

    ShellMenus(ApplicationShell &shell, Options options);
    ~ShellMenus() override;

    /// The main menu, built afresh with the current shortcuts and put into the Settings window (a tray
    /// application has no menu bar of its own); its "Close Window" closes that window.
    void configureMainMenu(SettingsWindow &window);
    /// Ctrl+Q and Ctrl+R in the panel, where the main menu cannot take them; nothing without the production
    /// panel.
    void installPanelKeyEquivalents();

    /// The tray icon's menu, made afresh: "Open Velto", the panel's page items, "Send Feedback…" and "Quit Velto".
    QMenu *makeStatusItemMenu();

    /// The small About window with the icon, the name and the version.
    void showAbout();
    /// The feedback e-mail, or the alert that offers its details when no mail application can take it.
    void sendFeedback();
    /// Opens the changelog's entry of this version; nothing when the build names no changelog page.
    void viewChangelog();

private:
    MainMenuActions mainMenuActions(SettingsWindow &window);
    /// An item of the main menu's Find submenu, on the panel's page.
    void performFindAction(TextFinderAction action);

    ApplicationShell &shell_;
    Options options_;
    std::unique_ptr<AboutPanel> aboutPanel_;
};

} // namespace velto
