#include "settings/StorageSettingsPage.h"

#include "library/folder/FolderNesting.h"
#include "platform/FileSystem.h"
#include "platform/desktop/FileManagerReveal.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsPageHost.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsViewFactory.h"
#include "ui/ArchivedPagesDeletionQuestion.h"
#include "ui/FloatingPlacement.h"
#include "ui/HoverButton.h"
#include "ui/HoverIconButton.h"
#include "ui/VeltoUI.h"
#include "ui/VeltoUIControls.h"

#include <QtConcurrent/QtConcurrentRun>
#include <QtGui/QAction>
#include <QtGui/QScreen>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QScrollArea>
#include <qcorofuture.h>

#include <optional>

namespace velto {

namespace {

using SettingsViewFactory::preferenceRow;
using SettingsViewFactory::section;
using Prominence = HoverButton::Prominence;
constexpr auto none = std::nullopt;

/// A folder that cannot be used as the Pages folder, found before anything is asked.
class PagesFolderInspectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string quotedName(const std::filesystem::path &folder) {
    std::filesystem::path name = folder.lexically_normal().filename();
    if (name.empty()) {
        name = folder.lexically_normal().parent_path().filename();
    }
    return "“" + name.string() + "”";
}

// A folder that exists must be listable and writable, or connecting it fails late, after the questions. One
// that cannot even be looked at is left to the assessment, which tells what it finds there.
void checkFolderIsUsable(const std::filesystem::path &folder, FileSystem &files) {
    std::optional<FileStatus> status;
    try {
        status = files.status(folder);
    } catch (const FileSystemError &) {
        return;
    }
    if (!status) {
        return;
    }
    if (status->type != FileType::directory) {
        throw PagesFolderInspectionError("The item " + quotedName(folder) + " isn’t a folder.");
    }
    try {
        files.contentsOfDirectory(folder);
    } catch (const FileSystemError &) {
        throw PagesFolderInspectionError("Velto can’t read the folder " + quotedName(folder) + ".");
    }
    if (files.refusesWriting(folder)) {
        throw PagesFolderInspectionError("Velto can’t write to the folder " + quotedName(folder) + ".");
    }
}

QString errorText(const std::exception &error) {
    return QString::fromUtf8(error.what());
}

} // namespace

QCoro::Task<VeltoFolderConnectionAssessment> defaultPagesFolderAssessment(std::filesystem::path folder) {
    QFuture<VeltoFolderConnectionAssessment> assessing = QtConcurrent::run([folder] {
        FileSystem &files = defaultFileSystem();
        checkFolderIsUsable(folder, files);
        return VeltoPageLibrary::assessFolderConnection(folder, files);
    });
    // Named, not a temporary inside co_await: GCC destroys such temporaries twice.
    auto awaiting = qCoro(assessing);
    co_await awaiting.waitForFinished();
    co_return assessing.result();
}

StorageSettingsPage::StorageSettingsPage(const StorageSettingsActions &actions, bool isPreview,
                                         const SettingsPresenters &presenters, SettingsPageHost &host)
    : actions_(actions)
    , isPreview_(isPreview)
    , presenters_(presenters)
    , host_(host) {}

QScrollArea *StorageSettingsPage::makePage() {
    pagesFolderControl = new PathLabel;
    pagesFolderControl->setAccessibleName(QStringLiteral("Pages folder"));
    pagesFolderButton = new HoverButton;
    VeltoUI::configure(
        *pagesFolderButton, QStringLiteral("Change…"), Prominence::plain, [this] { runDetached(choosePagesFolder()); },
        QStringLiteral("Choose where Velto stores Markdown page files."));
    pagesFolderActionsMenu = new QMenu(QStringLiteral("Pages folder actions"), host_.pageWindow());
    revealPagesFolderAction = pagesFolderActionsMenu->addAction(QStringLiteral("Show in File Manager"));
    connect(revealPagesFolderAction, &QAction::triggered, this, [this] { revealPagesFolder(); });
    resetPagesFolderAction = pagesFolderActionsMenu->addAction(QStringLiteral("Reset to Default"));
    connect(resetPagesFolderAction, &QAction::triggered, this, [this] { resetPagesFolder(); });
    pagesFolderActionsButton = new HoverIconButton;
    VeltoUI::configure(*pagesFolderActionsButton, QStringLiteral("ellipsis"), QStringLiteral("Pages folder actions"),
                       [this] {
                           host_.endRecording();
                           showPagesFolderActions();
                       });

    auto *folderControl = new QWidget;
    auto *folderLayout = new QVBoxLayout(folderControl);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing10));
    auto *pathRow = new QHBoxLayout;
    pathRow->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing8));
    pathRow->addWidget(pagesFolderControl, 1);
    pathRow->addWidget(pagesFolderActionsButton);
    folderLayout->addLayout(pathRow);
    folderLayout->addWidget(pagesFolderButton, 0, Qt::AlignRight);

    archiveSizeLabel = new QLabel;
    archiveSizeLabel->setFont(VeltoUI::systemFont(VeltoUI::Typography::smallSystemFontSize() - 1));
    archiveSizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    archiveSizeLabel->setAccessibleName(QStringLiteral("Archived pages storage"));
    deleteArchivedPagesButton = new HoverButton;
    VeltoUI::configure(
        *deleteArchivedPagesButton, SettingsTexts::deleteArchivedPagesTitle(0), Prominence::plain,
        [this] { runDetached(confirmDeleteArchivedPages()); },
        QStringLiteral("Permanently delete every archived Markdown file."));
    auto *archiveControl = new QWidget;
    auto *archiveLayout = new QVBoxLayout(archiveControl);
    archiveLayout->setContentsMargins(0, 0, 0, 0);
    archiveLayout->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing4));
    archiveLayout->addWidget(deleteArchivedPagesButton, 0, Qt::AlignRight);
    archiveLayout->addWidget(archiveSizeLabel, 0, Qt::AlignRight);

    return SettingsViewFactory::page(
        QStringLiteral("Pages & Storage"), none,
        {section(QStringLiteral("Files"),
                 QStringLiteral("Each page is stored as a Markdown file you can sync or edit anywhere."),
                 {SettingsViewFactory::stackedPreferenceRow(
                      QStringLiteral("Pages folder"),
                      QStringLiteral("Choose where Velto stores its Markdown files. Use a synced folder to access "
                                     "them across computers."),
                      folderControl),
                  preferenceRow(QStringLiteral("Archived pages"),
                                QStringLiteral("Archived Markdown files remain available until you delete them."),
                                archiveControl)})});
}

