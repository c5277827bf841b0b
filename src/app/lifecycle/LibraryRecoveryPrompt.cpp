#include "app/lifecycle/LibraryRecoveryPrompt.h"

namespace velto {

namespace {

using Answer = LibraryRecoveryPrompt::Answer;

LibraryRecoveryPrompt rewritePrompt(const VeltoStoreRecoveryIssue &issue) {
    QString informative = issue.kind == VeltoStoreRecoveryIssue::Kind::unreadable
                              ? QStringLiteral("The page file can’t be accessed. Velto can preserve the original "
                                               "for recovery and open a new page without overwriting it.")
                              : QStringLiteral("The page file is damaged. Velto can preserve the original for "
                                               "recovery and open a new page without overwriting it.");
    return {{QStringLiteral("Velto Couldn’t Read Your Page"),
             informative,
             ShellAlert::Style::warning,
             {QStringLiteral("Preserve and Continue"), QStringLiteral("Quit")}},
            {Answer::preserveAndContinue, Answer::quit}};
}

// Rewriting a newer library would lose what only the newer version can read, for that version too.
LibraryRecoveryPrompt newerLibraryPrompt(const VeltoStoreRecoveryIssue &issue) {
    return {{QStringLiteral("This Library Needs a Newer Velto"),
             QString::fromStdString(issue.message) + QStringLiteral(" Velto has left the library as it is."),
             ShellAlert::Style::warning,
             {QStringLiteral("Quit")}},
            {Answer::quit}};
}

// Nothing Velto could write there would help: the user changes the folder, then the library is read again.
LibraryRecoveryPrompt folderPrompt(const VeltoStoreRecoveryIssue &issue) {
    return {{QStringLiteral("Velto Can’t Use Your Pages Folder"),
             QString::fromStdString(issue.message) +
                 QStringLiteral(" Velto keeps its library there and has changed nothing. Fix this, then choose "
                                "Try Again."),
             ShellAlert::Style::warning,
             {QStringLiteral("Try Again"), QStringLiteral("Quit")}},
            {Answer::tryAgain, Answer::quit}};
}

} // namespace

LibraryRecoveryPrompt LibraryRecoveryPrompt::forIssue(const VeltoStoreRecoveryIssue &issue) {
    switch (issue.remedy) {
    case VeltoStoreRecoveryIssue::Remedy::updateVelto:
        return newerLibraryPrompt(issue);
    case VeltoStoreRecoveryIssue::Remedy::changeFolder:
        return folderPrompt(issue);
    case VeltoStoreRecoveryIssue::Remedy::rewriteLibrary:
        break;
    }
    return rewritePrompt(issue);
}

LibraryRecoveryPrompt::Answer LibraryRecoveryPrompt::answer(int response) const {
    int index = response - firstAlertButton;
    if (index < 0 || index >= static_cast<int>(answers.size())) {
        return Answer::quit;
    }
    return answers[static_cast<std::size_t>(index)];
}

ShellAlert originalPreservedAlert(const std::filesystem::path &recoveryFile) {
    return {QStringLiteral("Original Page Preserved"),
            QStringLiteral("Velto saved the original file as ") +
                QString::fromStdString(recoveryFile.filename().string()) + QStringLiteral(" in the folder “") +
                QString::fromStdString(recoveryFile.parent_path().string()) + QStringLiteral("”."),
            ShellAlert::Style::informational};
}

} // namespace velto
