#include "app/shell/Composition.h"

#include "editor/highlight/CodeSyntaxHighlighter.h"
#include "editor_view/layout/ViewEnvironment.h"
#include "panel/window/VeltoPanelController.h"
#include "platform/desktop/SpellingService.h"

namespace velto {

namespace {

/// The highlighter of the panel's code blocks: results kept up to an estimated 8 MiB, and at most two runs of the
/// engine at once, so that a page of many blocks does not hold every core.
std::shared_ptr<editor::CodeSyntaxHighlighting> makeCodeHighlighter() {
    editor::HighlightJSSyntaxHighlighter::Configuration configuration;
    configuration.cacheCostLimit = 8'388'608;
    configuration.executionLimit = 2;
    return std::make_shared<editor::HighlightJSSyntaxHighlighter>(configuration);
}

} // namespace

AppDelegate::Parts makeShellParts() {
    return AppDelegate::Parts{std::make_unique<TrayIcon>(), std::make_unique<GlobalHotKeys>()};
}

AppDelegate::PanelFactory productionPanelFactory(PopoverBehavior popoverBehavior) {
    return [popoverBehavior](VeltoStore &store) -> std::unique_ptr<VeltoPanelControlling> {
        // Styling measures text with Qt's fonts and reads the editor preferences once a display exists.
        editor::installViewEnvironment();
        VeltoPanelController::Options options;
        options.popoverBehavior = popoverBehavior;
        options.codeHighlighter = makeCodeHighlighter();
        options.spellingService = std::make_shared<EnchantSpellingService>();
        return std::make_unique<VeltoPanelController>(store, std::move(options));
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
