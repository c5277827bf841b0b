#pragma once

#include "support/async/EventLoopWaits.h"

#include <qcoro/qcorotask.h>

#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace velto::testing {

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

/// Runs a task to its end on the event loop; gives its value or rethrows its error. A task that does not end
/// within `timeout` fails with an error instead of hanging the test.
template <typename T> T finish(QCoro::Task<T> task, std::chrono::milliseconds timeout = generousWait) {
    auto completion = observe(std::move(task));
    if (!processEventsUntil([&] { return completion->finished; }, timeout)) {
        throw std::runtime_error("the task did not finish in time");
    }
    if (completion->error) {
        std::rethrow_exception(completion->error);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*completion->value);
    }
}

} // namespace velto::testing
