#pragma once

#include "editor/text/TextRange.h"
#include "editor_view/layout/ScrollAnchor.h"
#include "platform/Uuid.h"

#include <QtCore/QPointF>

#include <map>

namespace velto {

/// What the editor shows of one page besides its text: the selection (storage offsets) and the scroll origin,
/// with the text at the view's top that the origin showed.
struct PageEditorViewState {
    editor::TextRange selection;
    QPointF scrollOrigin;
    editor::ScrollAnchor scrollAnchor;
    friend bool operator==(const PageEditorViewState &, const PageEditorViewState &) = default;
};

/// The view states of the pages the editor has shown, by page.
struct PageEditorViewStateCache {
    std::map<Uuid, PageEditorViewState> states;
};

} // namespace velto
