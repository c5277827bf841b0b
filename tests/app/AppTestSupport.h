#pragma once

#include <QtWidgets/QApplication>

#include <cstdlib>

namespace velto::testing {

/// The shell's tests need a widget application; without a display they run on the offscreen platform.
inline QApplication &widgetApplication() {
    static int argc = 1;
    static char name[] = "velto_app_tests";
    static char *argv[] = {name, nullptr};
    static QApplication *application = [] {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        return new QApplication(argc, argv);
    }();
    return *application;
}

} // namespace velto::testing
