#include "app/menus/TrayIcon.h"

#include "app/lifecycle/LaunchTrace.h"
#include "app/menus/MenuBarIcon.h"

#include <QtCore/QTimer>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtWidgets/QSystemTrayIcon>

#include <utility>

namespace velto {

TrayIcon::TrayIcon() = default;

TrayIcon::~TrayIcon() = default;

bool TrayIcon::isTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::hostEmbedsIcon() {
    if (!isTrayAvailable()) {
        return false;
    }
    // The status notifier protocol: the host reads the icon over the session bus instead of embedding its window.
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus == nullptr || !bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

void TrayIcon::show() {
    trayIcon_ = new QSystemTrayIcon(this);
    menuBarIcon_ = std::make_unique<MenuBarIcon>(trayIcon_);
    menuBarIcon_->configure();
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Context) {
            emit menuRequested();
        } else if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            // A second click soon after the first arrives as a double click: each click counts.
            emit clicked();
        }
    });
    trayIcon_->show();
    launchTrace::milestone("status item shown");
    if (launchTrace::isEnabled()) {
        // The tray host embeds the icon asynchronously; its geometry becomes known once it has.
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, poll] {
            if (geometry()) {
                traceDocked();
                poll->deleteLater();
            }
        });
        poll->start(5);
    }
}

void TrayIcon::hide() {
    if (trayIcon_ != nullptr) {
        trayIcon_->hide();
    }
}

std::optional<QRect> TrayIcon::geometry() const {
    if (trayIcon_ == nullptr || !isTrayAvailable()) {
        return std::nullopt;
    }
    QRect geometry = trayIcon_->geometry();
    if (!geometry.isValid() || geometry.isEmpty()) {
        return std::nullopt;
    }
    return geometry;
}

void TrayIcon::traceDocked() {
    if (launchTrace::isEnabled() && !std::exchange(dockTraced_, true)) {
        launchTrace::milestone("status item docked");
    }
}

void TrayIcon::whenDocked(std::chrono::milliseconds longestWait, std::function<void()> then) {
    const auto started = std::chrono::steady_clock::now();
    const bool embedsIcon = hostEmbedsIcon();
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll, started, embedsIcon, longestWait, then = std::move(then)] {
        if (embedsIcon && !geometry() && std::chrono::steady_clock::now() - started < longestWait) {
            return;
        }
        if (geometry()) {
            traceDocked(); // before the caller's work holds the loop, where the trace's own poll could not run
        }
        poll->deleteLater();
        poll->stop();
        then();
    });
    poll->start(dockPollInterval);
}

void TrayIcon::configure() {
    if (menuBarIcon_) {
        menuBarIcon_->configure();
    }
}

void TrayIcon::pulse() {
    if (menuBarIcon_) {
        menuBarIcon_->pulse();
    }
}

bool TrayIcon::isPulsing() const {
    return menuBarIcon_ && menuBarIcon_->isPulsing();
}

} // namespace velto
