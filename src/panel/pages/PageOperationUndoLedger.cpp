#include "panel/pages/PageOperationUndoLedger.h"

#include <algorithm>

namespace velto {

VeltoDocument SharedDocument::document() const {
    VeltoDocument document;
    document.currentPage = *currentPage;
    document.pages.reserve(pages.size());
    for (const auto &page : pages) {
        document.pages.push_back(*page);
    }
    return document;
}

std::optional<VeltoPageOperation> PageOperationUndoLedger::Entry::operation() const {
    if (isEvicted()) {
        return std::nullopt;
    }
    return VeltoPageOperation{effects, actionName, before->document(), after->document()};
}

std::optional<VeltoArchiveTransition> PageOperationUndoLedger::Entry::archiveTransition() const {
    if (isEvicted()) {
        return std::nullopt;
    }
    return VeltoArchiveTransition{before->document(), after->document()};
}

PageOperationUndoLedger::PageOperationUndoLedger(std::size_t byteLimit)
    : byteLimit_(byteLimit) {}

PageOperationUndoLedger::~PageOperationUndoLedger() = default;

std::size_t PageOperationUndoLedger::byteSize(const VeltoPage &page) {
    std::size_t bytes = sizeof(VeltoPage);
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        bytes += loaded->body.size() + loaded->frontMatter.value_or(std::string()).size();
    } else if (const VeltoArchivedPageSummary *summary = page.content.asArchivedSummary()) {
        bytes += summary->preview.size();
    }
    return bytes;
}

std::shared_ptr<PageOperationUndoLedger::Entry> PageOperationUndoLedger::retain(const VeltoPageOperation &operation) {
    auto entry = std::make_shared<Entry>();
    entry->effects = operation.effects;
    entry->actionName = operation.actionName;
    return retain(std::move(entry), operation.before, operation.after);
}

std::shared_ptr<PageOperationUndoLedger::Entry>
PageOperationUndoLedger::retain(const VeltoArchiveTransition &transition) {
    auto entry = std::make_shared<Entry>();
    entry->actionName = "Archive Page";
    return retain(std::move(entry), transition.before, transition.after);
}

std::shared_ptr<PageOperationUndoLedger::Entry>
PageOperationUndoLedger::retain(std::shared_ptr<Entry> entry, const VeltoDocument &before, const VeltoDocument &after) {
    entry->before = share(before);
    entry->after = share(after);
    entries_.push_back(entry);
    evictBeyondLimit();
    return entry;
}

SharedDocument PageOperationUndoLedger::share(const VeltoDocument &document) {
    SharedDocument shared;
    shared.currentPage = share(document.currentPage);
    shared.pages.reserve(document.pages.size());
    for (const VeltoPage &page : document.pages) {
        shared.pages.push_back(share(page));
    }
    return shared;
}

std::shared_ptr<const VeltoPage> PageOperationUndoLedger::share(const VeltoPage &page) {
    std::vector<std::weak_ptr<const VeltoPage>> &versions = pagesByID_[page.id];
    std::erase_if(versions, [](const std::weak_ptr<const VeltoPage> &version) { return version.expired(); });
    for (const auto &version : versions) {
        if (auto kept = version.lock(); kept && *kept == page) {
            return kept;
        }
    }
    std::size_t bytes = byteSize(page);
    *retainedBytes_ += bytes;
    std::weak_ptr<std::size_t> counter = retainedBytes_;
    std::shared_ptr<const VeltoPage> kept(new VeltoPage(page), [counter, bytes](const VeltoPage *released) {
        if (auto total = counter.lock()) {
            *total -= bytes;
        }
        delete released;
    });
    versions.push_back(kept);
    return kept;
}

void PageOperationUndoLedger::evictBeyondLimit() {
    std::erase_if(entries_, [](const std::weak_ptr<Entry> &entry) { return entry.expired(); });
    // The newest entry stays whole: the step just taken can always be undone.
    while (*retainedBytes_ > byteLimit_ && entries_.size() > 1) {
        if (auto oldest = entries_.front().lock()) {
            oldest->before.reset();
            oldest->after.reset();
        }
        entries_.pop_front();
    }
    for (auto &[pageID, versions] : pagesByID_) {
        std::erase_if(versions, [](const std::weak_ptr<const VeltoPage> &version) { return version.expired(); });
    }
    std::erase_if(pagesByID_, [](const auto &pair) { return pair.second.empty(); });
}

void PageOperationUndoLedger::evictAll() {
    for (const auto &weak : entries_) {
        if (auto entry = weak.lock()) {
            entry->before.reset();
            entry->after.reset();
        }
    }
    entries_.clear();
    pagesByID_.clear();
}

} // namespace velto
