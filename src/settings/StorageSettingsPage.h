#pragma once

#include "settings/SettingsCallbacks.h"
#include "settings/SettingsPresenters.h"

#include <QtCore/QObject>
#include <qcorotask.h>

#include <filesystem>

class QAction;
class QLabel;
class QMenu;
class QScrollArea;

namespace velto {

class HoverButton;
class HoverIconButton;
class PathLabel;
class SettingsPageHost;

/// The Pages & Storage page of the Settings window: the Pages-folder row with its change flow (assessing the
/// folder, asking how to connect it, handing the decision to the application) and the archived pages with
/// their deletion.
class StorageSettingsPage : public QObject {
public:
    /// `actions` and `presenters` are the window's, kept by it for as long as the page lives; a preview disables
    /// the controls.
    StorageSettingsPage(const StorageSettingsActions &actions, bool isPreview, const SettingsPresenters &presenters,
                        SettingsPageHost &host);

    /// Builds the page's controls; called once, the window owns what it returns.
    QScrollArea *makePage();
    /// Shows the Pages folder and the archive's size.
    void refresh();

    QCoro::Task<void> choosePagesFolder();
    void resetPagesFolder();
    void revealPagesFolder();
    /// Opens the Pages folder's actions under their button.
    void showPagesFolderActions();
    QCoro::Task<void> assessAndChangePagesFolder(std::filesystem::path folder);
    QCoro::Task<void> confirmDeleteArchivedPages();
    bool isChangingPagesFolder() const { return isChangingPagesFolder_; }

    PathLabel *pagesFolderControl = nullptr;
    HoverButton *pagesFolderButton = nullptr;
    HoverIconButton *pagesFolderActionsButton = nullptr;
    QMenu *pagesFolderActionsMenu = nullptr;
    QAction *revealPagesFolderAction = nullptr;
    QAction *resetPagesFolderAction = nullptr;
    QLabel *archiveSizeLabel = nullptr;
    HoverButton *deleteArchivedPagesButton = nullptr;

private:
    QCoro::Task<VeltoFolderConnectionAssessment> assess(std::filesystem::path folder);
    QCoro::Task<VeltoFolderConnectionDecision> connectionDecision(VeltoFolderConnectionAssessment assessment);
    QCoro::Task<VeltoFolderConnectionPromptChoice>
    presentFolderConnectionChoice(VeltoFolderConnectionAssessment assessment);
    QCoro::Task<VeltoFolderConnectionDecision> contentDecision(VeltoFolderConnectionDecision decision,
                                                               VeltoFolderConnectionAssessment original);
    QCoro::Task<void> changePagesFolder(VeltoFolderConnectionDecision decision);
    void endFolderChange();

    const StorageSettingsActions &actions_;
    bool isPreview_;
    const SettingsPresenters &presenters_;
    SettingsPageHost &host_;
    bool isChangingPagesFolder_ = false;
    /// Whether "Change…" had the focus when a change began: disabled meanwhile, it gets the focus back at the end.
    bool folderButtonHadFocus_ = false;
};

} // namespace velto
