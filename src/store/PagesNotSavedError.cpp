#include "store/PagesNotSavedError.h"

#include <string>
#include <utility>

namespace velto {
namespace {

std::string describing(const std::vector<VeltoPageNotSaved> &pages) {
    if (pages.empty()) {
        return "Velto saved every page.";
    }
    std::string text = pages.front().description;
    if (pages.size() == 2) {
        text += " One more page could not be saved either.";
    } else if (pages.size() > 2) {
        text += " " + std::to_string(pages.size() - 1) + " more pages could not be saved either.";
    }
    return text;
}

} // namespace

VeltoPagesNotSavedError::VeltoPagesNotSavedError(std::vector<VeltoPageNotSaved> pages)
    : std::runtime_error(describing(pages))
    , pages_(std::move(pages)) {}

} // namespace velto
