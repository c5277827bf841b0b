#pragma once

#include "editor/text/TextRange.h"

#include <string_view>

namespace velto::editor {

/// Decides whether a change of characters through the editing core may be made, asked before each one
/// (never before a load). A core made without a policy allows every change while it is editable.
class EditPolicy {
public:
    virtual bool allowsChange(TextRange range, std::u16string_view replacement) = 0;

protected:
    ~EditPolicy() = default;
};

} // namespace velto::editor
