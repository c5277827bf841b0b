#include "panel/hints/ShortcutHintMonitor.h"

#include "editor_view/view/VeltoTextView.h"
#include "panel/hints/ShortcutHintsPanelController.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelPopover.h"
#include "platform/desktop/KeyEventTranslation.h"

#include <QtCore/QPointer>
#include <QtGui/QKeyEvent>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>

namespace velto {

namespace {

/// The four modifiers the shortcuts use; Caps Lock, Num Lock and the keypad flag play no part.
constexpr Qt::KeyboardModifiers shortcutModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

} // namespace

ShortcutHintMonitor::ShortcutHintMonitor(PanelPopover &popover, VeltoPanelView &panelView, ShortcutHintsHost &host,
                                         VeltoScheduler &scheduler)
    : popover_(popover)
    , panelView_(panelView)
    , host_(host)
    , scheduler_(scheduler) {}

ShortcutHintMonitor::~ShortcutHintMonitor() {
    qApp->removeEventFilter(this);
}

void ShortcutHintMonitor::start() {
    stop();
    monitoring_ = true;
    qApp->installEventFilter(this);
}

void ShortcutHintMonitor::stop() {
    cancelDwell();
    if (monitoring_) {
        qApp->removeEventFilter(this);
        monitoring_ = false;
    }
    state_.phase = ShortcutHintPhase::hidden;
    hideHints();
}

void ShortcutHintMonitor::updateAvailability(bool canUndo, bool canRedo) {
    if (hintsPanel_) {
        hintsPanel_->hintsView()->updateAvailability(host_.commandContext(), canUndo, canRedo);
    }
}

void ShortcutHintMonitor::hideHints() {
    if (hintsPanel_) {
        hintsPanel_->hide(true);
    }
}

void ShortcutHintMonitor::refreshAppearance() {
    if (hintsPanel_) {
        hintsPanel_->hintsView()->update();
    }
}

bool ShortcutHintMonitor::eventFilter(QObject *watched, QEvent *event) {
    if (!monitoring_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // The panel's window receives each key event before the widget with the keyboard focus does.
        if (watched == popover_.windowHandle()) {
            return handlePanelKeyEvent(static_cast<QKeyEvent *>(event));
        }
        break;
    case QEvent::ApplicationDeactivate:
        handle(ShortcutHintEvent::focusLost());
        break;
    case QEvent::WindowDeactivate:
        if (watched == &popover_) {
            handle(ShortcutHintEvent::focusLost());
        }
        break;
    default:
        break;
    }
    return false;
}

bool ShortcutHintMonitor::handlePanelKeyEvent(QKeyEvent *event) {
    if (!popover_.isShown() || !popover_.isActiveWindow()) {
        handle(ShortcutHintEvent::focusLost());
        return false;
    }
    Qt::KeyboardModifiers held = event->modifiers() & shortcutModifiers;
    if (event->type() == QEvent::KeyPress && event->key() == Qt::Key_Escape && held == Qt::NoModifier) {
        // Escape belongs to an input method composing text, and to the find bar while it has the keyboard.
        QWidget *focus = QApplication::focusWidget();
        bool inFindBar = focus != nullptr && panelView_.findBar()->isAncestorOf(focus);
        if (!panelView_.textView()->hasMarkedText() && !inFindBar) {
            host_.closePanel();
            return true;
        }
        return false;
    }
    if (editor::isModifierKey(event->key())) {
        bool commandHeld = held.testFlag(Qt::ControlModifier);
        handle(ShortcutHintEvent::modifiers(commandHeld, held == Qt::ControlModifier));
    } else if (event->type() == QEvent::KeyPress) {
        handle(ShortcutHintEvent::keyDown());
    }
    return false;
}

void ShortcutHintMonitor::handle(const ShortcutHintEvent &event) {
    ShortcutHintTransition transition = nextShortcutHintState(state_.phase, event);
    state_.phase = transition.phase;
    applyEffects(transition.effects);
}

void ShortcutHintMonitor::applyEffects(const ShortcutHintEffects &effects) {
    if (effects.cancelDwell) {
        cancelDwell();
    }
    if (effects.scheduleDwell) {
        QPointer<ShortcutHintMonitor> self(this);
        dwellWorkItem_ = scheduler_.schedule(dwell, [self] {
            if (!self || !self->popover_.isShown() || !self->popover_.isActiveWindow()) {
                return;
            }
            self->handle(ShortcutHintEvent::dwellElapsed());
        });
    }
    switch (effects.presentation) {
    case ShortcutHintEffects::Presentation::unchanged:
        break;
    case ShortcutHintEffects::Presentation::hide:
        if (hintsPanel_) {
            hintsPanel_->hide(false);
        }
        break;
    case ShortcutHintEffects::Presentation::show:
        showHints(false);
        break;
    case ShortcutHintEffects::Presentation::showWithFreshAvailability:
        showHints(true);
        break;
    }
}

void ShortcutHintMonitor::cancelDwell() {
    if (dwellWorkItem_) {
        dwellWorkItem_->cancel();
        dwellWorkItem_.reset();
    }
}

void ShortcutHintMonitor::showHints(bool refreshAvailability) {
    ShortcutHintsPanelController &hints = hintsPanel();
    if (refreshAvailability) {
        editor::PageUndoHistories &histories = panelView_.textView()->undoHistories();
        hints.hintsView()->updateAvailability(host_.commandContext(), histories.canUndo(), histories.canRedo());
    }
    host_.hideFeedback();
    hints.show(&popover_, panelView_.frameOnScreen());
}

ShortcutHintsPanelController &ShortcutHintMonitor::hintsPanel() {
    if (!hintsPanel_) {
        hintsPanel_ = std::make_unique<ShortcutHintsPanelController>();
        EmptyPageHintView *emptyPageHint = panelView_.emptyPageHint();
        connect(hintsPanel_.get(), &ShortcutHintsPanelController::presentationChanged, this,
                [emptyPageHint](bool presented) { emptyPageHint->setShortcutOverlayPresented(presented, true); });
    }
    return *hintsPanel_;
}

} // namespace velto
