#pragma once

#include <QtCore/QObject>
#include <QtCore/QRect>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QSystemTrayIcon;

namespace velto {

class MenuBarIcon;

/// Velto's icon in the system tray, with its image, its pulse and where the tray host placed it. A click on it
/// asks for the panel, a context click for the menu. Made by the composition; it appears when the shell shows
/// it at launch.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds dockPollInterval{5};

    TrayIcon();
    ~TrayIcon() override;

    /// Whether the desktop has a tray to put the icon in.
    static bool isTrayAvailable();
    /// Whether the tray host embeds the icon's window, so that the icon gets a place on screen to wait for; a
    /// host that draws the icons it reads over the session bus gives them none.
    static bool hostEmbedsIcon();

    /// Puts the icon into the tray; in a launch trace, "status item docked" follows once the host placed it.
    void show();
    void hide();
    /// Whether the icon was put into the tray, even if it was taken out since.
    bool wasShown() const { return trayIcon_ != nullptr; }
    /// Where the tray host placed the icon; none before it has, or without a tray.
    std::optional<QRect> geometry() const;
    /// The launch trace's "status item docked", once.
    void traceDocked();
    /// Calls `then` from the event loop once the tray host has placed the icon, or after `longestWait` when it
    /// has not; at once where the host embeds no icons. The host places the icon through messages both ways,
    /// which only the event loop answers, so work that holds the loop waits for this.
    void whenDocked(std::chrono::milliseconds longestWait, std::function<void()> then);

    /// Gives the icon the variant for the appearance in force; nothing before it is shown.
    void configure();
    /// Plays the icon's pulse once (a clipboard append).
    void pulse();
    bool isPulsing() const;

signals:
    void clicked();
    void menuRequested();

private:
    QSystemTrayIcon *trayIcon_ = nullptr;
    std::unique_ptr<MenuBarIcon> menuBarIcon_;
    bool dockTraced_ = false;
};

} // namespace velto
