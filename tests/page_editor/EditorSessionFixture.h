#pragma once

#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor_view/EditorCoordinatorTestSupport.h"
#include "page_editor/EditorCoordinator.h"
#include "page_editor/EditorSettingsFeed.h"
#include "platform/Text.h"
#include "preferences/Preferences.h"
#include "store/Store.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velto::testing {

/// The text view as the coordinator sees it, recording what was asked of it.
struct RecordingEditorView : editor::EditorCoordinatorView {
    bool previewedCheckbox = false;
    int displays = 0;
    int beeps = 0;
    std::optional<editor::EditorAppearance> appearance;
    std::optional<editor::TextRange> visible;

    void setNeedsDisplay() override { displays += 1; }
    void applyEditorAppearance(const editor::EditorAppearance &applied) override { appearance = applied; }
    editor::Appearance effectiveAppearance() const override { return editor::Appearance::aqua; }
    bool increasesContrast() const override { return false; }
    bool clearPreviewedTaskCheckbox() override { return std::exchange(previewedCheckbox, false); }
    void beep() override { beeps += 1; }
    std::optional<editor::TextRange> visibleCharacterRange() override { return visible; }
};

/// A highlighter that counts its calls and keeps what it was asked for; it finds no tokens unless the
/// test gives it a way to.
struct CountingHighlighter : editor::CodeSyntaxHighlighting {
    int calls = 0;
    std::vector<std::u16string> asked;
    std::function<std::vector<editor::SyntaxToken>(const std::u16string &)> answer;
    /// Takes the place of `answer` when set, for tests whose tokens depend on the language.
    std::function<std::vector<editor::SyntaxToken>(const std::u16string &, const std::string &)> answerInLanguage;
    QCoro::Task<std::vector<editor::SyntaxToken>> tokens(std::u16string source, std::string language,
                                                         CancellationToken) override {
        calls += 1;
        asked.push_back(source);
        if (answerInLanguage) {
            co_return answerInLanguage(source, language);
        }
        co_return answer ? answer(source) : std::vector<editor::SyntaxToken>{};
    }
};

/// The panel around the view, doing nothing and leaving page transitions to the coordinator.
struct QuietCoordinatorPanel final : editor::EditorCoordinatorPanel {
    void updateCommandAvailability(bool, bool) override {}
    void updateScrollIndicators() override {}
    bool isPinnedToBottom() const override { return false; }
    void pinToBottom() override {}
    bool transitionToCurrentPage() override { return false; }
};

/// A text storage with its editing core, which registers undo on per-page histories, as the text view has them.
struct EditingParts {
    editor::TextStorage storage;
    editor::EditingCore core{storage, nullptr, &histories};
    editor::PageUndoHistories histories{core};
};

/// The panel's editor over a real store on a temporary Pages folder: an editing core with per-page
/// histories, the coordinator on a scheduler the test moves by hand, and preferences in a temporary file.
class EditorSession {
public:
    explicit EditorSession(const std::string &firstPageText = "first page\n") {
        ensureApplication();
        preferences = std::make_unique<PreferencesStore>(
            std::make_unique<DefaultsDomain>(preferencesFolder.filePath(QStringLiteral("Velto.json"))), center);
        VeltoPreferences::useStorage(preferences.get());
        VeltoPreferences::registerDefaults();
        settingsFeed = std::make_unique<editor::EditorSettingsFeed>();
        store = finish(VeltoStore::loadForApplication(folder / "Pages", 100, 5'242'880));
        store->setText(firstPageText, systemClock().now());
        finish(store->flush());

        coordinator = std::make_unique<editor::VeltoEditorCoordinator>(core, histories, view, *store, *settingsFeed,
                                                                       panel, scheduler, highlighter);
        coordinatorEdits = core.subscribe(editsToCoordinator);
        showCurrentPage();
    }

    ~EditorSession() {
        coordinator.reset();
        store.reset();
        processEventsUntil([] { return false; }, std::chrono::milliseconds(50));
        VeltoPreferences::useStorage(nullptr);
    }

    /// What the panel's page-editing session does after the current page changed.
    void showCurrentPage() {
        const VeltoDocument &document = store->document();
        std::set<Uuid> ids{document.currentPage.id};
        for (const VeltoPage &page : document.pages) {
            ids.insert(page.id);
        }
        histories.activateUndoHistory(document.currentPage.id, ids, nullptr,
                                      editor::PageTextFingerprint::ofUTF8(document.currentPage.visibleText()));
        coordinator->loadCurrentPageText();
    }

    void typeAtEnd(std::u16string_view text) {
        core.setSelectedRange({core.length(), 0});
        for (char16_t unit : text) {
            core.insertText(std::u16string_view(&unit, 1));
        }
    }
    std::string storedText() const { return store->document().currentPage.visibleText(); }
    std::string shownText() const { return text::toUTF8(core.string()); }
    void waitForSaves() { finish(store->flush()); }

    velto::testing::TemporaryFolder folder;
    QTemporaryDir preferencesFolder;
    VeltoNotificationCenter center;
    std::unique_ptr<PreferencesStore> preferences;
    std::unique_ptr<editor::EditorSettingsFeed> settingsFeed;
    std::unique_ptr<VeltoStore> store;
    editor::TextStorage storage;
    editor::EditingCore core{storage, nullptr, &histories};
    editor::PageUndoHistories histories{core, [this] { view.beep(); }};
    RecordingEditorView view;
    ManualScheduler scheduler;
    std::shared_ptr<CountingHighlighter> highlighter = std::make_shared<CountingHighlighter>();
    std::unique_ptr<editor::VeltoEditorCoordinator> coordinator;
    std::pair<bool, bool> availability{false, false};
    int scrollIndicatorUpdates = 0;
    /// Whether the panel makes the page transitions itself, and how many it was asked for.
    bool panelMakesPageTransitions = false;
    int pageTransitions = 0;

private:
    /// The panel around the view: records what the coordinator reports, and leaves page transitions to it unless
    /// the test says otherwise.
    struct RecordingPanel final : editor::EditorCoordinatorPanel {
        EditorSession &session;
        explicit RecordingPanel(EditorSession &owner)
            : session(owner) {}
        void updateCommandAvailability(bool canUndo, bool canRedo) override {
            session.availability = {canUndo, canRedo};
        }
        void updateScrollIndicators() override { session.scrollIndicatorUpdates += 1; }
        bool isPinnedToBottom() const override { return false; }
        void pinToBottom() override {}
        bool transitionToCurrentPage() override {
            session.pageTransitions += 1;
            return session.panelMakesPageTransitions;
        }
    } panel{*this};

    /// Tells the coordinator of every change of the text, as the panel does.
    struct EditsToCoordinator final : editor::EditingObserver {
        EditorSession &session;
        explicit EditsToCoordinator(EditorSession &owner)
            : session(owner) {}
        void textWillChange(editor::TextRange range, std::u16string_view replacement) override {
            session.coordinator->editorWillReplaceCharacters(range, replacement);
        }
        void textDidChange() override { session.coordinator->editorTextDidChange(); }
    };
    EditsToCoordinator editsToCoordinator{*this};
    editor::Subscription coordinatorEdits;
};

} // namespace velto::testing
