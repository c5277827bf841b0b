#include "preferences/Preferences.h"

#include "platform/ApplicationStorage.h"
#include "preferences/PagesFolderBookmark.h"
#include "preferences/StoredShortcut.h"

#include <algorithm>
#include <atomic>

namespace velto::VeltoPreferences {

namespace {

std::atomic<PreferencesStore *> replacementStorage{nullptr};

DefaultsDomain &defaults() {
    return storage().defaults();
}

const StoredShortcutKeys globalShortcutKeys{
    PreferenceKeys::globalShortcutConfigured,
    PreferenceKeys::globalShortcutKeyCode,
    PreferenceKeys::globalShortcutModifiers,
    PreferenceKeys::globalShortcutKeyLabel,
};

const StoredShortcutKeys appendClipboardShortcutKeys{
    PreferenceKeys::appendClipboardShortcutConfigured,
    PreferenceKeys::appendClipboardShortcutKeyCode,
    PreferenceKeys::appendClipboardShortcutModifiers,
    PreferenceKeys::appendClipboardShortcutKeyLabel,
};

/// The choice stored under the key, or the fallback for absent or unknown text.
template <typename Choice> Choice storedChoice(const char *key, Choice fallback) {
    std::optional<QString> text = defaults().string(key);
    if (!text) {
        return fallback;
    }
    return choiceFromRawValue<Choice>(*text).value_or(fallback);
}

template <typename Choice> void storeChoice(const char *key, Choice choice) {
    defaults().set(key, rawValue(choice));
    notifyChange();
}

PanelSizeChoice storedPanelSizeChoice() {
    return storedChoice(PreferenceKeys::panelSizeChoice, PanelSizeChoice::compact);
}

bool isAvailableFontSize(double size) {
    return std::find(availableFontSizes.begin(), availableFontSizes.end(), size) != availableFontSizes.end();
}

} // namespace

PreferencesStore &storage() {
    PreferencesStore *replacement = replacementStorage.load();
    return replacement != nullptr ? *replacement : PreferencesStore::standard();
}

void useStorage(PreferencesStore *store) {
    replacementStorage.store(store);
}

void notifyChange() {
    storage().notifyChange();
}

void registerDefaults() {
    defaults().registerDefaults({
        {PreferenceKeys::appearanceChoice, QStringLiteral("system")},
        {PreferenceKeys::panelSizeChoice, QStringLiteral("compact")},
        {PreferenceKeys::editorIndentationChoice, QStringLiteral("spaces2")},
        {PreferenceKeys::recentPagesDuration, QStringLiteral("oneWeek")},
        {PreferenceKeys::checksSpelling, false},
        {PreferenceKeys::correctsSpellingAutomatically, false},
        {PreferenceKeys::formatsMarkdown, true},
    });
}

GlobalShortcut defaultGlobalShortcut() {
    return {49, ModifierFlags::option, QStringLiteral("Space")};
}

GlobalShortcut defaultAppendClipboardShortcut() {
    return {9, ModifierFlags::option | ModifierFlags::command, QStringLiteral("V")};
}

AppearanceChoice appearance() {
    return storedChoice(PreferenceKeys::appearanceChoice, AppearanceChoice::system);
}
void setAppearance(AppearanceChoice choice) {
    storeChoice(PreferenceKeys::appearanceChoice, choice);
}

EditorFontChoice fontChoice() {
    return storedChoice(PreferenceKeys::editorFontChoice, EditorFontChoice::monospaced);
}
void setFontChoice(EditorFontChoice choice) {
    storeChoice(PreferenceKeys::editorFontChoice, choice);
}

EditorIndentationChoice indentation() {
    return storedChoice(PreferenceKeys::editorIndentationChoice, EditorIndentationChoice::spaces2);
}
void setIndentation(EditorIndentationChoice choice) {
    storeChoice(PreferenceKeys::editorIndentationChoice, choice);
}

AutoArchiveDuration autoArchiveDuration() {
    return storedChoice(PreferenceKeys::recentPagesDuration, AutoArchiveDuration::oneWeek);
}
void setAutoArchiveDuration(AutoArchiveDuration duration) {
    storeChoice(PreferenceKeys::recentPagesDuration, duration);
}

EditorTextCheckingSettings textChecking() {
    return {defaults().boolean(PreferenceKeys::checksSpelling),
            defaults().boolean(PreferenceKeys::correctsSpellingAutomatically)};
}

void setTextChecking(EditorTextCheckingSettings settings) {
    defaults().set(PreferenceKeys::checksSpelling, settings.checksSpelling);
    defaults().set(PreferenceKeys::correctsSpellingAutomatically, settings.correctsSpellingAutomatically);
    notifyChange();
}

PanelSizeMode panelSizeMode() {
    if (defaults().string(PreferenceKeys::panelSizeMode) == QStringLiteral("custom")) {
        return PanelSizeMode::custom();
    }
    return PanelSizeMode::presetMode(storedPanelSizeChoice());
}

QSizeF panelContentSize() {
    PanelSizeMode mode = panelSizeMode();
    if (mode.isCustom) {
        double width = defaults().doubleValue(PreferenceKeys::customPanelWidth);
        double height = defaults().doubleValue(PreferenceKeys::customPanelHeight);
        if (width > 0 && height > 0) {
            return clampedPanelContentSize({width, height});
        }
        return presetContentSize(storedPanelSizeChoice());
    }
    return presetContentSize(mode.preset);
}

void setPanelSize(PanelSizeChoice choice) {
    storeChoice(PreferenceKeys::panelSizeChoice, choice);
}

void rememberPanelContentSize(QSizeF size) {
    QSizeF clamped = clampedPanelContentSize(size);
    defaults().set(PreferenceKeys::customPanelWidth, clamped.width());
    defaults().set(PreferenceKeys::customPanelHeight, clamped.height());
    notifyChange();
}

double fontSize(double steppingFrom, int by) {
    auto found = std::find(availableFontSizes.begin(), availableFontSizes.end(), steppingFrom);
    if (found == availableFontSizes.end()) {
        return defaultFontSize;
    }
    long long index = (found - availableFontSizes.begin()) + static_cast<long long>(by);
    long long last = static_cast<long long>(availableFontSizes.size()) - 1;
    return availableFontSizes[static_cast<std::size_t>(std::clamp(index, 0LL, last))];
}

double editorFontSize() {
    double stored = defaults().doubleValue(PreferenceKeys::editorFontSize);
    return isAvailableFontSize(stored) ? stored : defaultFontSize;
}

bool setEditorFontSize(double size) {
    if (!isAvailableFontSize(size) || size == editorFontSize()) {
        return false;
    }
    defaults().set(PreferenceKeys::editorFontSize, size);
    notifyChange();
    return true;
}

bool formatsMarkdown() {
    return defaults().boolean(PreferenceKeys::formatsMarkdown);
}

void setFormatsMarkdown(bool formats) {
    defaults().set(PreferenceKeys::formatsMarkdown, formats);
    notifyChange();
}

std::optional<GlobalShortcut> globalShortcut() {
    // A stored key code counts even without the Configured flag, which older settings may lack.
    if (hasStoredKeyCode(defaults(), globalShortcutKeys)) {
        return storedShortcut(defaults(), globalShortcutKeys);
    }
    if (!defaults().boolean(PreferenceKeys::globalShortcutConfigured)) {
        return defaultGlobalShortcut();
    }
    return std::nullopt;
}

void setGlobalShortcut(const std::optional<GlobalShortcut> &shortcut) {
    storeShortcut(defaults(), globalShortcutKeys, shortcut);
    notifyChange();
}

std::optional<GlobalShortcut> appendClipboardShortcut() {
    if (!defaults().boolean(PreferenceKeys::appendClipboardShortcutConfigured)) {
        return defaultAppendClipboardShortcut();
    }
    return storedShortcut(defaults(), appendClipboardShortcutKeys);
}

void setAppendClipboardShortcut(const std::optional<GlobalShortcut> &shortcut) {
    storeShortcut(defaults(), appendClipboardShortcutKeys, shortcut);
    notifyChange();
}

bool isUsingDefaults() {
    return appearance() == AppearanceChoice::system &&
           panelSizeMode() == PanelSizeMode::presetMode(PanelSizeChoice::compact) &&
           fontChoice() == EditorFontChoice::monospaced && editorFontSize() == defaultFontSize &&
           indentation() == EditorIndentationChoice::spaces2 && textChecking() == EditorTextCheckingSettings{} &&
           formatsMarkdown() && autoArchiveDuration() == AutoArchiveDuration::oneWeek &&
           globalShortcut() == defaultGlobalShortcut() && appendClipboardShortcut() == defaultAppendClipboardShortcut();
}

void restoreEditorAndAppearanceDefaults() {
    PreferencesStore &store = storage();
    store.performBatch([&store] {
        setAppearance(AppearanceChoice::system);
        setPanelSize(PanelSizeChoice::compact);
        store.defaults().set(PreferenceKeys::panelSizeMode, QStringLiteral("preset"));
        store.notificationCenter().postPanelSizeModeDidChange();
        notifyChange();
        setFontChoice(EditorFontChoice::monospaced);
        store.defaults().set(PreferenceKeys::editorFontSize, defaultFontSize);
        notifyChange();
        setIndentation(EditorIndentationChoice::spaces2);
        setTextChecking({});
        setFormatsMarkdown(true);
        setAutoArchiveDuration(AutoArchiveDuration::oneWeek);
        store.defaults().remove(PreferenceKeys::customPanelWidth);
        store.defaults().remove(PreferenceKeys::customPanelHeight);
    });
}

void setPagesFolder(const QByteArray &bookmarkData, VeltoFolderOwnershipMode ownershipMode) {
    defaults().set(PreferenceKeys::pagesFolderBookmark, bookmarkData);
    defaults().set(PreferenceKeys::pagesFolderOwnershipMode, rawValue(ownershipMode));
    notifyChange();
}

void forgetPagesFolder() {
    defaults().remove(PreferenceKeys::pagesFolderBookmark);
    defaults().remove(PreferenceKeys::pagesFolderOwnershipMode);
    notifyChange();
}

std::filesystem::path resolvePagesFolderURL() {
    std::optional<QByteArray> bookmark = defaults().data(PreferenceKeys::pagesFolderBookmark);
    if (!bookmark) {
        return applicationStorage::defaultPagesFolder();
    }
    // A path bookmark never goes stale, so there is nothing to rewrite here.
    return resolvedPagesFolderBookmark(*bookmark);
}

bool hasCompletedWelcome() {
    return defaults().boolean(PreferenceKeys::hasCompletedWelcome);
}

bool completeWelcome() {
    defaults().set(PreferenceKeys::hasCompletedWelcome, true);
    defaults().synchronize();
    if (defaults().status() != QSettings::NoError) {
        defaults().remove(PreferenceKeys::hasCompletedWelcome);
        return false;
    }
    notifyChange();
    return true;
}

} // namespace velto::VeltoPreferences
