#include "page_editor/CodeHighlightRequests.h"

#include "editor/highlight/CodeTokenApplication.h"
#include "editor/markdown/MarkdownStyler.h"

#include <QtCore/QTimer>

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace velto::editor::MarkdownStyler {

namespace {

/// Reads the languages the fences name, once for a run of fences that name the same one: most blocks of a
/// page name the same few languages.
class FenceLanguages {
public:
    const std::string &of(const FencedCodeBlock &block) {
        if (lastInfoString_ != block.opening.infoString) {
            lastInfoString_ = block.opening.infoString;
            lastLanguage_ = fencedLanguage(block.opening.infoString);
        }
        return lastLanguage_;
    }

private:
    std::optional<std::u16string> lastInfoString_;
    std::string lastLanguage_;
};

/// What a pass makes of a block.
enum class BlockNeed {
    notCodeYet,  // its fence line is still being typed: the styler does not show it as code
    highlighted, // its tokens are in place
    nothing,     // no language or no code: nothing to ask for while its opening line and its code stay
    tokens,      // to be asked for
};

HighlightedCodeBlocks::Block linesOf(const FencedCodeBlock &block) {
    return {block.opening.lineRange, block.contentRange};
}

BlockNeed needOf(const FencedCodeBlock &block, const TextStorage &storage, const HighlightedCodeBlocks *highlighted,
                 FenceLanguages &languages) {
    // A fence line still being typed at the end of the text has no line break yet and is left alone.
    if (!isStyledAsCode(block, storage) || block.contentRange.end() > storage.length()) {
        return BlockNeed::notCodeYet;
    }
    if (highlighted != nullptr && highlighted->contains(linesOf(block))) {
        return BlockNeed::highlighted;
    }
    if (languages.of(block).empty() || block.contentRange.length == 0) {
        return BlockNeed::nothing;
    }
    return BlockNeed::tokens;
}

/// The part of the text that holds every block within reach of the screen, and one unit more on each side:
/// a block that starts right at the reach's end is within it.
TextRange reachAround(TextRange visible, std::size_t length) {
    const std::size_t reach = nearbyReach(visible) + 1;
    const std::size_t start = visible.location - std::min(visible.location, reach);
    const std::size_t end = std::min(visible.end() + reach, length);
    return TextRange{std::min(start, end), end - std::min(start, end)};
}

bool isWithinReach(const FencedCodeBlock &block, TextRange visible) {
    return distanceFrom(CodeHighlightRequest{{}, {}, block.contentRange, block.opening.lineRange}, visible) <=
           nearbyReach(visible);
}

} // namespace

std::vector<CodeHighlightRequest> codeHighlightRequests(const std::vector<FencedCodeBlock> &blocks,
                                                        const TextStorage &storage, HighlightedCodeBlocks *highlighted,
                                                        std::optional<TextRange> copiedNear) {
    std::vector<CodeHighlightRequest> requests;
    std::vector<HighlightedCodeBlocks::Block> settled;
    FenceLanguages languages;
    for (const FencedCodeBlock &block : blocks) {
        const BlockNeed need = needOf(block, storage, highlighted, languages);
        if (need == BlockNeed::notCodeYet) {
            continue;
        }
        if (need != BlockNeed::tokens) {
            settled.push_back(linesOf(block));
            continue;
        }
        CodeHighlightRequest request{{}, languages.of(block), block.contentRange, block.opening.lineRange};
        if (!copiedNear || distanceFrom(request, *copiedNear) <= nearbyReach(*copiedNear)) {
            request.source = storage.substring(block.contentRange);
        }
        requests.push_back(std::move(request));
    }
    if (highlighted != nullptr) {
        highlighted->keepOnly(std::move(settled));
    }
    return requests;
}

std::vector<CodeHighlightRequest> codeHighlightRequestsNear(const TextStorage &storage,
                                                            HighlightedCodeBlocks &highlighted, TextRange visible) {
    std::vector<CodeHighlightRequest> requests;
    FenceLanguages languages;
    for (const FencedCodeBlock &block : fencedBlocksOverlapping(storage, reachAround(visible, storage.length()))) {
        const BlockNeed need = needOf(block, storage, &highlighted, languages);
        if (need == BlockNeed::nothing) {
            highlighted.remember(storage, linesOf(block));
        }
        if (need != BlockNeed::tokens) {
            continue;
        }
        if (isWithinReach(block, visible)) {
            requests.push_back({storage.substring(block.contentRange), languages.of(block), block.contentRange,
                                block.opening.lineRange});
        }
    }
    return requests;
}

bool comesNearBlocksToAskFor(const TextStorage &storage, const HighlightedCodeBlocks &highlighted, TextRange before,
                             TextRange visible) {
    FenceLanguages languages;
    for (const FencedCodeBlock &block : fencedBlocksOverlapping(storage, reachAround(visible, storage.length()))) {
        if (isWithinReach(block, visible) && !isWithinReach(block, before) &&
            needOf(block, storage, &highlighted, languages) == BlockNeed::tokens) {
            return true;
        }
    }
    return false;
}

std::size_t distanceFrom(const CodeHighlightRequest &request, TextRange visible) {
    const std::size_t start = request.openingLineRange.location;
    const std::size_t end = request.contentRange.end();
    if (end < visible.location) {
        return visible.location - end;
    }
    if (start > visible.end()) {
        return start - visible.end();
    }
    return 0;
}

void orderForAskingFromTheBack(std::vector<CodeHighlightRequest> &requests, const std::optional<TextRange> &visible) {
    const auto key = [&visible](const CodeHighlightRequest &request) {
        const std::size_t location = request.contentRange.location;
        return std::pair{visible ? distanceFrom(request, *visible) : 0, location};
    };
    std::sort(requests.begin(), requests.end(),
              [&key](const CodeHighlightRequest &a, const CodeHighlightRequest &b) { return key(a) > key(b); });
}

} // namespace velto::editor::MarkdownStyler

