#include "store/SaveCoordinator.h"

#include "platform/FreedMemory.h"
#include "store/LibraryPool.h"
#include "store/PagesNotSavedError.h"

#include <algorithm>
#include <set>

namespace velto {

class VeltoSaveCoordinator::FlushWaiterAwaiter {
public:
    explicit FlushWaiterAwaiter(std::shared_ptr<FlushWaiter> waiter)
        : waiter_(std::move(waiter)) {}
    bool await_ready() const noexcept { return waiter_->resumed; }
    void await_suspend(std::coroutine_handle<> continuation) noexcept { waiter_->continuation = continuation; }
    void await_resume() const {
        if (waiter_->error) {
            std::rethrow_exception(waiter_->error);
        }
    }

private:
    std::shared_ptr<FlushWaiter> waiter_;
};

std::string errorDescription(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &caught) {
        return caught.what();
    } catch (...) {
        return "An unknown error occurred.";
    }
}

std::shared_ptr<VeltoSaveCoordinator> VeltoSaveCoordinator::make(std::filesystem::path folderURL, SaveOperation save,
                                                                 DidFinish didFinish) {
    return std::shared_ptr<VeltoSaveCoordinator>(
        new VeltoSaveCoordinator(std::move(folderURL), std::move(save), std::move(didFinish)));
}

VeltoSaveCoordinator::VeltoSaveCoordinator(std::filesystem::path folderURL, SaveOperation save, DidFinish didFinish)
    : folderURL_(std::move(folderURL))
    , save_(std::move(save))
    , didFinish_(std::move(didFinish)) {}

void VeltoSaveCoordinator::submit(VeltoSaveRequest request) {
    // Taken, not copied: the document and the baselines hold the pages' text, megabytes on every edit.
    VeltoSaveRequest stripped =
        std::move(request).discardingMutations(persistedPageRevisions_, persistedStructureRevision_);
    std::uint64_t generation = stripped.generation;
    if (generation <= durableGeneration_ || generation <= highestSubmittedGeneration_) {
        return;
    }
    highestSubmittedGeneration_ = generation;
    if (!pendingRequest_.has_value() || pendingRequest_->generation < generation) {
        pendingRequest_ = std::move(stripped);
    }
    if (!isSaving_) {
        isSaving_ = true;
        savePendingRequests(); // runs on by itself; the coordinator keeps itself alive meanwhile
    }
}

QCoro::Task<void> VeltoSaveCoordinator::waitUntilDurable(std::uint64_t generation) {
    auto keepAlive = shared_from_this();
    if (durableGeneration_ >= generation) {
        co_return;
    }
    // A write that fails at once ends before the flush that asked for it parks: nothing would answer it.
    if (!isSaving_ && lastFailure_ && lastFailure_->first >= generation) {
        std::rethrow_exception(lastFailure_->second);
    }
    auto waiter = std::make_shared<FlushWaiter>();
    flushWaiters_[generation].push_back(waiter);
    FlushWaiterAwaiter awaiter(waiter); // named: GCC destroys a temporary awaiter twice
    co_await awaiter;
}

std::exception_ptr VeltoSaveCoordinator::failureOf(std::uint64_t generation) const {
    if (!lastFailure_ || lastFailure_->first != generation) {
        return nullptr;
    }
    return lastFailure_->second;
}

QCoro::Task<void> VeltoSaveCoordinator::savePendingRequests() {
    auto keepAlive = shared_from_this();
    while (pendingRequest_.has_value()) {
        VeltoSaveRequest request = std::move(*pendingRequest_);
        pendingRequest_.reset();

        std::optional<VeltoSaveResult> result;
        std::exception_ptr error;
        try {
            QCoro::Task<VeltoSaveResult> saving = save_(request, folderURL_); // not inside co_await: GCC 12
            result = co_await saving;
        } catch (...) {
            error = std::current_exception();
        }

        if (result.has_value()) {
            // A save that left pages out made the others durable, but not the document it was asked to.
            std::exception_ptr notSaved = pagesNotSavedError(*result);
            if (notSaved == nullptr) {
                durableGeneration_ = std::max(durableGeneration_, request.generation);
            }
            recordPersistence(request, *result);
            if (didFinish_) {
                didFinish_(request, result, std::nullopt);
            }
            adjustPendingRequest(request, *result);
            if (notSaved == nullptr) {
                resumeWaiters(request.generation, nullptr);
            } else if (!pendingRequest_.has_value()) {
                lastFailure_ = {request.generation, notSaved};
                resumeWaiters(request.generation, notSaved);
            }
        } else {
            if (didFinish_) {
                didFinish_(request, std::nullopt, errorDescription(error));
            }
            // A newer request answers the flushes of this one; only without one do they fail.
            if (!pendingRequest_.has_value()) {
                lastFailure_ = {request.generation, error};
                resumeWaiters(request.generation, error);
            }
        }
        freeOnLibraryPool(std::move(request)); // a whole library's pages
    }
    isSaving_ = false;
    // Each save copies the pages it writes several times (request, baselines, file text): give back what a
    // big page's copies took, or the process keeps its largest save's worth of memory for good. The walk over
    // the free lists takes tens of milliseconds in a big library: a pool thread makes it, not the interface's.
    libraryThreadPool().start([] { giveFreedMemoryBack(); });
}

