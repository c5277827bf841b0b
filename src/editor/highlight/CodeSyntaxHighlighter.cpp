#include "editor/highlight/CodeSyntaxHighlighter.h"

#include "editor/highlight/CodeSyntaxHighlightingError.h"
#include "editor/highlight/HighlightJSContext.h"
#include "editor/highlight/HighlightMarkupParser.h"
#include "editor/highlight/HighlightScripts.h"
#include "editor/highlight/SyntaxLanguageRegistry.h"
#include "platform/ThreadName.h"

#include <QCoro/QCoroFuture>
#include <QtCore/QPromise>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <utility>

namespace velto::editor {
namespace {

using Scripts = std::vector<std::u16string>;
using Tokens = std::vector<SyntaxToken>;

/// One highlight in a context that holds highlight.js: the hook, the highlight call, the markup read
/// back into tokens, with the cancellation checked between the steps.
Tokens highlightIn(HighlightJSContext &context, const std::u16string &source, const std::string &language,
                   const HighlightJSSyntaxHighlighter::BeforeHighlight &beforeHighlight,
                   const CancellationToken &cancellation) {
    cancellation.throwIfCancelled();
    if (beforeHighlight) {
        beforeHighlight(source);
    }
    cancellation.throwIfCancelled();
    const std::optional<std::u16string> markup = context.markup(source, language);
    cancellation.throwIfCancelled();
    if (!markup) {
        return {}; // highlight.js does not know the language
    }
    Tokens tokens = HighlightMarkupParser::parse(*markup, source, cancellation);
    cancellation.throwIfCancelled();
    return tokens;
}

} // namespace

/// A request that missed the cache: it waits for an execution slot, then runs on a worker thread.
struct HighlightJSSyntaxHighlighter::PendingRun {
    HighlightCacheKey key;
    std::shared_ptr<const Scripts> scripts;
    CancellationToken cancellation;
    QPromise<Tokens> promise;
    std::uint64_t waiterId = 0;
    CancellationToken::CallbackId cancelCallback = 0;

    void succeed(Tokens tokens) {
        promise.addResult(std::move(tokens));
        promise.finish();
    }
    void fail(std::exception_ptr error) {
        promise.setException(std::move(error));
        promise.finish();
    }
};

struct HighlightJSSyntaxHighlighter::State {
    explicit State(Configuration configuration)
        : configuration(std::move(configuration))
        , cache(this->configuration.cacheCostLimit) {}

    const Configuration configuration;

    mutable std::mutex mutex;
    std::shared_ptr<const Scripts> loadedScripts;
    int activeExecutions = 0;
    std::deque<std::shared_ptr<PendingRun>> executionWaiters;
    std::uint64_t nextWaiterId = 1;
    HighlightTokenCache cache;

