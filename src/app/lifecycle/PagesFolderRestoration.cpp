#include "app/lifecycle/PagesFolderRestoration.h"

#include "app/lifecycle/PagesFolderAccessController.h"
#include "library/copy/FolderConnectionAssessment.h"
#include "preferences/Preferences.h"

namespace velto {

bool restoreSavedPagesFolder(PagesFolderAccessController &pagesFolderAccess, const ShellAlertPresenter &presentAlert) {
    try {
        pagesFolderAccess.replaceActiveFolder(VeltoPreferences::resolvePagesFolderURL(), false);
        return true;
    } catch (const std::exception &error) {
        // Going on with the default forgets the saved folder, or the alert would return at every launch and
        // Settings would offer no way back.
        int response = presentAlert({QStringLiteral("Velto Couldn’t Access Your Pages Folder"),
                                     QString::fromUtf8(error.what()) +
                                         QStringLiteral("\n\nThe saved folder is invalid or unavailable. Quit to keep "
                                                        "it chosen and reconnect it, or continue with the default "
                                                        "Pages folder instead."),
                                     ShellAlert::Style::warning,
                                     {QStringLiteral("Quit"), QStringLiteral("Use Default Folder")}});
        if (response != firstAlertButton + 1) {
            return false;
        }
    }
    VeltoPreferences::forgetPagesFolder();
    pagesFolderAccess.replaceActiveFolder(VeltoPageLibrary::defaultFolderURL(), false);
    return true;
}

} // namespace velto
