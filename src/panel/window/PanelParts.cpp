#include "panel/window/PanelParts.h"

#include "editor_view/spelling/SpellChecker.h"
#include "editor_view/view/VeltoTextView.h"
#include "page_editor/EditorCoordinator.h"
#include "page_editor/EditorSettingsFeed.h"
#include "panel/feedback/PanelBanners.h"
#include "panel/hints/ShortcutHintMonitor.h"
#include "panel/menu/PanelMenus.h"
#include "panel/pages/PageEditingSession.h"
#include "panel/pages/PageOperations.h"
#include "panel/view/TextViewCoordinatorView.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelCommands.h"
#include "panel/window/PanelEditorLook.h"
#include "panel/window/PanelSizeControl.h"
#include "platform/desktop/SpellingService.h"
#include "preferences/CommandRegistry.h"
#include "preferences/LocalShortcutRouter.h"
#include "preferences/Preferences.h"

#include <QtCore/QPointer>
#include <QtWidgets/QApplication>

namespace velto {

PanelParts::PanelParts() = default;
PanelParts::PanelParts(PanelParts &&) noexcept = default;
PanelParts &PanelParts::operator=(PanelParts &&) noexcept = default;

PanelParts::~PanelParts() {
    menus.reset();
    banners.reset();
    shortcutHintMonitor.reset();
    commandRegistry.reset();
    commands.reset();
    editorLook.reset();
    sizeControl.reset();
    if (editorCoordinator) {
        editorCoordinator->setSpellChecker(nullptr);
    }
    if (panelView != nullptr && popover) {
        panelView->textView()->setSpellChecker(nullptr);
    }
    pageOperations.reset();
    pageEditingSession.reset();
    editorCoordinator.reset();
}

namespace {

/// The editor in its window, and the view through which the coordinator works it.
void makeViews(PanelParts &parts, const PanelPartsHosts &hosts, const PanelServices &services) {
    QSizeF contentSize = VeltoPreferences::panelContentSize();
    // The resize handle starts a drag from the window's size; the window is made around the view.
    auto window = std::make_shared<QPointer<PanelPopover>>();
    parts.panelView = new VeltoPanelView(contentSize.toSize(), hosts.textViewCommands,
                                         [window] { return *window ? (*window)->contentSize() : QSizeF(); });
    parts.popover = std::make_unique<PanelPopover>(parts.panelView, services.popoverBehavior);
    *window = parts.popover.get();
    parts.popover->setContentSize(contentSize);
    PageOperationsPresenter &presenter = hosts.presenter;
    parts.coordinatorView =
        std::make_unique<TextViewCoordinatorView>(*parts.panelView->textView(), [&presenter] { presenter.beep(); });
}

/// The coordinator between the editor and the store, with its spelling when a service checks it.
void makeEditorCoordinator(PanelParts &parts, VeltoStore &store, const PanelPartsHosts &hosts,
                           const PanelServices &services) {
    editor::VeltoTextView &view = *parts.panelView->textView();
    VeltoScheduler &scheduler = services.editorScheduler != nullptr ? *services.editorScheduler : qtScheduler();
    parts.editorCoordinator = std::make_unique<editor::VeltoEditorCoordinator>(
        view.editingCore(), view.undoHistories(), *parts.coordinatorView, store, *parts.editorSettingsFeed,
        hosts.coordinatorPanel, scheduler, services.codeHighlighter);
    editor::VeltoEditorCoordinator *coordinator = parts.editorCoordinator.get();
    QObject::connect(&view, &editor::VeltoTextView::scrollGeometryChanged, coordinator,
                     [coordinator] { coordinator->editorVisibleRangeMayHaveChanged(); });
    if (parts.spellingService) {
        parts.spellChecker = std::make_unique<editor::SpellChecker>(*parts.spellingService);
        view.setSpellChecker(parts.spellChecker.get());
        coordinator->setSpellChecker(parts.spellChecker.get());
    }
}

/// The page transitions and the page operations over them.
void makePageOperations(PanelParts &parts, VeltoStore &store, const PanelPartsHosts &hosts,
                        const PanelServices &services) {
    PageOperationsPresenter &presenter = hosts.presenter;
    parts.pageEditingSession = std::make_unique<PageEditingSession>(
        store, *parts.editorCoordinator, *parts.panelView->textView(), *parts.panelView,
        [&presenter](const PanelFeedback &feedback) { presenter.showFeedback(feedback); });
    parts.pageOperations =
        std::make_unique<PageOperations>(store, *parts.editorCoordinator, *parts.panelView, *parts.pageEditingSession,
                                         presenter, services.undoByteLimit);
}

/// What the panel does over the editor: its size, the editor's look, its commands, the shortcut hints, the
/// banners and the page menus.
void makePanelControls(PanelParts &parts, VeltoStore &store, const PanelPartsHosts &hosts,
                       const PanelServices &services) {
    parts.sizeControl = std::make_unique<PanelSizeControl>(*parts.popover, *parts.panelView);
    parts.editorLook = std::make_unique<PanelEditorLook>(*parts.editorSettingsFeed, *parts.coordinatorView,
                                                         *parts.editorCoordinator, *parts.panelView);
    parts.commands = std::make_unique<PanelCommands>(store, *parts.panelView->textView(), *parts.pageOperations,
                                                     *parts.sizeControl, *parts.editorLook, hosts.commands);
    PanelCommands &commands = *parts.commands;
    std::vector<VeltoCommandID> ids(allCommandIDs().begin(), allCommandIDs().end());
    parts.commandRegistry = std::make_unique<VeltoCommandRegistry>(
        ids, [&commands] { return commands.context(); }, [&commands](VeltoCommandID id) { commands.execute(id); });
    VeltoScheduler &hintScheduler = services.hintScheduler != nullptr ? *services.hintScheduler : qtScheduler();
    parts.shortcutHintMonitor =
        std::make_unique<ShortcutHintMonitor>(*parts.popover, *parts.panelView, hosts.shortcutHints, hintScheduler);
    parts.banners = std::make_unique<PanelBanners>(*parts.popover, *parts.panelView, *parts.shortcutHintMonitor);
    PanelMenus::Options menuOptions{parts.commandShortcuts, services.confirm, parts.beep};
    parts.menus = std::make_unique<PanelMenus>(store, *parts.pageOperations, *parts.editorCoordinator,
                                               *parts.commandRegistry, std::move(menuOptions));
}

} // namespace

PanelParts makePanelParts(VeltoStore &store, const PanelPartsHosts &hosts, const PanelServices &services) {
    PanelParts parts;
    parts.beep = services.beep ? services.beep : std::function<void()>([] { QApplication::beep(); });
    parts.commandShortcuts =
        services.commandShortcuts
            ? services.commandShortcuts
            : std::function<CommandShortcuts()>([] { return LocalShortcutRouter::currentCommandShortcuts(); });
    parts.editorSettingsFeed = std::make_unique<editor::EditorSettingsFeed>();
    parts.spellingService = services.spellingService;
    makeViews(parts, hosts, services);
    makeEditorCoordinator(parts, store, hosts, services);
    makePageOperations(parts, store, hosts, services);
    makePanelControls(parts, store, hosts, services);
    return parts;
}

PanelAssembly panelAssembly(PanelServices services) {
    return [services = std::move(services)](VeltoStore &store, const PanelPartsHosts &hosts) {
        return makePanelParts(store, hosts, services);
    };
}

} // namespace velto
