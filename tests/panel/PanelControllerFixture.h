#pragma once

#include "PanelTestSupport.h"
#include "editor_view/EditorCoordinatorTestSupport.h"

#include "editor/editing/EditingCore.h"
#include "editor/highlight/CodeSyntaxHighlighting.h"
#include "editor_view/view/VeltoTextView.h"
#include "panel/feedback/PanelFeedbackController.h"
#include "panel/window/VeltoPanelController.h"
#include "platform/Text.h"
#include "preferences/Preferences.h"
#include "store/Store.h"
#include "support/StoreHarness.h"

#include <qcoro/qcorotimer.h>

#include <memory>
#include <string>
#include <vector>

namespace velto::testing {

/// A highlighter that finds no tokens.
struct SilentHighlighter : editor::CodeSyntaxHighlighting {
    QCoro::Task<std::vector<editor::SyntaxToken>> tokens(std::u16string, std::string, CancellationToken) override {
        co_return std::vector<editor::SyntaxToken>{};
    }
};

/// Holds a store's reading of a page file until the test lets it go, so that a test can act while a page
/// operation awaits the disk.
struct ReadGate {
    bool holding = false;
    bool released = false;
    int waiting = 0;
};

/// The panel controller over a real store on a temporary Pages folder, preferences in a temporary file, the
/// editor's timers and the hint dwell on a scheduler the test moves by hand, and a counted beep.
class PanelControllerSession {
public:
    explicit PanelControllerSession(std::size_t undoByteLimit = PageOperationUndoLedger::defaultByteLimit) {
        ensureApplication();

        VeltoLibraryLoadResult loaded = finish(productionLoadOperation(stores.folder));
        VeltoStore::Environment environment;
        environment.loadOperation = [this](std::filesystem::path folderURL) -> QCoro::Task<VeltoLibraryLoadResult> {
            fullLoads += 1;
            if (loadsFail) {
                co_return VeltoLibraryLoadResult::failed(
                    {VeltoStoreRecoveryIssue::Kind::unreadable, "The Pages folder could not be read."});
            }
            QCoro::Task<VeltoLibraryLoadResult> loading = productionLoadOperation(std::move(folderURL));
            co_return co_await loading;
        };
        std::shared_ptr<ReadGate> gate = readGate;
        environment.latestPageLoadOperation =
            [gate](VeltoPage page, std::filesystem::path folderURL) -> QCoro::Task<std::optional<VeltoPage>> {
            if (gate->holding) {
                gate->waiting += 1;
                while (!gate->released) {
                    co_await QCoro::sleepFor(std::chrono::milliseconds(2));
                }
                gate->waiting -= 1;
            }
            QCoro::Task<std::optional<VeltoPage>> reading =
                productionLatestPageLoadOperation(std::move(page), std::move(folderURL));
            co_return co_await reading;
        };
        stores.openStore(std::move(environment), loaded);

        PanelServices options;
        options.popoverBehavior = PopoverBehavior::applicationDefined;
        options.editorScheduler = &scheduler;
        options.hintScheduler = &scheduler;
        options.codeHighlighter = std::make_shared<SilentHighlighter>();
        options.beep = [this] { beeps += 1; };
        options.confirm = [this](const QString &message, const QString &, const QString &) {
            confirmations.push_back(message.toStdString());
            return confirmAnswer;
        };
        options.undoByteLimit = undoByteLimit;
        controller = std::make_unique<VeltoPanelController>(store(), panelAssembly(std::move(options)));
        // On screen (offscreen), so that the editor has its size and lays its text out as the user sees it.
        controller->show(QRect(100, 0, 24, 24));
    }

    ~PanelControllerSession() {
        readGate->released = true;
        processEventsUntil([this] { return readGate->waiting == 0; });
        controller.reset();
        finish(store().flush());
        // A reload of the library still reading on another thread must not outlive the store and its folder.
        processEventsUntil([this] { return !store().isRefreshingFromDisk(); }, std::chrono::seconds(30));
        stores.store.reset();
    }

    VeltoStore &store() const { return *stores.store; }
    editor::VeltoTextView &view() { return controller->textView(); }
    editor::EditingCore &core() { return view().editingCore(); }

    /// Types at the end of the page, one character at a time, as the keyboard does.
    void type(std::u16string_view text) {
        core().setSelectedRange({core().length(), 0});
        for (char16_t unit : text) {
            core().insertText(std::u16string_view(&unit, 1));
        }
    }
    std::string shownText() { return text::toUTF8(core().string()); }
    std::string storedText() const { return store().document().currentPage.visibleText(); }
    Uuid currentPageID() const { return store().document().currentPage.id; }
    /// The banner shown last.
    std::string banner() {
        if (const auto &feedback = controller->pendingFeedback()) {
            return feedback->message.toStdString();
        }
        return controller->feedbackPanelController().feedbackView()->label()->text().toStdString();
    }

    /// A new page holding `text`, made the way the user makes one.
    Uuid newPageWithText(std::u16string_view text) {
        controller->pageOperations().createNewPage();
        type(text);
        controller->flushPendingChanges();
        return currentPageID();
    }

    /// The store on its Pages folder: the destructor lets the store go first, and the folder goes last.
    StoreHarness stores;
    TemporaryPreferences preferences;
    std::shared_ptr<ReadGate> readGate = std::make_shared<ReadGate>();
    ManualScheduler scheduler;
    int beeps = 0;
    /// The store's loads of the whole library: the refreshes after the folder monitor's rescans.
    int fullLoads = 0;
    /// Every later load of the whole library fails as an unreadable folder does.
    bool loadsFail = false;
    /// What Browse Pages asked before a destructive choice, and the answer it gets.
    std::vector<std::string> confirmations;
    bool confirmAnswer = true;
    std::unique_ptr<VeltoPanelController> controller;
};

} // namespace velto::testing
