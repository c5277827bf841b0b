#pragma once

#include "support/async/TaskCompletion.h"

#include <QtCore/QCoreApplication>

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
    return velto::testing::finish(std::move(task));
}

} // namespace velto::editor::testsupport
