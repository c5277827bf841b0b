#include "editor/highlight/CodeSyntaxHighlighter.h"

#include "CoroutineTestSupport.h"
#include "editor/highlight/CodeSyntaxHighlightingError.h"
#include "editor/highlight/HighlightScripts.h"
#include "editor/highlight/SyntaxLanguageRegistry.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace velto::editor {
namespace {

using Kind = SyntaxTokenKind;
using testsupport::finish;

const std::filesystem::path installedScripts = VELTO_SOURCE_DIR "/resources/SyntaxHighlighting";

SyntaxToken token(std::size_t location, std::size_t length, Kind kind) {
    return {TextRange{location, length}, kind};
}

// A stand-in for highlight.js that answers at once: "fake" wraps the code in one keyword span,
// "extra" adds a line break the code does not have, "throws" raises, any other language is unknown.
const std::u16string fakeHighlightJS = uR"(var hljs = {
  getLanguage: function(name) { return ['fake', 'extra', 'throws'].indexOf(name) >= 0; },
  highlight: function(code, options) {
    if (options.language === 'throws') throw new Error('boom');
    var value = '<span class="hljs-keyword">' + code + '</span>';
    return { value: options.language === 'extra' ? value + '\n' : value };
  }
};)";

HighlightJSSyntaxHighlighter::Configuration fakeConfiguration() {
    HighlightJSSyntaxHighlighter::Configuration configuration;
    configuration.suppliedScripts = std::vector{fakeHighlightJS};
    return configuration;
}

HighlightJSSyntaxHighlighter::Configuration installedConfiguration() {
    HighlightJSSyntaxHighlighter::Configuration configuration;
    configuration.scriptsFolder = installedScripts;
    return configuration;
}

CodeSyntaxHighlightingError::Kind failureKind(QCoro::Task<std::vector<SyntaxToken>> task) {
    try {
        finish(std::move(task));
    } catch (const CodeSyntaxHighlightingError &error) {
        return error.kind();
    }
    ADD_FAILURE() << "the request did not fail";
    return CodeSyntaxHighlightingError::Kind::runtimeFailure;
}

/// Holds highlight runs inside the hook until the test lets them go, and counts them.
class RunGate {
public:
    HighlightJSSyntaxHighlighter::BeforeHighlight hook() {
        return [this](const std::u16string &source) {
            std::unique_lock lock(mutex_);
            entered_.push_back(source);
            ++inside_;
            mostInside_ = std::max(mostInside_, inside_);
            changed_.notify_all();
            changed_.wait(lock, [this] { return permits_ > 0; });
            --permits_;
            --inside_;
        };
    }

    void release(int count) {
        std::lock_guard lock(mutex_);
        permits_ += count;
        changed_.notify_all();
    }

    /// Waits (a bounded time, so that a fault fails instead of hanging) until `count` runs have entered.
    bool waitUntilEntered(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return entered_.size() >= count; });
    }

    std::vector<std::u16string> entered() const {
        std::lock_guard lock(mutex_);
        return entered_;
    }
    int mostInside() const {
        std::lock_guard lock(mutex_);
        return mostInside_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::u16string> entered_;
    int inside_ = 0;
    int mostInside_ = 0;
    int permits_ = 0;
};

class CodeSyntaxHighlighterTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::ensureCoreApplication(); }

    /// A folder of its own for the test, removed afterwards.
    std::filesystem::path temporaryFolder() {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("velto-highlighter-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        folders_.push_back(folder);
        return folder;
    }
    void TearDown() override {
        for (const auto &folder : folders_) {
            std::filesystem::remove_all(folder);
        }
    }

private:
    std::vector<std::filesystem::path> folders_;
};

// ---- real highlight.js ----

struct RealSample {
    std::string language;
    std::string code;
    std::vector<SyntaxToken> someTokens; // each must be among the answer
};

