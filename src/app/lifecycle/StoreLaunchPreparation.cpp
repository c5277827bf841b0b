#include "app/lifecycle/StoreLaunchPreparation.h"

#include "app/lifecycle/LaunchTrace.h"
#include "app/lifecycle/LibraryRecoveryPrompt.h"
#include "app/shell/AutoArchivePreference.h"
#include "preferences/Preferences.h"
#include "store/Store.h"

#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velto {

namespace {

/// The launch trace's name for the recovery alert shown, so that a test of the running application tells which.
const char *recoveryPromptMilestone(VeltoStoreRecoveryIssue::Remedy remedy) {
    switch (remedy) {
    case VeltoStoreRecoveryIssue::Remedy::updateVelto:
        return "newer library announced";
    case VeltoStoreRecoveryIssue::Remedy::changeFolder:
        return "unusable folder announced";
    case VeltoStoreRecoveryIssue::Remedy::rewriteLibrary:
        break;
    }
    return "damaged library announced";
}

int present(const ShellAlertPresenter &presentAlert, const ShellAlert &alert) {
    return presentAlert ? presentAlert(alert) : presentShellNoticeModally(alert);
}

// The store keeps loading the library in the background while the alert is up (every few seconds): once a load
// succeeds, the alert is answered with its first button, "Try Again", so that Velto starts without waiting for
// the user to come back to it.
int presentAlertUntilLibraryOpens(VeltoStore &store, const ShellAlertPresenter &presentAlert, const ShellAlert &alert) {
    if (presentAlert) {
        return presentAlert(alert);
    }
    QPointer<QMessageBox> openAlert;
    QMetaObject::Connection answering = QObject::connect(&store, &VeltoStoreSignals::libraryOpened, [&openAlert] {
        if (openAlert && openAlert->defaultButton() != nullptr) {
            openAlert->defaultButton()->click();
        }
    });
    std::vector<QString> buttons(alert.buttons.begin(), alert.buttons.end());
    int response = runAlertModally(QMessageBox::Information, alert.title, alert.message, buttons, &openAlert,
                                   AlertActivation::waitsForTheUser);
    QObject::disconnect(answering);
    return response;
}

} // namespace

QCoro::Task<std::unique_ptr<VeltoStore>>
loadLibraryForLaunch(std::filesystem::path folder, std::int64_t maximumPageCount, std::int64_t maximumPageBytes) {
    VeltoAutoArchivePeriod period = autoArchivePeriod(VeltoPreferences::autoArchiveDuration());
    // Named, not a temporary inside co_await: GCC 12 destroys such temporaries twice.
    QCoro::Task<std::unique_ptr<VeltoStore>> loading =
        VeltoStore::loadForApplication(folder, maximumPageCount, maximumPageBytes, period);
    co_return co_await loading;
}

QCoro::Task<LaunchPreparation> prepareLoadedStore(VeltoStore &store, ShellAlertPresenter presentAlert,
                                                  QPointer<QObject> launch) {
    while (true) {
        const VeltoStoreRecoveryIssue *issue = store.loadState().recoveryIssue();
        if (issue == nullptr) {
            co_return LaunchPreparation::goOn;
        }
        if (issue->kind == VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable) {
            // A page file another program is replacing, a full device, a library another program holds: each
            // passes without repair, and the message says which it is.
            launchTrace::milestone("pages unavailable announced");
            int response = presentAlertUntilLibraryOpens(
                store, presentAlert,
                {QStringLiteral("Velto Can’t Open Your Pages Yet"),
                 QString::fromStdString(issue->message) +
                     QStringLiteral(" Once it can open them, Velto goes on without waiting for you. It will "
                                    "not overwrite your files."),
                 ShellAlert::Style::informational,
                 {QStringLiteral("Try Again"), QStringLiteral("Quit")}});
            if (response != firstAlertButton) {
                co_return LaunchPreparation::quit;
            }
            try {
                QCoro::Task<void> reloading = store.reloadFromDisk(true, std::nullopt);
                co_await reloading;
                co_return LaunchPreparation::goOn;
            } catch (const std::exception &) {
                if (!launch) {
                    co_return LaunchPreparation::quit;
                }
                continue; // ask again
            }
        }
        LibraryRecoveryPrompt prompt = LibraryRecoveryPrompt::forIssue(*issue);
        launchTrace::milestone(recoveryPromptMilestone(issue->remedy));
        LibraryRecoveryPrompt::Answer answer = prompt.answer(present(presentAlert, prompt.alert));
        if (answer == LibraryRecoveryPrompt::Answer::tryAgain) {
            co_return LaunchPreparation::loadAgain;
        }
        if (answer == LibraryRecoveryPrompt::Answer::quit) {
            co_return LaunchPreparation::quit;
        }
        std::optional<std::string> failure;
        std::optional<std::filesystem::path> preserved;
        try {
            QCoro::Task<std::optional<std::filesystem::path>> recovering = store.recoverPreservingOriginal();
            preserved = co_await recovering;
        } catch (const std::exception &error) {
            failure = error.what();
        }
        if (failure) {
            present(presentAlert,
                    {QStringLiteral("Velto Couldn’t Preserve the Page"), QString::fromStdString(*failure)});
            co_return LaunchPreparation::quit;
        }
        if (preserved) {
            present(presentAlert, originalPreservedAlert(*preserved));
        }
        co_return LaunchPreparation::goOn;
    }
}

} // namespace velto
