#include "app/PagesFinderWorkflow.h"

#include "platform/desktop/FileManagerReveal.h"
#include "store/Store.h"

#include <QtWidgets/QMessageBox>

namespace velto {

namespace {

void presentAlert(const QString &title, const QString &informative) {
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Velto"), title, QMessageBox::Ok);
    alert.setInformativeText(informative);
    alert.exec();
}

} // namespace

PagesFinderWorkflow::Operations PagesFinderWorkflow::Operations::live() {
    Operations operations;
    operations.openFolder = [](std::filesystem::path folder) {
        if (!fileManager::openFolder(folder)) {
            presentAlert(noFileManagerMessage(folder), {});
        }
    };
    operations.revealFile = [](std::filesystem::path file) {
        std::filesystem::path folder = file.parent_path();
        fileManager::revealFile(file, [folder](bool shown) {
            if (!shown) {
                presentAlert(noFileManagerMessage(folder), {});
            }
        });
    };
    operations.presentFailure = [](QString title, std::string error) {
        presentAlert(title, QString::fromStdString(error));
    };
    return operations;
}

PagesFinderWorkflow::PagesFinderWorkflow(VeltoStore &store, std::function<void()> capturePendingChanges,
                                         Operations operations)
    : store_(store), capturePendingChanges_(std::move(capturePendingChanges)), operations_(std::move(operations)) {}

QString PagesFinderWorkflow::noFileManagerMessage(const std::filesystem::path &folder) {
    return QStringLiteral("No file manager is available. The Pages folder is “%1”.")
        .arg(QString::fromStdString(folder.string()));
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
    // The file the library's records name; without a current page file there is nothing to show.
    if (std::optional<std::filesystem::path> file = store_.currentPageFileURL()) {
        operations_.revealFile(*file);
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
