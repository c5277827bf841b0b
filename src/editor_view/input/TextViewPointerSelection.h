#pragma once

#include "editor_view/input/TextViewMouseSelection.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

#include <optional>

class QMouseEvent;

namespace velto::editor {

class EditingCore;
class TextViewCaretMotion;
class TextViewClipboard;
class TextViewDragAndDrop;
class VeltoTextView;

/// Selecting with the mouse: one, two or three clicks select by character, word or paragraph, Shift
/// extends, dragging grows the selection (scrolling while the pointer is above or below the view), a
/// press inside the selection may start dragging it, and the middle button pastes the primary selection.
class TextViewPointerSelection : public QObject {
public:
    TextViewPointerSelection(VeltoTextView &view, EditingCore &core, TextViewCaretMotion &motion,
                             TextViewClipboard &clipboard, TextViewDragAndDrop &dragAndDrop);

    void press(QMouseEvent &event);
    void move(QMouseEvent &event);
    void release(QMouseEvent &event);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void autoScrollStep();

    VeltoTextView &view_;
    EditingCore &core_;
    TextViewCaretMotion &motion_;
    TextViewClipboard &clipboard_;
    TextViewDragAndDrop &dragAndDrop_;

    std::optional<MouseSelection> mouseSelection_;
    QPoint pressPoint_;
    bool dragCandidate_ = false;
    QBasicTimer autoScrollTimer_;
    QPoint lastMousePoint_;
    int clickCount_ = 0;
    QElapsedTimer lastClickTime_;
    QPoint lastClickPoint_;
};

} // namespace velto::editor