namespace velto::editor {

void ScreenMoves::tell() {
    if (waiting_.empty() || wakingPosted_) {
        return;
    }
    wakingPosted_ = true;
    QTimer::singleShot(0, [alive = std::weak_ptr<ScreenMoves *>(self_)] {
        const std::shared_ptr<ScreenMoves *> moves = alive.lock();
        if (!moves) {
            return;
        }
        ScreenMoves &self = **moves;
        self.wakingPosted_ = false;
        std::vector<std::coroutine_handle<>> woken;
        woken.swap(self.waiting_);
        for (std::coroutine_handle<> waiting : woken) {
            waiting.resume();
        }
    });
}

std::size_t nearbyReach(TextRange visible) {
    constexpr std::size_t screens = 4;
    // A screen of short lines holds little text: the reach of a few such screens is made up to about a screen of
    // long lines, not more, since a page of small fenced blocks holds a block in every few dozen units.
    constexpr std::size_t leastReach = 4 * 1024;
    return std::max(screens * visible.length, leastReach);
}

namespace {

/// Whether the block lies beyond reach of the screen, so that it waits until the screen comes near it.
bool waitsForTheScreen(const MarkdownStyler::CodeHighlightRequest &request, const CodeHighlightTarget &target,
                       const std::optional<TextRange> &visible) {
    return target.screenMoves != nullptr && visible.has_value() &&
           MarkdownStyler::distanceFrom(request, *visible) > nearbyReach(*visible);
}

/// Waits until the screen may have moved, or the task is cancelled (so that a stale task ends instead of
/// waiting for ever).
QCoro::Task<void> untilTheScreenMoves(std::shared_ptr<ScreenMoves> moves, CancellationToken cancellation) {
    if (cancellation.isCancelled()) {
        co_return;
    }
    ScreenMoves::NextMove next = moves->nextMove();
    const CancellationToken::CallbackId woken = cancellation.onCancel([raw = moves.get()] { raw->tell(); });
    co_await next;
    cancellation.removeCallback(woken);
}

bool isStillCurrent(const CodeHighlightSnapshot &snapshot, const CodeHighlightTarget &target,
                    const CancellationToken &cancellation) {
    if (cancellation.isCancelled()) {
        return false;
    }
    const TextStorage *storage = target.storage();
    return storage != nullptr && target.generation() == snapshot.generation &&
           storage->identity() == snapshot.storageIdentity && storage->characterVersion() == snapshot.characterVersion;
}

/// The highlighter's tokens, or nothing when it fails.
QCoro::Task<std::optional<std::vector<SyntaxToken>>> tokensIfAny(CodeSyntaxHighlighting &highlighter,
                                                                 const MarkdownStyler::CodeHighlightRequest &request,
                                                                 CancellationToken cancellation) {
    std::optional<std::vector<SyntaxToken>> tokens;
    try {
        QCoro::Task<std::vector<SyntaxToken>> asking =
            highlighter.tokens(request.source, request.language, cancellation);
        tokens = co_await asking;
    } catch (const std::exception &) {
        tokens.reset();
    }
    co_return tokens;
}

void tellHighlighted(const CodeHighlightTarget &target, const MarkdownStyler::CodeHighlightRequest &request) {
    if (target.blockHighlighted) {
        target.blockHighlighted(request);
    }
}

} // namespace

QCoro::Task<void> highlightCodeBlocks(std::vector<MarkdownStyler::CodeHighlightRequest> requests,
                                      std::shared_ptr<CodeSyntaxHighlighting> highlighter,
                                      CodeHighlightSnapshot snapshot, CodeHighlightTarget target,
                                      CancellationToken cancellation) {
    // Asked from the back; put in order again whenever what is on screen has changed.
    std::optional<TextRange> orderedFor;
    MarkdownStyler::orderForAskingFromTheBack(requests, orderedFor);
    while (!requests.empty()) {
        if (cancellation.isCancelled()) {
            co_return;
        }
        const std::optional<TextRange> visible = target.visibleRange ? target.visibleRange() : std::nullopt;
        if (visible != orderedFor) {
            MarkdownStyler::orderForAskingFromTheBack(requests, visible);
            orderedFor = visible;
        }
        if (waitsForTheScreen(requests.back(), target, visible)) {
            // Every block left is far from the screen (the nearest comes last).
            co_await untilTheScreenMoves(target.screenMoves, cancellation);
            continue;
        }
        MarkdownStyler::CodeHighlightRequest request = std::move(requests.back());
        requests.pop_back();
        if (request.source.empty()) {
            // Its code was left in the text while the block waited for the screen; the text is still the one
            // scanned, or nothing is read.
            if (!isStillCurrent(snapshot, target, cancellation)) {
                co_return;
            }
            request.source = target.storage()->substring(request.contentRange);
        }
        QCoro::Task<std::optional<std::vector<SyntaxToken>>> asking = tokensIfAny(*highlighter, request, cancellation);
        std::optional<std::vector<SyntaxToken>> answer = co_await asking;
        if (!isStillCurrent(snapshot, target, cancellation)) {
            co_return;
        }
        // A failing block shows as plain code, and is asked for again on the next pass.
        const bool failed = !answer.has_value();
        std::vector<SyntaxToken> tokens = failed ? std::vector<SyntaxToken>{} : std::move(*answer);
        TextStorage &storage = *target.storage();
        if (request.contentRange.end() <= storage.length() &&
            MarkdownStyler::codeTokensAreApplied(tokens, request.contentRange, storage)) {
            if (!failed) {
                tellHighlighted(target, request);
            }
            continue;
        }
        MarkdownStyler::CodeTokenReplacementHooks hooks{
            [&snapshot, &target, cancellation] { return isStillCurrent(snapshot, target, cancellation); },
            target.beforeStorageUpdate,
            target.afterStorageUpdate,
        };
        QCoro::Task<bool> replacing =
            MarkdownStyler::replaceCodeTokens(std::move(tokens), request.contentRange, storage, snapshot.generation,
                                              target.textColor(), std::move(hooks), cancellation);
        if (!co_await replacing) {
            co_return;
        }
        if (!failed) {
            tellHighlighted(target, request);
        }
    }
    if (isStillCurrent(snapshot, target, cancellation)) {
        target.markNeedsDisplay();
    }
}

} // namespace velto::editor
