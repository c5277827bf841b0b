#pragma once

#include "settings/ShortcutCapture.h"
#include "ui/AccessibilityAnnouncement.h"

#include <QtWidgets/QWidget>

#include <optional>

namespace velto {

/// The key handling and the accessibility every shortcut recorder shares. While it listens the focused recorder
/// takes every shortcut override and every key press, before QWidget's own handling would move the focus on Tab
/// with any modifier: Tab and Shift+Tab with no other modifier (Caps Lock counts) move the focus, every other press
/// goes to the recorder with its role (clear, cancel or capture). An idle recorder is a button like any other:
/// Space or Return starts it, Delete still clears it, and every other key does what it does elsewhere in the
/// window. Assistive technologies see
/// a recorder as a button whose press action starts it (RecorderAccessibility). Main thread only.
///
/// What a recorder holds reaches a screen reader where Qt's AT-SPI bridge passes it on: the bridge carries no text
/// value of a button and drops alerts, but it carries the name and the description and tells of their changes. So
/// the name says what the recorder holds ("Shortcut for Show or hide Velto, Alt+Space"), the description is the
/// help of the moment, and a refusal is announced by becoming the description. Everything one key press changes
/// is told once, when the press has been handled.
class RecorderKeyWidget : public QWidget {
    Q_OBJECT

public:
    explicit RecorderKeyWidget(QWidget *parent = nullptr);

    /// Handles one key press as the focused recorder does (also used by tests without a display); false when the
    /// recorder is idle and leaves the press to its window.
    bool handleKeyPress(const RecorderKeyPress &press);

    /// The recorder's value as its owner words it ("Alt Space", "Unset", "Conflict: Alt K").
    const QString &accessibilityValue() const { return accessibilityValue_; }
    /// The name a screen reader meets: the recorder's accessible name, then what it holds now.
    QString spokenName() const;
    /// The help of the moment, which a refusal leads with its announcement: the recorder's description.
    const QString &accessibleHelp() const { return accessibleHelp_; }
    /// The press of assistive technologies: the recorder takes the focus of its window and, where it records
    /// only on request, starts recording. Whether it has that focus now; false while it is not shown.
    virtual bool accessibilityPerformPress() = 0;

protected:
    /// What the recorder holds, said after its name: "Alt+Space", "Recording", "Conflict: Ctrl+Alt+V".
    virtual QString accessibleStatus() const = 0;
    void setAccessibilityValue(const QString &value) { accessibilityValue_ = value; }
    /// Changes the help; assistive technologies are told when it differs.
    void setAccessibleHelp(const QString &help);
    /// Makes `help` (which holds the announcement) the description and announces it with high priority, also
    /// when the same refusal comes again: over AT-SPI the announcement is that change of the description.
    void announce(const QString &announcement, const QString &help);
    /// Tells assistive technologies what changed since they were last told: the name when the status moved it,
    /// then a pending announcement. Inside a key press it waits for the press's end.
    void tellAccessibilityChanges();
    /// Makes the recorder its window's focus widget; whether that worked (never while it is not shown).
    bool takeFocusOfWindow();

    /// Whether the recorder takes every key now; an idle one takes only the presses that start or clear it.
    virtual bool isListening() const { return true; }
    /// Starts an idle recorder on Space or Return.
    virtual void startListening() {}
    /// A press that does not move the focus, with what its keys ask for.
    virtual void handleRecorderKey(RecorderKeyRole role, const RecorderKeyPress &press) = 0;

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString accessibilityValue_;
    QString accessibleHelp_;
    QString toldName_;
    bool helpChanged_ = false;
    std::optional<QString> pendingAnnouncement_;
    bool inKeyPress_ = false;
};

} // namespace velto
