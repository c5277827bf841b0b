#pragma once

#include "panel/hints/ShortcutHintsView.h"
#include "ui/FloatingPanel.h"

#include <QtCore/QPointer>

#include <memory>

namespace velto {

/// The floating window of the shortcut hints, just under the editor's lower right corner. The entries
/// are fixed when it is made; each show refreshes their keys. Hiding fades the hints out and takes the
/// window away 0.1 s later; showing again meanwhile keeps it. Main thread only.
class ShortcutHintsPanelController : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds orderOutDelay{100};

    /// `translucent` defaults to whether a compositing manager runs.
    explicit ShortcutHintsPanelController(VeltoScheduler &scheduler = qtScheduler(),
                                          std::optional<bool> translucent = std::nullopt);
    ~ShortcutHintsPanelController() override;

    /// Shows the hints under `editorFrame` (screen coordinates), above `window`.
    void show(QWidget *window, const QRect &editorFrame);
    void hide(bool immediately);

    ShortcutHintsView *hintsView() const { return hintsView_; }
    FloatingPanel *panel() const { return panel_.get(); }
    QWidget *parentWindow() const { return parentWindow_; }

signals:
    /// True when the hints are shown, false when they start to hide.
    void presentationChanged(bool presented);

private:
    void orderOut();

    VeltoScheduler &scheduler_;
    ShortcutHintsView *hintsView_;
    std::unique_ptr<FloatingPanel> panel_;
    QPointer<QWidget> parentWindow_;
    std::unique_ptr<VeltoScheduledAction> hideWorkItem_;
};

} // namespace velto