void StorageSettingsPage::refresh() {
    std::filesystem::path folder = actions_.pagesFolderURL();
    pagesFolderControl->setPath(QString::fromStdString(folder.string()));
    resetPagesFolderAction->setEnabled(!isChangingPagesFolder_ &&
                                       !SettingsTexts::isSameFolder(folder, VeltoPageLibrary::defaultFolderURL()));
    pagesFolderButton->setEnabled(!isChangingPagesFolder_ && !isPreview_);

    VeltoArchiveSnapshot snapshot = actions_.archiveSnapshot();
    std::size_t count = snapshot.pageIDs.size();
    QString sizeText = SettingsTexts::archiveSizeText(snapshot.totalBytes);
    archiveSizeLabel->setText(sizeText);
    archiveSizeLabel->setAccessibleDescription(SettingsTexts::archiveAccessibilityValue(count, sizeText));
    QString title = SettingsTexts::deleteArchivedPagesTitle(count);
    deleteArchivedPagesButton->setText(title);
    deleteArchivedPagesButton->setAccessibleName(title);
    bool canDelete = actions_.canDeleteArchivedPages();
    deleteArchivedPagesButton->setEnabled(canDelete && count != 0 && !isPreview_);
}

QCoro::Task<void> StorageSettingsPage::choosePagesFolder() {
    host_.endRecording();
    QPointer<StorageSettingsPage> self = this;
    auto choosing = presenters_.choosePagesFolder(host_.pageWindow(), actions_.pagesFolderURL());
    std::optional<std::filesystem::path> folder = co_await choosing;
    if (self && folder) {
        QCoro::Task<void> changing = self->assessAndChangePagesFolder(*folder);
        co_await changing;
    }
}

void StorageSettingsPage::resetPagesFolder() {
    runDetached(assessAndChangePagesFolder(VeltoPageLibrary::defaultFolderURL()));
}

void StorageSettingsPage::revealPagesFolder() {
    std::filesystem::path folder = actions_.pagesFolderURL();
    QPointer<StorageSettingsPage> self = this;
    presenters_.revealFolder(folder, [self, folder](bool shown) {
        if (self && !shown) {
            runDetached(self->host_.presentWarning(QString::fromStdString(fileManager::noFileManagerMessage(folder)),
                                                   QString()));
        }
    });
}

