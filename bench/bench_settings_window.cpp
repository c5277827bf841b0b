// Figures of the Settings window, drawn offscreen: its first showing (the controller, the five pages with every
// control and recorder, the refresh and the first painting), a refresh of every control, and a switch between
// two categories with its painting. Wall clock and the thread's processor time. Each reports the median and the worst
// single run in milliseconds.
#include "BenchTiming.h"
#include "preferences/Preferences.h"
#include "settings/SettingsWindowController.h"

#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>
#include <benchmark/benchmark.h>

#include <memory>

using namespace velto;

namespace {

/// Runs `work` once per iteration, timed with the events it posts (layout and painting) delivered.
template <typename Work> void timeEach(benchmark::State &state, Work work) {
    bench::timeEach(state, work, [] { QApplication::processEvents(); });
}

SettingsWindowCallbacks callbacks(const std::filesystem::path &folder) {
    SettingsWindowCallbacks c;
    c.storage.pagesFolderURL = [folder] { return folder; };
    c.storage.archiveSnapshot = [] {
        VeltoArchiveSnapshot snapshot;
        for (int index = 0; index < 100; ++index) {
            snapshot.pageIDs.insert(Uuid::random());
        }
        snapshot.totalBytes = 5'242'880;
        return snapshot;
    };
    c.storage.canDeleteArchivedPages = [] { return true; };
    c.about.applicationVersion = QStringLiteral("Version 1.0 (1)");
    return c;
}

SettingsPresenters quietPresenters() {
    SettingsPresenters presenters;
    presenters.presentAlert = [](QWidget *, SettingsAlert) -> QCoro::Task<int> { co_return 0; };
    presenters.beep = [] {};
    presenters.revealFolder = [](std::filesystem::path, std::function<void(bool)> done) { done(true); };
    return presenters;
}

struct TemporaryPreferences {
    QTemporaryDir folder;
    VeltoNotificationCenter center;
    std::unique_ptr<PreferencesStore> store = std::make_unique<PreferencesStore>(
        std::make_unique<DefaultsDomain>(folder.filePath(QStringLiteral("Velto.json"))), center);
    TemporaryPreferences() { VeltoPreferences::useStorage(store.get()); }
    ~TemporaryPreferences() { VeltoPreferences::useStorage(nullptr); }
    std::filesystem::path pagesFolder() const { return folder.path().toStdString() + "/Pages"; }
};

void FirstShow(benchmark::State &state) {
    TemporaryPreferences preferences;
    std::vector<std::unique_ptr<SettingsWindowController>> shown;
    timeEach(state, [&] {
        auto controller =
            std::make_unique<SettingsWindowController>(callbacks(preferences.pagesFolder()), quietPresenters());
        controller->showWindow();
        controller->window()->repaint();
        shown.push_back(std::move(controller));
    });
}

void Refresh(benchmark::State &state) {
    TemporaryPreferences preferences;
    SettingsWindowController controller(callbacks(preferences.pagesFolder()), quietPresenters());
    controller.showWindow();
    QApplication::processEvents();
    timeEach(state, [&] { controller.refresh(); });
}

void CategorySwitch(benchmark::State &state) {
    TemporaryPreferences preferences;
    SettingsWindowController controller(callbacks(preferences.pagesFolder()), quietPresenters());
    controller.showWindow();
    QApplication::processEvents();
    int next = 0;
    timeEach(state, [&] {
        next = (next + 1) % static_cast<int>(allSettingsCategories.size());
        controller.showCategory(allSettingsCategories[static_cast<std::size_t>(next)]);
    });
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    struct Figure {
        const char *name;
        void (*function)(benchmark::State &);
        int iterations;
    };
    for (const Figure &figure : {Figure{"FirstShow", FirstShow, 30}, Figure{"Refresh", Refresh, 200},
                                 Figure{"CategorySwitch", CategorySwitch, 200}}) {
        benchmark::RegisterBenchmark(figure.name, figure.function)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(figure.iterations);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
