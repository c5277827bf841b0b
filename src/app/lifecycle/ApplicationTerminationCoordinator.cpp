#include "app/lifecycle/ApplicationTerminationCoordinator.h"

#include <QtCore/QPointer>

#include <cstdio>
#include <exception>

namespace velto {

ApplicationTerminationCoordinator::ApplicationTerminationCoordinator(std::chrono::milliseconds timeout, Reply reply,
                                                                     ResolveFailure resolveFailure,
                                                                     std::function<void()> requestTermination,
                                                                     VeltoScheduler *scheduler)
    : timeout_(timeout)
    , reply_(std::move(reply))
    , resolveFailure_(std::move(resolveFailure))
    , requestTermination_(std::move(requestTermination))
    , scheduler_(scheduler != nullptr ? scheduler : &qtScheduler()) {}

ApplicationTerminationCoordinator::~ApplicationTerminationCoordinator() = default;

std::string finalSaveFailureLogLine(const std::string &description) {
    return "Velto could not complete its final save: " + description;
}

void ApplicationTerminationCoordinator::begin(Flush flush, bool mayAsk) {
    if (activeAttempt_) {
        // A second quit while one runs starts nothing, but a quit nobody can answer must not wait for an alert.
        activeAttemptMayAsk_ = activeAttemptMayAsk_ && mayAsk;
        return;
    }
    nextAttempt_ += 1;
    activeAttempt_ = nextAttempt_;
    activeAttemptMayAsk_ = mayAsk;
    std::uint64_t attempt = nextAttempt_;
    // The time-out first: a flush with nothing to wait for finishes the attempt before runSave returns.
    QPointer<ApplicationTerminationCoordinator> self(this);
    timeoutTask_ = scheduler_->schedule(timeout_, [self, attempt] {
        if (self) {
            self->handle(TerminationSaveFailure::timedOut(), attempt);
        }
    });
    runSave(std::move(flush), attempt);
}

QCoro::Task<void> ApplicationTerminationCoordinator::runSave(Flush flush, std::uint64_t attempt) {
    QPointer<ApplicationTerminationCoordinator> self(this);
    std::optional<std::string> errorDescription;
    try {
        QCoro::Task<void> flushing = flush(); // named: GCC 12 destroys a temporary inside co_await twice
        co_await flushing;
    } catch (const std::exception &error) {
        errorDescription = error.what();
    } catch (...) {
        errorDescription = "An unknown error occurred.";
    }
    if (errorDescription) {
        std::fprintf(stderr, "%s\n", finalSaveFailureLogLine(*errorDescription).c_str());
    }
    if (!self) {
        co_return;
    }
    if (errorDescription) {
        self->handle(TerminationSaveFailure::failed(*errorDescription), attempt);
    } else {
        self->finish(true, attempt);
    }
}

void ApplicationTerminationCoordinator::finish(bool allowingTermination, std::uint64_t attempt) {
    if (activeAttempt_ != attempt) {
        return;
    }
    activeAttempt_.reset();
    timeoutTask_.reset(); // dropping the handle cancels the time-out
    reply_(allowingTermination);
}

void ApplicationTerminationCoordinator::handle(const TerminationSaveFailure &failure, std::uint64_t attempt) {
    if (activeAttempt_ != attempt || askingAttempt_ == attempt) {
        return; // one question per attempt: the one open already offers every way on
    }
    // The attempt has its answer: an alert about it that stays open past the time-out gets no second one, about a
    // slow save, stacked over it.
    timeoutTask_.reset();
    TerminationSaveDecision decision = TerminationSaveDecision::quitWithoutSaving;
    if (activeAttemptMayAsk_) {
        askingAttempt_ = attempt;
        decision = resolveFailure_(failure); // a modal alert: the save runs on meanwhile, and may fail
        askingAttempt_.reset();
        // A quit nobody can answer (a signal, the session's end) that came while the question was open decides
        // it, whatever closed the alert: the quit goes on, and what the save left on no disk is kept as on a quit.
        if (!activeAttemptMayAsk_) {
            decision = TerminationSaveDecision::quitWithoutSaving;
        }
    }
    switch (decision) {
    case TerminationSaveDecision::retry: {
        finish(false, attempt);
        QPointer<ApplicationTerminationCoordinator> self(this);
        retryRequest_ = scheduler_->schedule(std::chrono::milliseconds(0), [self] {
            if (self) {
                self->requestTermination_();
            }
        });
        break;
    }
    case TerminationSaveDecision::cancel:
        finish(false, attempt);
        break;
    case TerminationSaveDecision::quitWithoutSaving:
        if (activeAttempt_ == attempt) {
            lastUnconfirmedFailure_ = failure;
        }
        finish(true, attempt);
        break;
    }
}

} // namespace velto
