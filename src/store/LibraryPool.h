#pragma once

#include <QtConcurrent/QtConcurrentRun>
#include <QtCore/QThreadPool>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>

#include <exception>
#include <memory>
#include <type_traits>
#include <utility>
#include <variant>

namespace velto {

/// The threads that run page-library operations. A library operation may block for a long time on
/// another process's folder lock; on a pool of their own such waits never starve Qt's global pool.
QThreadPool &libraryThreadPool();

namespace detail {

/// A pool result: the value, or the error the work threw (rethrown on the awaiting thread).
template <typename T> struct PoolOutcome { std::variant<std::monostate, T, std::exception_ptr> value; };

template <> struct PoolOutcome<void> { std::exception_ptr error; };

} // namespace detail

/// Runs `work` on the library pool and resumes the awaiting coroutine on its own thread with the result,
/// or with the exception the work threw.
template <typename Work> auto runOnLibraryPool(Work work) -> QCoro::Task<std::invoke_result_t<Work &>> {
    using Result = std::invoke_result_t<Work &>;
    using Outcome = detail::PoolOutcome<Result>;
    QFuture<Outcome> future = QtConcurrent::run(&libraryThreadPool(), [work = std::move(work)]() mutable {
        Outcome outcome;
        try {
            if constexpr (std::is_void_v<Result>) {
                work();
            } else {
                outcome.value.template emplace<1>(work());
            }
        } catch (...) {
            if constexpr (std::is_void_v<Result>) {
                outcome.error = std::current_exception();
            } else {
                outcome.value.template emplace<2>(std::current_exception());
            }
        }
        return outcome;
    });
    // Awaited as a future of nothing: awaiting the future itself answers a copy of its result, and a load's
    // result holds the whole library, 30,000 pages copied on the main thread at every refresh. The result is
    // moved out once the work is done.
    QFuture<void> finished(future);
    co_await finished;
    Outcome outcome = future.takeResult();
    if constexpr (std::is_void_v<Result>) {
        if (outcome.error) {
            std::rethrow_exception(outcome.error);
        }
    } else {
        if (auto *error = std::get_if<2>(&outcome.value)) {
            std::rethrow_exception(*error);
        }
        co_return std::move(std::get<1>(outcome.value));
    }
}

/// Frees `value` on a pool thread: what a copy of a whole library holds (30,000 pages) takes the main thread
/// milliseconds to free, which nothing waits for.
template <typename Value> void freeOnLibraryPool(Value value) {
    auto held = std::make_shared<Value>(std::move(value));
    libraryThreadPool().start([held = std::move(held)]() mutable { held.reset(); });
}

} // namespace velto
