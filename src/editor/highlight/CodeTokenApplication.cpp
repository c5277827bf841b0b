#include "editor/highlight/CodeTokenApplication.h"

#include <QCoro/QCoroTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

namespace velto::editor::MarkdownStyler {
namespace {

struct CodeColorComponents {
    SyntaxTokenKind kind;
    const char *name;
    RGBComponents dark;
    RGBComponents light;
};

constexpr std::array<CodeColorComponents, 7> codeColors{{
    {SyntaxTokenKind::keyword, "VeltoCodeKeyword", {0.72, 0.56, 0.94}, {0.48, 0.20, 0.70}},
    {SyntaxTokenKind::number, "VeltoCodeNumber", {0.84, 0.66, 0.40}, {0.68, 0.36, 0.08}},
    {SyntaxTokenKind::string, "VeltoCodeString", {0.89, 0.58, 0.43}, {0.67, 0.25, 0.20}},
    {SyntaxTokenKind::comment, "VeltoCodeComment", {0.49, 0.53, 0.60}, {0.39, 0.43, 0.49}},
    {SyntaxTokenKind::tag, "VeltoCodeTag", {0.91, 0.43, 0.61}, {0.68, 0.18, 0.38}},
    {SyntaxTokenKind::attribute, "VeltoCodeAttribute", {0.42, 0.76, 0.72}, {0.08, 0.48, 0.47}},
    {SyntaxTokenKind::type, "VeltoCodeType", {0.47, 0.67, 0.94}, {0.10, 0.38, 0.68}},
}};

bool fitsStorage(TextRange range, const TextStorage &storage) {
    return range.end() <= storage.length();
}

bool liesInside(TextRange tokenRange, TextRange contentRange) {
    return tokenRange.location <= contentRange.length && tokenRange.length <= contentRange.length - tokenRange.location;
}

/// The attributes a token of each kind adds, built once per application rather than once per token.
std::array<Attributes, 7> tokenAttributesByKind(std::optional<std::uint64_t> generation) {
    std::array<Attributes, 7> attributes;
    for (const CodeColorComponents &colors : codeColors) {
        std::vector<AttributeEntry> entries{
            {AttributeKey::foregroundColor, codeTokenColor(colors.kind)},
            {AttributeKey::veltoCodeSyntaxToken, std::string(rawValue(colors.kind))},
        };
        if (generation) {
            entries.push_back({AttributeKey::veltoCodeSyntaxGeneration, *generation});
        }
        attributes[static_cast<std::size_t>(colors.kind)] = Attributes::fromEntries(std::move(entries));
    }
    return attributes;
}

/// The generation a run carries, when it is a number.
std::optional<std::uint64_t> runGeneration(const Attributes &attributes) {
    const AttributeValue *value = attributes.find(AttributeKey::veltoCodeSyntaxGeneration);
    if (const auto *unsignedValue = attributeValueAs<std::uint64_t>(value)) {
        return *unsignedValue;
    }
    if (const auto *signedValue = attributeValueAs<std::int64_t>(value)) {
        return static_cast<std::uint64_t>(*signedValue);
    }
    return std::nullopt;
}

/// The token runs of the range that an older (or unknown) highlighting left.
std::vector<TextRange> staleTokenRuns(TextRange contentRange, const TextStorage &storage, std::uint64_t keeping) {
    std::vector<TextRange> stale;
    for (const AttributeRun &run : storage.attributeRuns(contentRange)) {
        if (run.attributes.contains(AttributeKey::veltoCodeSyntaxToken) && runGeneration(run.attributes) != keeping) {
            stale.push_back(run.range);
        }
    }
    return stale;
}

bool mayContinue(const CancellationToken &cancellation, const std::function<bool()> &shouldContinue) {
    return !cancellation.isCancelled() && shouldContinue();
}

/// Lets other work waiting on the main thread (typing, restyling) run before the next batch.
QCoro::Task<> yieldToEventLoop() {
    co_await QCoro::sleepFor(std::chrono::milliseconds(0));
}

/// Runs `applyBatch(start, end)` over [0, count) in batches, each in one editing group, bracketed by
/// the hooks and followed by a yield.
template <typename ApplyBatch>
QCoro::Task<bool> inBatches(std::size_t count, int batchSize, TextStorage &storage, const CodeTokenUpdateHooks &hooks,
                            const CancellationToken &cancellation, ApplyBatch applyBatch) {
    for (std::size_t start = 0; start < count;) {
        if (!mayContinue(cancellation, hooks.shouldContinue)) {
            co_return false;
        }
        const std::size_t end = std::min(start + static_cast<std::size_t>(batchSize), count);
        hooks.willApplyBatch();
        storage.beginEditing();
        applyBatch(start, end);
        storage.endEditing();
        hooks.didApplyBatch(static_cast<int>(end));
        co_await yieldToEventLoop();
        start = end;
    }
    co_return mayContinue(cancellation, hooks.shouldContinue);
}

} // namespace

Color codeColor(std::string name, RGBComponents light, RGBComponents dark) {
    return Color::dynamic(std::move(name), light, dark);
}

Color codeTokenColor(SyntaxTokenKind kind) {
    const CodeColorComponents &colors = codeColors[static_cast<std::size_t>(kind)];
    return codeColor(colors.name, colors.light, colors.dark);
}

bool codeTokensAreApplied(const std::vector<SyntaxToken> &tokens, TextRange contentRange, const TextStorage &storage) {
    if (!fitsStorage(contentRange, storage)) {
        return false;
    }
    std::vector<SyntaxToken> applied;
    storage.enumerateAttribute(
        AttributeKey::veltoCodeSyntaxToken, contentRange, [&](const AttributeValue *value, TextRange run) {
            const auto *raw = attributeValueAs<std::string>(value);
            const std::optional<SyntaxTokenKind> kind = raw ? syntaxTokenKind(*raw) : std::nullopt;
            if (kind) {
                applied.push_back({TextRange{run.location - contentRange.location, run.length}, *kind});
            }
        });
    return applied == tokens;
}

void applyCodeTokens(std::span<const SyntaxToken> tokens, TextRange contentRange, TextStorage &storage,
                     std::optional<std::uint64_t> generation) {
    if (!fitsStorage(contentRange, storage) || tokens.empty()) {
        return;
    }
    const std::array<Attributes, 7> attributesByKind = tokenAttributesByKind(generation);
    for (const SyntaxToken &token : tokens) {
        if (token.range.length == 0 || !liesInside(token.range, contentRange)) {
            continue;
        }
        storage.addAttributes(attributesByKind[static_cast<std::size_t>(token.kind)],
                              TextRange{contentRange.location + token.range.location, token.range.length});
    }
}

QCoro::Task<bool> applyCodeTokensInBatches(std::vector<SyntaxToken> tokens, TextRange contentRange,
                                           TextStorage &storage, std::optional<std::uint64_t> generation, int batchSize,
                                           CodeTokenUpdateHooks hooks, CancellationToken cancellation) {
    if (batchSize < 1 || !fitsStorage(contentRange, storage)) {
        co_return false;
    }
    co_return co_await inBatches(
        tokens.size(), batchSize, storage, hooks, cancellation, [&](std::size_t start, std::size_t end) {
            applyCodeTokens(std::span(tokens).subspan(start, end - start), contentRange, storage, generation);
        });
}

QCoro::Task<bool> removeStaleCodeTokensInBatches(TextRange contentRange, TextStorage &storage, std::uint64_t keeping,
                                                 Color textColor, int batchSize, CodeTokenUpdateHooks hooks,
                                                 CancellationToken cancellation) {
    if (batchSize < 1 || !fitsStorage(contentRange, storage)) {
        co_return false;
    }
    const std::vector<TextRange> stale = staleTokenRuns(contentRange, storage, keeping);
    co_return co_await inBatches(stale.size(), batchSize, storage, hooks, cancellation,
                                 [&](std::size_t start, std::size_t end) {
                                     for (std::size_t index = start; index < end; ++index) {
                                         storage.removeAttribute(AttributeKey::veltoCodeSyntaxToken, stale[index]);
                                         storage.removeAttribute(AttributeKey::veltoCodeSyntaxGeneration, stale[index]);
                                         storage.addAttribute(AttributeKey::foregroundColor, textColor, stale[index]);
                                     }
                                 });
}

QCoro::Task<bool> replaceCodeTokens(std::vector<SyntaxToken> tokens, TextRange contentRange, TextStorage &storage,
                                    std::uint64_t generation, Color textColor, CodeTokenReplacementHooks hooks,
                                    CancellationToken cancellation) {
    if (contentRange.length <= largeCodeBlockLength) {
        if (!fitsStorage(contentRange, storage) || cancellation.isCancelled() || !hooks.isCurrent()) {
            co_return false;
        }
        hooks.beforeStorageUpdate();
        storage.beginEditing();
        storage.removeAttribute(AttributeKey::veltoCodeSyntaxToken, contentRange);
        storage.removeAttribute(AttributeKey::veltoCodeSyntaxGeneration, contentRange);
        storage.addAttribute(AttributeKey::foregroundColor, textColor, contentRange);
        applyCodeTokens(tokens, contentRange, storage, generation);
        storage.endEditing();
        hooks.afterStorageUpdate();
        co_return true;
    }

    // New tokens overwrite old ones in place first; runs left from older generations fall back to the
    // plain colour only at the end, so the block never flashes uncoloured.
    const CodeTokenUpdateHooks batchHooks{
        hooks.isCurrent,
        hooks.beforeStorageUpdate,
        [after = hooks.afterStorageUpdate](int) { after(); },
    };
    if (!co_await applyCodeTokensInBatches(std::move(tokens), contentRange, storage, generation, codeTokenBatchSize,
                                           batchHooks, cancellation)) {
        co_return false;
    }
    co_return co_await removeStaleCodeTokensInBatches(contentRange, storage, generation, std::move(textColor),
                                                      codeTokenBatchSize, batchHooks, cancellation);
}

} // namespace velto::editor::MarkdownStyler
