#include "editor/markdown/StoredInfoString.h"

#include <algorithm>
#include <utility>

namespace velto::editor {

static_assert(sizeof(char16_t *) <= sizeof(char16_t[6]), "a heap address fits where the short units go");

StoredInfoString::StoredInfoString(std::u16string_view text)
    : size_(static_cast<std::uint32_t>(text.size())) {
    if (!isOnHeap()) {
        std::copy(text.begin(), text.end(), units_);
        return;
    }
    char16_t *heap = new char16_t[text.size()];
    std::copy(text.begin(), text.end(), heap);
    std::memcpy(units_, &heap, sizeof heap);
}

StoredInfoString::StoredInfoString(const StoredInfoString &other)
    : StoredInfoString(other.view()) {}

StoredInfoString &StoredInfoString::operator=(const StoredInfoString &other) {
    if (this != &other) {
        *this = StoredInfoString(other);
    }
    return *this;
}

} // namespace velto::editor
