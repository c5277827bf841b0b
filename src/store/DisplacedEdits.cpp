#include "store/DisplacedEdits.h"

#include "model/PageArchiveState.h"

#include <algorithm>
#include <functional>
#include <set>
#include <string_view>

namespace velto {
namespace {

std::size_t fingerprint(const VeltoPage &page) {
    return std::hash<std::string_view>{}(page.visibleTextView());
}

} // namespace

void VeltoDisplacedEdits::noteReplaced(const VeltoPage &held, const VeltoPage &taken) {
    if (held.id != taken.id || held.content.asLoaded() == nullptr || held.visibleTextView().empty() ||
        held.visibleTextView() == taken.visibleTextView()) {
        return;
    }
    std::vector<std::size_t> &texts = fingerprints_[held.id];
    texts.push_back(fingerprint(held));
    if (texts.size() > textsPerPage) {
        texts.erase(texts.begin());
    }
}

std::vector<Uuid> VeltoDisplacedEdits::arrivedCopies(const VeltoDocument &before, const VeltoDocument &after) {
    std::vector<Uuid> copies;
    if (fingerprints_.empty()) {
        return copies;
    }
    std::set<Uuid> known;
    for (const VeltoPage &page : before.pages) {
        known.insert(page.id);
    }
    known.insert(before.currentPage.id);
    for (const VeltoPage &page : after.pages) {
        const VeltoPageFileContent *loaded = page.content.asLoaded();
        if (known.count(page.id) != 0 || loaded == nullptr || isArchivedPage(page)) {
            continue;
        }
        const std::optional<Uuid> originalID = loaded->conflictOriginalPageID();
        auto remembered = originalID.has_value() ? fingerprints_.find(*originalID) : fingerprints_.end();
        if (remembered == fingerprints_.end()) {
            continue;
        }
        std::vector<std::size_t> &texts = remembered->second;
        auto match = std::find(texts.begin(), texts.end(), fingerprint(page));
        if (match == texts.end()) {
            continue;
        }
        texts.erase(match);
        if (texts.empty()) {
            fingerprints_.erase(remembered);
        }
        copies.push_back(page.id);
    }
    return copies;
}

} // namespace velto
