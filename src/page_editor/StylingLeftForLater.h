#pragma once

#include "editor/markdown/StyleSettings.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"
#include "platform/desktop/Scheduler.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velto::editor {

/// The full restyle of a big page, made of region passes: what is seen is styled at once, the rest is left
/// for later and styled in small slices while the main thread is idle, from the screen outward. Styling a
/// page of tens of megabytes in one pass would hold the first picture back for seconds.
///
/// The ranges left for later follow every change of the storage's characters, whatever made it. Whoever
/// is about to show or read attributes of text left for later styles it first (`styleNear`, `finish`).
/// Main thread only.
class StylingLeftForLater final : private TextStorageObserver {
public:
    /// How the text is cut into pieces, in UTF-16 units (tests make them small).
    struct Sizes {
        /// Texts from this length on are styled in pieces; shorter ones in one full pass. Measured: a page of
        /// 5 MiB styled in pieces costs more processor time and memory in all than its full pass, which takes
        /// a few hundred milliseconds; one of 60 MB would wait seconds for its first picture.
        std::size_t splitFrom = 8 * 1024 * 1024;
        /// What is styled around the screen at once, each way: a few screens.
        std::size_t seenMargin = 32 * 1024;
        /// What one idle slice styles: a few milliseconds' worth.
        std::size_t slice = 128 * 1024;
    };
    /// The pause between slices, which leaves the event loop to input and painting.
    static constexpr std::chrono::milliseconds slicePause{1};

    StylingLeftForLater(TextStorage &storage, VeltoScheduler &scheduler);
    ~StylingLeftForLater();
    StylingLeftForLater(const StylingLeftForLater &) = delete;
    StylingLeftForLater &operator=(const StylingLeftForLater &) = delete;

    void setSizes(const Sizes &sizes) { sizes_ = sizes; }
    /// Whether a text of this length is styled in pieces.
    bool splitsText(std::size_t length) const { return length >= sizes_.splitFrom; }

    /// Restyles the whole text as a full pass does. A text shorter than `Sizes::splitFrom` is styled at once;
    /// a longer one around `seen` (the screen, or the selection when the screen is not known), the rest
    /// later. What an earlier restyle left for later is dropped: this one covers it, in its colours.
    void restyle(const std::function<TextRange()> &seen, const Color &color, const StyleSettings &style);
    /// Styles what is left for later in or near the range, at once.
    void styleNear(TextRange range);
    /// Styles everything left for later, at once.
    void finish();
    /// A pass styled the region as a full pass does: nothing is left there.
    void styled(TextRange region);
    /// Drops what is left for later, as when the text is no longer styled as Markdown.
    void forget();

    /// What is left for later, in text order, disjoint.
    const std::vector<TextRange> &leftForLater() const { return leftForLater_; }

private:
    void editingGroupDidFinish(const EditingSummary &summary) override;
    /// Moves what is left through the character edits made since it was last moved. Whoever reads it first
    /// does so: a reader told of a finished group before this object may ask for styling while this object has
    /// not heard of the group yet.
    void followEdits();
    void styleRegion(TextRange range);
    void scheduleSlice();
    void styleSlice();
    /// The next slice: the piece of what is left that lies nearest to where the screen was last.
    TextRange nextSlice() const;

    TextStorage &storage_;
    VeltoScheduler &scheduler_;
    Sizes sizes_;
    Subscription subscription_;
    std::vector<TextRange> leftForLater_;
    /// The storage's character version that leftForLater_ describes.
    std::uint64_t followedVersion_ = 0;
    Color color_;
    StyleSettings style_;
    /// Where the slices start from: the middle of what was last asked to be seen.
    std::size_t focus_ = 0;
    std::unique_ptr<VeltoScheduledAction> sliceWorkItem_;
    /// Set while a region is styled: the view, told of the new attributes, may ask again for what it shows.
    bool styling_ = false;
};

} // namespace velto::editor
