#include "support/ui/WidgetTestEnvironment.h"

#include "ui/Appearance.h"

#include <QtGui/QFont>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

namespace velto::testing {
namespace {

/// One QApplication for the whole executable (offscreen), with the desktop's settings replaced by fixed
/// ones, so that no test reads the real session's portal.
class WidgetEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setDisplayOptionsProvider(&testDisplayOptions());
        setColorSchemeSource(&testColorScheme());
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "velto_widget_tests";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    }
};

const auto *const registeredEnvironment = ::testing::AddGlobalTestEnvironment(new WidgetEnvironment);

} // namespace

FixedDisplayOptions &testDisplayOptions() {
    static FixedDisplayOptions *options = new FixedDisplayOptions;
    return *options;
}

FixedColorScheme &testColorScheme() {
    static FixedColorScheme *scheme = new FixedColorScheme;
    return *scheme;
}

void resetDesktop() {
    testDisplayOptions().set({});
    testColorScheme().set(ColorScheme::light);
    VeltoAppearance::shared().setPreference(AppearanceChoice::system);
}

} // namespace velto::testing