TEST_F(CodeSyntaxHighlighterTest, RealHighlightJSTokensLieOnTheSource) {
    const std::vector<RealSample> samples{
        {"python",
         "def greet(name):\n    return f\"héllo {name}\"  # 😀 wave\n",
         {token(0, 3, Kind::keyword), token(4, 5, Kind::type), token(28, 15, Kind::string),
          token(45, 9, Kind::comment)}},
        {"cpp",
         "#include <vector>\nint main() { return 0x2A; } // done\n",
         {token(9, 8, Kind::string), token(38, 4, Kind::number), token(46, 7, Kind::comment)}},
        {"json",
         "{\"a\": [1, true, null], \"b\": \"x<y\"}",
         {token(1, 3, Kind::attribute), token(28, 5, Kind::string)}},
        {"dockerfile",
         "FROM debian:12\nRUN apt-get update && echo \"a & b\"\n",
         {token(0, 4, Kind::keyword), token(15, 3, Kind::keyword), token(42, 7, Kind::string)}},
        {"scss",
         "$base: #fff;\n.nav > a:hover { color: darken($base, 10%); }\n",
         {token(0, 5, Kind::attribute), token(13, 4, Kind::tag), token(51, 3, Kind::number)}},
        {"graphql",
         "query Hero($id: ID!) { hero(id: $id) { name } }",
         {token(0, 5, Kind::keyword), token(11, 3, Kind::attribute)}},
    };
    HighlightJSSyntaxHighlighter highlighter(installedConfiguration());
    for (const RealSample &sample : samples) {
        SCOPED_TRACE(sample.language);
        const std::u16string source = text::toUTF16(sample.code);
        const std::vector<SyntaxToken> tokens = finish(highlighter.tokens(source, sample.language, {}));
        ASSERT_FALSE(tokens.empty());
        std::size_t previousEnd = 0;
        for (const SyntaxToken &token : tokens) {
            EXPECT_GE(token.range.location, previousEnd);
            EXPECT_GT(token.range.length, 0u);
            EXPECT_LE(token.range.end(), source.size());
            previousEnd = token.range.end();
        }
        for (const SyntaxToken &expected : sample.someTokens) {
            EXPECT_NE(std::find(tokens.begin(), tokens.end(), expected), tokens.end())
                << expected.range.location << "+" << expected.range.length;
        }
    }
}

// ---- one context per worker, reused ----

// Installed highlight.js plus a language "throws" whose highlight raises after changing highlight.js's
// settings and the context's globals: a worker that kept that context would answer differently.
std::vector<std::u16string> scriptsWithAThrowingLanguage() {
    std::vector<std::u16string> scripts = loadScripts(installedScripts);
    scripts.push_back(uR"((function() {
  const highlight = hljs.highlight;
  hljs.registerAliases(['throws'], { languageName: 'plaintext' });
  hljs.highlight = function(code, options) {
    if (options.language === 'throws') {
      hljs.configure({ classPrefix: 'spoilt-' });
      globalThis.hljs = { getLanguage: function() { return true; }, highlight: function() { return { value: '' }; } };
      throw new Error('boom');
    }
    return highlight.call(hljs, code, options);
  };
})();)");
    return scripts;
}

struct CodeSample {
    std::string language;
    std::string code;
};

