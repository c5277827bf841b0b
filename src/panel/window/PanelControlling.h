#pragma once

#include "panel/feedback/PanelFeedback.h"
#include "panel/feedback/SaveProblem.h"

#include <QtCore/QObject>
#include <QtCore/QRect>
#include <QtCore/QString>

#include <chrono>
#include <cstdint>
#include <optional>

class QMenu;
class QWindow;

namespace velto {

class VeltoPanelPageControlling;

/// What the application shell uses of the panel controller: showing and closing the panel, handing the
/// editor's text to the store, appending text and giving feedback. The shell codes against this interface,
/// so that its tests can put a recording panel in the real one's place. What the panel asks of the shell it
/// announces as signals, which the shell connects to.
class VeltoPanelControlling : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    /// Shows the panel under the tray icon's geometry, at the pointer when the tray gives none. Nothing while
    /// it is shown.
    virtual void show(std::optional<QRect> anchor) = 0;
    /// Shows the panel for a global shortcut: the window manager is asked for focus with the key event's X
    /// server time, so that its focus-stealing prevention lets the panel take the keyboard.
    virtual void showForShortcut(std::optional<QRect> anchor, std::uint32_t keyEventTime) {
        (void)keyEventTime;
        show(anchor);
    }
    /// Whether the panel is open.
    virtual bool isShown() const = 0;
    /// The panel's top-level window, made if it was not yet, which takes the keys typed right after the
    /// shortcut that shows it; none where there is no such window.
    virtual QWindow *panelWindow() const { return nullptr; }
    /// When the panel last closed itself (a click elsewhere, Escape); nothing when it never did. The shell
    /// uses it to keep the tray click that closed the panel from opening it again.
    virtual std::optional<std::chrono::steady_clock::time_point> lastSelfCloseTime() const = 0;
    /// Closes the panel; its own closing steps (flushing the editor) run.
    virtual void close() = 0;

    /// Drops the snapshot of pages used to cycle through them.
    virtual void dropNavigationSession() = 0;
    virtual void stopShortcutHintMonitoring() = 0;
    /// Hands the editor's current text to the store at once.
    virtual void flushPendingChanges() = 0;

    /// Whether the current page's text is held, so that text can be appended to it.
    virtual bool canAppendToCurrentPage() const = 0;
    /// The current page's text as the editor holds it (UTF-8 byte count matters for the size limit).
    virtual QString currentPageText() const = 0;
    /// Appends the text to the end of the current page as one undoable edit (a line break in front when the
    /// page does not end with one) and hands it to the store at once. False (and a beep) when the page cannot
    /// take it now: its text is not loaded, or a page operation is under way.
    virtual bool append(const QString &text) = 0;
    virtual void showFeedback(const PanelFeedback &feedback) = 0;
    /// Where the text that saves could not write is kept, for the notices of failing saves to say.
    virtual void setKeptText(const SaveProblem::KeptText &) {}

    virtual void applyPreferredAppearance() = 0;
    /// A new menu holding the status menu's page items (the shell adds its own around them).
    virtual QMenu *makeStatusMenu() = 0;
    /// What Settings and the main menu change on the panel's page; none where the panel has no page of its own.
    virtual VeltoPanelPageControlling *pageControlling() { return nullptr; }

signals:
    /// The user asked for the Settings window; the panel has closed.
    void settingsRequested();
    /// Something asked for the editor to be shown (Browse Pages opened a page, a page operation needs it).
    void editorOpenRequested();
    /// The user asked to see the current page's file in the file manager.
    void revealCurrentPageRequested();
    /// The user asked to see the Pages folder in the file manager.
    void pagesFolderOpenRequested();
    /// The panel has painted after being shown (the launch trace marks it).
    void panelPainted();
};

} // namespace velto
