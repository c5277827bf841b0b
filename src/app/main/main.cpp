// The program entry: checks that Velto runs from its application folder, keeps one running instance per user
// setup, and runs the launch sequence from the first turn of the event loop.
#include "app/lifecycle/ApplicationBundleIdentity.h"
#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"
#include "app/lifecycle/LaunchTrace.h"
#include "app/lifecycle/SingleInstance.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/Composition.h"
#include "platform/ApplicationBundle.h"
#include "platform/FreedMemory.h"
#include "platform/desktop/GraphicalSession.h"
#include "platform/desktop/TerminationSignals.h"
#include "preferences/DefaultsDomain.h"

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <cstdio>
#include <optional>
#include <string>

int main(int argc, char **argv) {
    using namespace velto;
    launchTrace::milestone("main");
    giveBigBlocksBackWhenFreed();
    if (!ApplicationBundleIdentity::current().isApplicationBundle()) {
        std::fprintf(stderr, "%s\n", notInBundleMessage);
        return 1;
    }
    // The panel must be placed and the global shortcuts need X11: XWayland under a Wayland session.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        if (std::optional<std::string> missing = missingGraphicalSession()) {
            std::fprintf(stderr, "%s\n", missing->c_str());
            return 1;
        }
    }

    QApplication application(argc, argv);
    // Closing a window (Settings, the Welcome) must never end Velto without its final save.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Velto"));
    const auto &bundle = applicationBundle::current();
    QString bundleIdentifier = QString::fromStdString(bundle.value("CFBundleIdentifier").value_or("app.velto.Velto"));
    QGuiApplication::setDesktopFileName(bundleIdentifier);
    launchTrace::milestone("application created");

    std::vector<std::string> arguments(argv, argv + argc);
    ApplicationTestLaunchConfiguration configuration(arguments, processEnvironment());

    SingleInstance instance(SingleInstance::keyFor(
        bundleIdentifier, DefaultsDomain::standardFilePath(),
        configuration.documentURL ? QString::fromStdString(configuration.documentURL->string()) : QString()));
    if (!instance.becomePrimary()) {
        if (!instance.askPrimaryToShow()) {
            std::fprintf(stderr, "Velto is already running but did not answer.\n");
            return 1;
        }
        return 0;
    }

    Composition composition(configuration);
    AppDelegate &delegate = composition.delegate();
    QObject::connect(&instance, &SingleInstance::showRequested, &delegate, &AppDelegate::showPage);
    TerminationSignals terminationSignals([&delegate](int) { delegate.quitWithoutAsking(); });
    // The session's end (logout) saves the same way: nobody may be there to answer an alert.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &delegate,
                     [&delegate](QSessionManager &) { delegate.quitWithoutAsking(); });

    // A quit requested before the event loop runs would be lost and leave an invisible process: the launch
    // steps run from its first turn.
    QTimer::singleShot(0, &delegate, [&delegate] {
        delegate.applicationWillFinishLaunching();
        delegate.applicationDidFinishLaunching();
    });
    int status = QApplication::exec();
    delegate.shutDown();
    return status;
}
