#pragma once

#include <qcoro/qcorotask.h>

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

namespace velto::testing {

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
