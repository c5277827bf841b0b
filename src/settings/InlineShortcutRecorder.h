#pragma once

#include "preferences/GlobalShortcut.h"
#include "settings/RecorderKeyWidget.h"

#include <QtCore/QSet>

#include <functional>
#include <optional>

class QLabel;
class QVariantAnimation;

namespace velto {

class HoverIconButton;

/// Shows one keyboard shortcut and records a new one in place: a rounded field with a restore-default button
/// before it, a clear button at its end and a warning sign while a refusal is shown. It records from the moment a
/// click, the keyboard (Tab) or the accessibility press gives it the focus, until a shortcut is taken, Escape or
/// the focus leaves; idle and focused, Space or Return starts it again. While it records it holds the keyboard
/// grab, so combinations the window manager would take reach it; its keys are handled as every recorder's
/// (RecorderKeyWidget). The rules for a key press are ShortcutCapture's; storing and registering are
/// the owner's, whose answers it is given when it is made.
class InlineShortcutRecorder : public RecorderKeyWidget {
    Q_OBJECT

public:
    // Wide enough for a combination named in words ("Shift+Super+Tab").
    static constexpr int fieldWidth = 176;
    static constexpr int actionSize = 26;
    static constexpr int actionGap = 4;

    /// What the recorder asks of the one that stores its shortcut.
    struct Owner {
        /// Asked to take a recorded shortcut, the default (restore) or nothing (clear); true = stored.
        std::function<bool(const std::optional<GlobalShortcut> &)> take;
        /// The wording of a refusal by `take`; nothing gives "Already used by another shortcut".
        std::function<std::optional<QString>(const GlobalShortcut &)> conflictMessage;
        /// The refusal sound; empty means the desktop's.
        std::function<void()> beep;
    };

    InlineShortcutRecorder(QString commandName, std::optional<GlobalShortcut> defaultShortcut, bool allowsCommandOnly,
                           Owner owner, QWidget *parent = nullptr);

    const QString &commandName() const { return commandName_; }
    const std::optional<GlobalShortcut> &defaultShortcut() const { return defaultShortcut_; }
    const std::optional<GlobalShortcut> &shortcut() const { return shortcut_; }
    /// Shows the saved value; a refusal on display is replaced, its warning stays until it is dismissed.
    void setShortcut(const std::optional<GlobalShortcut> &shortcut);

    bool isRecording() const { return isRecording_; }
    bool isConflict() const { return isConflict_; }
    /// What the field shows: "Ctrl+Alt+V", "Press shortcut", "Unset".
    QString displayedText() const;
    /// Whether an accessory is meant to be shown: where its fade is heading, whatever its opacity now.
    bool isClearButtonShown() const;
    bool isRestoreButtonShown() const;
    bool isWarningShown() const;
    QWidget *clearButton() const;
    QWidget *restoreButton() const;
    QLabel *warningSign() const { return warningImage_; }
    /// How long an accessory takes to fade in or out.
    static constexpr int accessoryFadeMilliseconds = 120;
    /// Whether the refusal's shake is running (never with reduced motion).
    bool isShaking() const;
    /// The last refusal's popover texts (empty when none is shown).
    QString popoverTitle() const { return popoverTitle_; }
    QString popoverMessage() const { return popoverMessage_; }

    void startRecording();
    /// Starts recording and takes the focus of its window, as a click does but leaving a refusal on display.
    bool accessibilityPerformPress() override;
    /// Ends recording (releasing the keyboard grab) and reports it once; nothing when not recording.
    void stopRecording();
    void clearShortcut();
    void restoreShortcut();

signals:
    /// Recording started (true) or ended (false).
    void recordingChanged(bool isRecording);
    /// The owner answered whether it took the shortcut offered (nothing: clear).
    void offerAnswered(const std::optional<velto::GlobalShortcut> &shortcut, bool taken);

protected:
    bool isListening() const override { return isRecording_; }
    /// Space or Return on the idle recorder: as a click, it dismisses a refusal and records.
    void startListening() override;
    void handleRecorderKey(RecorderKeyRole role, const RecorderKeyPress &press) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    /// "Alt+Space" or "Unset" at rest, "Recording" while it listens, "Conflict: Ctrl+Alt+V" while a refusal of
    /// the owner is shown.
    QString accessibleStatus() const override;

private:
    QRect fieldRect() const;
    /// Asks the owner to take the shortcut; answers whether it did.
    bool offer(const std::optional<GlobalShortcut> &shortcut);
    void capture(const RecorderKeyPress &press);
    void reject(const QString &message);
    void refuseCandidate(const GlobalShortcut &candidate);
    void showPopover(const QString &title, const QString &message);
    void closePopover();
    void refresh(bool preservingConflictText);
    /// Fades an accessory in or out, at once while the recorder is not shown; a later opposite request wins.
    void setAccessory(QWidget *accessory, bool visible);
    void tintWarningSign();
    void shake();

    Owner owner_;
    QString commandName_;
    std::optional<GlobalShortcut> defaultShortcut_;
    bool allowsCommandOnly_;
    std::optional<GlobalShortcut> shortcut_;
    /// The candidate of the last refusal by the owner; what the recorder holds while `isConflict_` says so.
    std::optional<GlobalShortcut> refusedCandidate_;
    bool isRecording_ = false;
    bool isConflict_ = false;
    bool isHovered_ = false;
    QSet<const QWidget *> visibleAccessories_;
    QString popoverTitle_;
    QString popoverMessage_;
    QLabel *valueLabel_;
    HoverIconButton *restoreButton_;
    HoverIconButton *clearButton_;
    QLabel *warningImage_;
    QVariantAnimation *shakeAnimation_ = nullptr;
    double shakeOffset_ = 0;
};

/// "Ctrl+Alt+V" for a shortcut, in the key names Linux users know.
QString shortcutDisplayTitle(const GlobalShortcut &shortcut);
/// "Ctrl Alt V": the same words, spoken.
QString shortcutSpokenTitle(const GlobalShortcut &shortcut);

} // namespace velto