    /// Runs that hold a slot and wait for a worker to take them up; workers wait on `workAvailable`.
    std::deque<std::shared_ptr<PendingRun>> startedRuns;
    std::condition_variable workAvailable;
    /// Workers that hold no run: waiting for one, or about to.
    std::size_t idleWorkers = 0;
    /// Set by the highlighter's destructor: the workers finish the started runs, then end.
    bool stopping = false;
    int contextsCreated = 0;
};

HighlightJSSyntaxHighlighter::HighlightJSSyntaxHighlighter()
    : HighlightJSSyntaxHighlighter(Configuration{}) {}

HighlightJSSyntaxHighlighter::HighlightJSSyntaxHighlighter(Configuration configuration)
    : state_(std::make_shared<State>(std::move(configuration))) {}

HighlightJSSyntaxHighlighter::~HighlightJSSyntaxHighlighter() {
    std::deque<std::shared_ptr<PendingRun>> waiters;
    {
        std::lock_guard lock(state_->mutex);
        waiters.swap(state_->executionWaiters);
        state_->stopping = true;
    }
    state_->workAvailable.notify_all();
    for (const std::shared_ptr<PendingRun> &waiter : waiters) {
        waiter->cancellation.removeCallback(waiter->cancelCallback);
        waiter->fail(std::make_exception_ptr(CancellationError()));
    }
    for (std::thread &worker : workers_) {
        worker.join();
    }
}

QCoro::Task<std::vector<SyntaxToken>> HighlightJSSyntaxHighlighter::tokens(std::u16string source, std::string language,
                                                                           CancellationToken cancellation) {
    cancellation.throwIfCancelled();
    if (source.empty() || language.empty()) {
        co_return Tokens{};
    }
    HighlightCacheKey key{std::move(source), SyntaxLanguageRegistry::highlightJSLanguage(language)};
    if (std::optional<Tokens> cached = cachedTokens(key)) {
        co_return std::move(*cached);
    }
    std::shared_ptr<const Scripts> scripts = loadedScripts(cancellation);
    const QFuture<Tokens> result = runWhenSlotIsFree(std::move(key), std::move(scripts), cancellation);
    // Nothing of this object is used after the wait: it may be gone by then.
    co_return co_await result;
}

std::optional<std::vector<SyntaxToken>> HighlightJSSyntaxHighlighter::cachedTokens(const HighlightCacheKey &key) {
    std::lock_guard lock(state_->mutex);
    return state_->cache.tokens(key);
}

std::shared_ptr<const std::vector<std::u16string>>
HighlightJSSyntaxHighlighter::loadedScripts(const CancellationToken &cancellation) {
    std::lock_guard lock(state_->mutex);
    if (!state_->loadedScripts) {
        cancellation.throwIfCancelled();
        // A failure leaves nothing stored, so the next request tries again.
        const Configuration &configuration = state_->configuration;
        state_->loadedScripts = std::make_shared<const Scripts>(
            configuration.suppliedScripts
                ? *configuration.suppliedScripts
                : loadScripts(configuration.scriptsFolder ? configuration.scriptsFolder : bundledScriptsFolder()));
    }
    return state_->loadedScripts;
}

QFuture<std::vector<SyntaxToken>>
HighlightJSSyntaxHighlighter::runWhenSlotIsFree(HighlightCacheKey key,
                                                std::shared_ptr<const std::vector<std::u16string>> scripts,
                                                const CancellationToken &cancellation) {
    auto run = std::make_shared<PendingRun>();
    run->key = std::move(key);
    run->scripts = std::move(scripts);
    run->cancellation = cancellation;
    run->promise.start();
    QFuture<Tokens> future = run->promise.future();

    enum class Slot { cancelled, acquired, waiting } slot;
    {
        std::lock_guard lock(state_->mutex);
        if (cancellation.isCancelled()) {
            slot = Slot::cancelled;
        } else if (state_->activeExecutions < state_->configuration.executionLimit) {
            ++state_->activeExecutions;
            slot = Slot::acquired;
        } else {
            run->waiterId = state_->nextWaiterId++;
            state_->executionWaiters.push_back(run);
            slot = Slot::waiting;
        }
    }

    switch (slot) {
    case Slot::cancelled:
        run->fail(std::make_exception_ptr(CancellationError()));
        break;
    case Slot::acquired:
        startRun(run);
        break;
    case Slot::waiting: {
        // Registered outside the lock: on a token cancelled meanwhile the callback runs at once and
        // takes the lock itself.
        const CancellationToken::CallbackId callback = cancellation.onCancel(
            [weakState = std::weak_ptr<State>(state_), id = run->waiterId] { cancelWaiter(weakState, id); });
        std::lock_guard lock(state_->mutex);
        run->cancelCallback = callback;
        break;
    }
    }
    return future;
}

void HighlightJSSyntaxHighlighter::startRun(std::shared_ptr<PendingRun> run) {
    {
        std::lock_guard lock(state_->mutex);
        state_->startedRuns.push_back(std::move(run));
        // A run holds a slot, so it never waits long for a worker. Another worker (with a context of its
        // own to make and keep) is started only for runs that side by side find none idle, so blocks
        // asked for one at a time all go to one worker.
        if (state_->startedRuns.size() > state_->idleWorkers &&
            workers_.size() < static_cast<std::size_t>(state_->configuration.executionLimit)) {
            workers_.emplace_back([state = state_] { work(state); });
            ++state_->idleWorkers;
        }
    }
    state_->workAvailable.notify_one();
}

void HighlightJSSyntaxHighlighter::work(const std::shared_ptr<State> &state) {
    // Named, so that processor time and thread listings show what the thread is for.
    nameCurrentThread("velto-highlight");
    // Kept from run to run; made again after a run that failed.
    std::unique_ptr<HighlightJSContext> context;
    while (std::shared_ptr<PendingRun> run = nextStartedRun(*state)) {
        // A slot passes straight from a finished run to the first waiter, on the same worker.
        while (run) {
            Tokens tokens;
            std::exception_ptr failure;
            try {
                tokens = highlightWithContext(*state, *run, context);
            } catch (const CancellationError &) {
                // Cancellation is checked only between calls into the engine: the context is sound.
                failure = std::current_exception();
            } catch (...) {
                failure = std::current_exception();
                context.reset();
            }

            std::shared_ptr<PendingRun> next;
            {
                std::lock_guard lock(state->mutex);
                if (!failure) {
                    state->cache.cache(tokens, run->key);
                }
                next = releaseExecutionSlot(*state);
                if (!next) {
                    ++state->idleWorkers;
                }
            }
            if (next) {
                next->cancellation.removeCallback(next->cancelCallback);
            }

            if (failure) {
                run->fail(failure);
            } else {
                run->succeed(std::move(tokens));
            }
            run = std::move(next);
        }
    }
}

std::shared_ptr<HighlightJSSyntaxHighlighter::PendingRun> HighlightJSSyntaxHighlighter::nextStartedRun(State &state) {
    std::unique_lock lock(state.mutex);
    state.workAvailable.wait(lock, [&state] { return state.stopping || !state.startedRuns.empty(); });
    if (state.startedRuns.empty()) {
        return nullptr; // stopping, and nothing left that holds a slot
    }
    --state.idleWorkers;
    std::shared_ptr<PendingRun> run = std::move(state.startedRuns.front());
    state.startedRuns.pop_front();
    return run;
}

std::vector<SyntaxToken>
HighlightJSSyntaxHighlighter::highlightWithContext(State &state, PendingRun &run,
                                                   std::unique_ptr<HighlightJSContext> &context) {
    run.cancellation.throwIfCancelled();
    if (!context) {
        context = std::make_unique<HighlightJSContext>(*run.scripts, run.cancellation);
        std::lock_guard lock(state.mutex);
        ++state.contextsCreated;
    }
    Tokens tokens =
        highlightIn(*context, run.key.source, run.key.language, state.configuration.beforeHighlight, run.cancellation);
    run.cancellation.throwIfCancelled();
    return tokens;
}

std::shared_ptr<HighlightJSSyntaxHighlighter::PendingRun>
HighlightJSSyntaxHighlighter::releaseExecutionSlot(State &state) {
    if (state.executionWaiters.empty()) {
        --state.activeExecutions;
        return nullptr;
    }
    // The first waiter takes over the slot: the number of active runs stays the same.
    std::shared_ptr<PendingRun> next = std::move(state.executionWaiters.front());
    state.executionWaiters.pop_front();
    return next;
}

void HighlightJSSyntaxHighlighter::cancelWaiter(const std::weak_ptr<State> &weakState, std::uint64_t waiterId) {
    const std::shared_ptr<State> state = weakState.lock();
    if (!state) {
        return;
    }
    std::shared_ptr<PendingRun> cancelled;
    {
        std::lock_guard lock(state->mutex);
        auto &waiters = state->executionWaiters;
        const auto waiter = std::find_if(waiters.begin(), waiters.end(),
                                         [waiterId](const auto &candidate) { return candidate->waiterId == waiterId; });
        if (waiter == waiters.end()) {
            return; // already running: the run itself checks the token
        }
        cancelled = std::move(*waiter);
        waiters.erase(waiter);
    }
    cancelled->fail(std::make_exception_ptr(CancellationError()));
}

std::vector<SyntaxToken> HighlightJSSyntaxHighlighter::highlightTokens(const std::u16string &source,
                                                                       const std::string &language,
                                                                       const std::vector<std::u16string> &scripts,
                                                                       const BeforeHighlight &beforeHighlight,
                                                                       const CancellationToken &cancellation) {
    cancellation.throwIfCancelled();
    HighlightJSContext context(scripts, cancellation);
    return highlightIn(context, source, language, beforeHighlight, cancellation);
}

std::size_t HighlightJSSyntaxHighlighter::workerCount() const {
    std::lock_guard lock(state_->mutex);
    return workers_.size();
}

int HighlightJSSyntaxHighlighter::contextsCreated() const {
    std::lock_guard lock(state_->mutex);
    return state_->contextsCreated;
}

int HighlightJSSyntaxHighlighter::activeExecutions() const {
    std::lock_guard lock(state_->mutex);
    return state_->activeExecutions;
}

std::size_t HighlightJSSyntaxHighlighter::waitingExecutions() const {
    std::lock_guard lock(state_->mutex);
    return state_->executionWaiters.size();
}

std::int64_t HighlightJSSyntaxHighlighter::cacheCost() const {
    std::lock_guard lock(state_->mutex);
    return state_->cache.cacheCost();
}

bool HighlightJSSyntaxHighlighter::isCached(const std::u16string &source,
                                            const std::string &highlightJSLanguage) const {
    std::lock_guard lock(state_->mutex);
    return state_->cache.contains({source, highlightJSLanguage});
}

} // namespace velto::editor