// Blocks in many languages, with constructs whose modes nest (strings in templates, comments in code,
// embedded languages) or stay open at the end, so that state left over by one block would show in the next.
const std::vector<CodeSample> &manyLanguageSamples() {
    static const std::vector<CodeSample> samples{
        {"python", "def greet(name):\n    return f\"héllo {name!r}\"  # 😀 wave\n\n@cache\nclass A(B): pass\n"},
        {"python", "s = '''unterminated\n"},
        {"javascript", "const a = `x ${b + `y ${c}`}`; // nested\n/* open comment\n"},
        {"cpp", "#include <vector>\nint main() { return 0x2A; } // done\ntemplate<class T> T f();\n"},
        {"xml", "<div class=\"a\"><script>let x = 1 < 2;</script><style>p { color: red }</style></div>\n"},
        {"json", "{\"a\": [1, true, null], \"b\": \"x<y\"}"},
        {"bash", "for f in *.md; do echo \"$f\" | sed 's/a/b/'; done # loop\ncat <<EOF\nhere $HOME\nEOF\n"},
        {"markdown", "# Title\n\n```python\nprint(1)\n```\n*em* and `code`\n"},
        {"rust", "fn main() { let s: &str = r#\"raw\"#; println!(\"{}\", s); }\n"},
        {"sql", "SELECT a, 'it''s' FROM t WHERE b > 3 -- note\n"},
        {"yaml", "key: value\nlist:\n  - 1\n  - \"two\"\n"},
        {"dockerfile", "FROM debian:12\nRUN apt-get update && echo \"a & b\"\n"},
        {"scss", "$base: #fff;\n.nav > a:hover { color: darken($base, 10%); }\n"},
        {"less", "@c: #333;\n.mixin(@a) { width: @a }\n"},
        {"graphql", "query Hero($id: ID!) { hero(id: $id) { name } }"},
        {"no-such-language", "x = 1\n"},
        {"python", "while True:\n    break\n"},
    };
    return samples;
}

// A worker keeps its context from block to block; each answer must equal what a fresh context gives,
// also after a run that raised and left its context changed.
TEST_F(CodeSyntaxHighlighterTest, ManyRequestsOnOneWorkerEqualFreshContexts) {
    const std::vector<std::u16string> scripts = scriptsWithAThrowingLanguage();
    HighlightJSSyntaxHighlighter::Configuration configuration;
    configuration.suppliedScripts = scripts;
    configuration.executionLimit = 1;
    configuration.cacheCostLimit = 0; // nothing cached: every request is a run
    HighlightJSSyntaxHighlighter highlighter(configuration);

    std::vector<CodeSample> requests = manyLanguageSamples();
    requests.insert(requests.begin() + 5, {"throws", "any code"});
    requests.insert(requests.end(), manyLanguageSamples().begin(), manyLanguageSamples().end());
    int failures = 0;
    for (std::size_t index = 0; index < requests.size(); ++index) {
        const CodeSample &request = requests[index];
        SCOPED_TRACE(std::to_string(index) + " " + request.language);
        const std::u16string source = text::toUTF16(request.code);
        if (request.language == "throws") {
            EXPECT_EQ(failureKind(highlighter.tokens(source, request.language, {})),
                      CodeSyntaxHighlightingError::Kind::runtimeFailure);
            ++failures;
            continue;
        }
        const std::string language = SyntaxLanguageRegistry::highlightJSLanguage(request.language);
        const std::vector<SyntaxToken> fresh =
            HighlightJSSyntaxHighlighter::highlightTokens(source, language, scripts, nullptr, {});
        EXPECT_EQ(finish(highlighter.tokens(source, request.language, {})), fresh);
        if (request.language == "python" || request.language == "cpp") {
            EXPECT_FALSE(fresh.empty());
        }
    }
    EXPECT_EQ(highlighter.workerCount(), 1u);
    EXPECT_EQ(highlighter.contextsCreated(), 1 + failures) << "a context is made again only after a failed run";
}

TEST_F(CodeSyntaxHighlighterTest, WorkersAreBoundedAndKeptAcrossBursts) {
    // The gate holds each run until the test lets it go, so that runs come one at a time or side by side as the
    // test says, however the machine schedules the workers.
    RunGate gate;
    auto configuration = fakeConfiguration();
    configuration.cacheCostLimit = 0;
    configuration.beforeHighlight = gate.hook();
    HighlightJSSyntaxHighlighter highlighter(configuration);
    EXPECT_EQ(highlighter.workerCount(), 0u) << "no thread before the first run";
    for (int block = 0; block < 10; ++block) {
        gate.release(1);
        finish(highlighter.tokens(text::toUTF16("one at a time " + std::to_string(block)), "fake", {}));
    }
    EXPECT_EQ(highlighter.workerCount(), 1u) << "blocks asked for one at a time need one worker and one context";
    EXPECT_EQ(highlighter.contextsCreated(), 1);
    std::size_t entered = 10;
    for (int burst = 0; burst < 3; ++burst) {
        std::vector<QCoro::Task<std::vector<SyntaxToken>>> requests;
        for (int block = 0; block < 20; ++block) {
            requests.push_back(highlighter.tokens(text::toUTF16(std::to_string(block)), "fake", {}));
        }
        ASSERT_TRUE(gate.waitUntilEntered(entered + 2)) << "both slots run side by side";
        gate.release(20);
        for (auto &request : requests) {
            EXPECT_EQ(finish(std::move(request)).size(), 1u);
        }
        entered += 20;
        EXPECT_EQ(highlighter.workerCount(), 2u);
        EXPECT_EQ(highlighter.contextsCreated(), 2);
    }
    EXPECT_EQ(gate.mostInside(), 2) << "never more runs at once than the limit";
}

