#pragma once

#include "library/save/SaveResult.h"

#include <stdexcept>
#include <vector>

namespace velto {

/// What a flush meets when its save wrote every page it could but left some out: the pages stay held, each with the
/// reason its file did not take it, and the store saves them again later. The description is the first page's
/// sentence, with the others counted.
class VeltoPagesNotSavedError : public std::runtime_error {
public:
    explicit VeltoPagesNotSavedError(std::vector<VeltoPageNotSaved> pages);

    const std::vector<VeltoPageNotSaved> &pages() const { return pages_; }

private:
    std::vector<VeltoPageNotSaved> pages_;
};

} // namespace velto
