#pragma once

#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace velto::editor {

class LayoutCache;

/// A vertical stretch of the text container: [top, bottom).
struct VerticalStretch {
    double top = 0;
    double bottom = 0;
};

/// What of the text view a key changed, so that only that is painted again: the paragraph an edit changed (down to
/// the view's bottom when its height changed, as everything below it moved) and the paragraphs the selection left
/// and entered (the caret, the selection's colour and the rules that show their source). A change it cannot
/// follow that cheaply (paragraphs added or removed, an edit over several paragraphs or above the view, two
/// paragraphs edited before the view was painted) asks for the whole view. New attributes wholly out of the
/// view ask for nothing: they move no text until their paragraphs are laid out again, and whoever lays them
/// out keeps the view's top text in place (a big page is styled in slices while it is shown).
class ChangedArea {
public:
    /// Beyond a changed stretch, what is painted again too: more than a code block's background reaches past its
    /// lines and a glyph's ink past its line.
    static constexpr double margin = 8;

    explicit ChangedArea(LayoutCache &cache);

    /// Follows a finished editing group of the storage (after the layout cache followed it).
    void editingGroupDidFinish(const EditingSummary &summary);
    /// The selection moved: where it was and where it is are painted again.
    void selectionDidChange() {
        pending_ = true;
        selectionMoved_ = true;
    }
    /// The whole view is painted with this selection (a scroll, a new look): nothing is left to paint again.
    void wholeViewPainted(TextRange selection);
    /// Whether anything changed since the last call of take().
    bool isPending() const { return pending_; }

    /// What to paint again of a view showing [top, bottom) of the container, now that the selection is this;
    /// none asks for the whole view. The changed paragraph is laid out to learn its height. Afterwards the
    /// selection counts as shown and nothing is pending.
    std::optional<VerticalStretch> take(TextRange selection, VerticalStretch view);
    /// Whether no selection was shown before or after what take() last gave (carets alone): then no selection's
    /// colour leaves or enters the text's column.
    bool tookCaretsOnly() const { return tookCaretsOnly_; }

private:
    /// The paragraphs given new attributes since the last take(), from the first to the last.
    struct ParagraphSpan {
        std::size_t first = 0;
        std::size_t last = 0;
    };

    /// Paragraphs longer than this are painted again whole: reading them is not worth the lines saved.
    static constexpr std::size_t longestParagraphByLines = 4096;
    /// Where the lines a typed key may have changed start, when the edits since the last take() and the carets
    /// before and after lie in one left-to-right paragraph; nothing when the whole paragraph is to be painted.
    std::optional<double> firstChangedLineTop(TextRange selection);
    /// The stretch of the paragraphs from the one holding `first` to the one holding `last`.
    VerticalStretch paragraphsStretch(std::size_t first, std::size_t last);
    /// Whether every change since the last take() gave attributes to paragraphs that lie wholly out of the
    /// view, margins included.
    bool onlyRestyledOutOfView(VerticalStretch view);
    void reset(TextRange selection);

    LayoutCache &cache_;
    bool pending_ = false;
    bool everything_ = false;
    std::size_t paragraphCount_ = 0;
    /// The layout cache's estimates when the view was last painted: estimated afresh, every height may change.
    std::uint64_t estimatesGeneration_ = 0;
    /// The paragraph edited since the last take(), and its height before the edit.
    std::optional<std::size_t> editedParagraph_;
    double heightBefore_ = 0;
    /// The selection as last shown, moved with the edits since.
    TextRange shownSelection_;
    bool selectionMoved_ = false;
    /// Whether the storage's changes since the last take() were all of attributes, and which paragraphs they met.
    bool onlyAttributesChanged_ = true;
    std::optional<ParagraphSpan> restyled_;
    bool tookCaretsOnly_ = false;
    /// Where the first character edit since the last take() began.
    std::optional<std::size_t> editedFrom_;
};

} // namespace velto::editor
