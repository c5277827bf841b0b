#pragma once

#include "library/copy/FolderConnectionAssessment.h"
#include "preferences/KeyboardSettingsImportWorkflow.h"
#include "preferences/PreferenceChoices.h"
#include "settings/SettingsPresenters.h"

#include <QtCore/QString>

#include <cstdint>
#include <filesystem>
#include <optional>

// What the Settings window shows, worked out from values alone, so the tests read it without a window.
namespace velto::SettingsTexts {

/// "Delete 1 Archived Page…", "Delete 0 Archived Pages…".
QString deleteArchivedPagesTitle(std::size_t count);
/// The size of the archive in decimal units ("12 kB").
QString archiveSizeText(std::int64_t totalBytes);
/// "1 archived page, 12 kB".
QString archiveAccessibilityValue(std::size_t count, const QString &sizeText);

/// The position of the stored text size among the available sizes; a size not among them counts as 15.
int fontSizeIndex(std::optional<double> storedSize);
/// "15 pt".
QString fontSizeText(double size);

/// "Minimal" … "Expansive" for a preset, "Custom" for the custom size.
QString panelSizeTitle(const PanelSizeMode &mode);
QString autoArchiveTitle(AutoArchiveDuration duration);

/// Whether two folders are the same once "." and ".." components and trailing separators are resolved.
bool isSameFolder(const std::filesystem::path &a, const std::filesystem::path &b);

/// The first question about a folder of other Markdown files, the entire-folder confirmation, and the
/// content question once the destination is known.
SettingsAlert folderConnectionQuestion(const VeltoFolderConnectionAssessment &assessment);
SettingsAlert entireFolderConfirmation(const VeltoFolderConnectionAssessment &assessment);
SettingsAlert folderContentQuestion(const VeltoFolderConnectionAssessment &assessment);

/// Why restoring all settings changed nothing when a default global shortcut is taken, naming the shortcut, the one
/// the user keeps and what the user can do: "Another application uses Alt+Space, the default shortcut to show or
/// hide Velto. No settings were changed, and Alt+J stays your shortcut; …". `showOrHide` picks the show/hide
/// shortcut, else the clipboard one; `keptWorks` is false where the shortcuts put back could not all be registered
/// again, and the message then asks for different ones.
QString defaultShortcutTakenMessage(bool showOrHide, const GlobalShortcut &takenDefault,
                                    const std::optional<GlobalShortcut> &kept, bool keptWorks);

/// One line of the conflicts alert, after its bullet.
QString conflictText(const KeyboardSettingsConflict &conflict);
/// The alert that reports how an import went (nothing = it succeeded).
SettingsAlert importOutcomeAlert(const std::optional<KeyboardSettingsImportFailure> &failure);

} // namespace velto::SettingsTexts
