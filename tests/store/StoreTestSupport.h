#pragma once

#include "store/Scheduler.h"

#include <QtCore/QCoreApplication>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velto::testing {

/// A scheduler whose time moves only when the test advances it; due actions run on the test's thread.
class ManualScheduler : public VeltoScheduler {
public:
    std::unique_ptr<VeltoScheduledAction> schedule(std::chrono::milliseconds delay,
                                                   std::function<void()> action) override;

    /// Moves time forward, running every action that falls due, in order of due time.
    void advance(std::chrono::milliseconds interval);
    /// The number of actions waiting (cancelled ones excluded).
    std::size_t pendingCount() const;
    std::chrono::milliseconds now() const { return now_; }

private:
    struct Entry {
        std::chrono::milliseconds due;
        std::uint64_t order;
        std::function<void()> action;
        std::shared_ptr<bool> cancelled;
    };
    std::chrono::milliseconds now_{0};
    std::uint64_t nextOrder_ = 0;
    std::vector<Entry> entries_;
};

/// How a coroutine under test ended, readable without an event loop when everything it awaits is manual.
template <typename T> struct Completion {
    bool finished = false;
    std::optional<T> value;
    std::exception_ptr error;
    /// The error's what() text; empty when none.
    std::string errorText() const;
};
template <> struct Completion<void> {
    bool finished = false;
    std::exception_ptr error;
    std::string errorText() const;
};

std::string exceptionText(const std::exception_ptr &error);
template <typename T> std::string Completion<T>::errorText() const {
    return exceptionText(error);
}
inline std::string Completion<void>::errorText() const {
    return exceptionText(error);
}

/// Starts observing a task; the returned record fills in when it ends.
template <typename T> std::shared_ptr<Completion<T>> observe(QCoro::Task<T> task) {
    auto completion = std::make_shared<Completion<T>>();
    [](QCoro::Task<T> awaited, std::shared_ptr<Completion<T>> record) -> QCoro::Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await awaited;
            } else {
                record->value = co_await awaited;
            }
        } catch (...) {
            record->error = std::current_exception();
        }
        record->finished = true;
    }(std::move(task), completion);
    return completion;
}

/// Runs the Qt event loop until `done` holds or `timeout` passes; returns whether `done` held.
bool processEventsUntil(const std::function<bool()> &done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(30));
/// Runs the Qt event loop for `interval` (for checking that something does not happen).
void processEventsFor(std::chrono::milliseconds interval);

/// A suspended asynchronous operation that the test finishes by hand: a stand-in for a library call that
/// is still running on another thread.
template <typename T> class Gate {
public:
    struct State {
        std::coroutine_handle<> continuation;
        bool opened = false;
        std::optional<T> value;
        std::exception_ptr error;
    };

    /// Suspends until open() or fail() is called.
    QCoro::Task<T> wait() {
        auto state = state_;
        struct Awaiter {
            std::shared_ptr<State> state;
            bool await_ready() const noexcept { return state->opened; }
            void await_suspend(std::coroutine_handle<> continuation) noexcept { state->continuation = continuation; }
            void await_resume() const noexcept {}
        };
        Awaiter awaiter{state}; // named: GCC destroys a temporary awaiter twice
        co_await awaiter;
        if (state->error) {
            std::rethrow_exception(state->error);
        }
        co_return std::move(*state->value);
    }

    bool isWaiting() const { return static_cast<bool>(state_->continuation); }
    void open(T value) {
        state_->value = std::move(value);
        release();
    }
    void fail(std::exception_ptr error) {
        state_->error = std::move(error);
        release();
    }

private:
    void release() {
        state_->opened = true;
        if (state_->continuation) {
            std::exchange(state_->continuation, {}).resume();
        }
    }
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace velto::testing
