#include "settings/SettingsTexts.h"

#include "preferences/Preferences.h"
#include "ui/CountedText.h"
#include "ui/KeyNames.h"

#include <QtCore/QLocale>

#include <algorithm>

namespace velto::SettingsTexts {

namespace {

using CountedText::agreeing;
using CountedText::counted;

std::filesystem::path standardized(const std::filesystem::path &folder) {
    std::filesystem::path normal = folder.lexically_normal();
    if (!normal.has_filename() && normal.has_parent_path() && normal != normal.root_path()) {
        normal = normal.parent_path();
    }
    return normal;
}

QString folderName(const std::filesystem::path &folder) {
    return QString::fromStdString(standardized(folder).filename().string());
}

} // namespace

QString deleteArchivedPagesTitle(std::size_t count) {
    if (count == 1) {
        return QStringLiteral("Delete 1 Archived Page…");
    }
    return QStringLiteral("Delete %1 Archived Pages…").arg(count);
}

QString archiveSizeText(std::int64_t totalBytes) {
    return QLocale().formattedDataSize(totalBytes, 1, QLocale::DataSizeSIFormat);
}

QString archiveAccessibilityValue(std::size_t count, const QString &sizeText) {
    return QStringLiteral("%1 archived %2, %3").arg(count).arg(count == 1 ? "page" : "pages", sizeText);
}

int fontSizeIndex(std::optional<double> storedSize) {
    const auto &sizes = VeltoPreferences::availableFontSizes;
    double size = storedSize.value_or(VeltoPreferences::defaultFontSize);
    auto found = std::find(sizes.begin(), sizes.end(), size);
    if (found == sizes.end()) {
        found = std::find(sizes.begin(), sizes.end(), VeltoPreferences::defaultFontSize);
    }
    return static_cast<int>(found - sizes.begin());
}

QString fontSizeText(double size) {
    return QStringLiteral("%1 pt").arg(static_cast<int>(size));
}

QString panelSizeTitle(const PanelSizeMode &mode) {
    if (mode.isCustom) {
        return QStringLiteral("Custom");
    }
    return panelSizeName(mode.preset);
}

QString autoArchiveTitle(AutoArchiveDuration duration) {
    switch (duration) {
    case AutoArchiveDuration::oneDay:
        return QStringLiteral("After 1 Day");
    case AutoArchiveDuration::oneWeek:
        return QStringLiteral("After 1 Week");
    case AutoArchiveDuration::oneMonth:
        return QStringLiteral("After 1 Month");
    case AutoArchiveDuration::never:
        return QStringLiteral("Never");
    }
    return {};
}

bool isSameFolder(const std::filesystem::path &a, const std::filesystem::path &b) {
    return standardized(a) == standardized(b);
}

SettingsAlert folderConnectionQuestion(const VeltoFolderConnectionAssessment &assessment) {
    SettingsAlert alert;
    alert.title = QStringLiteral("Keep this vault unchanged?");
    std::int64_t count = assessment.markdownFileCount;
    alert.message = QStringLiteral("This folder contains %1. Velto recommends using a Velto subfolder so %2 "
                                   "untouched.")
                        .arg(counted(count, "Markdown file", "Markdown files"),
                             agreeing(count, "that file remains", "those files remain"));
    alert.style = SettingsAlert::Style::informational;
    alert.buttons = {QStringLiteral("Use a Velto Subfolder"), QStringLiteral("Use Entire Folder…"),
                     QStringLiteral("Cancel")};
    alert.showsApplicationIcon = false;
    return alert;
}

SettingsAlert entireFolderConfirmation(const VeltoFolderConnectionAssessment &assessment) {
    SettingsAlert alert;
    alert.title = QStringLiteral("Let Velto manage this entire folder?");
    std::int64_t downloading = assessment.unavailableFileCount;
    alert.message =
        QStringList{counted(assessment.markdownFileCount, "Markdown file", "Markdown files") + " found",
                    counted(assessment.pagesRequiringIdentityCount, "file", "files") + " will receive a Velto ID",
                    counted(assessment.projectedArchiveCount, "page", "pages") +
                        " will be archived by the active limit",
                    counted(downloading, "file", "files") + agreeing(downloading, " is", " are") + " still downloading",
                    counted(assessment.unreadableFileCount, "file", "files") + " could not be inspected"}
            .join(QLatin1Char('\n'));
    alert.style = SettingsAlert::Style::warning;
    alert.buttons = {QStringLiteral("Use Entire Folder"), QStringLiteral("Cancel")};
    alert.showsApplicationIcon = false;
    return alert;
}

SettingsAlert folderContentQuestion(const VeltoFolderConnectionAssessment &assessment) {
    QString name = folderName(assessment.selectedFolderURL);
    SettingsAlert alert;
    alert.style = SettingsAlert::Style::informational;
    alert.showsApplicationIcon = false;
    if (assessment.kind == VeltoFolderConnectionKind::empty) {
        alert.title = QStringLiteral("Start fresh in “%1”?").arg(name);
        alert.message = QStringLiteral("Start with no pages, or copy your current pages into this folder. Your "
                                       "current Pages folder will stay unchanged.");
        alert.buttons = {QStringLiteral("Start Fresh")};
    } else {
        alert.title = QStringLiteral("Bring your current pages to “%1”?").arg(name);
        alert.message = QStringLiteral("Use the Markdown already in this folder, or copy your current pages into it "
                                       "too. Your current Pages folder will stay unchanged.");
        alert.buttons = {QStringLiteral("Use Existing Pages")};
    }
    alert.buttons << QStringLiteral("Copy Current Pages") << QStringLiteral("Cancel");
    return alert;
}

QString defaultShortcutTakenMessage(bool showOrHide, const GlobalShortcut &takenDefault,
                                    const std::optional<GlobalShortcut> &kept, bool keptWorks) {
    QString purpose = showOrHide ? QStringLiteral("show or hide Velto") : QStringLiteral("append clipboard text");
    QString message = QStringLiteral("Another application uses %1, the default shortcut to %2. ")
                          .arg(KeyNames::text(takenDefault), purpose);
    if (!keptWorks) {
        // The shortcuts put back do nothing either: other shortcuts come before freeing the default.
        return message + QStringLiteral("No settings were changed, but your previous shortcuts could not all be "
                                        "registered again either. Choose different shortcuts in Shortcuts.");
    }
    if (!kept) {
        message += QStringLiteral("No settings were changed, and no shortcut is set for it; you can choose one in "
                                  "Shortcuts. ");
    } else {
        message += QStringLiteral("No settings were changed, and %1 stays your shortcut; you can choose a different "
                                  "one in Shortcuts. ")
                       .arg(KeyNames::text(kept));
    }
    return message + QStringLiteral("To restore all defaults, free %1 in the other application or in your desktop’s "
                                    "keyboard settings, then try again.")
                         .arg(KeyNames::text(takenDefault));
}

QString conflictText(const KeyboardSettingsConflict &conflict) {
    switch (conflict.kind) {
    case KeyboardSettingsConflict::Kind::unsafeShortcut:
        return conflict.first + QStringLiteral(" does not use a safe modifier combination.");
    case KeyboardSettingsConflict::Kind::nativeCommand:
        return conflict.first + QStringLiteral(" uses a standard editing shortcut of the system.");
    case KeyboardSettingsConflict::Kind::shortcuts:
        return conflict.first + QStringLiteral(" and ") + conflict.second + QStringLiteral(" use the same shortcut.");
    case KeyboardSettingsConflict::Kind::globalShortcuts:
        return QStringLiteral("Show or hide Velto and Append clipboard text use the same shortcut.");
    }
    return {};
}

SettingsAlert importOutcomeAlert(const std::optional<KeyboardSettingsImportFailure> &failure) {
    SettingsAlert alert;
    if (!failure) {
        alert.title = QStringLiteral("Keyboard Settings Imported");
        alert.message = QStringLiteral("Your keyboard shortcuts are ready to use.");
        alert.style = SettingsAlert::Style::informational;
        return alert;
    }
    switch (failure->kind) {
    case KeyboardSettingsImportFailure::Kind::registrationFailed:
        alert.title = QStringLiteral("Keyboard Shortcut Is Unavailable");
        alert.message = QStringLiteral("The system could not register an imported global shortcut. Your previous "
                                       "keyboard settings were restored.");
        break;
    case KeyboardSettingsImportFailure::Kind::rollbackRegistrationFailed:
        alert.title = QStringLiteral("Previous Shortcut Is Unavailable");
        alert.message = QStringLiteral("Velto restored the previous shortcut setting, but the system could not "
                                       "register it. Choose another shortcut.");
        break;
    case KeyboardSettingsImportFailure::Kind::conflicts: {
        alert.title = QStringLiteral("Keyboard Shortcuts Conflict");
        QStringList lines;
        for (const KeyboardSettingsConflict &conflict : failure->conflicts) {
            lines << QStringLiteral("• ") + conflictText(conflict);
        }
        alert.message = QStringLiteral("No settings were imported.\n\n") + lines.join(QLatin1Char('\n'));
        break;
    }
    }
    return alert;
}

} // namespace velto::SettingsTexts
