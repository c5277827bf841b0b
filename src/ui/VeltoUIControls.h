#pragma once

#include "ui/HoverButton.h"
#include "ui/HoverIconButton.h"

#include <QtWidgets/QPushButton>

#include <functional>
#include <optional>

/// The kit's operations that give buttons the shared look. Configuring a button again replaces its title,
/// action and texts; its height stays fixed at `Metrics::controlHeight`. Main thread only.
namespace velto::VeltoUI {

/// A text button: the title, the prominence and its palette's tint, the control font, `action` on click,
/// the title as accessible name and `help` as accessible description (cleared when absent).
void configure(HoverButton &button, const QString &title, HoverButton::Prominence prominence,
               std::function<void()> action, const std::optional<QString> &help = std::nullopt);

/// An icon-only button, 30 × 30: the named symbol (see Symbols), `action` on click, `label` as accessible
/// name, floating tooltip and accessible description.
void configure(HoverIconButton &button, const QString &symbolName, const QString &label, std::function<void()> action);

/// A standard push button with the control font and height, its title as accessible name and `help` as
/// description. Return presses it while it has the focus; `defaultAction` makes it the dialog's default button
/// (Return presses it while no other button has the focus).
void configure(QPushButton &button, NativeActionRole role, const std::optional<QString> &help = std::nullopt);

} // namespace velto::VeltoUI
