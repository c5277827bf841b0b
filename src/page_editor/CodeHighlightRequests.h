#pragma once

#include "editor/highlight/CodeSyntaxHighlighting.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextStorage.h"
#include "page_editor/HighlightedCodeBlocks.h"
#include "platform/desktop/Cancellation.h"

#include <QCoro/QCoroTask>

#include <coroutine>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velto::editor::MarkdownStyler {

/// One fenced block to highlight: its code, its language, where the code lies in the editor text, and
/// where its opening line (which names the language) lies.
struct CodeHighlightRequest {
    std::u16string source;
    std::string language;
    TextRange contentRange;
    TextRange openingLineRange;
    bool operator==(const CodeHighlightRequest &) const = default;
};

/// The blocks worth highlighting, in text order: those whose opening line is finished (ends in a line
/// break), that name a language and that hold at least one character. Unclosed blocks count too.
/// With `highlighted` (followed to the storage's text), blocks it holds are left out, their code not
/// copied; it then holds exactly the blocks left out, those without a language or code included.
/// With `copiedNear` (the screen), only blocks within nearbyReach of it carry their code; the others, which
/// wait for the screen, carry none (an empty source) until the highlighting task comes to them: a style pass
/// on a big page then copies no code of the thousands of blocks far from the screen.
std::vector<CodeHighlightRequest> codeHighlightRequests(const std::vector<FencedCodeBlock> &blocks,
                                                        const TextStorage &storage,
                                                        HighlightedCodeBlocks *highlighted = nullptr,
                                                        std::optional<TextRange> copiedNear = std::nullopt);

/// The requests of a pass that knows the screen: the blocks within nearbyReach of it that `highlighted`
/// (followed to the storage's text) does not hold, each with its code, in text order; blocks near it that
/// need nothing (no language, no code) join `highlighted`. Only the blocks near the screen are looked at,
/// so a pass on a page of thousands of blocks costs about the blocks near the screen; the others are asked
/// for when the screen comes near them (see comesNearBlocksToAskFor).
std::vector<CodeHighlightRequest> codeHighlightRequestsNear(const TextStorage &storage,
                                                            HighlightedCodeBlocks &highlighted, TextRange visible);

/// Whether the screen, moved from `before` (where the last pass looked from) to `visible`, has come within
/// nearbyReach of a block to be asked for that lay beyond it before, with the text unchanged since.
bool comesNearBlocksToAskFor(const TextStorage &storage, const HighlightedCodeBlocks &highlighted, TextRange before,
                             TextRange visible);

/// How many units lie between the block (its opening line to the end of its code) and the range: 0
/// when they meet.
std::size_t distanceFrom(const CodeHighlightRequest &request, TextRange visible);

/// Orders the requests for asking one by one from the back: the blocks that meet `visible` come out
/// first, in text order, then the others nearest first (above and below alike). Without a visible
/// range the order is the text order.
void orderForAskingFromTheBack(std::vector<CodeHighlightRequest> &requests, const std::optional<TextRange> &visible);

} // namespace velto::editor::MarkdownStyler

namespace velto::editor {

/// Wakes highlighting tasks that wait for the screen to come near their remaining blocks: the editor
/// tells it whenever the view scrolls, changes size or lays out what it shows anew. Waiting tasks go on
/// from the event loop, never inside the call that tells, and one call wakes each of them once.
class ScreenMoves {
public:
    ScreenMoves() = default;
    ScreenMoves(const ScreenMoves &) = delete;
    ScreenMoves &operator=(const ScreenMoves &) = delete;

    void tell();

    struct NextMove {
        ScreenMoves &moves;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiting) { moves.waiting_.push_back(waiting); }
        void await_resume() const noexcept {}
    };
    /// Awaiting it suspends until the next tell() has been answered by the event loop.
    NextMove nextMove() { return NextMove{*this}; }

private:
    std::vector<std::coroutine_handle<>> waiting_;
    bool wakingPosted_ = false;
    /// Lets a posted wake-up find out whether this object still exists.
    std::shared_ptr<ScreenMoves *> self_ = std::make_shared<ScreenMoves *>(this);
};

/// How far from the screen, in units, a block is asked for without waiting: a few screens above and below,
/// so that scrolling a little or moving the caret nearby finds its code coloured already.
std::size_t nearbyReach(TextRange visible);

/// What the highlighting task asks of the editor after every wait. The editor may be gone by then:
/// `storage` answers null once it is (or once the view has no text storage).
struct CodeHighlightTarget {
    std::function<TextStorage *()> storage;
    /// The editor's highlight generation now; a different one means a newer request exists.
    std::function<std::uint64_t()> generation;
    std::function<Color()> textColor;
    std::function<void()> beforeStorageUpdate;
    std::function<void()> afterStorageUpdate;
    std::function<void()> markNeedsDisplay;
    /// Told of each block whose tokens are in place (not of one whose highlighting failed); may be unset.
    std::function<void(const MarkdownStyler::CodeHighlightRequest &)> blockHighlighted;
    /// The characters on screen now, or nothing when not known; may be unset.
    std::function<std::optional<TextRange>()> visibleRange;
    /// Told when the screen may have moved; may be unset. With it and a known screen, blocks beyond
    /// nearbyReach of the screen wait until it comes near them.
    std::shared_ptr<ScreenMoves> screenMoves;
};

/// The state of the text a highlighting was started for. Equal storage identity and character version
/// mean equal text, so staleness is two integer comparisons instead of comparing the whole page.
struct CodeHighlightSnapshot {
    std::uint64_t generation = 0;
    std::uint64_t storageIdentity = 0;
    std::uint64_t characterVersion = 0;
};

/// Asks the highlighter for each block's tokens in turn and colours them in, as long as the text is
/// still the one scanned. The blocks on screen go first, then the others by their distance from the
/// screen, so code in view is coloured at once even at the end of a long page; the screen is looked at
/// again before each block, so scrolling meanwhile brings the newly shown blocks forward. When the
/// target tells of the screen's moves, blocks far from the screen are left until it comes near them:
/// the code of a big page that nobody looks at costs no processor time. A failing block shows as plain
/// code. Runs on the main thread; ends early, without touching the text, once the cancellation is set
/// or the text or generation moved on.
QCoro::Task<void> highlightCodeBlocks(std::vector<MarkdownStyler::CodeHighlightRequest> requests,
                                      std::shared_ptr<CodeSyntaxHighlighting> highlighter,
                                      CodeHighlightSnapshot snapshot, CodeHighlightTarget target,
                                      CancellationToken cancellation);

} // namespace velto::editor
