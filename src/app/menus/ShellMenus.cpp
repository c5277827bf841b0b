#include "app/menus/ShellMenus.h"

#include "app/hotkeys/HotKeyController.h"
#include "app/lifecycle/ApplicationVersion.h"
#include "app/lifecycle/CommercialConfiguration.h"
#include "app/menus/AboutPanel.h"
#include "app/menus/Feedback.h"
#include "app/menus/MainMenu.h"
#include "app/menus/PanelKeyEquivalents.h"
#include "app/shell/ApplicationShell.h"
#include "app/shell/PagesFinderWorkflow.h"
#include "panel/window/PanelControlling.h"
#include "panel/window/PanelPageControlling.h"
#include "preferences/Preferences.h"
#include "settings/SettingsWindowController.h"
#include "store/Store.h"
#include "ui/KeyNames.h"

#include <QtCore/QPointer>
#include <QtGui/QDesktopServices>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

namespace velto {

namespace {

/// The panel's page, when the shell's panel has one (a test's recording panel has none).
VeltoPanelPageControlling *panelPage(const ApplicationShell &shell) {
    VeltoPanelControlling *panel = shell.panelController();
    return panel ? panel->pageControlling() : nullptr;
}

} // namespace

ShellMenus::ShellMenus(ApplicationShell &shell, Options options)
    : shell_(shell)
    , options_(std::move(options)) {}

ShellMenus::~ShellMenus() = default;

MainMenuActions ShellMenus::mainMenuActions(SettingsWindow &window) {
    QPointer<ShellMenus> self(this);
    auto forShell = [self](void (ApplicationShell::*action)()) {
        return [self, action] {
            if (self) {
                (self->shell_.*action)();
            }
        };
    };
    auto forMenus = [self](void (ShellMenus::*action)()) {
        return [self, action] {
            if (self) {
                (self.data()->*action)();
            }
        };
    };
    MainMenuActions actions;
    actions.showAbout = forMenus(&ShellMenus::showAbout);
    actions.sendFeedback = forMenus(&ShellMenus::sendFeedback);
    actions.quit = forShell(&ApplicationShell::quit);
    actions.revealCurrentPage = forShell(&ApplicationShell::showCurrentPageInFileManager);
    actions.reloadFromDisk = forShell(&ApplicationShell::reloadFromDisk);
    actions.performCommand = [self, menuWindow = QPointer<SettingsWindow>(&window)](VeltoCommandID id) {
        if (!self) {
            return;
        }
        // The menu is the Settings window's: its "Close Window" closes that window.
        if (id == VeltoCommandID::closePanel && menuWindow) {
            menuWindow->close();
            return;
        }
        if (VeltoPanelPageControlling *page = panelPage(self->shell_)) {
            page->performCommand(id);
        }
    };
    actions.hasLibrary = [self] {
        return self && self->shell_.pagesFinderWorkflow() && self->shell_.panelController();
    };
    actions.canOpenPagesFolder = [self] {
        return self && self->shell_.store() != nullptr && self->shell_.pagesFinderWorkflow() != nullptr;
    };
    // The View and Find items act on the panel's page, whichever Velto window has the focus.
    actions.hasCommandResponder = [self] { return self && panelPage(self->shell_); };
    actions.performFindAction = [self](TextFinderAction action) {
        if (self) {
            self->performFindAction(action);
        }
    };
    actions.canSendFeedback = [] { return CommercialConfiguration::feedbackRecipient().has_value(); };
    return actions;
}

void ShellMenus::performFindAction(TextFinderAction action) {
    VeltoPanelPageControlling *page = panelPage(shell_);
    if (page == nullptr) {
        return;
    }
    // Finding happens in the panel's find bar: the panel comes up first.
    if (!shell_.panelController()->isShown()) {
        shell_.panelController()->show(shell_.statusItemGeometry());
    }
    switch (action) {
    case TextFinderAction::showFindInterface:
        page->showFindBar();
        break;
    case TextFinderAction::nextMatch:
    case TextFinderAction::previousMatch:
        page->findNextMatch(action == TextFinderAction::previousMatch);
        break;
    case TextFinderAction::setSearchString:
        page->findSelectedText();
        break;
    }
}

void ShellMenus::configureMainMenu(SettingsWindow &window) {
    VeltoMainMenuBuilder builder(mainMenuActions(window), SettingsWindow::ownKeys());
    window.setMenuBar(builder.makeMenuBar(&window));
}

void ShellMenus::installPanelKeyEquivalents() {
    VeltoPanelPageControlling *page = panelPage(shell_);
    if (page == nullptr) {
        return;
    }
    QPointer<ShellMenus> self(this);
    velto::installPanelKeyEquivalents(
        page->keyWindow(),
        [self] {
            if (self) {
                self->shell_.quit();
            }
        },
        [self] {
            if (self) {
                self->shell_.reloadFromDisk();
            }
        });
}

QMenu *ShellMenus::makeStatusItemMenu() {
    VeltoPanelControlling *panel = shell_.panelController();
    QMenu *menu = panel ? panel->makeStatusMenu() : new QMenu();
    QAction *first = menu->actions().isEmpty() ? nullptr : menu->actions().front();
    // Shortcuts are shown after a tab, not registered: a popup menu that owned them would take the keys.
    QString openTitle = QStringLiteral("Open Velto");
    if (auto shortcut = VeltoPreferences::globalShortcut()) {
        openTitle += QLatin1Char('\t') + KeyNames::text(shortcut);
        // Another program holds the keys: the hint must not promise what they no longer do.
        HotKeyController *hotKeys = shell_.hotKeyController();
        if (hotKeys != nullptr && !hotKeys->availability().toggle) {
            openTitle += QStringLiteral(" (unavailable)");
        }
    }
    auto *open = new QAction(openTitle, menu);
    connect(open, &QAction::triggered, this, [this] { shell_.showPage(); });
    QAction *separator = menu->insertSeparator(first);
    menu->insertAction(separator, open);
    menu->addSeparator();
    QAction *feedback = menu->addAction(QStringLiteral("Send Feedback…"));
    feedback->setEnabled(CommercialConfiguration::feedbackRecipient().has_value());
    connect(feedback, &QAction::triggered, this, &ShellMenus::sendFeedback);
    menu->addSeparator();
    QAction *quitAction = menu->addAction(QStringLiteral("Quit Velto\tCtrl+Q"));
    connect(quitAction, &QAction::triggered, this, [this] { shell_.quit(); });
    return menu;
}

void ShellMenus::showAbout() {
    if (!aboutPanel_) {
        aboutPanel_ = std::make_unique<AboutPanel>(ApplicationVersion::current());
    }
    aboutPanel_->present();
}

void ShellMenus::sendFeedback() {
    FeedbackComposer::Operations operations = FeedbackComposer::Operations::live();
    if (options_.presentAlert) {
        operations.presentAlert = options_.presentAlert;
    }
    if (options_.openURL) {
        operations.openMailLink = [open = options_.openURL](QUrl url) -> QCoro::Task<bool> { co_return open(url); };
    }
    FeedbackComposer::compose(CommercialConfiguration::feedbackRecipient(), std::move(operations));
}

void ShellMenus::viewChangelog() {
    std::optional<QUrl> page = CommercialConfiguration::changelogURL();
    if (!page) {
        return;
    }
    QUrl entry = CommercialConfiguration::changelogURL(*page, ApplicationVersion::current().marketingVersion);
    bool opened = options_.openURL ? options_.openURL(entry) : QDesktopServices::openUrl(entry);
    if (!opened) {
        ShellAlert alert;
        alert.title = QStringLiteral("No web browser is available. The changelog is at “%1”.")
                          .arg(entry.toString(QUrl::FullyDecoded));
        shell_.presentAlert(alert);
    }
}

} // namespace velto
