#include "app/shell/PagesFinderWorkflow.h"

#include "platform/desktop/FileManagerReveal.h"
#include "store/Store.h"

namespace velto {

PagesFinderWorkflow::Operations PagesFinderWorkflow::Operations::live(ShellAlertPresenter presentAlert) {
    auto present = [presentAlert](QString title, QString message) {
        ShellAlert alert;
        alert.title = std::move(title);
        alert.message = std::move(message);
        presentAlert(alert);
    };
    Operations operations;
    operations.openFolder = [present](std::filesystem::path folder) {
        if (!fileManager::openFolder(folder)) {
            present(noFileManagerMessage(folder), {});
        }
    };
    operations.revealFile = [present](std::filesystem::path file) {
        std::filesystem::path folder = file.parent_path();
        fileManager::revealFile(file, [present, folder](bool shown) {
            if (!shown) {
                present(noFileManagerMessage(folder), {});
            }
        });
    };
    operations.presentFailure = [present](QString title, std::string error) {
        present(title, QString::fromStdString(error));
    };
    return operations;
}

PagesFinderWorkflow::PagesFinderWorkflow(VeltoStore &store, std::function<void()> capturePendingChanges,
                                         Operations operations)
    : store_(store)
    , capturePendingChanges_(std::move(capturePendingChanges))
    , operations_(std::move(operations)) {}

QString PagesFinderWorkflow::noFileManagerMessage(const std::filesystem::path &folder) {
    return QString::fromStdString(fileManager::noFileManagerMessage(folder));
}

QCoro::Task<std::optional<std::string>> PagesFinderWorkflow::saveEverything() {
    if (capturePendingChanges_) {
        capturePendingChanges_();
    }
    std::optional<std::string> failure;
    try {
        QCoro::Task<void> flushing = store_.flush();
        co_await flushing;
    } catch (const std::exception &error) {
        failure = error.what();
    }
    co_return failure;
}

QCoro::Task<void> PagesFinderWorkflow::revealCurrentPage() {
    QCoro::Task<std::optional<std::string>> saving = saveEverything();
    std::optional<std::string> failure = co_await saving;
    if (failure) {
        operations_.presentFailure(QStringLiteral("Velto Couldn’t Show the Current Page"), *failure);
        co_return;
    }
    // The file the library's records name. A page with nothing in it has no file: the folder itself is shown.
    if (std::optional<std::filesystem::path> file = store_.currentPageFileURL()) {
        operations_.revealFile(*file);
    } else {
        operations_.openFolder(store_.folderURL());
    }
}

QCoro::Task<void> PagesFinderWorkflow::openPagesFolder() {
    QCoro::Task<std::optional<std::string>> saving = saveEverything();
    std::optional<std::string> failure = co_await saving;
    if (failure) {
        operations_.presentFailure(QStringLiteral("Velto Couldn’t Open the Pages Folder"), *failure);
        co_return;
    }
    operations_.openFolder(store_.folderURL());
}

} // namespace velto