TEST_F(CodeSyntaxHighlighterTest, CapitalAliasIsLowerCasedAndMapped) {
    HighlightJSSyntaxHighlighter highlighter(installedConfiguration());
    const std::u16string source = u"import os\n";
    const auto viaAlias = finish(highlighter.tokens(source, "PY", {}));
    EXPECT_EQ(viaAlias, (std::vector{token(0, 6, Kind::keyword)}));
    EXPECT_TRUE(highlighter.isCached(source, "python"));
}

TEST_F(CodeSyntaxHighlighterTest, UnknownLanguageGivesNoTokensAndIsAnsweredFromCache) {
    int runs = 0;
    auto configuration = installedConfiguration();
    configuration.beforeHighlight = [&runs](const std::u16string &) { ++runs; };
    HighlightJSSyntaxHighlighter highlighter(configuration);
    EXPECT_TRUE(finish(highlighter.tokens(u"x = 1", "no-such-language", {})).empty());
    EXPECT_TRUE(finish(highlighter.tokens(u"x = 1", "No-Such-Language", {})).empty());
    EXPECT_EQ(runs, 1);
}

TEST(SyntaxLanguageRegistry, LowerCasesThenAppliesAliasOnce) {
    const std::vector<std::pair<std::string, std::string>> table{
        {"PY", "python"},
        {"c++", "cpp"},
        {"C#", "csharp"},
        {"Docker", "dockerfile"},
        {"gql", "graphql"},
        {"HTML", "xml"},
        {"sh", "bash"},
        {"none", "plaintext"},
        {"yml", "yaml"},
        {"js", "js"},
        {"JavaScript", "javascript"},
        {"plaintext", "plaintext"},
    };
    for (const auto &[fence, language] : table) {
        EXPECT_EQ(SyntaxLanguageRegistry::highlightJSLanguage(fence), language) << fence;
    }
}

// ---- scripts ----

TEST_F(CodeSyntaxHighlighterTest, EmptyCodeOrLanguageGivesNoTokensWithoutLoadingScripts) {
    auto configuration = installedConfiguration();
    configuration.scriptsFolder = temporaryFolder() / "missing";
    HighlightJSSyntaxHighlighter highlighter(configuration);
    EXPECT_TRUE(finish(highlighter.tokens(u"", "python", {})).empty());
    EXPECT_TRUE(finish(highlighter.tokens(u"x", "", {})).empty());
}

TEST_F(CodeSyntaxHighlighterTest, MissingScriptsFolderFailsEveryRequestUntilItAppears) {
    const std::filesystem::path folder = temporaryFolder() / "SyntaxHighlighting";
    auto configuration = installedConfiguration();
    configuration.scriptsFolder = folder;
    HighlightJSSyntaxHighlighter highlighter(configuration);

    EXPECT_EQ(failureKind(highlighter.tokens(u"x = 1", "python", {})),
              CodeSyntaxHighlightingError::Kind::missingRuntime);
    EXPECT_EQ(failureKind(highlighter.tokens(u"x = 1", "python", {})),
              CodeSyntaxHighlightingError::Kind::missingRuntime);
    EXPECT_FALSE(highlighter.isCached(u"x = 1", "python"));

    std::filesystem::copy(installedScripts, folder);
    EXPECT_EQ(finish(highlighter.tokens(u"x = 1", "python", {})), (std::vector{token(4, 1, Kind::number)}));
}

