#include "app/shell/UnsavedTextNotice.h"

#include "app/lifecycle/LaunchTrace.h"
#include "library/unsaved/UnsavedTextFiles.h"
#include "platform/desktop/FileManagerReveal.h"

#include <cstdio>

namespace velto {

ShellAlert unsavedTextAlert(const std::vector<std::filesystem::path> &files) {
    std::vector<QString> names;
    for (const std::filesystem::path &file : files) {
        names.push_back(QStringLiteral("“%1”").arg(QString::fromStdString(file.filename().string())));
    }
    const QString list = alertItemList(names);
    const QString folder = files.empty() ? QString() : QString::fromStdString(files.front().parent_path().string());
    ShellAlert alert;
    alert.title = QStringLiteral("Some Text Is Kept Outside Your Pages");
    alert.message = (files.size() == 1 ? QStringLiteral("Velto couldn’t save some text as a page and kept it in this "
                                                        "file in “%1”. Copy what you need into a page.")
                                       : QStringLiteral("Velto couldn’t save some text as pages and kept it in these "
                                                        "files in “%1”. Copy what you need into your pages."))
                        .arg(folder) +
                    list;
    alert.style = ShellAlert::Style::warning;
    alert.buttons = {QStringLiteral("OK"), QStringLiteral("Show Files")};
    return alert;
}

void announceUnsavedTextFiles(const std::filesystem::path &folder, const ShellAlertPresenter &presentAlert,
                              FileSystem &fileSystem) {
    std::vector<std::filesystem::path> files;
    try {
        files = VeltoPageLibrary::unsavedTextFilesToName(fileSystem, folder);
        if (files.empty()) {
            return;
        }
        // Forgotten before the alert waits for its answer: a logout while it is up must not name them again.
        VeltoPageLibrary::forgetUnsavedTextFilesNamed(fileSystem, folder);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "Velto could not read which unsaved text it kept: %s\n", error.what());
        if (files.empty()) {
            return;
        }
    }
    launchTrace::milestone("unsaved text named");
    if (presentAlert(unsavedTextAlert(files)) != secondButtonResponse) {
        return;
    }
    const std::filesystem::path shownFolder = files.front().parent_path();
    fileManager::revealFile(files.front(), [presentAlert, shownFolder](bool shown) {
        if (!shown) {
            ShellAlert alert;
            alert.title = QStringLiteral("No File Manager Is Available");
            alert.message = QStringLiteral("The files are in “%1”.").arg(QString::fromStdString(shownFolder.string()));
            presentAlert(alert);
        }
    });
}

} // namespace velto
