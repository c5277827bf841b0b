#include "model/ReloadError.h"

#include <utility>

namespace velto {

VeltoReloadError::VeltoReloadError(Kind kind, std::string detail, const std::string &text)
    : std::runtime_error(text)
    , kind_(kind)
    , detail_(std::move(detail)) {}

VeltoReloadError VeltoReloadError::temporarilyUnavailable(std::string detail) {
    std::string text = "Velto is waiting for a page file to become available. " + detail;
    return VeltoReloadError(Kind::temporarilyUnavailable, std::move(detail), text);
}

VeltoReloadError VeltoReloadError::unreadable(std::string detail) {
    std::string text = "Velto couldn\u2019t reload the page library. " + detail;
    return VeltoReloadError(Kind::unreadable, std::move(detail), text);
}

VeltoReloadError VeltoReloadError::libraryMissing() {
    return VeltoReloadError(Kind::libraryMissing, {},
                            "Velto couldn\u2019t find its page library in the selected folder.");
}

} // namespace velto
