#pragma once

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QEventLoop>

#include <exception>
#include <optional>
#include <type_traits>

namespace velto::editor::testsupport {

/// The application object that Qt's event loop needs; made once for the whole test program.
inline void ensureCoreApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "velto_editor_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

/// Runs the event loop until the task has finished; gives its value or rethrows its exception.
/// (QCoro::waitFor never returns when the awaited task throws.)
template <typename T> T finish(QCoro::Task<T> task) {
    ensureCoreApplication();
    QEventLoop loop;
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
        loop.quit();
    };
    auto running = waiting();
    if (!done) {
        loop.exec();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    if constexpr (!std::is_void_v<T>) {
        return std::move(*value);
    }
}

} // namespace velto::editor::testsupport
