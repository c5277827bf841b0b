#pragma once

#include "library/save/SaveRequest.h"
#include "library/save/SaveResult.h"
#include "store/SaveCoordinator.h"

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace velto {

/// Decides when the store's document is saved, and under which generation, and answers flushes.
///
/// Every save is the whole document as it was when it was scheduled, numbered by a generation that only
/// grows. The scheduler knows the document only by its revision, raised on every change, so it never holds
/// a second copy of the text. Its rule: a flush waits for the generation that covers the document as it was
/// when the flush was called (the latest scheduled one when nothing changed since and it did not fail, else
/// one the flush schedules itself), never for a later one and never for less. Nothing pending is ever
/// left out or replaced: a change after a schedule makes the next flush schedule again, and a failed save
/// leaves its changes to the next one. Outcomes reach the store in generation order, one library session at a
/// time: a late outcome of an earlier session is dropped.
///
/// Confined to the main thread, like the store that owns it; the writes run through a save coordinator, one
/// per library session.
class VeltoSaveScheduler {
public:
    using SaveOperation = VeltoSaveCoordinator::SaveOperation;
    /// Builds the request that saves the document as it is now under `generation`.
    using MakeRequest = std::function<VeltoSaveRequest(std::uint64_t generation)>;
    /// Told of each outcome taken, after the scheduler's own bookkeeping: the result on success, the error's
    /// description on failure.
    using DidFinish = VeltoSaveCoordinator::DidFinish;

    VeltoSaveScheduler(std::filesystem::path folderURL, SaveOperation save, MakeRequest makeRequest,
                       DidFinish didFinish);

    /// The last generation handed out; the first save gets generation 1.
    std::uint64_t nextGeneration() const { return nextGeneration_; }
    /// The generation of the most recent schedule of this library session.
    std::optional<std::uint64_t> latestScheduledGeneration() const { return latestScheduledGeneration_; }
    /// The greatest generation whose outcome was taken, success or failure.
    std::uint64_t latestCompletedGeneration() const { return latestCompletedGeneration_; }
    /// The generation of the most recent failed save; nothing after a success.
    std::optional<std::uint64_t> latestFailedGeneration() const { return latestFailedGeneration_; }

    /// Called after every change of the document, saved or not.
    void documentDidChange() { documentRevision_ += 1; }
    /// Raised by every change of the document.
    std::uint64_t documentRevision() const { return documentRevision_; }

    /// Hands the document as it is now to the coordinator under a new generation, and answers it.
    std::uint64_t schedule();

    /// Returns once the document as it is now is durable; throws the error of the save that should have made
    /// it so. Schedules a save when no scheduled one covers the document.
    QCoro::Task<void> flush();

    /// The error of the latest save when it failed and the document is still as that save had it; null otherwise.
    std::exception_ptr failureOfLatestSave() const;

    /// Whether a save is still owed: a change not yet scheduled, a scheduled save not yet finished, or, when
    /// `hasPendingMutations`, the changes of a last save that failed.
    bool hasOutstandingSave(bool hasPendingMutations) const;

    /// The number of successful saves that wrote the page: a read of the page that began before the number
    /// changed may be older than what the store holds.
    std::uint64_t pageSaveCount(const Uuid &pageID) const;

    /// The document was replaced by one read from disk: no scheduled save covers it, and no failure is owed.
    void documentWasReloaded();
    /// The document was replaced by exactly what the library on disk holds: until it changes or a save is
    /// scheduled, a flush owes no save and makes no request (a copy of every page) for one.
    void documentWasReloadedAsOnDisk();
    /// Whether the document is still the one the last reload read, unchanged and with no save scheduled since.
    bool holdsDocumentAsOnDisk() const { return documentRevisionOnDisk_ == documentRevision_; }

    /// A library session on `folderURL` begins: saves go to a new coordinator for it, and the outcomes of the
    /// old one are dropped. Generations keep growing.
    void beginSession(std::filesystem::path folderURL);

private:
    /// What the coordinator of one library session reports to: gone once another session began.
    struct Session {
        VeltoSaveScheduler *scheduler;
    };

    VeltoSaveCoordinator &coordinator();
    void takeOutcome(const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                     const std::optional<std::string> &errorDescription);

    std::filesystem::path folderURL_;
    const SaveOperation save_;
    const MakeRequest makeRequest_;
    const DidFinish didFinish_;

    std::uint64_t nextGeneration_ = 0;
    std::optional<std::uint64_t> latestScheduledGeneration_;
    std::uint64_t latestCompletedGeneration_ = 0;
    std::optional<std::uint64_t> latestFailedGeneration_;
    // The document the latest schedule saved, known by its revision: the two are equal exactly while the
    // document is unchanged since.
    std::uint64_t documentRevision_ = 0;
    std::optional<std::uint64_t> latestScheduledDocumentRevision_;
    std::optional<std::uint64_t> documentRevisionOnDisk_;
    std::map<Uuid, std::uint64_t> pageSaveCounts_;

    std::shared_ptr<Session> session_;
    std::shared_ptr<VeltoSaveCoordinator> coordinator_; // created on first use in each session
};

} // namespace velto