void StorageSettingsPage::showPagesFolderActions() {
    QRect button(pagesFolderActionsButton->mapToGlobal(QPoint(0, 0)), pagesFolderActionsButton->size());
    QScreen *screen = pagesFolderActionsButton->screen();
    QRect available = screen != nullptr ? screen->availableGeometry() : button;
    pagesFolderActionsMenu->popup(
        FloatingPlacement::buttonMenuOrigin(button, pagesFolderActionsMenu->sizeHint(), available));
}

void StorageSettingsPage::endFolderChange() {
    isChangingPagesFolder_ = false;
    pagesFolderButton->setEnabled(!isPreview_);
    // Disabling the button moved the focus on to the next control; the user who chose "Change…" by keyboard
    // finds it where it was.
    if (folderButtonHadFocus_ && pagesFolderButton->isEnabled()) {
        pagesFolderButton->setFocus(Qt::OtherFocusReason);
    }
    folderButtonHadFocus_ = false;
    host_.refresh();
}

QCoro::Task<void> StorageSettingsPage::assessAndChangePagesFolder(std::filesystem::path folder) {
    if (isChangingPagesFolder_) {
        co_return;
    }
    host_.endRecording();
    // Both entry points stay disabled until the change ends, whatever refreshes run meanwhile.
    isChangingPagesFolder_ = true;
    folderButtonHadFocus_ = pagesFolderButton->window()->focusWidget() == pagesFolderButton;
    pagesFolderButton->setEnabled(false);
    resetPagesFolderAction->setEnabled(false);
    QPointer<StorageSettingsPage> self = this;
    const QString inspectionTitle = QStringLiteral("Couldn’t inspect pages folder");
    VeltoFolderConnectionDecision decision;
    std::optional<QString> failure;
    try {
        QCoro::Task<VeltoFolderConnectionAssessment> assessing = assess(folder);
        VeltoFolderConnectionAssessment assessment = co_await assessing;
        if (!self) {
            co_return;
        }
        QCoro::Task<VeltoFolderConnectionDecision> deciding = connectionDecision(assessment);
        decision = co_await deciding;
    } catch (const std::exception &error) {
        failure = errorText(error);
    }
    if (!self) {
        co_return;
    }
    if (failure) {
        endFolderChange();
        QCoro::Task<void> warning = host_.presentWarning(inspectionTitle, *failure);
        co_await warning;
        co_return;
    }
    if (decision.isCancel()) {
        endFolderChange();
        co_return;
    }
    QCoro::Task<void> changing = changePagesFolder(decision);
    co_await changing;
}

QCoro::Task<VeltoFolderConnectionAssessment> StorageSettingsPage::assess(std::filesystem::path folder) {
    // Nested libraries would adopt each other's files: refused before anything is asked.
    if (std::optional<std::string> refusal = VeltoPageLibrary::nestingRefusal(folder, actions_.pagesFolderURL())) {
        throw PagesFolderInspectionError(*refusal);
    }
    QCoro::Task<VeltoFolderConnectionAssessment> assessing = actions_.assessPagesFolder(folder);
    VeltoFolderConnectionAssessment assessment = co_await assessing;
    co_return assessment;
}

QCoro::Task<VeltoFolderConnectionDecision>
StorageSettingsPage::connectionDecision(VeltoFolderConnectionAssessment assessment) {
    using Builder = std::optional<VeltoFolderConnectionDecision>;
    Builder direct = VeltoFolderConnectionDecisionBuilder::directDecision(assessment);
    VeltoFolderConnectionDecision decision;
    if (direct) {
        decision = *direct;
    } else if (actions_.choosePagesFolderConnection) {
        QCoro::Task<VeltoFolderConnectionDecision> choosing = actions_.choosePagesFolderConnection(assessment);
        decision = co_await choosing;
    } else {
        QCoro::Task<VeltoFolderConnectionPromptChoice> asking = presentFolderConnectionChoice(assessment);
        VeltoFolderConnectionPromptChoice choice = co_await asking;
        std::optional<VeltoFolderConnectionAssessment> subfolder;
        if (choice == VeltoFolderConnectionPromptChoice::useManagedSubfolder) {
            QCoro::Task<VeltoFolderConnectionAssessment> assessing =
                assess(assessment.selectedFolderURL / VeltoFolderConnectionDecisionBuilder::managedSubfolderName);
            subfolder = co_await assessing;
        }
        decision = VeltoFolderConnectionDecisionBuilder::decision(assessment, choice, subfolder);
    }
    QCoro::Task<VeltoFolderConnectionDecision> settling = contentDecision(decision, assessment);
    VeltoFolderConnectionDecision settled = co_await settling;
    co_return settled;
}

