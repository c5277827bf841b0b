#include "app/shell/Composition.h"

#include "app/lifecycle/LaunchAtLogin.h"
#include "app/lifecycle/ShellTermination.h"
#include "app/menus/ShellMenus.h"
#include "app/shell/ShellSettings.h"
#include "app/welcome/WelcomePresenter.h"
#include "editor/highlight/CodeSyntaxHighlighter.h"
#include "editor_view/layout/ViewEnvironment.h"
#include "panel/window/VeltoPanelController.h"
#include "platform/desktop/SpellingService.h"
#include "preferences/KeyboardInputSourceMonitor.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>

namespace velto {

namespace {

/// The highlighter of the panel's code blocks: results kept up to an estimated 8 MiB, and one run of the engine at a
/// time. A second worker's context costs about as much to start as highlighting hundreds of lines, and what a
/// screen of blocks asks for is mostly less than that: with two, opening a page of small blocks spent a tenth
/// more processor time and coloured its code no sooner.
std::shared_ptr<editor::CodeSyntaxHighlighting> makeCodeHighlighter() {
    editor::HighlightJSSyntaxHighlighter::Configuration configuration;
    configuration.cacheCostLimit = 8'388'608;
    configuration.executionLimit = 1;
    return std::make_shared<editor::HighlightJSSyntaxHighlighter>(configuration);
}

} // namespace

namespace {

/// The Welcome, the menus and the Settings window over the shell, once it exists.
AppDelegate::WindowsFactory shellWindowsFactory(ShellServices services) {
    LaunchAtLoginService launchAtLoginService = services.launchAtLoginService.value_or(launchAtLogin::live());
    SettingsPresentationCoordinator settingsPresentation =
        services.settingsPresentation.value_or(SettingsPresentationCoordinator::live());
    ShellMenus::Options menuOptions{services.presentAlert, services.openURL};
    return [launchAtLoginService, settingsPresentation,
            menuOptions](ApplicationShell &shell, PagesFolderAccessController &pagesFolderAccess,
                         const ApplicationTestLaunchConfiguration &testLaunchConfiguration) {
        AppDelegate::Windows windows;
        windows.welcome = std::make_unique<WelcomePresenter>(shell, testLaunchConfiguration, launchAtLoginService);
        windows.menus = std::make_unique<ShellMenus>(shell, menuOptions);
        windows.settings = std::make_unique<ShellSettings>(shell, *windows.menus, pagesFolderAccess,
                                                           settingsPresentation, launchAtLoginService);
        return windows;
    };
}

} // namespace

AppDelegate::Parts makeShellParts(ShellServices services) {
    AppDelegate::Parts parts;
    parts.trayIcon = std::make_unique<TrayIcon>();
    parts.hotKeys = std::make_unique<GlobalHotKeys>();
    std::function<void(int)> exitApplication = services.exitApplication;
    if (!exitApplication) {
        exitApplication = [](int status) { QCoreApplication::exit(status); };
    }
    parts.termination = std::make_unique<ShellTermination>(services.terminationTimeout, std::move(exitApplication));
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        parts.keyboardInputSourceMonitor = std::make_unique<KeyboardInputSourceMonitor>();
    }
    parts.makeWindows = shellWindowsFactory(std::move(services));
    return parts;
}

AppDelegate::PanelFactory productionPanelFactory(PopoverBehavior popoverBehavior) {
    return [popoverBehavior](VeltoStore &store) -> std::unique_ptr<VeltoPanelControlling> {
        // Styling measures text with Qt's fonts and reads the editor preferences once a display exists.
        editor::installViewEnvironment();
        PanelServices services;
        services.popoverBehavior = popoverBehavior;
        services.codeHighlighter = makeCodeHighlighter();
        services.spellingService = std::make_shared<EnchantSpellingService>();
        return std::make_unique<VeltoPanelController>(store, panelAssembly(std::move(services)));
    };
}

Composition::Composition(ApplicationTestLaunchConfiguration testLaunchConfiguration) {
    AppDelegate::Options options;
    // Nothing may close the panel behind a smoke test's back.
    options.makePanel = productionPanelFactory(testLaunchConfiguration.isEnabled ? PopoverBehavior::applicationDefined
                                                                                 : PopoverBehavior::transient);
    delegate_ = std::make_unique<AppDelegate>(std::move(testLaunchConfiguration), std::move(options), makeShellParts());
}

} // namespace velto
