// The shell's menus and the small windows they open: the main menu of the Settings window with its
// validation, the panel's own Quit and Reload keys, About, feedback and the changelog.
#include "app/AboutPanel.h"
#include "app/AppDelegate.h"
#include "app/ApplicationVersion.h"
#include "app/CommercialConfiguration.h"
#include "app/Feedback.h"
#include "app/MainMenu.h"
#include "app/PagesFinderWorkflow.h"
#include "app/PanelKeyEquivalents.h"
#include "editor_view/VeltoTextView.h"
#include "panel/FindBar.h"
#include "panel/PanelPopover.h"
#include "panel/VeltoPanelController.h"
#include "panel/VeltoPanelView.h"
#include "preferences/CommandRegistry.h"
#include "settings/SettingsWindowController.h"
#include "store/Store.h"

#include <QtGui/QDesktopServices>
#include <QtWidgets/QMenuBar>

namespace velto {

int AppDelegate::presentAlert(const ShellAlert &alert) {
    return options_.presentAlert ? options_.presentAlert(alert) : presentShellAlertModally(alert);
}

MainMenuActions AppDelegate::mainMenuActions() {
    QPointer<AppDelegate> self(this);
    auto forDelegate = [self](void (AppDelegate::*action)()) {
        return [self, action] {
            if (self) {
                (self.data()->*action)();
            }
        };
    };
    MainMenuActions actions;
    actions.showAbout = forDelegate(&AppDelegate::showAbout);
    actions.sendFeedback = forDelegate(&AppDelegate::sendFeedback);
    actions.quit = forDelegate(&AppDelegate::quit);
    actions.revealCurrentPage = forDelegate(&AppDelegate::showCurrentPageInFileManager);
    actions.reloadFromDisk = forDelegate(&AppDelegate::reloadFromDisk);
    actions.performCommand = [self](VeltoCommandID id) {
        if (!self) {
            return;
        }
        // The menu is the Settings window's: its "Close Window" closes that window.
        if (id == VeltoCommandID::closePanel && self->settingsWindowController_) {
            self->settingsWindowController_->window()->close();
            return;
        }
        if (auto *panel = dynamic_cast<VeltoPanelController *>(self->panel_.get())) {
            panel->commandRegistry().perform(id);
        }
    };
    actions.hasLibrary = [self] { return self && self->pagesFinderWorkflow_ && self->panel_; };
    actions.canRevealCurrentPage = [self] {
        return self && self->store_ && self->pagesFinderWorkflow_ &&
               !self->store_->document().currentPage.visibleTextView().empty();
    };
    // The View and Find items act on the panel's page, whichever Velto window has the focus.
    actions.hasCommandResponder = [self] { return self && dynamic_cast<VeltoPanelController *>(self->panel_.get()); };
    actions.performFindAction = [self](TextFinderAction action) {
        if (self) {
            self->performFindAction(action);
        }
    };
    actions.canSendFeedback = [] { return CommercialConfiguration::feedbackRecipient().has_value(); };
    return actions;
}

void AppDelegate::performFindAction(TextFinderAction action) {
    auto *panel = dynamic_cast<VeltoPanelController *>(panel_.get());
    if (panel == nullptr) {
        return;
    }
    // Finding happens in the panel's find bar: the panel comes up first.
    if (!panel->isShown()) {
        panel->show(statusItemGeometry());
    }
    FindBar &findBar = *panel->panelView().findBar();
    switch (action) {
    case TextFinderAction::showFindInterface:
        findBar.open();
        break;
    case TextFinderAction::nextMatch:
    case TextFinderAction::previousMatch:
        if (!findBar.isOpen()) {
            findBar.open();
        }
        findBar.step(action == TextFinderAction::previousMatch);
        break;
    case TextFinderAction::setSearchString: {
        const editor::VeltoTextView &view = panel->textView();
        std::u16string selected = view.storage().substring(view.selectedRange());
        findBar.field()->setText(QString::fromStdU16String(selected));
        findBar.open();
        break;
    }
    }
}

void AppDelegate::configureMainMenu() {
    if (!settingsWindowController_) {
        return;
    }
    SettingsWindow *window = settingsWindowController_->window();
    VeltoMainMenuBuilder builder(mainMenuActions(), SettingsWindow::ownKeys());
    window->setMenuBar(builder.makeMenuBar(window));
}

void AppDelegate::installPanelKeyEquivalents() {
    auto *panel = dynamic_cast<VeltoPanelController *>(panel_.get());
    if (panel == nullptr) {
        return;
    }
    QPointer<AppDelegate> self(this);
    velto::installPanelKeyEquivalents(
        panel->popover(),
        [self] {
            if (self) {
                self->quit();
            }
        },
        [self] {
            if (self) {
                self->reloadFromDisk();
            }
        });
}

void AppDelegate::showAbout() {
    if (!aboutPanel_) {
        aboutPanel_ = std::make_unique<AboutPanel>(ApplicationVersion::current());
    }
    aboutPanel_->present();
}

void AppDelegate::sendFeedback() {
    FeedbackComposer::Operations operations = FeedbackComposer::Operations::live();
    if (options_.presentAlert) {
        operations.presentAlert = options_.presentAlert;
    }
    if (options_.openURL) {
        operations.openMailLink = [open = options_.openURL](QUrl url) -> QCoro::Task<bool> { co_return open(url); };
    }
    FeedbackComposer::compose(CommercialConfiguration::feedbackRecipient(), std::move(operations));
}

void AppDelegate::viewChangelog() {
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
        presentAlert(alert);
    }
}

} // namespace velto
