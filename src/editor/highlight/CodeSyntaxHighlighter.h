#pragma once

#include "editor/highlight/CodeSyntaxHighlighting.h"
#include "editor/highlight/HighlightTokenCache.h"

#include <QtCore/QFuture>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velto::editor {

class HighlightJSContext;

/// Highlights code with highlight.js in JavaScriptCore.
///
/// Runs happen on at most `executionLimit` worker threads, kept as long as the highlighter: the first
/// starts with the first run, another only when runs come side by side and none is idle. Each worker
/// evaluates the scripts once, in a context of its own, and highlights block after block in it: evaluating the scripts
/// costs about 30 ms, a highlight in a context that holds them about 1 ms, and a context per run also made
/// JavaScriptCore start and stop threads of its own all the time. A context whose run failed is thrown away and the
/// next run gets a fresh one, so every answer is the one a fresh context gives. Results are cached by exact code and
/// language: restyling an unchanged block costs one look-up. At most `executionLimit` runs happen at once, which bounds
/// the processor time highlighting takes while the user types; further requests wait and are served strictly in arrival
/// order. The cache, the scripts, the slot count and the waiters are this object's state, guarded by one lock, so
/// requests may come from any thread; a request's answer is delivered to the thread that awaits it (which needs an
/// event loop).
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
    /// Fails the waiting requests with CancellationError, waits for the runs in progress to end and stops
    /// the workers.
    ~HighlightJSSyntaxHighlighter() override;

    QCoro::Task<std::vector<SyntaxToken>> tokens(std::u16string source, std::string language,
                                                 CancellationToken cancellation) override;

    /// One highlight.js run in a new JavaScript context, on the calling thread: what a worker's reused
    /// context must answer too. Checks the cancellation before and after every step; throws
    /// CodeSyntaxHighlightingError or CancellationError.
    static std::vector<SyntaxToken> highlightTokens(const std::u16string &source, const std::string &language,
                                                    const std::vector<std::u16string> &scripts,
                                                    const BeforeHighlight &beforeHighlight,
                                                    const CancellationToken &cancellation);

    // For tests and diagnostics.
    int activeExecutions() const;
    std::size_t waitingExecutions() const;
    /// The worker threads started so far (never more than `executionLimit`).
    std::size_t workerCount() const;
    /// The JavaScript contexts the workers have made so far: one each, and one more after each failed run.
    int contextsCreated() const;
    std::int64_t cacheCost() const;
    bool isCached(const std::u16string &source, const std::string &highlightJSLanguage) const;

private:
    struct State;
    struct PendingRun;

    std::shared_ptr<const std::vector<std::u16string>> loadedScripts(const CancellationToken &cancellation);
    QFuture<std::vector<SyntaxToken>> runWhenSlotIsFree(HighlightCacheKey key,
                                                        std::shared_ptr<const std::vector<std::u16string>> scripts,
                                                        const CancellationToken &cancellation);
    void startRun(std::shared_ptr<PendingRun> run);
    std::optional<std::vector<SyntaxToken>> cachedTokens(const HighlightCacheKey &key);

    static void work(const std::shared_ptr<State> &state);
    static std::shared_ptr<PendingRun> nextStartedRun(State &state);
    static std::vector<SyntaxToken> highlightWithContext(State &state, PendingRun &run,
                                                         std::unique_ptr<HighlightJSContext> &context);
    static std::shared_ptr<PendingRun> releaseExecutionSlot(State &state);
    static void cancelWaiter(const std::weak_ptr<State> &state, std::uint64_t waiterId);

    // Shared with the workers and with the cancellation callbacks of waiting requests, which may outlive
    // this object.
    std::shared_ptr<State> state_;
    // Started under the state's lock; joined by the destructor.
    std::vector<std::thread> workers_;
};

} // namespace velto::editor
