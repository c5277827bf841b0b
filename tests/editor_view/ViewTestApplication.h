#pragma once

#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace velto::testing {

/// Fonts, input events and widgets need an application object. The first call makes one (offscreen under
/// ctest) unless one exists, and destroys it when the tests end, so that the font system releases what it
/// holds before the leak check.
inline QCoreApplication &viewTestApplication() {
    class Holder : public ::testing::Environment {
    public:
        void TearDown() override { application.reset(); }
        std::unique_ptr<QApplication> application;
    };
    static int argc = 1;
    static char name[] = "velto_editor_view_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *instance = [] {
        if (QCoreApplication::instance() != nullptr) {
            return QCoreApplication::instance();
        }
        auto *holder = new Holder;
        holder->application = std::make_unique<QApplication>(argc, argv);
        ::testing::AddGlobalTestEnvironment(holder); // owned by GoogleTest
        return static_cast<QCoreApplication *>(holder->application.get());
    }();
    return *instance;
}

} // namespace velto::testing
