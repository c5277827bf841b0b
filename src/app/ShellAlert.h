#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>

namespace velto {

/// One alert of the shell: a title, an optional message, a style and its buttons in order. The answer is the
/// response code of the button chosen: 1000 for the first, 1001 for the second, 1002 for the third; any other
/// number when the alert was dismissed otherwise.
struct ShellAlert {
    enum class Style { informational, warning };
    QString title;
    QString message;
    Style style = Style::warning;
    QStringList buttons{QStringLiteral("OK")};
    friend bool operator==(const ShellAlert &, const ShellAlert &) = default;
};

inline constexpr int firstAlertButton = 1000;

/// Shows an alert and answers its response code; tests put a recorder in its place.
using ShellAlertPresenter = std::function<int(const ShellAlert &)>;

/// The alert run modally, with Velto's icon.
int presentShellAlertModally(const ShellAlert &alert);

} // namespace velto
