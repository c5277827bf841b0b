#pragma once

#include "library/save/SaveRequest.h"
#include "library/save/SaveResult.h"

#include <qcoro/qcorotask.h>

#include <coroutine>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velto {

/// Runs the saves of one Pages folder one at a time and answers flushes.
///
/// Lives on the main thread: requests arrive in the order the store made them, and each outcome is
/// handed to the store before the request waiting behind it is adjusted. Only the write itself runs
/// elsewhere, on the library pool. While a write runs, only the newest request waits; the ones it replaced
/// are never written. A waiting flush keeps the coordinator alive.
class VeltoSaveCoordinator : public std::enable_shared_from_this<VeltoSaveCoordinator> {
public:
    /// The library write; it runs off the main thread and its error is the save's error. The request stays
    /// alive and unchanged until the returned task ends, so the write may read it without a copy of the
    /// library's text being made on the main thread.
    using SaveOperation = std::function<QCoro::Task<VeltoSaveResult>(const VeltoSaveRequest &, std::filesystem::path)>;
    /// Told of each finished save on the main thread: the result on success, the error's description on failure.
    using DidFinish = std::function<void(const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &result,
                                         const std::optional<std::string> &errorDescription)>;

    static std::shared_ptr<VeltoSaveCoordinator> make(std::filesystem::path folderURL, SaveOperation save,
                                                      DidFinish didFinish);

    /// Accepts a request newer than every request accepted and every generation made durable; drops others.
    void submit(VeltoSaveRequest request);

    /// Returns once `generation` is durable; throws the error of the save that should have made it so when
    /// nothing newer was waiting behind that save. A save that wrote every page but some is not durable: its
    /// flushes fail with a VeltoPagesNotSavedError naming the pages left out.
    QCoro::Task<void> waitUntilDurable(std::uint64_t generation);

    const std::filesystem::path &folderURL() const { return folderURL_; }
    std::uint64_t highestSubmittedGeneration() const { return highestSubmittedGeneration_; }
    std::uint64_t durableGeneration() const { return durableGeneration_; }
    bool isSaving() const { return isSaving_; }
    const std::optional<VeltoSaveRequest> &pendingRequest() const { return pendingRequest_; }
    /// The error of `generation`'s save when it was the last to fail with nothing newer behind it; null otherwise.
    std::exception_ptr failureOf(std::uint64_t generation) const;

private:
    /// One parked flush: resumed with nothing or with the error of a failed save.
    struct FlushWaiter {
        std::coroutine_handle<> continuation;
        bool resumed = false;
        std::exception_ptr error;
    };
    class FlushWaiterAwaiter;

    VeltoSaveCoordinator(std::filesystem::path folderURL, SaveOperation save, DidFinish didFinish);

    QCoro::Task<void> savePendingRequests();
    /// A VeltoPagesNotSavedError when the save left pages out; null when it wrote them all.
    static std::exception_ptr pagesNotSavedError(const VeltoSaveResult &result);
    void recordPersistence(const VeltoSaveRequest &request, const VeltoSaveResult &result);
    void adjustPendingRequest(const VeltoSaveRequest &saved, const VeltoSaveResult &result);
    void resumeWaiters(std::uint64_t throughGeneration, std::exception_ptr error);

    const std::filesystem::path folderURL_;
    const SaveOperation save_;
    const DidFinish didFinish_;
    std::uint64_t highestSubmittedGeneration_ = 0;
    std::uint64_t durableGeneration_ = 0;
    VeltoSaveRequest::Revisions persistedPageRevisions_;
    std::map<Uuid, VeltoPageBaseline> persistedPageBaselines_;
    std::uint64_t persistedStructureRevision_ = 0;
    std::optional<VeltoSaveRequest> pendingRequest_;
    bool isSaving_ = false;
    /// The generation and error of the last save that failed with nothing newer behind it.
    std::optional<std::pair<std::uint64_t, std::exception_ptr>> lastFailure_;
    std::map<std::uint64_t, std::vector<std::shared_ptr<FlushWaiter>>> flushWaiters_;
};

/// The sentence that describes a caught error: its what() text.
std::string errorDescription(const std::exception_ptr &error);

} // namespace velto
