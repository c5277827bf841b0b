#pragma once

#include "editor/CodeSyntaxHighlighting.h"
#include "editor/HighlightTokenCache.h"

#include <QFuture>
#include <QThreadPool>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velto::editor {

/// Highlights code with highlight.js in JavaScriptCore.
///
/// Every run evaluates the scripts in a fresh JavaScript context on a worker thread (about 40 ms,
/// mostly the core script), so results are cached by exact code and language: restyling an unchanged
/// block costs one look-up. At most `executionLimit` runs happen at once, which bounds the processor
/// time highlighting takes while the user types; further requests wait and are served strictly in
/// arrival order. The cache, the scripts, the slot count and the waiters are this object's state,
/// guarded by one lock, so requests may come from any thread; a request's answer is delivered to the
/// thread that awaits it (which needs an event loop).
class HighlightJSSyntaxHighlighter final : public CodeSyntaxHighlighting {
public:
    /// Runs inside each highlight.js run, on its worker thread, just before the highlight call.
    using BeforeHighlight = std::function<void(const std::u16string &source)>;

    struct Configuration {
        /// Used instead of the scripts from the scripts folder when given.
        std::optional<std::vector<std::u16string>> suppliedScripts;
        BeforeHighlight beforeHighlight;
        /// Where the scripts are read from; the application's own folder (bundledScriptsFolder) when absent.
        std::optional<std::filesystem::path> scriptsFolder;
        std::int64_t cacheCostLimit = HighlightTokenCache::defaultCostLimit;
        int executionLimit = 2;
    };

    /// The production highlighter: the application's scripts, no hook.
    HighlightJSSyntaxHighlighter();
    explicit HighlightJSSyntaxHighlighter(Configuration configuration);
    /// Fails the waiting requests with CancellationError and waits for the runs in progress to end.
    ~HighlightJSSyntaxHighlighter() override;

    QCoro::Task<std::vector<SyntaxToken>> tokens(std::u16string source, std::string language,
                                                 CancellationToken cancellation) override;

    /// One highlight.js run in a new JavaScript context, on the calling thread. Checks the cancellation
    /// before and after every step; throws CodeSyntaxHighlightingError or CancellationError.
    static std::vector<SyntaxToken> highlightTokens(const std::u16string &source, const std::string &language,
                                                    const std::vector<std::u16string> &scripts,
                                                    const BeforeHighlight &beforeHighlight,
                                                    const CancellationToken &cancellation);

    // For tests and diagnostics.
    int activeExecutions() const;
    std::size_t waitingExecutions() const;
    std::int64_t cacheCost() const;
    bool isCached(const std::u16string &source, const std::string &highlightJSLanguage) const;

private:
    struct State;
    struct PendingRun;

    std::shared_ptr<const std::vector<std::u16string>> loadedScripts(const CancellationToken &cancellation);
    QFuture<std::vector<SyntaxToken>> runWhenSlotIsFree(HighlightCacheKey key,
                                                        std::shared_ptr<const std::vector<std::u16string>> scripts,
                                                        const CancellationToken &cancellation);
    void startRuns(std::shared_ptr<PendingRun> first);
    std::optional<std::vector<SyntaxToken>> cachedTokens(const HighlightCacheKey &key);

    static void runWhileWaitersRemain(const std::shared_ptr<State> &state, std::shared_ptr<PendingRun> run);
    static std::shared_ptr<PendingRun> releaseExecutionSlot(State &state);
    static void cancelWaiter(const std::weak_ptr<State> &state, std::uint64_t waiterId);

    // Shared with the cancellation callbacks of waiting requests, which may outlive this object.
    std::shared_ptr<State> state_;
    // Declared last, destroyed first: its destructor waits for the runs, which use state_.
    QThreadPool runThreads_;
};

} // namespace velto::editor