TEST_F(CodeSyntaxHighlighterTest, MissingScriptFileIsMissingRuntime) {
    const std::filesystem::path folder = temporaryFolder() / "SyntaxHighlighting";
    std::filesystem::copy(installedScripts, folder);
    std::filesystem::remove(folder / "graphql.min.js");
    EXPECT_THROW(
        try { loadScripts(folder); } catch (const CodeSyntaxHighlightingError &error) {
            EXPECT_EQ(error.kind(), CodeSyntaxHighlightingError::Kind::missingRuntime);
            throw;
        },
        CodeSyntaxHighlightingError);
}

TEST_F(CodeSyntaxHighlighterTest, ScriptThatIsNotUtf8IsAReadingError) {
    const std::filesystem::path folder = temporaryFolder() / "SyntaxHighlighting";
    std::filesystem::copy(installedScripts, folder);
    std::ofstream(folder / "less.min.js", std::ios::binary) << "var x = '\xC3\x28';";
    EXPECT_THROW(loadScripts(folder), HighlightScriptReadingError);
    EXPECT_EQ(loadScripts(installedScripts).size(), 5u);
}

// ---- failures of a run ----

TEST_F(CodeSyntaxHighlighterTest, FailingRunsAreReportedAndNotCached) {
    HighlightJSSyntaxHighlighter highlighter(fakeConfiguration());
    try {
        finish(highlighter.tokens(u"x", "throws", {}));
        ADD_FAILURE() << "the run did not fail";
    } catch (const CodeSyntaxHighlightingError &error) {
        EXPECT_EQ(error, CodeSyntaxHighlightingError::runtimeFailure("Error: boom"));
    }
    EXPECT_EQ(failureKind(highlighter.tokens(u"x", "extra", {})), CodeSyntaxHighlightingError::Kind::sourceMismatch);
    EXPECT_FALSE(highlighter.isCached(u"x", "extra"));
    EXPECT_EQ(highlighter.activeExecutions(), 0);
    EXPECT_EQ(finish(highlighter.tokens(u"x", "fake", {})), (std::vector{token(0, 1, Kind::keyword)}));
}

TEST_F(CodeSyntaxHighlighterTest, ScriptExceptionIsRuntimeFailure) {
    auto configuration = fakeConfiguration();
    configuration.suppliedScripts->push_back(u"this is not JavaScript");
    HighlightJSSyntaxHighlighter highlighter(configuration);
    EXPECT_EQ(failureKind(highlighter.tokens(u"x", "fake", {})), CodeSyntaxHighlightingError::Kind::runtimeFailure);
}

// ---- cancellation ----

TEST_F(CodeSyntaxHighlighterTest, CancelledRequestFailsAtOnce) {
    HighlightJSSyntaxHighlighter highlighter(fakeConfiguration());
    CancellationToken cancellation;
    cancellation.cancel();
    EXPECT_THROW(finish(highlighter.tokens(u"x", "fake", cancellation)), CancellationError);
}

TEST_F(CodeSyntaxHighlighterTest, RequestCancelledDuringItsRunCachesNothingAndFreesItsSlot) {
    CancellationToken cancellation;
    auto configuration = fakeConfiguration();
    configuration.beforeHighlight = [&cancellation](const std::u16string &) { cancellation.cancel(); };
    HighlightJSSyntaxHighlighter highlighter(configuration);
    EXPECT_THROW(finish(highlighter.tokens(u"x", "fake", cancellation)), CancellationError);
    EXPECT_FALSE(highlighter.isCached(u"x", "fake"));
    EXPECT_EQ(highlighter.activeExecutions(), 0);
}

// ---- execution slots ----

