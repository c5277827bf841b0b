#pragma once

#include "platform/desktop/Scheduler.h"

#include <QtCore/QObject>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace velto {

/// Why the final save did not confirm: it threw (with the error's description), or it took too long.
struct TerminationSaveFailure {
    enum class Kind { failed, timedOut };
    Kind kind = Kind::timedOut;
    std::string description;

    static TerminationSaveFailure failed(std::string description) { return {Kind::failed, std::move(description)}; }
    static TerminationSaveFailure timedOut() { return {Kind::timedOut, {}}; }
    friend bool operator==(const TerminationSaveFailure &, const TerminationSaveFailure &) = default;
};

enum class TerminationSaveDecision { retry, cancel, quitWithoutSaving };

/// Runs the final save before the application quits: one attempt at a time, each numbered, so that a late
/// result of an earlier attempt never acts on a later one. Exactly one reply is given per attempt.
class ApplicationTerminationCoordinator : public QObject {
public:
    using Reply = std::function<void(bool allowingTermination)>;
    using ResolveFailure = std::function<TerminationSaveDecision(const TerminationSaveFailure &)>;
    using Flush = std::function<QCoro::Task<void>()>;

    ApplicationTerminationCoordinator(std::chrono::milliseconds timeout, Reply reply, ResolveFailure resolveFailure,
                                      std::function<void()> requestTermination, VeltoScheduler *scheduler = nullptr);
    ~ApplicationTerminationCoordinator() override;

    /// Starts an attempt unless one is active. Without `mayAsk` (a quit nobody may be present for: a signal, the
    /// session's end) a failure is never put to the user: it quits without saving more, and a question about the
    /// active attempt still open is answered that way once its alert closes.
    void begin(Flush flush, bool mayAsk = true);
    void finish(bool allowingTermination, std::uint64_t attempt);
    /// Puts the active attempt's failure to the user and applies the answer. While that question is open a
    /// further failure of the attempt (its time-out, or its save failing) asks nothing.
    void handle(const TerminationSaveFailure &failure, std::uint64_t attempt);

    std::optional<std::uint64_t> activeAttempt() const { return activeAttempt_; }
    std::uint64_t nextAttempt() const { return nextAttempt_; }

    /// Called with the failure of the last attempt that ended without a confirmed save (for the exit status).
    std::optional<TerminationSaveFailure> lastUnconfirmedFailure() const { return lastUnconfirmedFailure_; }

private:
    QCoro::Task<void> runSave(Flush flush, std::uint64_t attempt);

    std::chrono::milliseconds timeout_;
    Reply reply_;
    ResolveFailure resolveFailure_;
    std::function<void()> requestTermination_;
    VeltoScheduler *scheduler_;
    std::uint64_t nextAttempt_ = 0;
    std::optional<std::uint64_t> activeAttempt_;
    bool activeAttemptMayAsk_ = true;
    std::optional<std::uint64_t> askingAttempt_; // the attempt whose failure is being put to the user
    std::unique_ptr<VeltoScheduledAction> timeoutTask_;
    std::unique_ptr<VeltoScheduledAction> retryRequest_;
    std::optional<TerminationSaveFailure> lastUnconfirmedFailure_;
};

/// The one line written when the final save fails.
std::string finalSaveFailureLogLine(const std::string &description);

} // namespace velto
