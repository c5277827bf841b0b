// Figures of the tray icon's menu, built offscreen over an in-memory library of 100 active pages of 50 KB and
// 1,000 archived pages: the whole menu, one "Older Archived Pages" submenu filled as it opens, and the word
// count of a 5 MB page for the information line. Each reports the median and the worst run in milliseconds.
#include "BenchTiming.h"
#include "panel/browse/BrowsePagesList.h"
#include "panel/browse/BrowsePagesWindow.h"
#include "panel/menu/PanelMenuView.h"
#include "panel/menu/VeltoPanelMenuController.h"
#include "panel/pages/ActivePages.h"
#include "preferences/CommandRegistry.h"
#include "store/Store.h"
#include "support/TemporaryFolder.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

using namespace velto;
using bench::millisecondsTaken;
using bench::reportSamples;

namespace {

QApplication &application() {
    static int argc = 1;
    static char name[] = "velto_bench_panel_menu";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

Uuid numberedID(int number) {
    char text[37];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", number);
    return *Uuid::parse(text);
}

std::string pageText(std::size_t bytes, int number) {
    std::string text = "# Page " + std::to_string(number) + "\n";
    while (text.size() < bytes) {
        text += "Some words of an ordinary paragraph, with - [ ] a task and `code`.\n";
    }
    text.resize(bytes);
    return text;
}

VeltoDocument library(const Date now) {
    VeltoDocument document;
    for (int number = 0; number < 100; ++number) {
        VeltoPage page;
        page.id = numberedID(number + 1);
        page.createdAt = now - std::chrono::hours(number + 1);
        page.updatedAt = now - std::chrono::minutes(number);
        page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, pageText(50'000, number), "\n"});
        (number == 0 ? document.currentPage : document.pages.emplace_back()) = page;
    }
    for (int number = 0; number < 1'000; ++number) {
        VeltoPage page;
        page.id = numberedID(10'000 + number);
        page.createdAt = now - std::chrono::hours(24 * 40);
        page.archivedAt = now - std::chrono::minutes(number + 1);
        page.content = VeltoPageContent::archivedSummary(
            VeltoArchivedPageSummary{"Archived page " + std::to_string(number) + "\nmore", 100, true, "a", "b"});
        document.pages.push_back(page);
    }
    return document;
}

struct MenuFixture {
    MenuFixture() {
        application();
        VeltoStore::Environment environment;
        environment.saveOperation = [](const VeltoSaveRequest &,
                                       std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
            co_return VeltoSaveResult{};
        };
        store = std::make_unique<VeltoStore>(folder / "Pages", 100, 5'242'880, std::move(environment),
                                             VeltoLibraryLoadResult::loaded(library(systemClock().now())));
        store->setAutoArchivePeriod(VeltoAutoArchivePeriod::never());
        registry = std::make_unique<VeltoCommandRegistry>(
            std::vector<VeltoCommandID>{VeltoCommandID::newPage, VeltoCommandID::openSettings},
            [] {
                return VeltoCommandContext{true, true, true, false};
            },
            [](VeltoCommandID) {});
        VeltoPanelMenuController::Options options;
        options.commandShortcuts = [] { return CommandShortcuts{}; };
        controller = std::make_unique<VeltoPanelMenuController>(
            *store, *registry, [this] { return store->document().currentPage.visibleText(); },
            VeltoPanelMenuController::Actions{}, std::move(options));
    }
    testing::TemporaryFolder folder;
    std::unique_ptr<VeltoStore> store;
    std::unique_ptr<VeltoCommandRegistry> registry;
    std::unique_ptr<VeltoPanelMenuController> controller;
};

QMenu *submenuNamed(QMenu *menu, const QString &text) {
    for (QAction *action : menu->actions()) {
        if (action->text() == text && action->menu()) {
            return action->menu();
        }
    }
    return nullptr;
}

/// Runs a Browse search to its end as the window does, a slice at a time, adding each slice's time to `slices`.
void searchInSlices(BrowseSearch &search, const VeltoStore &store, BrowsePagesList &list, std::vector<double> &slices) {
    bool done = false;
    while (!done) {
        slices.push_back(millisecondsTaken(
            [&] { done = search.step(store.document(), list.foldedTexts(), BrowsePagesWindow::searchSlice); }));
    }
}

void BM_StatusMenuWith100ActiveAnd1000Archived(benchmark::State &state) {
    MenuFixture fixture;
    std::vector<double> samples;
    for (auto _ : state) {
        std::unique_ptr<QMenu> menu;
        samples.push_back(millisecondsTaken([&] { menu.reset(fixture.controller->makeStatusMenu()); }));
        benchmark::DoNotOptimize(menu.get());
    }
    reportSamples(state, samples);
}
BENCHMARK(BM_StatusMenuWith100ActiveAnd1000Archived)->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_OlderArchivedPagesFill(benchmark::State &state) {
    MenuFixture fixture;
    std::vector<double> samples;
    for (auto _ : state) {
        std::unique_ptr<QMenu> menu(fixture.controller->makeStatusMenu());
        QMenu *older = submenuNamed(submenuNamed(submenuNamed(menu.get(), "Browse Pages"), "Archived Pages"),
                                    "Older Archived Pages");
        samples.push_back(millisecondsTaken([&] { emit older->aboutToShow(); }));
    }
    reportSamples(state, samples);
}
BENCHMARK(BM_OlderArchivedPagesFill)->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_WordCountOfA5MBPage(benchmark::State &state) {
    const std::string text = pageText(5 * 1024 * 1024, 1);
    std::vector<double> samples;
    for (auto _ : state) {
        samples.push_back(
            millisecondsTaken([&] { benchmark::DoNotOptimize(VeltoPanelMenuController::wordCount(text)); }));
    }
    reportSamples(state, samples);
}
BENCHMARK(BM_WordCountOfA5MBPage)->Iterations(30)->Unit(benchmark::kMillisecond);

// One search keystroke in Browse Pages over the 100 active pages of 50 KB, as the window runs it once the
// typing pauses: the sliced search (texts folded and cached by the first run) and the model reset.
void BM_BrowseSearchKeystroke(benchmark::State &state) {
    MenuFixture fixture;
    BrowsePagesList list(fixture.store->document());
    BrowsePagesModel model;
    const char *queries[] = {"ordinary", "page 4", "task and", "nothing like it", "code"};
    std::vector<double> samples;
    std::vector<double> slices;
    std::size_t run = 0;
    for (auto _ : state) {
        // Timed until the rows are set; the search and its page list are dropped after the timing.
        const auto begin = std::chrono::steady_clock::now();
        std::vector<const VeltoPage *> pages = list.candidatePages();
        BrowseSearch search;
        search.start(run, queries[run % 5], identifiersOf(pages));
        searchInSlices(search, *fixture.store, list, slices);
        search.keepMatching(pages);
        list.setRows(pages, queries[run % 5], systemClock().now());
        model.setRows(list.rows());
        samples.push_back(bench::milliseconds(std::chrono::steady_clock::now() - begin));
        run += 1;
    }
    state.counters["worst_slice_ms"] = bench::worst(slices);
    reportSamples(state, samples);
}
BENCHMARK(BM_BrowseSearchKeystroke)->Iterations(30)->Unit(benchmark::kMillisecond);

// The longest main-thread slice of a Browse search when the current page holds 5 MB (first search: folded
// then; later ones: from the cache), and of building the menu over it.
void BM_FiveMegabyteCurrentPageSlices(benchmark::State &state) {
    MenuFixture fixture;
    fixture.store->setText(pageText(5 * 1024 * 1024, 0) + " \u00e9t\u00e9", systemClock().now());
    BrowsePagesList list(fixture.store->document());
    std::vector<double> slices;
    std::vector<double> menus;
    for (auto _ : state) {
        BrowseSearch search;
        search.start(1, "\u00c9t\u00c9", identifiersOf(list.candidatePages()));
        searchInSlices(search, *fixture.store, list, slices);
        std::unique_ptr<QMenu> menu;
        menus.push_back(millisecondsTaken([&] { menu.reset(fixture.controller->makeStatusMenu()); }));
    }
    reportSamples(state, menus, "menu_");
    reportSamples(state, slices);
}
BENCHMARK(BM_FiveMegabyteCurrentPageSlices)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
