// The text view on generated Markdown, offscreen: opening a page (text, full styling pass, first
// paint), a keystroke in the middle to its finished repaint, a wheel step, a jump to any position, a
// keystroke in one long paragraph, a key typed through the view at the start, middle and end, and the
// memory the open 5 MiB page takes; the editor coordinator's hand-over of a keystroke to the store and its
// style pass, a keystroke until its code highlighting is done, and spell checking one screen. Each reports
// the median and the worst single run in milliseconds.
#include "BenchTiming.h"
#include "editor/MarkdownSamples.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/spelling/ContinuousSpellChecking.h"
#include "editor_view/view/VeltoTextView.h"
#include "page_editor/CodeHighlightRequests.h"
#include "page_editor/EditorCoordinator.h"
#include "page_editor/EditorSettingsFeed.h"
#include "platform/Text.h"
#include "preferences/Preferences.h"
#include "store/Store.h"
#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace velto::editor;
using velto::bench::millisecondsTaken;
using velto::bench::timeIteration;

namespace {

constexpr std::size_t mebibyte = 1024 * 1024;

/// The median and the worst, and the 99th percentile these figures also report.
void reportSamples(benchmark::State &state, const std::vector<double> &samples) {
    if (samples.empty()) {
        return;
    }
    velto::bench::reportSamples(state, samples);
    state.counters["p99_ms"] = velto::bench::percentile(samples, 99);
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / mebibyte;
}

std::unique_ptr<VeltoTextView> makeView() {
    auto view = std::make_unique<VeltoTextView>();
    view->resize(610, 400);
    view->show();
    QCoreApplication::processEvents();
    return view;
}

/// Loads the text, styles it in full and paints the first screen: what opening a page costs.
void open(VeltoTextView &view, const std::u16string &text) {
    view.editingCore().loadText(text, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    MarkdownStyler::apply(view.textStorage());
    view.viewport()->repaint();
}

void Open(benchmark::State &state, std::size_t units) {
    const std::u16string text = samples::generatedMarkdown(units);
    std::vector<double> samples;
    for (auto _ : state) {
        auto view = makeView();
        samples.push_back(timeIteration(state, [&] { open(*view, text); }));
    }
    reportSamples(state, samples);
}

std::size_t lineStartNearMiddle(const TextStorage &storage) {
    const std::size_t middle = storage.length() / 2;
    const std::u16string around =
        storage.substring(TextRange{middle, std::min<std::size_t>(4096, storage.length() - middle)});
    const std::size_t lineBreak = around.find(u'\n');
    return lineBreak == std::u16string::npos ? middle : middle + lineBreak + 1;
}

/// Where in the page a typed letter lands.
enum class Place { start, middle, end };

/// How a typed letter reaches the text: given to the editing core, or as a key event through the view
/// (typing rules, editing core, layout).
enum class Delivery { editingCore, keyEvent };

std::size_t positionOf(Place place, const TextStorage &storage) {
    switch (place) {
    case Place::start:
        return 0;
    case Place::middle:
        return lineStartNearMiddle(storage);
    case Place::end:
        return storage.length();
    }
    return 0;
}

/// Types a letter and deletes it again (Backspace) at one place, each to its finished repaint; with
/// `styled`, the incremental styling pass of the edit runs before the repaint as well.
void TypeAndDelete(benchmark::State &state, const std::u16string &text, Place place, Delivery delivery, bool styled) {
    auto view = makeView();
    open(*view, text);
    const std::size_t position = positionOf(place, view->textStorage());
    view->setSelectedRange(TextRange{position, 0});
    view->scrollRangeToVisible(TextRange{position, 0});
    view->viewport()->repaint();
    std::vector<double> samples;
    for (auto _ : state) {
        for (const bool typing : {true, false}) {
            QKeyEvent press(QEvent::KeyPress, typing ? Qt::Key_X : Qt::Key_Backspace, Qt::NoModifier,
                            typing ? QStringLiteral("x") : QStringLiteral("\b"));
            samples.push_back(timeIteration(state, [&] {
                if (delivery == Delivery::keyEvent) {
                    QCoreApplication::sendEvent(view.get(), &press);
                } else if (typing) {
                    view->editingCore().insertText(u"x");
                } else {
                    view->editingCore().deleteBackward();
                }
                if (styled) {
                    MarkdownStyler::apply(view->textStorage(), TextRange{position, typing ? 1u : 0u});
                }
                view->viewport()->repaint();
            }));
        }
    }
    reportSamples(state, samples);
}

void WheelStep(benchmark::State &state) {
    auto view = makeView();
    open(*view, samples::generatedMarkdown(5 * mebibyte));
    view->scrollToPoint(QPointF(0, view->documentHeight() / 3));
    view->viewport()->repaint();
    std::vector<double> samples;
    int direction = -120;
    int steps = 0;
    for (auto _ : state) {
        if (steps++ % 50 == 0) {
            direction = -direction;
        }
        const QPointF centre(300, 200);
        QWheelEvent wheel(centre, view->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, direction), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        samples.push_back(timeIteration(state, [&] {
            QCoreApplication::sendEvent(view->viewport(), &wheel);
            view->viewport()->repaint();
        }));
    }
    reportSamples(state, samples);
}

void Jump(benchmark::State &state) {
    auto view = makeView();
    open(*view, samples::generatedMarkdown(5 * mebibyte));
    std::mt19937 random(7);
    std::vector<double> samples;
    for (auto _ : state) {
        const std::size_t position = random() % view->textStorage().length();
        samples.push_back(timeIteration(state, [&] {
            view->setSelectedRange(TextRange{position, 0});
            view->scrollRangeToVisible(TextRange{position, 0});
            view->viewport()->repaint();
        }));
    }
    reportSamples(state, samples);
}

/// Resident memory taken by opening the 5 MiB page, painting it, jumping through it and letting the
/// idle layout run for a while.
void Memory(benchmark::State &state) {
    const std::u16string text = samples::generatedMarkdown(5 * mebibyte);
    for (auto _ : state) {
        const double before = residentMegabytes();
        auto view = makeView();
        open(*view, text);
        std::mt19937 random(9);
        for (int k = 0; k < 100; ++k) {
            view->scrollRangeToVisible(TextRange{random() % text.size(), 0});
            view->viewport()->repaint();
        }
        view->usedHeightAfterFullLayout();
        state.counters["growth_MB"] = residentMegabytes() - before;
        state.counters["laid_out_units"] = static_cast<double>(view->layoutCache().laidOutUnits());
        state.SetIterationTime(1);
    }
}

/// The view as the coordinator sees it, doing nothing: the hand-over is measured alone.
struct QuietCoordinatorView : EditorCoordinatorView {
    void setNeedsDisplay() override {}
    void applyEditorAppearance(const EditorAppearance &) override {}
    Appearance effectiveAppearance() const override { return Appearance::aqua; }
    bool increasesContrast() const override { return false; }
    bool clearPreviewedTaskCheckbox() override { return false; }
    void beep() override {}
};

/// The panel as the coordinator sees it, doing nothing, and leaving page transitions to the coordinator.
struct QuietCoordinatorPanel : EditorCoordinatorPanel {
    void updateCommandAvailability(bool, bool) override {}
    void updateScrollIndicators() override {}
    bool isPinnedToBottom() const override { return false; }
    void pinToBottom() override {}
    bool transitionToCurrentPage() override { return false; }
};

/// A store on a new library in `folder`, once its load has finished.
std::unique_ptr<velto::VeltoStore> loadedStore(const velto::testing::TemporaryFolder &folder) {
    std::unique_ptr<velto::VeltoStore> store;
    bool loaded = false;
    // The closure outlives the load: the coroutine reaches its captures through it after resuming.
    auto load = [&]() -> QCoro::Task<> {
        store = co_await velto::VeltoStore::loadForApplication(folder / "Pages", 100, 5'242'880);
        loaded = true;
    };
    auto loading = load();
    while (!loaded) {
        QCoreApplication::processEvents();
    }
    return store;
}

/// A keystroke on a 5 MiB page, then the coordinator's hand-over to the store as its save timer does it:
/// the text converted to UTF-8 and given to setText (the store's write runs off the main thread).
void HandOver(benchmark::State &state) {
    velto::testing::TemporaryFolder folder;
    std::unique_ptr<velto::VeltoStore> store = loadedStore(folder);
    const std::u16string text = samples::generatedMarkdown(5 * mebibyte);
    store->setText(velto::text::toUTF8(text), velto::systemClock().now());
    struct {
        TextStorage storage;
        EditingCore core{storage, nullptr, &histories};
        PageUndoHistories histories{core};
    } parts;
    TextStorage &storage = parts.storage;
    EditingCore &core = parts.core;
    PageUndoHistories &histories = parts.histories;
    QuietCoordinatorView quiet;
    QuietCoordinatorPanel quietPanel;
    EditorSettingsFeed settingsFeed;
    VeltoEditorCoordinator coordinator(core, histories, quiet, *store, settingsFeed, quietPanel, velto::qtScheduler(),
                                       nullptr);
    coordinator.loadCurrentPageText();
    const std::size_t position = lineStartNearMiddle(storage);
    std::vector<double> samples;
    for (auto _ : state) {
        core.setSelectedRange(TextRange{position, 0});
        samples.push_back(timeIteration(state, [&] {
            core.insertText(u"x");
            coordinator.flushPendingChanges();
        }));
        QCoreApplication::processEvents();
    }
    reportSamples(state, samples);
    state.counters["stored_MB"] = static_cast<double>(store->document().currentPage.visibleText().size()) / mebibyte;
}

/// A highlighter whose answers are ready at once, as the cache gives them for unchanged blocks: one
/// keyword at the start of each block.
struct ReadyHighlighter : CodeSyntaxHighlighting {
    QCoro::Task<std::vector<SyntaxToken>> tokens(std::u16string source, std::string,
                                                 velto::CancellationToken) override {
        co_return std::vector<SyntaxToken>{
            {TextRange{0, std::min<std::size_t>(3, source.size())}, SyntaxTokenKind::keyword}};
    }
};

/// A 5 MiB page shown through the coordinator, as the panel sets it up: a store, registered preferences
/// (Markdown is formatted), an editing core that reports its edits, and a highlighter that answers at
/// once. Loading it styles the page and applies every block's tokens once.
struct CoordinatedPage {
    velto::testing::TemporaryFolder folder;
    velto::VeltoNotificationCenter center;
    std::unique_ptr<velto::PreferencesStore> preferences;
    std::unique_ptr<EditorSettingsFeed> settingsFeed;
    std::unique_ptr<velto::VeltoStore> store;
    TextStorage storage;
    EditingCore core{storage, nullptr, &histories};
    PageUndoHistories histories{core};
    QuietCoordinatorView quiet;
    QuietCoordinatorPanel quietPanel;
    std::unique_ptr<VeltoEditorCoordinator> coordinator;
    /// Tells the coordinator of what the edits are about to change, as the panel does.
    struct EditsToCoordinator final : EditingObserver {
        CoordinatedPage &page;
        explicit EditsToCoordinator(CoordinatedPage &owner)
            : page(owner) {}
        void textWillChange(TextRange range, std::u16string_view replacement) override {
            page.coordinator->editorWillReplaceCharacters(range, replacement);
        }
    } editsToCoordinator{*this};
    Subscription coordinatorEdits;

    CoordinatedPage() {
        preferences = std::make_unique<velto::PreferencesStore>(
            std::make_unique<velto::DefaultsDomain>(QString::fromStdString((folder / "Velto.json").string())), center);
        velto::VeltoPreferences::useStorage(preferences.get());
        velto::VeltoPreferences::registerDefaults();
        settingsFeed = std::make_unique<EditorSettingsFeed>();
        store = loadedStore(folder);
        store->setText(velto::text::toUTF8(samples::generatedMarkdown(5 * mebibyte)), velto::systemClock().now());
        coordinator =
            std::make_unique<VeltoEditorCoordinator>(core, histories, quiet, *store, *settingsFeed, quietPanel,
                                                     velto::qtScheduler(), std::make_shared<ReadyHighlighter>());
        coordinatorEdits = core.subscribe(editsToCoordinator);
        coordinator->loadCurrentPageText();
        finishHighlighting();
    }
    ~CoordinatedPage() { velto::VeltoPreferences::useStorage(nullptr); }

    void finishHighlighting() {
        while (coordinator->isHighlightingCode()) {
            QCoreApplication::processEvents();
        }
    }

    /// The start of a line inside the code of the fenced block nearest the middle.
    std::size_t codeLineNearMiddle() {
        const std::size_t middle = storage.length() / 2;
        for (const FencedCodeBlock &block : MarkdownStyler::fencedBlocks(storage)) {
            if (block.contentRange.location >= middle && block.contentRange.length > 0) {
                return block.contentRange.location;
            }
        }
        return middle;
    }
};

/// The coordinator's style pass after a keystroke in the middle of a 5 MiB page: the incremental
/// styling of the edit and the request for code highlighting (finding the blocks to highlight).
void CoordinatorStylePass(benchmark::State &state) {
    CoordinatedPage page;
    const std::size_t position = lineStartNearMiddle(page.storage);
    velto::bench::TimedRuns runs(state);
    for (auto _ : state) {
        page.core.setSelectedRange(TextRange{position, 0});
        page.core.insertText(u"x");
        runs.time([&] { page.coordinator->applyIncrementalEditorAppearance(); });
        QCoreApplication::processEvents();
    }
    runs.report();
}

/// A keystroke on a 5 MiB page with thousands of fenced blocks until its style pass is done and code
/// highlighting has finished: the edit, the incremental styling, finding the blocks to ask for, and
/// colouring what changed. Typed in prose between blocks, or into the code of a block.
void KeystrokeToHighlighted(benchmark::State &state, bool inCode) {
    CoordinatedPage page;
    const std::size_t position = inCode ? page.codeLineNearMiddle() : lineStartNearMiddle(page.storage);
    velto::bench::TimedRuns runs(state);
    for (auto _ : state) {
        for (const bool typing : {true, false}) {
            page.core.setSelectedRange(TextRange{typing ? position : position + 1, 0});
            runs.time([&] {
                if (typing) {
                    page.core.insertText(u"x");
                } else {
                    page.core.deleteBackward();
                }
                page.coordinator->applyIncrementalEditorAppearance();
                page.finishHighlighting();
            });
        }
    }
    runs.report();
}

/// Finding the blocks to ask the highlighter for after a keystroke in prose on a 5 MiB page whose blocks
/// all carry their tokens: following the edit, reading the blocks from the code index, and building the
/// (empty) list of requests. Reports the parts' medians too.
void HighlightRequests(benchmark::State &state) {
    TextStorage storage(samples::generatedMarkdown(5 * mebibyte));
    MarkdownStyler::apply(storage);
    HighlightedCodeBlocks highlighted;
    highlighted.follow(storage);
    for (const MarkdownStyler::CodeHighlightRequest &request :
         MarkdownStyler::codeHighlightRequests(MarkdownStyler::fencedBlocks(storage), storage, &highlighted)) {
        highlighted.remember(storage, {request.openingLineRange, request.contentRange});
    }
    const std::size_t position = lineStartNearMiddle(storage);
    std::vector<double> samples;
    std::vector<double> reading;
    for (auto _ : state) {
        storage.replaceCharacters(TextRange{position, 0}, u"x");
        MarkdownStyler::apply(storage, TextRange{position, 1});
        const auto start = std::chrono::steady_clock::now();
        highlighted.follow(storage);
        const std::vector<FencedCodeBlock> blocks = MarkdownStyler::fencedBlocks(storage);
        const auto read = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(MarkdownStyler::codeHighlightRequests(blocks, storage, &highlighted));
        const auto end = std::chrono::steady_clock::now();
        samples.push_back(velto::bench::milliseconds(end - start));
        reading.push_back(velto::bench::milliseconds(read - start));
        state.SetIterationTime(samples.back() / 1000);
    }
    state.counters["blocks_read_median_ms"] = velto::bench::median(reading);
    state.counters["known_blocks"] = static_cast<double>(highlighted.blocks().size());
    reportSamples(state, samples);
}

/// Spell checking the screen around the middle of a styled 5 MiB page with the installed English
/// dictionary, in idle slices of the checker's own budget: after a keystroke changed one paragraph
/// (remembered paragraphs are not checked again), and on a screen seen for the first time. Reports each
/// slice's time and how many slices a screen took.
void SpellCheckScreen(benchmark::State &state, bool afterKeystroke) {
    velto::EnchantSpellingService spelling(velto::EnchantSpellingService::Configuration{"en_US", std::nullopt});
    TextStorage storage(samples::generatedMarkdown(5 * mebibyte));
    MarkdownStyler::apply(storage);
    const std::size_t middle = lineStartNearMiddle(storage);
    const TextRange screen{middle, 2'400}; // about 40 lines of a 610-point panel
    std::vector<double> slices;
    std::vector<double> screens;
    std::unique_ptr<SpellChecker> checker = std::make_unique<SpellChecker>(spelling);
    for (auto _ : state) {
        if (afterKeystroke) {
            storage.replaceCharacters(TextRange{middle, 0}, u"x");
        } else {
            checker = std::make_unique<SpellChecker>(spelling);
        }
        ContinuousSpellChecking continuous(*checker, {[&] { return &storage; }, [&] { return screen; }, {}});
        continuous.setEnabled(true);
        double screenTime = 0;
        bool finished = false;
        while (!finished) {
            const double elapsed = millisecondsTaken([&] { finished = continuous.runSlice(); });
            slices.push_back(elapsed);
            screenTime += elapsed;
        }
        screens.push_back(screenTime);
        state.SetIterationTime(screenTime / 1000);
    }
    state.counters["slices_per_screen"] = static_cast<double>(slices.size()) / static_cast<double>(screens.size());
    state.counters["screen_median_ms"] = velto::bench::median(screens);
    reportSamples(state, slices);
}

void registerAll() {
    benchmark::RegisterBenchmark("Open/5MiB", Open, 5 * mebibyte)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("Open/10KB", Open, 10 * 1024)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(50);
    static const std::u16string page = samples::generatedMarkdown(5 * mebibyte);
    static const std::u16string paragraph = samples::singleParagraph(mebibyte);
    struct KeystrokeFigure {
        const char *name;
        const std::u16string &text;
        bool styled;
        int iterations;
    };
    for (const KeystrokeFigure &figure :
         {KeystrokeFigure{"Keystroke/5MiB/middle", page, false, 300},
          KeystrokeFigure{"KeystrokeStyled/5MiB/middle", page, true, 300},
          KeystrokeFigure{"Keystroke/1MiB_paragraph/middle", paragraph, false, 50},
          KeystrokeFigure{"KeystrokeStyled/1MiB_paragraph/middle", paragraph, true, 20}}) {
        benchmark::RegisterBenchmark(figure.name, TypeAndDelete, figure.text, Place::middle, Delivery::editingCore,
                                     figure.styled)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(figure.iterations);
    }
    for (const auto &[name, place] :
         {std::pair{"start", Place::start}, std::pair{"middle", Place::middle}, std::pair{"end", Place::end}}) {
        benchmark::RegisterBenchmark((std::string("TypedKey/5MiB/") + name).c_str(), TypeAndDelete, page, place,
                                     Delivery::keyEvent, true)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(200);
    }
    benchmark::RegisterBenchmark("WheelStep/5MiB", WheelStep)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(500);
    benchmark::RegisterBenchmark("Jump/5MiB", Jump)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);
    benchmark::RegisterBenchmark("Memory/5MiB", Memory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("HandOver/5MiB", HandOver)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100);
    benchmark::RegisterBenchmark("CoordinatorStylePass/5MiB", CoordinatorStylePass)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100);
    for (const auto &[name, inCode] : {std::pair{"prose", false}, std::pair{"code", true}}) {
        benchmark::RegisterBenchmark((std::string("KeystrokeToHighlighted/5MiB/") + name).c_str(),
                                     KeystrokeToHighlighted, inCode)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(100);
    }
    benchmark::RegisterBenchmark("HighlightRequests/5MiB", HighlightRequests)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100);
    benchmark::RegisterBenchmark("SpellCheckScreen/afterKeystroke", SpellCheckScreen, true)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(200);
    benchmark::RegisterBenchmark("SpellCheckScreen/firstSight", SpellCheckScreen, false)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
