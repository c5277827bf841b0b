// What the shortcut model costs where it runs on the main thread: routing a key press (every key
// equivalent in the panel), decoding and validating a keyboard-settings file, and reading and writing
// preferences through the settings file.
#include "platform/desktop/XkbKeymap.h"
#include "preferences/CommandCatalog.h"
#include "preferences/KeyboardSettingsFile.h"
#include "preferences/KeyboardSettingsValidator.h"
#include "preferences/LocalShortcutRouter.h"
#include "preferences/Preferences.h"

#include <QtCore/QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace velto;

CommandShortcuts defaultCommandShortcuts() {
    CommandShortcuts commands;
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        commands.emplace_back(id, VeltoCommandCatalog::descriptor(id).shortcut->defaultShortcut);
    }
    return commands;
}

KeyboardSettings defaultSettings() {
    KeyboardSettings settings{
        1, VeltoPreferences::defaultGlobalShortcut(), VeltoPreferences::defaultAppendClipboardShortcut(), {}};
    for (const auto &[id, shortcut] : defaultCommandShortcuts()) {
        settings.appShortcuts[rawValue(id)] = shortcut;
    }
    return settings;
}

// The worst case: a key press that matches no command, so every shortcut is tried.
void BM_RouteUnmatchedKeyPress(benchmark::State &state) {
    CommandShortcuts commands = defaultCommandShortcuts();
    LocalKeyEvent event{ModifierFlags::command, 16, QStringLiteral("y"), QStringLiteral("y")};
    for (auto _ : state) {
        benchmark::DoNotOptimize(LocalShortcutRouter::action(event, commands));
    }
}
BENCHMARK(BM_RouteUnmatchedKeyPress);

void BM_DecodeKeyboardSettings(benchmark::State &state) {
    QByteArray bytes = KeyboardSettingsFile::encode(defaultSettings());
    for (auto _ : state) {
        benchmark::DoNotOptimize(KeyboardSettingsFile::decode(bytes));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes.size());
}
BENCHMARK(BM_DecodeKeyboardSettings);

void BM_ValidateKeyboardSettings(benchmark::State &state) {
    KeyboardSettings settings = defaultSettings();
    KeyboardLayoutTranslator us = KeyboardLayoutTranslator::forKeymap(XkbKeymap::fromLayoutNames("us"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(KeyboardSettingsValidator::conflicts(settings, us));
    }
}
BENCHMARK(BM_ValidateKeyboardSettings);

class TemporaryStore {
public:
    TemporaryStore()
        : store_(std::make_unique<DefaultsDomain>(folder_.filePath(QStringLiteral("Velto.json"))), center_) {
        VeltoPreferences::useStorage(&store_);
        VeltoPreferences::registerDefaults();
    }
    ~TemporaryStore() { VeltoPreferences::useStorage(nullptr); }

private:
    QTemporaryDir folder_;
    VeltoNotificationCenter center_;
    PreferencesStore store_;
};

// The Settings window asks this after every change.
void BM_IsUsingDefaults(benchmark::State &state) {
    TemporaryStore store;
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoPreferences::isUsingDefaults());
    }
}
BENCHMARK(BM_IsUsingDefaults);

// One preference change outside a batch: written, flushed to the settings file and announced.
void BM_WritePreference(benchmark::State &state) {
    TemporaryStore store;
    bool formats = false;
    for (auto _ : state) {
        VeltoPreferences::setFormatsMarkdown(formats);
        formats = !formats;
    }
}
BENCHMARK(BM_WritePreference)->Unit(benchmark::kMicrosecond);

// Importing keyboard settings writes every shortcut in one batch, flushed once.
void BM_WriteKeyboardSettings(benchmark::State &state) {
    TemporaryStore store;
    KeyboardSettings settings = defaultSettings();
    for (auto _ : state) {
        VeltoPreferences::setKeyboardSettings(settings);
    }
}
BENCHMARK(BM_WriteKeyboardSettings)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