TEST_F(CodeSyntaxHighlighterTest, AtMostTwoRunsAndWaitersServedInArrivalOrder) {
    RunGate gate;
    auto configuration = fakeConfiguration();
    configuration.beforeHighlight = gate.hook();
    HighlightJSSyntaxHighlighter highlighter(configuration);

    std::vector<QCoro::Task<std::vector<SyntaxToken>>> requests;
    for (const char16_t *source : {u"a", u"b", u"c", u"d", u"e"}) {
        requests.push_back(highlighter.tokens(source, "fake", {}));
    }
    ASSERT_TRUE(gate.waitUntilEntered(2));
    EXPECT_EQ(highlighter.activeExecutions(), 2);
    EXPECT_EQ(highlighter.waitingExecutions(), 3u);

    gate.release(1);
    ASSERT_TRUE(gate.waitUntilEntered(3));
    // The third request took over the finished run's slot.
    EXPECT_EQ(highlighter.activeExecutions(), 2);
    EXPECT_EQ(highlighter.waitingExecutions(), 2u);

    // One run ends at a time, so each freed slot goes to the longest-waiting request.
    gate.release(1);
    ASSERT_TRUE(gate.waitUntilEntered(4));
    gate.release(1);
    ASSERT_TRUE(gate.waitUntilEntered(5));
    gate.release(3);
    for (auto &request : requests) {
        EXPECT_EQ(finish(std::move(request)).size(), 1u);
    }
    EXPECT_EQ(gate.mostInside(), 2);
    const std::vector<std::u16string> entered = gate.entered();
    ASSERT_EQ(entered.size(), 5u);
    EXPECT_EQ(std::vector(entered.begin() + 2, entered.end()), (std::vector<std::u16string>{u"c", u"d", u"e"}));
    EXPECT_EQ(highlighter.activeExecutions(), 0);
}

TEST_F(CodeSyntaxHighlighterTest, CancellingAWaitingRequestRemovesItFromTheQueue) {
    RunGate gate;
    auto configuration = fakeConfiguration();
    configuration.beforeHighlight = gate.hook();
    HighlightJSSyntaxHighlighter highlighter(configuration);

    auto first = highlighter.tokens(u"a", "fake", {});
    auto second = highlighter.tokens(u"b", "fake", {});
    CancellationToken cancellation;
    auto waiting = highlighter.tokens(u"c", "fake", cancellation);
    auto last = highlighter.tokens(u"d", "fake", {});
    ASSERT_TRUE(gate.waitUntilEntered(2));
    EXPECT_EQ(highlighter.waitingExecutions(), 2u);

    cancellation.cancel();
    EXPECT_EQ(highlighter.waitingExecutions(), 1u);
    EXPECT_THROW(finish(std::move(waiting)), CancellationError);

    gate.release(3);
    finish(std::move(first));
    finish(std::move(second));
    finish(std::move(last));
    std::vector<std::u16string> entered = gate.entered();
    std::sort(entered.begin(), entered.begin() + 2); // the first two run side by side
    EXPECT_EQ(entered, (std::vector<std::u16string>{u"a", u"b", u"d"}));
    EXPECT_FALSE(highlighter.isCached(u"c", "fake"));
}

TEST_F(CodeSyntaxHighlighterTest, DestroyingTheHighlighterFailsWaitingRequests) {
    auto configuration = fakeConfiguration();
    configuration.executionLimit = 0; // every request waits
    auto highlighter = std::make_unique<HighlightJSSyntaxHighlighter>(configuration);
    auto waiting = highlighter->tokens(u"a", "fake", {});
    EXPECT_EQ(highlighter->waitingExecutions(), 1u);
    highlighter.reset();
    EXPECT_THROW(finish(std::move(waiting)), CancellationError);
}

TEST_F(CodeSyntaxHighlighterTest, DestroyingTheHighlighterLetsRunsInProgressFinish) {
    RunGate gate;
    auto configuration = fakeConfiguration();
    configuration.beforeHighlight = gate.hook();
    auto highlighter = std::make_unique<HighlightJSSyntaxHighlighter>(configuration);
    auto first = highlighter->tokens(u"a", "fake", {});
    auto second = highlighter->tokens(u"b", "fake", {});
    ASSERT_TRUE(gate.waitUntilEntered(2));
    gate.release(2);
    highlighter.reset();
    EXPECT_EQ(finish(std::move(first)).size(), 1u);
    EXPECT_EQ(finish(std::move(second)).size(), 1u);
}

