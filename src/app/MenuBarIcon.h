#pragma once

#include <QtCore/QObject>
#include <QtCore/QTimer>
#include <QtGui/QIcon>

#include <vector>

class QSystemTrayIcon;

namespace velto {

/// The tray icon's image and its short pulse after a clipboard append: the icon grows to 108 % and back in
/// 0.2 s, drawn as a few frames. A pulse in progress is neither restarted nor stacked.
class MenuBarIcon : public QObject {
public:
    static constexpr int canvasSize = 18;
    /// The scale of each frame of the pulse, one frame every 40 ms, ending at full size.
    static const std::vector<double> &pulseScales();
    static constexpr int pulseFrameMilliseconds = 40;

    explicit MenuBarIcon(QSystemTrayIcon *trayIcon);

    /// The application icon, scaled to the canvas at the usual tray sizes.
    static QIcon make(const QIcon &image, double scale = 1.0);

    /// Gives the tray icon the variant for the appearance in force, and its tool tip.
    void configure();
    /// Plays the pulse once, unless one runs.
    void pulse();
    bool isPulsing() const { return frame_ >= 0; }

private:
    void showNextFrame();

    QSystemTrayIcon *trayIcon_;
    QTimer timer_;
    int frame_ = -1;
};

} // namespace velto
