// The Settings window's shortcut recorder on a real X server, for the settings tests under Xvfb.
//   velto-settings-recorder          the Settings window on its Shortcuts page, with a stand-in for the shell
//                                    that holds Alt+Space as a global hot key and lets it go while a recorder
//                                    records; reads "record" and "state" on standard input.
//   velto-settings-recorder --hold   another client: a small window and a passive grab of Alt+Space.
// Every event is one line on standard output.
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/X11KeyGrabs.h"
#include "preferences/Preferences.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsWindowController.h"
#include "ui/KeyNames.h"

#include <QtCore/QSocketNotifier>
#include <QtWidgets/QApplication>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

using namespace velto;

constexpr std::uint32_t spaceKeyCode = 49;

void say(const std::string &line) {
    std::cout << line << std::endl;
}

const char *grabResultName(X11KeyGrabs::GrabResult result) {
    switch (result) {
    case X11KeyGrabs::GrabResult::grabbed:
        return "grabbed";
    case X11KeyGrabs::GrabResult::heldByAnotherClient:
        return "held";
    case X11KeyGrabs::GrabResult::failed:
        return "failed";
    }
    return "failed";
}

struct AltSpaceGrab {
    X11KeyGrabs &grabs;
    std::uint8_t keyCode() const { return static_cast<std::uint8_t>(*keyCodes::x11KeyCode(spaceKeyCode)); }
    std::uint16_t modifiers() const { return grabs.modifierMask(ModifierFlags::option); }
    X11KeyGrabs::GrabResult grab() { return grabs.grab(keyCode(), modifiers()); }
    void ungrab() { grabs.ungrab(keyCode(), modifiers()); }
};

int holdAltSpace(QApplication &application) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Other client"));
    window.resize(200, 100);
    window.show();
    std::unique_ptr<X11KeyGrabs> grabs = X11KeyGrabs::forApplication();
    if (!grabs) {
        say("no-x11");
        return 1;
    }
    QObject::connect(grabs.get(), &X11KeyGrabs::keyEvent, [](const X11KeyGrabs::KeyEvent &event) {
        if (event.isPress) {
            say("hotkey");
        }
    });
    AltSpaceGrab altSpace{*grabs};
    X11KeyGrabs::GrabResult result = altSpace.grab();
    say(std::string("holding ") + grabResultName(result) + " " + std::to_string(window.winId()));
    return application.exec();
}

int runSettings(QApplication &application) {
    std::unique_ptr<X11KeyGrabs> grabs = X11KeyGrabs::forApplication();
    if (!grabs) {
        say("no-x11");
        return 1;
    }
    AltSpaceGrab altSpace{*grabs};
    say(std::string("grab ") + grabResultName(altSpace.grab()));

    VeltoPreferences::registerDefaults();
    SettingsWindowCallbacks callbacks;
    callbacks.storage.pagesFolderURL = [] { return std::filesystem::path("/tmp"); };
    callbacks.onShortcutRecordingChange = [&altSpace](bool recording) {
        if (recording) {
            altSpace.ungrab();
            say("recording true");
        } else {
            say(std::string("recording false ") + grabResultName(altSpace.grab()));
        }
    };
    callbacks.shortcuts.onShortcutChange = [&altSpace] {
        altSpace.ungrab();
        X11KeyGrabs::GrabResult result = altSpace.grab();
        say(std::string("register ") + grabResultName(result));
        return ShortcutRegistrationAvailability{result == X11KeyGrabs::GrabResult::grabbed, true};
    };
    SettingsPresenters presenters = SettingsPresenters::live();
    presenters.presentAlert = [](QWidget *, SettingsAlert alert) -> QCoro::Task<int> {
        say("alert " + alert.title.toStdString());
        co_return firstButtonResponse;
    };
    SettingsWindowController controller(callbacks, presenters);
    InlineShortcutRecorder *recorder = controller.shortcutsPage().shortcutRecorder;
    QObject::connect(recorder, &InlineShortcutRecorder::offerAnswered,
                     [](const std::optional<GlobalShortcut> &shortcut, bool accepted) {
                         say("offered " + (shortcut ? KeyNames::text(*shortcut).toStdString() : std::string("none")) +
                             (accepted ? " accepted" : " refused"));
                     });
    controller.showWindow();
    controller.showCategory(SettingsCategory::shortcuts);
    say("ready " + std::to_string(controller.window()->winId()));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string command;
        if (!std::getline(std::cin, command)) {
            input.setEnabled(false);
            application.quit();
            return;
        }
        if (command == "record") {
            controller.window()->activateWindow();
            recorder->setFocus(Qt::MouseFocusReason);
            recorder->startRecording();
        } else if (command == "state") {
            say(std::string("state recording=") + (recorder->isRecording() ? "1" : "0") +
                " grabber=" + (QWidget::keyboardGrabber() == nullptr ? "none" : "recorder"));
        }
    });
    return application.exec();
}

} // namespace

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--hold") {
        return holdAltSpace(application);
    }
    return runSettings(application);
}
