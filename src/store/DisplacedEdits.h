#pragma once

#include "model/Document.h"

#include <cstddef>
#include <map>
#include <vector>

namespace velto {

/// The texts of pages that another writer's version replaced here. When that writer's save found this process's
/// text in the file and could not merge it, it kept that text as a conflict copy of its own; the copy reaches
/// this process later, with a reload, and whoever's text went into a copy must be told where it is. Only a short
/// fingerprint of each replaced text is kept, a few per page. Main thread only.
class VeltoDisplacedEdits {
public:
    /// How many replaced texts of one page are remembered; older ones are forgotten.
    static constexpr std::size_t textsPerPage = 4;

    /// The page held `held` and took `taken` from its file; a different text is remembered.
    void noteReplaced(const VeltoPage &held, const VeltoPage &taken);
    /// The conflict copies that `after` holds and `before` did not, whose text is one this process held of their
    /// original page before it was replaced; each is forgotten once found.
    std::vector<Uuid> arrivedCopies(const VeltoDocument &before, const VeltoDocument &after);
    /// Another library opened.
    void clear() { fingerprints_.clear(); }

private:
    std::map<Uuid, std::vector<std::size_t>> fingerprints_;
};

} // namespace velto
