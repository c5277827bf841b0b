#pragma once

#include "ViewTestApplication.h"
#include "store/Scheduler.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <qcoro/qcorotask.h>

#include <algorithm>
#include <chrono>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velto::testing {

/// The application object Qt's timers and event loop need: the one the layer's view tests share.
inline void ensureApplication() {
    viewTestApplication();
}

/// A scheduler whose time moves only when the test says so; due actions run on the test's thread.
class FakeEditorScheduler : public VeltoScheduler {
public:
    std::unique_ptr<VeltoScheduledAction> schedule(std::chrono::milliseconds delay,
                                                   std::function<void()> action) override {
        auto cancelled = std::make_shared<bool>(false);
        entries_.push_back(Entry{now_ + delay, nextOrder_++, std::move(action), cancelled});
        return std::make_unique<Handle>(cancelled);
    }

    /// Moves time forward, running every action that falls due, in order of due time.
    void advance(std::chrono::milliseconds interval) {
        const std::chrono::milliseconds target = now_ + interval;
        while (true) {
            std::erase_if(entries_, [](const Entry &entry) { return *entry.cancelled; });
            auto next = std::min_element(entries_.begin(), entries_.end(), [](const Entry &a, const Entry &b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
            if (next == entries_.end() || next->due > target) {
                break;
            }
            Entry entry = std::move(*next);
            entries_.erase(next);
            now_ = entry.due;
            *entry.cancelled = true;
            entry.action();
        }
        now_ = target;
    }

    /// Actions still waiting, cancelled ones left out.
    std::size_t pendingCount() const {
        return static_cast<std::size_t>(
            std::count_if(entries_.begin(), entries_.end(), [](const Entry &entry) { return !*entry.cancelled; }));
    }
    std::chrono::milliseconds now() const { return now_; }

private:
    struct Handle : VeltoScheduledAction {
        explicit Handle(std::shared_ptr<bool> cancelled)
            : cancelled(std::move(cancelled)) {}
        ~Handle() override { *cancelled = true; }
        void cancel() override { *cancelled = true; }
        std::shared_ptr<bool> cancelled;
    };
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

/// Runs the Qt event loop until `done` holds or `timeout` passes; answers whether `done` held.
inline bool processEventsUntil(const std::function<bool()> &done,
                               std::chrono::milliseconds timeout = std::chrono::milliseconds(10'000)) {
    ensureApplication();
    QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

/// Runs a task to its end on the event loop; gives its value or rethrows its error.
template <typename T> T finish(QCoro::Task<T> task) {
    bool done = false;
    std::exception_ptr failure;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    auto waiting = [&]() -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await task;
                value = true;
            } else {
                value = co_await task;
            }
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    };
    auto running = waiting();
    processEventsUntil([&] { return done; });
    if (failure) {
        std::rethrow_exception(failure);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*value);
    }
}

/// A suspended operation that the test finishes by hand: a stand-in for work still running elsewhere.
template <typename T> class Gate {
public:
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
    struct State {
        std::coroutine_handle<> continuation;
        bool opened = false;
        std::optional<T> value;
        std::exception_ptr error;
    };
    void release() {
        state_->opened = true;
        if (state_->continuation) {
            std::exchange(state_->continuation, {}).resume();
        }
    }
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace velto::testing
