#include "store/SaveScheduler.h"

namespace velto {

VeltoSaveScheduler::VeltoSaveScheduler(std::filesystem::path folderURL, SaveOperation save, MakeRequest makeRequest,
                                       DidFinish didFinish)
    : folderURL_(std::move(folderURL))
    , save_(std::move(save))
    , makeRequest_(std::move(makeRequest))
    , didFinish_(std::move(didFinish))
    , session_(std::make_shared<Session>(Session{this})) {}

std::uint64_t VeltoSaveScheduler::schedule() {
    nextGeneration_ += 1;
    std::uint64_t generation = nextGeneration_;
    latestScheduledGeneration_ = generation;
    latestScheduledDocumentRevision_ = documentRevision_;
    documentRevisionOnDisk_.reset();
    // Handed over at once, so that requests reach the coordinator in the order they were made.
    coordinator().submit(makeRequest_(generation));
    return generation;
}

QCoro::Task<void> VeltoSaveScheduler::flush() {
    if (holdsDocumentAsOnDisk()) {
        co_return;
    }
    bool isCovered = latestScheduledGeneration_.has_value() && latestScheduledDocumentRevision_ == documentRevision_ &&
                     latestFailedGeneration_ != latestScheduledGeneration_;
    std::uint64_t generation = isCovered ? *latestScheduledGeneration_ : schedule();
    // The coordinator is kept for the wait: the scheduler may begin another session, or be gone, meanwhile.
    std::shared_ptr<VeltoSaveCoordinator> coordinator = coordinator_;
    co_await coordinator->waitUntilDurable(generation);
}

std::exception_ptr VeltoSaveScheduler::failureOfLatestSave() const {
    if (!latestFailedGeneration_ || latestFailedGeneration_ != latestScheduledGeneration_ ||
        latestScheduledDocumentRevision_ != documentRevision_ || coordinator_ == nullptr) {
        return nullptr;
    }
    return coordinator_->failureOf(*latestFailedGeneration_);
}

bool VeltoSaveScheduler::hasOutstandingSave(bool hasPendingMutations) const {
    if (holdsDocumentAsOnDisk()) {
        return false;
    }
    if (latestScheduledDocumentRevision_ != documentRevision_) {
        return true;
    }
    if (latestScheduledGeneration_.has_value() && *latestScheduledGeneration_ > latestCompletedGeneration_) {
        return true;
    }
    // A failed last save leaves its changes pending; the next flush saves them again or fails with its error.
    return hasPendingMutations && latestFailedGeneration_.has_value() &&
           latestFailedGeneration_ == latestScheduledGeneration_;
}

std::uint64_t VeltoSaveScheduler::pageSaveCount(const Uuid &pageID) const {
    auto found = pageSaveCounts_.find(pageID);
    return found == pageSaveCounts_.end() ? 0 : found->second;
}

void VeltoSaveScheduler::documentWasReloaded() {
    latestScheduledDocumentRevision_.reset();
    latestFailedGeneration_.reset();
    documentRevisionOnDisk_.reset();
}

void VeltoSaveScheduler::documentWasReloadedAsOnDisk() {
    documentWasReloaded();
    documentRevisionOnDisk_ = documentRevision_;
}

void VeltoSaveScheduler::beginSession(std::filesystem::path folderURL) {
    folderURL_ = std::move(folderURL);
    session_ = std::make_shared<Session>(Session{this}); // the old coordinator's outcomes find no session now
    coordinator_.reset();
    latestScheduledGeneration_.reset();
    latestScheduledDocumentRevision_.reset();
    latestFailedGeneration_.reset();
    documentRevisionOnDisk_.reset();
    pageSaveCounts_.clear();
}

VeltoSaveCoordinator &VeltoSaveScheduler::coordinator() {
    if (coordinator_ == nullptr) {
        std::weak_ptr<Session> session = session_;
        coordinator_ = VeltoSaveCoordinator::make(
            folderURL_, save_,
            [session](const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                      const std::optional<std::string> &errorDescription) {
                if (std::shared_ptr<Session> current = session.lock()) {
                    current->scheduler->takeOutcome(request, result, errorDescription);
                }
            });
    }
    return *coordinator_;
}

void VeltoSaveScheduler::takeOutcome(const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                                     const std::optional<std::string> &errorDescription) {
    if (request.generation < latestCompletedGeneration_) {
        return; // an older outcome never overrides a newer one
    }
    latestCompletedGeneration_ = request.generation;
    // The changes of a failed save, and those of the pages a save left out, stay pending for the next save.
    if (result.has_value() && result->pagesNotSaved.empty()) {
        latestFailedGeneration_.reset();
    } else {
        latestFailedGeneration_ = request.generation;
    }
    if (result.has_value()) {
        for (const auto &[pageID, baseline] : result->persistedPageBaselines) {
            pageSaveCounts_[pageID] += 1;
        }
    }
    if (didFinish_) {
        didFinish_(request, result, errorDescription);
    }
}

} // namespace velto
