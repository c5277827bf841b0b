#include "editor/CodeSyntaxHighlighter.h"

#include "editor/CodeSyntaxHighlightingError.h"
#include "editor/HighlightMarkupParser.h"
#include "editor/HighlightScripts.h"
#include "editor/SyntaxLanguageRegistry.h"
#include "platform/Text.h"
#include "platform/desktop/JavaScriptEngine.h"

#include <QCoro/QCoroFuture>
#include <QPromise>

#include <algorithm>
#include <exception>
#include <utility>

namespace velto::editor {
namespace {

using Scripts = std::vector<std::u16string>;
using Tokens = std::vector<SyntaxToken>;

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
};

HighlightJSSyntaxHighlighter::HighlightJSSyntaxHighlighter()
    : HighlightJSSyntaxHighlighter(Configuration{}) {}

HighlightJSSyntaxHighlighter::HighlightJSSyntaxHighlighter(Configuration configuration)
    : state_(std::make_shared<State>(std::move(configuration))) {
    runThreads_.setMaxThreadCount(std::max(state_->configuration.executionLimit, 1));
}

HighlightJSSyntaxHighlighter::~HighlightJSSyntaxHighlighter() {
    std::deque<std::shared_ptr<PendingRun>> waiters;
    {
        std::lock_guard lock(state_->mutex);
        waiters.swap(state_->executionWaiters);
    }
    for (const std::shared_ptr<PendingRun> &waiter : waiters) {
        waiter->cancellation.removeCallback(waiter->cancelCallback);
        waiter->fail(std::make_exception_ptr(CancellationError()));
    }
    runThreads_.waitForDone();
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
        startRuns(run);
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

void HighlightJSSyntaxHighlighter::startRuns(std::shared_ptr<PendingRun> first) {
    runThreads_.start([state = state_, first = std::move(first)] { runWhileWaitersRemain(state, first); });
}

void HighlightJSSyntaxHighlighter::runWhileWaitersRemain(const std::shared_ptr<State> &state,
                                                         std::shared_ptr<PendingRun> run) {
    // A slot passes straight from a finished run to the first waiter, on the same thread.
    while (run) {
        Tokens tokens;
        std::exception_ptr failure;
        try {
            run->cancellation.throwIfCancelled();
            tokens = highlightTokens(run->key.source, run->key.language, *run->scripts,
                                     state->configuration.beforeHighlight, run->cancellation);
            run->cancellation.throwIfCancelled();
        } catch (...) {
            failure = std::current_exception();
        }

        std::shared_ptr<PendingRun> next;
        {
            std::lock_guard lock(state->mutex);
            if (!failure) {
                state->cache.cache(tokens, run->key);
            }
            next = releaseExecutionSlot(*state);
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
    std::optional<JavaScriptContext> context;
    try {
        context.emplace();
    } catch (const JavaScriptEngineUnavailable &) {
        throw CodeSyntaxHighlightingError::missingRuntime();
    }

    try {
        for (const std::u16string &script : scripts) {
            cancellation.throwIfCancelled();
            context->evaluate(script);
        }
        cancellation.throwIfCancelled();
        context->evaluate(highlightGlueScript);
    } catch (const JavaScriptException &exception) {
        throw CodeSyntaxHighlightingError::runtimeFailure(exception.what());
    }
    if (!context->hasGlobal("veltoHighlight")) {
        throw CodeSyntaxHighlightingError::missingRuntime();
    }

    cancellation.throwIfCancelled();
    if (beforeHighlight) {
        beforeHighlight(source);
    }
    cancellation.throwIfCancelled();

    std::optional<std::u16string> markup;
    try {
        markup = context->callGlobalFunction("veltoHighlight", {source, text::toUTF16(language)});
    } catch (const JavaScriptException &exception) {
        throw CodeSyntaxHighlightingError::runtimeFailure(exception.what());
    }
    cancellation.throwIfCancelled();
    if (!markup) {
        return {}; // highlight.js does not know the language
    }
    Tokens tokens = HighlightMarkupParser::parse(*markup, source, cancellation);
    cancellation.throwIfCancelled();
    return tokens;
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
