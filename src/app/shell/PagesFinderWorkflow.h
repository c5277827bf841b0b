#pragma once

#include "app/shell/ShellAlert.h"

#include <qcoro/qcorotask.h>

#include <QtCore/QString>

#include <filesystem>
#include <functional>
#include <string>

namespace velto {

class VeltoStore;

/// Shows the current page's file, or the Pages folder, in the desktop's file manager, after what was typed
/// so far is saved, so that the file shown holds it; a current page without a file opens the Pages folder.
/// Failures are presented, never thrown. Main thread.
class PagesFinderWorkflow {
public:
    /// The file manager's side; the defaults use the desktop's, and alert when nothing can show the folder.
    struct Operations {
        std::function<void(std::filesystem::path folder)> openFolder;
        std::function<void(std::filesystem::path file)> revealFile;
        std::function<void(QString title, std::string error)> presentFailure;
        /// The desktop's file manager; alerts through `presentAlert`.
        static Operations live(ShellAlertPresenter presentAlert = presentShellAlertModally);
    };

    PagesFinderWorkflow(VeltoStore &store, std::function<void()> capturePendingChanges,
                        Operations operations = Operations::live());

    QCoro::Task<void> revealCurrentPage();
    QCoro::Task<void> openPagesFolder();

    /// The sentence shown when the desktop has nothing that can open a folder.
    static QString noFileManagerMessage(const std::filesystem::path &folder);

private:
    /// Hands the editor's text to the store and waits until it is written; the error text when it is not.
    QCoro::Task<std::optional<std::string>> saveEverything();

    VeltoStore &store_;
    std::function<void()> capturePendingChanges_;
    Operations operations_;
};

} // namespace velto