// ---- cache ----

TEST_F(CodeSyntaxHighlighterTest, CacheStaysWithinItsBoundAcrossManyBlocks) {
    auto configuration = fakeConfiguration();
    configuration.cacheCostLimit = 4'096;
    HighlightJSSyntaxHighlighter highlighter(configuration);
    for (int block = 0; block < 40; ++block) {
        finish(highlighter.tokens(text::toUTF16(std::string(200, 'a') + std::to_string(block)), "fake", {}));
        EXPECT_LE(highlighter.cacheCost(), 4'096);
    }
    EXPECT_TRUE(highlighter.isCached(text::toUTF16(std::string(200, 'a') + "39"), "fake"));
    EXPECT_FALSE(highlighter.isCached(text::toUTF16(std::string(200, 'a') + "0"), "fake"));
}

HighlightCacheKey key(std::u16string source) {
    return {std::move(source), "python"};
}

TEST(HighlightTokenCache, EstimatesCostFromUtf8BytesAndTokens) {
    EXPECT_EQ(HighlightTokenCache::estimatedCacheCost(u"abc", "python", 2), 3 + 6 + 48 + 128);
    EXPECT_EQ(HighlightTokenCache::estimatedCacheCost(u"é😀€", "py", 0), 2 + 4 + 3 + 2 + 128);
    EXPECT_EQ(HighlightTokenCache::estimatedCacheCost(u"", "", -5), 128);
    EXPECT_EQ(HighlightTokenCache::estimatedCacheCost(u"a", "b", std::numeric_limits<std::int64_t>::max() / 2),
              std::numeric_limits<std::int64_t>::max());
}

TEST(HighlightTokenCache, NeverExceedsItsBoundAndEvictsLeastRecentlyUsedFirst) {
    HighlightTokenCache cache;
    const std::u16string big(1'000'000, u'x'); // about 1 MB each: eight fit, the ninth evicts
    for (char16_t block = u'a'; block <= u'l'; ++block) {
        cache.cache({token(0, 1, Kind::string)}, key(big + block));
        EXPECT_LE(cache.cacheCost(), 8'388'608);
        if (block == u'f') {
            ASSERT_TRUE(cache.tokens(key(big + u'a'))); // a hit makes "a" the most recently used
        }
    }
    std::vector<std::u16string> lastCharacters;
    for (const HighlightCacheKey &cached : cache.keysInUseOrder()) {
        lastCharacters.push_back(cached.source.substr(cached.source.size() - 1));
    }
    EXPECT_EQ(lastCharacters, (std::vector<std::u16string>{u"f", u"a", u"g", u"h", u"i", u"j", u"k", u"l"}));
    EXPECT_FALSE(cache.contains(key(big + u'b')));
    EXPECT_FALSE(cache.contains(key(big + u'e')));
}

TEST(HighlightTokenCache, EntryLargerThanTheBoundIsNeverCached) {
    HighlightTokenCache cache;
    cache.cache({}, key(u"small"));
    cache.cache({}, key(std::u16string(8'388'608, u'x')));
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_TRUE(cache.contains(key(u"small")));
}

TEST(HighlightTokenCache, CachingAKeyAgainReplacesItsEntryAndCost) {
    HighlightTokenCache cache;
    cache.cache({token(0, 1, Kind::string)}, key(u"a"));
    cache.cache({token(0, 1, Kind::string), token(1, 1, Kind::number)}, key(u"a"));
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache.cacheCost(), HighlightTokenCache::estimatedCacheCost(u"a", "python", 2));
    EXPECT_EQ(cache.tokens(key(u"a"))->size(), 2u);
    cache.removeCachedValue(key(u"a"));
    EXPECT_EQ(cache.cacheCost(), 0);
    EXPECT_FALSE(cache.tokens(key(u"a")));
}

} // namespace
} // namespace velto::editor