QCoro::Task<VeltoFolderConnectionPromptChoice>
StorageSettingsPage::presentFolderConnectionChoice(VeltoFolderConnectionAssessment assessment) {
    QPointer<StorageSettingsPage> self = this;
    QCoro::Task<int> asking = host_.presentAlert(SettingsTexts::folderConnectionQuestion(assessment));
    int response = co_await asking;
    if (response == firstButtonResponse) {
        co_return VeltoFolderConnectionPromptChoice::useManagedSubfolder;
    }
    if (response != secondButtonResponse || !self) {
        co_return VeltoFolderConnectionPromptChoice::cancel;
    }
    QCoro::Task<int> confirming = host_.presentAlert(SettingsTexts::entireFolderConfirmation(assessment));
    int confirmation = co_await confirming;
    co_return confirmation == firstButtonResponse ? VeltoFolderConnectionPromptChoice::useEntireFolder
                                                  : VeltoFolderConnectionPromptChoice::cancel;
}

QCoro::Task<VeltoFolderConnectionDecision>
StorageSettingsPage::contentDecision(VeltoFolderConnectionDecision decision, VeltoFolderConnectionAssessment original) {
    if (decision.isCancel() || decision.selection->operation != VeltoFolderConnectionOperation::copyCurrentLibrary) {
        co_return decision;
    }
    VeltoFolderConnectionAssessment destination = original;
    if (!SettingsTexts::isSameFolder(decision.selection->destinationURL, original.selectedFolderURL)) {
        QCoro::Task<VeltoFolderConnectionAssessment> assessing = assess(decision.selection->destinationURL);
        destination = co_await assessing;
    }
    VeltoFolderContentChoice choice = VeltoFolderContentChoice::cancel;
    if (actions_.choosePagesFolderContent) {
        QCoro::Task<VeltoFolderContentChoice> choosing = actions_.choosePagesFolderContent(destination);
        choice = co_await choosing;
    } else {
        QCoro::Task<int> asking = host_.presentAlert(SettingsTexts::folderContentQuestion(destination));
        int response = co_await asking;
        choice = response == firstButtonResponse    ? VeltoFolderContentChoice::useSelectedFolder
                 : response == secondButtonResponse ? VeltoFolderContentChoice::copyCurrentPages
                                                    : VeltoFolderContentChoice::cancel;
    }
    co_return VeltoFolderConnectionDecisionBuilder::applyingContentChoice(decision, choice);
}

QCoro::Task<void> StorageSettingsPage::changePagesFolder(VeltoFolderConnectionDecision decision) {
    QPointer<StorageSettingsPage> self = this;
    std::optional<QString> failure;
    try {
        QCoro::Task<void> changing = actions_.onPagesFolderChange(decision);
        co_await changing;
    } catch (const std::exception &error) {
        failure = errorText(error);
    }
    if (!self) {
        co_return;
    }
    if (failure) {
        QCoro::Task<void> warning = host_.presentWarning(QStringLiteral("Couldn’t change pages folder"), *failure);
        endFolderChange();
        co_await warning;
        co_return;
    }
    endFolderChange();
}

QCoro::Task<void> StorageSettingsPage::confirmDeleteArchivedPages() {
    host_.endRecording();
    if (!actions_.canDeleteArchivedPages()) {
        presenters_.beep();
        co_return;
    }
    VeltoArchiveSnapshot snapshot = actions_.archiveSnapshot();
    std::size_t count = snapshot.pageIDs.size();
    if (count == 0) {
        co_return;
    }
    ArchivedPagesDeletionQuestion question = ArchivedPagesDeletionQuestion::forCount(count);
    SettingsAlert alert;
    alert.title = question.title;
    alert.message = question.message;
    alert.buttons = {question.button, QStringLiteral("Cancel")};
    QPointer<StorageSettingsPage> self = this;
    QCoro::Task<int> asking = host_.presentAlert(alert);
    int response = co_await asking;
    if (!self || response != firstButtonResponse) {
        co_return;
    }
    deleteArchivedPagesButton->setEnabled(false);
    std::optional<QString> failure;
    try {
        QCoro::Task<int> deleting = actions_.onDeleteConfirmedArchivedPages(snapshot.pageIDs);
        co_await deleting;
    } catch (const std::exception &error) {
        failure = errorText(error);
    }
    if (!self) {
        co_return;
    }
    if (failure) {
        presenters_.beep();
        // The alert of the error itself: its sentence is the title.
        QCoro::Task<void> warning = host_.presentWarning(*failure, QString());
        host_.refresh();
        co_await warning;
        co_return;
    }
    host_.refresh();
}

} // namespace velto
