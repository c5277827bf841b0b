#pragma once

#include "app/PanelControlling.h"

#include <QtCore/QTimer>
#include <QtWidgets/QWidget>

class QLabel;
class QPlainTextEdit;

namespace velto {

class VeltoStore;

/// A plain stand-in for the panel until the real one is built: a frameless window that stays on top, placed
/// under the tray icon (at the pointer without one), holding a plain editor on the store's current page. Edits
/// reach the store 0.25 s after the last keystroke, and at once when the panel closes or Velto quits.
class MinimalPanel : public QWidget, public VeltoPanelControlling {
public:
    static constexpr int saveDelayMilliseconds = 250;

    explicit MinimalPanel(VeltoStore &store);
    ~MinimalPanel() override;

    void show(std::optional<QRect> anchor) override;
    bool isShown() const override { return isVisible(); }
    std::optional<std::chrono::steady_clock::time_point> lastSelfCloseTime() const override { return lastSelfClose_; }
    void close() override;
    void dropNavigationSession() override {}
    void stopShortcutHintMonitoring() override {}
    void flushPendingChanges() override;
    bool canAppendToCurrentPage() const override;
    QString currentPageText() const override;
    void append(const QString &text) override;
    void showFeedback(const PanelFeedback &feedback) override;
    void applyPreferredAppearance() override {}
    QMenu *makeStatusMenu() override;

    /// Where the panel goes for a tray icon's geometry (or the pointer) on a screen's available area.
    static QPoint placement(std::optional<QRect> anchor, QPoint pointer, QSize size, QRect available);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;

private:
    /// Takes the store's current page into the editor unless the editor holds edits the store has not seen.
    void loadCurrentPage();
    void hideFeedback();

    VeltoStore &store_;
    QPlainTextEdit *editor_;
    QLabel *banner_;
    QTimer saveTimer_;
    QTimer bannerTimer_;
    bool loading_ = false;
    bool wasActive_ = false;
    bool tracesNextPaint_ = false;
    std::optional<PanelFeedback> pendingFeedback_;
    std::optional<std::chrono::steady_clock::time_point> lastSelfClose_;
};

} // namespace velto
