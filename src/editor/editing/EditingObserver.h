#pragma once

#include "editor/text/TextRange.h"

#include <string_view>

namespace velto::editor {

/// Told of what happens through the editing core, in the order observers subscribed. Each override is
/// optional: an observer implements what it follows.
class EditingObserver {
public:
    /// A change of characters through the core was allowed and is about to be made: the storage still
    /// holds the characters of the range.
    virtual void textWillChange(TextRange /*range*/, std::u16string_view /*replacement*/) {}
    /// A change of characters through the core was made; the selection is already set.
    virtual void textDidChange() {}
    /// The selection changed (and with it the typing attributes).
    virtual void selectionDidChange() {}

protected:
    ~EditingObserver() = default;
};

} // namespace velto::editor
