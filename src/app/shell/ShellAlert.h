#pragma once

#include "settings/SettingsPresenters.h"

#include <QtCore/QPointer>
#include <QtWidgets/QMessageBox>

#include <functional>
#include <vector>

namespace velto {

/// One alert of the shell, of the same shape as the Settings window's: a title, an optional message, a style
/// and its buttons in order, answered by the response code of the button chosen (1000 for the first).
using ShellAlert = SettingsAlert;

inline constexpr int firstAlertButton = firstButtonResponse;

/// Shows an alert and answers its response code; tests put a recorder in its place.
using ShellAlertPresenter = std::function<int(const ShellAlert &)>;

/// Whether an alert takes the keyboard when it shows. One the user asked for (by a menu, a key, a button) does; a
/// notice Velto raises by itself, at launch or on a background event, is shown in front but leaves the keyboard
/// where it is until the user clicks it or switches to it, so that keys typed into another window never answer it.
enum class AlertActivation { takesFocus, waitsForTheUser };

/// The alert run modally, with Velto's icon, taking the keyboard: an answer to what the user asked for.
int presentShellAlertModally(const ShellAlert &alert);
/// The alert waited for, with Velto's icon, without taking the keyboard: a notice the user did not ask for. It is
/// not modal, so that the panel and other windows go on taking keys while it waits to be read.
int presentShellNoticeModally(const ShellAlert &alert);

/// An alert of the shell's own run modally, with Velto's icon: the message, the informative text and the buttons in
/// order (an OK button when none is given), answered by the response code of the button chosen; a "Cancel" button
/// answers Escape too. `keepOpenAlert`, when given, points at the alert while it is shown, so that it can be
/// answered from elsewhere.
int runAlertModally(QMessageBox::Icon style, const QString &message, const QString &informative,
                    const std::vector<QString> &buttons, QPointer<QMessageBox> *keepOpenAlert = nullptr,
                    AlertActivation activation = AlertActivation::takesFocus);

/// The items of an alert's list, a line each after a bullet, the first five of them and how many more there are:
/// an alert stays readable however many files it is about.
QString alertItemList(const std::vector<QString> &items);

} // namespace velto
