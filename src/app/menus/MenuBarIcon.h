#pragma once

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QIcon>

#include <optional>

class QSystemTrayIcon;
class QVariantAnimation;

namespace velto {

/// The tray icon's image and its short pulse after a clipboard append: the icon grows to 108 % and back in
/// 0.2 s along two eased segments. A pulse in progress is neither restarted nor stacked, and none plays while
/// the desktop asks for reduced motion.
class MenuBarIcon : public QObject {
public:
    static constexpr int canvasSize = 18;
    static constexpr int pulseMilliseconds = 200;
    /// What assistive technologies read besides the name.
    static const QString accessibilityHelp;

    explicit MenuBarIcon(QSystemTrayIcon *trayIcon);
    ~MenuBarIcon() override;

    /// The application icon, scaled to the canvas at the usual tray sizes.
    static QIcon make(const QIcon &image, double scale = 1.0);
    /// The icon's scale at a point of the pulse (0 to 1): the keyframes 1, 1.08, 1 at 0, 0.42 and 1, eased
    /// by the cubic Bézier curves (0.23, 1, 0.32, 1) and then (0.77, 0, 0.175, 1).
    static double pulseScale(double progress);

    /// Gives the tray icon the variant for the appearance in force, its tool tip and help.
    void configure();
    /// Plays the pulse once, unless one runs or motion is to be reduced.
    void pulse();
    bool isPulsing() const;

private:
    QSystemTrayIcon *trayIcon_;
    QPointer<QVariantAnimation> animation_;
    /// Whether the icon on the tray is the variant for a dark appearance; nothing before the first and
    /// once a pulse has drawn over it.
    std::optional<bool> darkVariantShown_;
};

} // namespace velto
