#pragma once

#include "preferences/FolderOwnershipMode.h"
#include "preferences/FontSizes.h"
#include "preferences/GlobalShortcut.h"
#include "preferences/PreferenceChoices.h"
#include "preferences/PreferencesStore.h"

#include <QtCore/QByteArray>
#include <QtCore/QSizeF>

#include <array>
#include <filesystem>
#include <optional>

namespace velto {

/// Keys of the preferences domain. The per-command shortcut keys "appShortcut.…" belong to the command catalog.
namespace PreferenceKeys {
inline constexpr char appearanceChoice[] = "appearanceChoice";
inline constexpr char panelSizeChoice[] = "panelSizeChoice";
inline constexpr char panelSizeMode[] = "panelSizeMode";
inline constexpr char customPanelWidth[] = "customPanelWidth";
inline constexpr char customPanelHeight[] = "customPanelHeight";
inline constexpr char editorFontChoice[] = "editorFontChoice";
inline constexpr char editorFontSize[] = "editorFontSize";
inline constexpr char editorIndentationChoice[] = "editorIndentationChoice";
inline constexpr char recentPagesDuration[] = "recentPagesDuration";
inline constexpr char checksSpelling[] = "checksSpelling";
inline constexpr char correctsSpellingAutomatically[] = "correctsSpellingAutomatically";
inline constexpr char formatsMarkdown[] = "formatsMarkdown";
inline constexpr char globalShortcutConfigured[] = "globalShortcutConfigured";
inline constexpr char globalShortcutKeyCode[] = "globalShortcutKeyCode";
inline constexpr char globalShortcutModifiers[] = "globalShortcutModifiers";
inline constexpr char globalShortcutKeyLabel[] = "globalShortcutKeyLabel";
inline constexpr char appendClipboardShortcutConfigured[] = "appendClipboardShortcutConfigured";
inline constexpr char appendClipboardShortcutKeyCode[] = "appendClipboardShortcutKeyCode";
inline constexpr char appendClipboardShortcutModifiers[] = "appendClipboardShortcutModifiers";
inline constexpr char appendClipboardShortcutKeyLabel[] = "appendClipboardShortcutKeyLabel";
inline constexpr char pagesFolderBookmark[] = "pagesFolderBookmark";
inline constexpr char pagesFolderOwnershipMode[] = "pagesFolderOwnershipMode";
inline constexpr char hasCompletedWelcome[] = "hasCompletedWelcome";
} // namespace PreferenceKeys

/// Typed access to every preference. Nothing is cached: each getter reads the domain anew, values that
/// do not parse fall back to their default, and each setter ends with notifyChange.
namespace VeltoPreferences {

/// The store every preference operation uses: PreferencesStore::standard() unless one was put in its place.
PreferencesStore &storage();
/// Puts another store in place of the standard one (tests use a temporary domain); nullptr restores it.
void useStorage(PreferencesStore *store);

void notifyChange();

/// Registers the seven registered defaults; called once at launch, before the first read.
void registerDefaults();

/// Show or hide: Option-Space. Append clipboard: Option-Command-V.
GlobalShortcut defaultGlobalShortcut();
GlobalShortcut defaultAppendClipboardShortcut();

AppearanceChoice appearance();
void setAppearance(AppearanceChoice choice);
EditorFontChoice fontChoice();
void setFontChoice(EditorFontChoice choice);
EditorIndentationChoice indentation();
void setIndentation(EditorIndentationChoice choice);
AutoArchiveDuration autoArchiveDuration();
void setAutoArchiveDuration(AutoArchiveDuration duration);
EditorTextCheckingSettings textChecking();
/// Writes both switches, then announces one change.
void setTextChecking(EditorTextCheckingSettings settings);

PanelSizeMode panelSizeMode();
/// The preset's size, or the remembered custom size clamped to PanelSizing.
QSizeF panelContentSize();
/// Writes "panelSizeChoice" only; callers switching to a preset also write "panelSizeMode" themselves.
void setPanelSize(PanelSizeChoice choice);
/// Clamps and writes the custom width and height; does not switch the mode.
void rememberPanelContentSize(QSizeF size);

/// The neighbouring entry of availableFontSizes (clamped at the ends); 15 for a size not in the list.
double fontSize(double steppingFrom, int by);
/// The size under "editorFontSize" when it is one of availableFontSizes, else 15.
double editorFontSize();
/// Writes and announces a size that is available and differs from the current one; false otherwise.
bool setEditorFontSize(double size);
bool formatsMarkdown();
void setFormatsMarkdown(bool formats);

/// The show-or-hide hot key; nothing when the user removed it.
std::optional<GlobalShortcut> globalShortcut();
void setGlobalShortcut(const std::optional<GlobalShortcut> &shortcut);
/// The append-clipboard hot key; nothing when the user removed it.
std::optional<GlobalShortcut> appendClipboardShortcut();
void setAppendClipboardShortcut(const std::optional<GlobalShortcut> &shortcut);

/// Whether the editor, appearance and global-shortcut preferences all hold their defaults.
bool isUsingDefaults();
/// Restores appearance, panel size, font, indentation, text checking, Markdown formatting and the archive
/// period as one batch; the global and command shortcuts and the Pages folder stay as they are.
void restoreEditorAndAppearanceDefaults();

void setPagesFolder(const QByteArray &bookmarkData, VeltoFolderOwnershipMode ownershipMode);
/// Forgets the chosen Pages folder and how it is owned: the default folder is the Pages folder again.
void forgetPagesFolder();
/// The chosen Pages folder, or the default one when none was chosen; throws PagesFolderBookmarkError
/// when the chosen folder cannot be found.
std::filesystem::path resolvePagesFolderURL();

/// Whether the Welcome has been answered with "Start writing" (the first-run flag).
bool hasCompletedWelcome();
/// Sets the first-run flag and writes it to the settings file at once; false (and the flag left unset) when
/// the file cannot be written, so that the Welcome comes back next launch.
bool completeWelcome();

} // namespace VeltoPreferences

} // namespace velto
