// Figures of the panel's page transitions, drawn offscreen over a real store on a temporary Pages folder: the
// panel shown until its first paint (warm) with a 50 KB and a 5 MB page, a switch between two 50 KB pages, and a
// switch to the 5 MB page. Each reports the median and the worst single run in milliseconds of the main thread's
// wall clock, and of its processor time.
#include "BenchTiming.h"
#include "editor/MarkdownSamples.h"
#include "editor/highlight/CodeSyntaxHighlighter.h"
#include "editor_view/layout/ViewEnvironment.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/VeltoPanelController.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/desktop/SpellingService.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"
#include "store/Store.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <optional>

using namespace velto;

namespace {

constexpr std::size_t smallPageUnits = 50'000;
constexpr std::size_t largePageUnits = 5'000'000;

template <typename Done> void runEventsUntil(Done done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

template <typename T> T finish(QCoro::Task<T> task) {
    std::optional<T> value;
    // The lambda outlives its coroutine: the coroutine reads its captures through it.
    auto waiting = [&]() -> QCoro::Task<> { value = co_await task; };
    auto running = waiting();
    runEventsUntil([&] { return value.has_value(); });
    return std::move(*value);
}

void finish(QCoro::Task<void> task) {
    bool done = false;
    auto waiting = [&]() -> QCoro::Task<> {
        co_await task;
        done = true;
    };
    auto running = waiting();
    runEventsUntil([&] { return done; });
}

/// A library of two 50 KB pages and a 5 MB page, and the panel over it.
class PanelLibrary {
public:
    PanelLibrary() {
        preferences = std::make_unique<PreferencesStore>(
            std::make_unique<DefaultsDomain>(preferencesFolder.filePath(QStringLiteral("Velto.json"))), center);
        VeltoPreferences::useStorage(preferences.get());
        VeltoPreferences::registerDefaults();
        store = finish(VeltoStore::loadForApplication(folder / "Pages", 100, 5'242'880));
        store->setText(text::toUTF8(editor::samples::generatedMarkdown(largePageUnits)), systemClock().now());
        large = store->document().currentPage.id;
        store->createNewPage(systemClock().now());
        store->setText(text::toUTF8(editor::samples::generatedMarkdown(smallPageUnits)), systemClock().now());
        secondSmall = store->document().currentPage.id;
        store->createNewPage(systemClock().now());
        store->setText(text::toUTF8(editor::samples::generatedMarkdown(smallPageUnits)) + "\nfirst\n",
                       systemClock().now());
        firstSmall = store->document().currentPage.id;
        finish(store->flush());
        // The services the application gives the panel: highlight.js and the desktop's spelling.
        PanelServices options;
        options.codeHighlighter = std::make_shared<editor::HighlightJSSyntaxHighlighter>();
        options.spellingService = std::make_shared<EnchantSpellingService>();
        controller = std::make_unique<VeltoPanelController>(*store, panelAssembly(std::move(options)));
        QObject::connect(controller.get(), &VeltoPanelControlling::panelPainted, [this] { painted = true; });
    }
    ~PanelLibrary() {
        controller.reset();
        finish(store->flush());
        store.reset();
        VeltoPreferences::useStorage(nullptr);
    }

    void showAndWaitForPaint() {
        painted = false;
        controller->show(QRect(600, 0, 24, 24));
        runEventsUntil([this] { return painted; });
    }

    testing::TemporaryFolder folder;
    QTemporaryDir preferencesFolder;
    VeltoNotificationCenter center;
    std::unique_ptr<PreferencesStore> preferences;
    std::unique_ptr<VeltoStore> store;
    std::unique_ptr<VeltoPanelController> controller;
    Uuid firstSmall;
    Uuid secondSmall;
    Uuid large;
    bool painted = false;
};

void ShowToFirstPaint(benchmark::State &state, bool largePage) {
    PanelLibrary library;
    if (largePage) {
        library.controller->pageOperations().selectPageAndOpenEditor(library.large);
    }
    library.showAndWaitForPaint(); // the first show builds what every later show reuses
    bench::TimedRuns runs(state);
    for (auto _ : state) {
        library.controller->close();
        QApplication::processEvents();
        runs.time([&library] { library.showAndWaitForPaint(); });
    }
    runs.report();
}

/// Switches to `target` from `from`; only the switch to the target, with its repaint, is timed.
void Switch(benchmark::State &state, bool toLargePage) {
    PanelLibrary library;
    library.showAndWaitForPaint();
    Uuid target = toLargePage ? library.large : library.secondSmall;
    bench::TimedRuns runs(state);
    for (auto _ : state) {
        library.controller->pageOperations().selectPageAndOpenEditor(library.firstSmall);
        QApplication::processEvents();
        runs.time([&] {
            library.controller->pageOperations().selectPageAndOpenEditor(target);
            library.controller->panelView().repaint();
        });
        QApplication::processEvents();
    }
    runs.report();
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    editor::installViewEnvironment();
    benchmark::RegisterBenchmark("ShowToFirstPaint/50KB", ShowToFirstPaint, false)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30);
    benchmark::RegisterBenchmark("ShowToFirstPaint/5MB", ShowToFirstPaint, true)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30);
    benchmark::RegisterBenchmark("SwitchPage/50KBTo50KB", Switch, false)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30);
    benchmark::RegisterBenchmark("SwitchPage/50KBTo5MB", Switch, true)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
