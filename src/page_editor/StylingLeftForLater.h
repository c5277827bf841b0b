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

/// The full restyle of a big page, made of region passes: what is seen is styled at once, the text around it is
/// styled in small slices while the main thread is idle, and the rest is left for later until it is about to be
/// read. Styling a page of tens of megabytes in one pass would hold the first picture back for seconds, and
/// styling all of it while idle would spend seconds of processor time on text nobody may look at.
///
/// The ranges left for later follow every change of the storage's characters, whatever made it. Whoever
/// is about to show or read attributes of text left for later styles it first: the screen through `styleNear`,
/// other readers through the storage (`TextStorage::styleLeftForLaterNear`), on which this object sets itself
/// while anything is left. Main thread only; the storage outlives it.
class StylingLeftForLater final : private TextStorageObserver, private LeftForLaterStyler {
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
        /// How far from the screen, each way, the idle slices style: what scrolling and paging bring in soon.
        /// Measured on a page of 60 MB of headings, links, tasks and code, whose whole styling took 1.9 s: about
        /// 50 ms from its top, 100 ms from its middle. What lies further is styled when it is shown or read.
        std::size_t idleReach = 1536 * 1024;
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
    /// Styles what is left for later in or near the range (what is seen), at once; the idle slices then go on
    /// around it.
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
    /// A reader's request: styles what is left near the range without moving where the slices style.
    void styleBeforeReading(TextRange range) override;
    /// Styles what is left for later within the seen margin of the range.
    void styleAround(TextRange range);
    /// Sets this object on the storage while anything is left for later, and takes it off when nothing is.
    void tellStorage();
    /// Moves what is left through the character edits made since it was last moved. Whoever reads it first
    /// does so: a reader told of a finished group before this object may ask for styling while this object has
    /// not heard of the group yet.
    void followEdits();
    void styleRegion(TextRange range);
    void scheduleSlice();
    void styleSlice();
    /// The next slice: the piece of what is left that lies nearest to where the screen was last, within the
    /// idle reach of it; none when nothing is left there.
    std::optional<TextRange> nextSlice() const;

    TextStorage &storage_;
    VeltoScheduler &scheduler_;
    Sizes sizes_;
    Subscription subscription_;
    std::vector<TextRange> leftForLater_;
    /// The storage's character version that leftForLater_ describes.
    std::uint64_t followedVersion_ = 0;
    Color color_;
    StyleSettings style_;
    /// Where the slices start from: the middle of what was last asked to be seen, followed through the edits.
    std::size_t focus_ = 0;
    std::unique_ptr<VeltoScheduledAction> sliceWorkItem_;
    /// Set while a region is styled: the view, told of the new attributes, may ask again for what it shows.
    bool styling_ = false;
};

} // namespace velto::editor
