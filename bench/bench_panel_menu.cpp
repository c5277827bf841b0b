// Figures of the tray icon's menu, built offscreen over an in-memory library of 100 active pages of 50 KB and
// 1,000 archived pages: the whole menu, one "Older Archived Pages" submenu filled as it opens, and the word
// count of a 5 MB page for the information line. Each reports the median and the worst run in milliseconds.
#include "panel/ActivePages.h"
#include "panel/BrowsePagesList.h"
#include "panel/BrowsePagesWindow.h"
#include "panel/PanelMenuView.h"
#include "panel/VeltoPanelMenuController.h"
#include "preferences/CommandRegistry.h"
#include "store/Store.h"
#include "support/TemporaryFolder.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

using namespace velto;

namespace {

double milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

void reportSamples(benchmark::State &state, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples[samples.size() / 2];
    state.counters["worst_ms"] = samples.back();
}

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
        environment.saveOperation = [](const VeltoSaveRequest &, std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
            co_return VeltoSaveResult{};
        };
        store = std::make_unique<VeltoStore>(folder / "Pages", 100, 5'242'880, std::move(environment),
                                             VeltoLibraryLoadResult::loaded(library(systemClock().now())));
        store->setAutoArchivePeriod(VeltoAutoArchivePeriod::never());
        registry = std::make_unique<VeltoCommandRegistry>(
            std::vector<VeltoCommandID>{VeltoCommandID::newPage, VeltoCommandID::openSettings},
            [] { return VeltoCommandContext{true, true, true, false}; }, [](VeltoCommandID) {});
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

void BM_StatusMenuWith100ActiveAnd1000Archived(benchmark::State &state) {
    MenuFixture fixture;
    std::vector<double> samples;
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        std::unique_ptr<QMenu> menu(fixture.controller->makeStatusMenu());
        samples.push_back(milliseconds(std::chrono::steady_clock::now() - begin));
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
        auto begin = std::chrono::steady_clock::now();
        emit older->aboutToShow();
        samples.push_back(milliseconds(std::chrono::steady_clock::now() - begin));
    }
    reportSamples(state, samples);
}
BENCHMARK(BM_OlderArchivedPagesFill)->Iterations(30)->Unit(benchmark::kMillisecond);

void BM_WordCountOfA5MBPage(benchmark::State &state) {
    const std::string text = pageText(5 * 1024 * 1024, 1);
    std::vector<double> samples;
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(VeltoPanelMenuController::wordCount(text));
        samples.push_back(milliseconds(std::chrono::steady_clock::now() - begin));
    }
    reportSamples(state, samples);
}
BENCHMARK(BM_WordCountOfA5MBPage)->Iterations(30)->Unit(benchmark::kMillisecond);

// One search keystroke in Browse Pages over the 100 active pages of 50 KB, as the window runs it once the
// typing pauses: the sliced search (texts folded and cached by the first run) and the model reset.
void BM_BrowseSearchKeystroke(benchmark::State &state) {
    MenuFixture fixture;
    BrowsePagesList list(*fixture.store);
    BrowsePagesModel model;
    const char *queries[] = {"ordinary", "page 4", "task and", "nothing like it", "code"};
    std::vector<double> samples;
    std::vector<double> slices;
    std::size_t run = 0;
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        std::vector<const VeltoPage *> pages = list.candidatePages();
        BrowseSearch search;
        search.start(run, queries[run % 5], identifiersOf(pages));
        bool done = false;
        while (!done) {
            auto sliceBegin = std::chrono::steady_clock::now();
            done = search.step(fixture.store->document(), list.foldedTexts(), BrowsePagesWindow::searchSlice);
            slices.push_back(milliseconds(std::chrono::steady_clock::now() - sliceBegin));
        }
        search.keepMatching(pages);
        list.setRows(pages, queries[run % 5], systemClock().now());
        model.setRows(list.rows());
        samples.push_back(milliseconds(std::chrono::steady_clock::now() - begin));
        run += 1;
    }
    std::sort(slices.begin(), slices.end());
    state.counters["worst_slice_ms"] = slices.back();
    reportSamples(state, samples);
}
BENCHMARK(BM_BrowseSearchKeystroke)->Iterations(30)->Unit(benchmark::kMillisecond);

// The longest main-thread slice of a Browse search when the current page holds 5 MB (first search: folded
// then; later ones: from the cache), and of building the menu over it.
void BM_FiveMegabyteCurrentPageSlices(benchmark::State &state) {
    MenuFixture fixture;
    fixture.store->setText(pageText(5 * 1024 * 1024, 0) + " \u00e9t\u00e9", systemClock().now());
    BrowsePagesList list(*fixture.store);
    std::vector<double> slices;
    std::vector<double> menus;
    for (auto _ : state) {
        BrowseSearch search;
        search.start(1, "\u00c9t\u00c9", identifiersOf(list.candidatePages()));
        bool done = false;
        while (!done) {
            auto sliceBegin = std::chrono::steady_clock::now();
            done = search.step(fixture.store->document(), list.foldedTexts(), BrowsePagesWindow::searchSlice);
            slices.push_back(milliseconds(std::chrono::steady_clock::now() - sliceBegin));
        }
        auto menuBegin = std::chrono::steady_clock::now();
        std::unique_ptr<QMenu> menu(fixture.controller->makeStatusMenu());
        menus.push_back(milliseconds(std::chrono::steady_clock::now() - menuBegin));
    }
    std::sort(menus.begin(), menus.end());
    state.counters["menu_median_ms"] = menus[menus.size() / 2];
    state.counters["menu_worst_ms"] = menus.back();
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
