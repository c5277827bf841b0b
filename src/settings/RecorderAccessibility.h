#pragma once

#include <QtWidgets/QAccessibleWidget>

namespace velto {

class RecorderKeyWidget;

/// A shortcut recorder as assistive technologies see it: a button named after what its shortcut triggers and
/// what it holds ("Shortcut for Show or hide Velto, Alt+Space"), whose value is the shortcut spoken ("Unset",
/// "Conflict: …"), whose description is the help of the moment, and whose press action asks the recorder to
/// listen.
class RecorderAccessibility : public QAccessibleWidget {
public:
    explicit RecorderAccessibility(RecorderKeyWidget *recorder);

    QString text(QAccessible::Text type) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    RecorderKeyWidget *recorder() const;
};

/// Makes Qt's accessibility use `RecorderAccessibility` for every recorder; installed once.
void installRecorderAccessibility();

} // namespace velto