// Kept out of the coroutine: GCC 12 leaks temporaries of chained calls inside coroutine bodies.
void VeltoSaveCoordinator::adjustPendingRequest(const VeltoSaveRequest &saved, const VeltoSaveResult &result) {
    if (!pendingRequest_.has_value()) {
        return;
    }
    // The waiting request was built before this outcome: bring it up to what is now on disk.
    pendingRequest_ = pendingRequest_->replacingPageIDs(result.pageIDReplacements)
                          .rebasingMergedPages(result.mergedPages, saved.document)
                          .discardingMutations(persistedPageRevisions_, persistedStructureRevision_)
                          .rebasingExpectedPageBaselines(persistedPageBaselines_);
}

std::exception_ptr VeltoSaveCoordinator::pagesNotSavedError(const VeltoSaveResult &result) {
    if (result.pagesNotSaved.empty()) {
        return nullptr;
    }
    return std::make_exception_ptr(VeltoPagesNotSavedError(result.pagesNotSaved));
}

void VeltoSaveCoordinator::recordPersistence(const VeltoSaveRequest &request, const VeltoSaveResult &result) {
    // The change of a page left out stays to be saved: its revision is not recorded as on disk.
    std::set<Uuid> notSaved;
    for (const VeltoPageNotSaved &page : result.pagesNotSaved) {
        notSaved.insert(page.pageID);
    }
    auto raise = [this, &notSaved](const Uuid &pageID, std::uint64_t revision) {
        if (notSaved.contains(pageID)) {
            return;
        }
        auto [entry, inserted] = persistedPageRevisions_.try_emplace(pageID, revision);
        if (!inserted) {
            entry->second = std::max(entry->second, revision);
        }
    };
    for (const auto &[pageID, revision] : request.changedPageRevisions) {
        raise(pageID, revision);
        auto replacement = result.pageIDReplacements.find(pageID);
        if (replacement != result.pageIDReplacements.end()) {
            raise(replacement->second, revision);
        }
    }
    for (const auto &[pageID, revision] : request.removedPageRevisions) {
        raise(pageID, revision);
    }
    if (request.structureRevision.has_value()) {
        persistedStructureRevision_ = std::max(persistedStructureRevision_, *request.structureRevision);
    }
    for (const auto &[pageID, revision] : request.removedPageRevisions) {
        persistedPageBaselines_.erase(pageID);
    }
    for (const auto &[oldID, newID] : result.pageIDReplacements) {
        persistedPageBaselines_.erase(oldID);
    }
    for (const auto &[pageID, baseline] : result.persistedPageBaselines) {
        persistedPageBaselines_.insert_or_assign(pageID, baseline); // shares the written text: no copy of the page
    }
}

void VeltoSaveCoordinator::resumeWaiters(std::uint64_t throughGeneration, std::exception_ptr error) {
    std::vector<std::shared_ptr<FlushWaiter>> answered;
    for (auto entry = flushWaiters_.begin(); entry != flushWaiters_.end() && entry->first <= throughGeneration;) {
        answered.insert(answered.end(), entry->second.begin(), entry->second.end());
        entry = flushWaiters_.erase(entry);
    }
    // Each resumed flush may submit or park again; the answered list is already out of the map.
    for (const auto &waiter : answered) {
        waiter->resumed = true;
        waiter->error = error;
        if (waiter->continuation) {
            std::exchange(waiter->continuation, {}).resume();
        }
    }
}

} // namespace velto
