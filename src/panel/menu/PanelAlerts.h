#pragma once

#include <QtCore/QString>

#include <memory>

class QMessageBox;
class QWidget;

namespace velto {

/// The alerts that the tray menu and Browse Pages ask before a destructive choice or show after one. They
/// carry the application's icon (the variant of the current appearance, set as the application's window icon
/// by the shell), not a generic warning sign: the question comes from Velto, about Velto's pages.
namespace PanelAlerts {

/// A question with the action's button, the default, and Cancel.
std::unique_ptr<QMessageBox> makeConfirmation(QWidget *parent, const QString &message, const QString &informativeText,
                                              const QString &actionButton);
/// Runs the question modally: true when the user chose the action.
bool confirm(QWidget *parent, const QString &message, const QString &informativeText, const QString &actionButton);
/// A notice with one button, run modally.
void notify(QWidget *parent, const QString &message, const QString &informativeText, const QString &button);

} // namespace PanelAlerts
} // namespace velto
