#pragma once

#include "editor/highlight/SyntaxToken.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextStorage.h"
#include "platform/desktop/Cancellation.h"

#include <QCoro/QCoroTask>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Colours the highlighter's tokens into the editor's text storage without flicker: each coloured run
// carries its kind ("VeltoCodeSyntaxToken") and the highlight generation that made it
// ("VeltoCodeSyntaxGeneration"), so that a restyle can carry the colours over and a newer highlighting
// can recognise and replace older ones. Everything runs on the main thread; a block too large for one
// storage change is coloured in batches with a yield to the event loop after each, so typing goes on.
namespace velto::editor::MarkdownStyler {

/// Blocks longer than this (UTF-16 units) are replaced in batches.
inline constexpr std::size_t largeCodeBlockLength = 32'768;
/// Tokens (or stale runs) per batch.
inline constexpr int codeTokenBatchSize = 2'000;

/// The dynamic colour of one token kind, named "VeltoCode…".
Color codeColor(std::string name, RGBComponents light, RGBComponents dark);
/// The code colour of the kind ("VeltoCodeKeyword" for keyword, …).
Color codeTokenColor(SyntaxTokenKind kind);

/// True when the runs of "VeltoCodeSyntaxToken" inside the range, read as tokens relative to its
/// start, equal the tokens exactly. Neighbouring tokens of one kind read back as one run, so such a
/// list never counts as applied (and is applied again, with the same look).
bool codeTokensAreApplied(const std::vector<SyntaxToken> &tokens, TextRange contentRange, const TextStorage &storage);

/// Adds colour, kind and (when given) generation over each token that lies inside the content range;
/// others are skipped. Font, paragraph style and code background stay.
void applyCodeTokens(std::span<const SyntaxToken> tokens, TextRange contentRange, TextStorage &storage,
                     std::optional<std::uint64_t> generation);

/// The caller's view of whether work may go on, and what it does around each storage change (the
/// editor keeps the selection across them).
struct CodeTokenUpdateHooks {
    std::function<bool()> shouldContinue;
    std::function<void()> willApplyBatch;
    /// Receives the number of tokens (or stale runs) handled so far.
    std::function<void(int)> didApplyBatch;
};

/// Applies the tokens in batches, each in one editing group followed by a yield. Stops (false) before a
/// batch once the cancellation is set or shouldContinue answers false; true when all are applied.
///
/// The storage is not kept alive: after every yield it is touched only once shouldContinue has said
/// it is still the caller's current storage.
QCoro::Task<bool> applyCodeTokensInBatches(std::vector<SyntaxToken> tokens, TextRange contentRange,
                                           TextStorage &storage, std::optional<std::uint64_t> generation, int batchSize,
                                           CodeTokenUpdateHooks hooks,
                                           CancellationToken cancellation = CancellationToken());

/// Turns every token run of the range whose generation is not `keeping` back into plain code (the
/// text colour, no token keys), in batches like applyCodeTokensInBatches.
QCoro::Task<bool> removeStaleCodeTokensInBatches(TextRange contentRange, TextStorage &storage, std::uint64_t keeping,
                                                 Color textColor, int batchSize, CodeTokenUpdateHooks hooks,
                                                 CancellationToken cancellation = CancellationToken());

/// The operations the highlighting task gives replaceCodeTokens.
struct CodeTokenReplacementHooks {
    /// Whether the text is still the text the tokens were made for.
    std::function<bool()> isCurrent;
    std::function<void()> beforeStorageUpdate;
    std::function<void()> afterStorageUpdate;
};

/// Replaces a block's tokens with new ones of the generation. A block up to largeCodeBlockLength is
/// replaced in one storage change; a longer one gets its new tokens first, in batches, and only then
/// loses the runs of older generations, so old colours stay visible until new ones arrive. True when
/// every token is in place and no stale one is left; false when it stopped early (the text changed,
/// the cancellation was set, or the range no longer fits the storage), keeping what it applied.
QCoro::Task<bool> replaceCodeTokens(std::vector<SyntaxToken> tokens, TextRange contentRange, TextStorage &storage,
                                    std::uint64_t generation, Color textColor, CodeTokenReplacementHooks hooks,
                                    CancellationToken cancellation = CancellationToken());

} // namespace velto::editor::MarkdownStyler
