#include "editor/editing/PageUndoHistories.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <utility>

namespace velto::editor {
namespace {

// 64-bit FNV-1a over the UTF-16 units, low byte first.
constexpr std::uint64_t fnvOffset = 14695981039346656037ull;
constexpr std::uint64_t fnvPrime = 1099511628211ull;

inline void hashUnit(std::uint64_t &hash, char16_t unit) {
    hash = (hash ^ static_cast<std::uint8_t>(unit & 0xFF)) * fnvPrime;
    hash = (hash ^ static_cast<std::uint8_t>(unit >> 8)) * fnvPrime;
}

} // namespace

PageTextFingerprint PageTextFingerprint::of(std::u16string_view text) {
    std::uint64_t hash = fnvOffset;
    for (char16_t unit : text) {
        hashUnit(hash, unit);
    }
    return {text.size(), hash};
}

PageTextFingerprint PageTextFingerprint::ofUTF8(std::string_view text) {
    std::uint64_t hash = fnvOffset;
    std::size_t length = 0;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(text.data());
    const auto size = static_cast<std::int32_t>(text.size());
    std::int32_t index = 0;
    while (index < size) {
        UChar32 c = 0;
        U8_NEXT_OR_FFFD(bytes, index, size, c);
        if (U_IS_BMP(c)) {
            hashUnit(hash, static_cast<char16_t>(c));
            length += 1;
        } else {
            hashUnit(hash, static_cast<char16_t>(U16_LEAD(c)));
            hashUnit(hash, static_cast<char16_t>(U16_TRAIL(c)));
            length += 2;
        }
    }
    return {length, hash};
}

PageUndoHistories::PageUndoHistories(EditingCore &core, std::function<void()> beep)
    : core_(core)
    , beep_(std::move(beep))
    , unattached_(std::make_shared<UndoManager>()) {}

PageUndoHistories::~PageUndoHistories() = default;

UndoManager *PageUndoHistories::undoManager() {
    return activeUndoManager().get();
}

std::shared_ptr<UndoManager> PageUndoHistories::activeUndoManager() {
    if (!activePageID_) {
        return unattached_;
    }
    PageHistory &history = pages_[*activePageID_];
    if (!history.manager) {
        history.manager = std::make_shared<UndoManager>();
    }
    return history.manager;
}

std::shared_ptr<UndoManager> PageUndoHistories::pageUndoManager(const Uuid &pageID) const {
    auto found = pages_.find(pageID);
    return found == pages_.end() ? nullptr : found->second.manager;
}

bool PageUndoHistories::canUndo() {
    return undoManager()->canUndo();
}

bool PageUndoHistories::canRedo() {
    return undoManager()->canRedo() || (pageTransitionRedoManager_ && pageTransitionRedoManager_->canRedo());
}

void PageUndoHistories::activateUndoHistory(const Uuid &pageID, const std::set<Uuid> &retaining,
                                            std::shared_ptr<UndoManager> fallback,
                                            const PageTextFingerprint &pageText) {
    activateUndoHistory(pageID, retaining, std::move(fallback), [&pageText] { return pageText; });
}

void PageUndoHistories::activateUndoHistory(const Uuid &pageID, const std::set<Uuid> &retaining,
                                            std::shared_ptr<UndoManager> fallback,
                                            const std::function<PageTextFingerprint()> &pageText) {
    core_.breakUndoCoalescing();
    releaseRetiredManagers();
    // The page being left: its history belongs to the text the view shows now.
    if (activePageID_) {
        if (auto left = pages_.find(*activePageID_); left != pages_.end()) {
            left->second.fingerprint = PageTextFingerprint::of(core_.string());
        }
    }
    std::erase_if(pages_, [&](const auto &entry) { return retaining.count(entry.first) == 0; });
    activePageID_ = pageID;
    auto kept = pages_.find(pageID);
    if (kept != pages_.end() && kept->second.fingerprint && *kept->second.fingerprint != pageText()) {
        // The page changed elsewhere while it was not shown: its steps would rewrite the wrong characters.
        pages_.erase(kept);
        kept = pages_.end();
    }
    if (kept == pages_.end() && fallback) {
        pages_[pageID] = PageHistory{std::move(fallback), std::nullopt};
    }
    undoManager();
    core_.breakUndoCoalescing();
}

void PageUndoHistories::discardAllPageUndoHistories() {
    core_.breakUndoCoalescing();
    releaseRetiredManagers();
    for (auto &[pageID, history] : pages_) {
        retire(std::move(history.manager));
    }
    pages_.clear();
    retire(std::exchange(unattached_, std::make_shared<UndoManager>()));
    pageTransitionRedoManager_.reset();
    if (activePageID_) {
        pages_[*activePageID_] = PageHistory{std::make_shared<UndoManager>(), std::nullopt};
    }
}

void PageUndoHistories::resetUndoHistory(const Uuid &pageID) {
    core_.breakUndoCoalescing();
    auto found = pages_.find(pageID);
    if (found == pages_.end()) {
        return;
    }
    if (pageTransitionRedoManager_ == found->second.manager) {
        pageTransitionRedoManager_.reset();
    }
    retire(std::move(found->second.manager));
    if (activePageID_ == pageID) {
        found->second = PageHistory{std::make_shared<UndoManager>(), std::nullopt};
    } else {
        pages_.erase(found);
    }
}

void PageUndoHistories::replacePageIDs(const std::map<Uuid, Uuid> &replacements) {
    std::map<Uuid, PageHistory> moved;
    for (auto &[pageID, history] : pages_) {
        auto replacement = replacements.find(pageID);
        moved[replacement == replacements.end() ? pageID : replacement->second] = std::move(history);
    }
    pages_ = std::move(moved);
    if (activePageID_) {
        if (auto replacement = replacements.find(*activePageID_); replacement != replacements.end()) {
            activePageID_ = replacement->second;
        }
    }
}

void PageUndoHistories::undoStepDidNotMatch(UndoManager &manager) {
    core_.breakUndoCoalescing();
    if (&manager == unattached_.get()) {
        retire(std::exchange(unattached_, std::make_shared<UndoManager>()));
    }
    for (auto it = pages_.begin(); it != pages_.end(); ++it) {
        if (it->second.manager.get() == &manager) {
            retire(std::move(it->second.manager));
            pages_.erase(it);
            break;
        }
    }
    if (pageTransitionRedoManager_.get() == &manager) {
        pageTransitionRedoManager_.reset();
    }
    if (beep_) {
        beep_();
    }
}

void PageUndoHistories::retire(std::shared_ptr<UndoManager> manager) {
    if (manager && (manager->isUndoing() || manager->isRedoing())) {
        retired_.push_back(std::move(manager));
    }
}

void PageUndoHistories::releaseRetiredManagers() {
    std::erase_if(retired_, [](const std::shared_ptr<UndoManager> &manager) {
        return !manager->isUndoing() && !manager->isRedoing();
    });
}

} // namespace velto::editor
