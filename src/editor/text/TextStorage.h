#pragma once

#include "editor/text/ObserverList.h"
#include "editor/text/PaletteLookup.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor/text/UnitsHeld.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velto::editor {

/// A run of equal attributes over a range of the text.
struct AttributeRun {
    TextRange range;
    Attributes attributes;
    bool operator==(const AttributeRun &) const = default;
};

/// What one editing group changed: the edited range in the text as it is now, the change in length,
/// and whether only attributes changed.
struct EditingSummary {
    TextRange editedRange;
    std::ptrdiff_t changeInLength = 0;
    bool attributesOnly = true;
    bool operator==(const EditingSummary &) const = default;
};

/// Told when an editing group of a text storage finishes.
class TextStorageObserver {
public:
    /// A group that changed something finished (the text view lays out again then).
    virtual void editingGroupDidFinish(const EditingSummary &summary) = 0;

protected:
    ~TextStorageObserver() = default;
};

/// Gives text whose styling was left for later its attributes when a reader needs them: a styler that styles a
/// big page piece by piece sets itself on the storage while pieces wait (see TextStorage::styleLeftForLaterNear).
class LeftForLaterStyler {
public:
    /// Styles what is left for later in or near the range (a few screens around it), at once.
    virtual void styleBeforeReading(TextRange range) = 0;

protected:
    ~LeftForLaterStyler() = default;
};

/// One change of characters: `oldLength` units at `location` became `newLength` units.
struct CharacterEdit {
    /// How many removed units an edit keeps: enough for a keystroke's, little for a large deletion.
    static constexpr std::size_t keptRemovedUnits = 16;

    std::size_t location = 0;
    std::size_t oldLength = 0;
    std::size_t newLength = 0;
    /// The units the edit removed when there were at most keptRemovedUnits of them, else none.
    std::u16string removedUnits = {};

    /// Whether removedUnits holds every unit the edit removed.
    bool keepsRemovedUnits() const { return removedUnits.size() == oldLength; }
    /// Edits are equal when they change the same units in the same way.
    bool operator==(const CharacterEdit &other) const {
        return location == other.location && oldLength == other.oldLength && newLength == other.newLength;
    }
};

/// The editor's text: UTF-16 units with attribute runs over them, after the platform's mutable
/// attributed string. Neighbouring runs always differ as the reading functions hand them out, so
/// every run is already its longest effective range.
///
/// The units live in chunks of one to two thousand, each with the runs over its own units, their
/// starts counted from the chunk's start and their attribute sets named by index in a palette the
/// storage keeps. An edit changes the units and runs of the chunks it touches and moves the later
/// chunks' starts, so it costs the edit and the number of chunks, never the length of the text or its
/// number of runs. `string()` joins the chunks into one string (it costs the whole
/// text once after each change); code that reads a little text around an edit uses `characterAt` and
/// `substring`, and code that walks the whole text in place reads `pieces()`.
///
/// Ranges passed in must lie within the text; a range that does not throws std::out_of_range.
class TextStorage {
public:
    TextStorage();
    explicit TextStorage(std::u16string text, Attributes attributes = {});
    /// A copy has the same text and runs but its own identity and no open editing group.
    TextStorage(const TextStorage &other);
    TextStorage &operator=(const TextStorage &other);

    /// Distinguishes storage objects: unique for the life of the process, never reused.
    std::uint64_t identity() const { return identity_; }

    /// The whole text in one contiguous string. The reference stays valid, and the string equal to
    /// the text, until the characters next change; call again after a change.
    const std::u16string &string() const;
    /// Frees the joined text string() keeps until the next change: while nobody reads the text whole, a big
    /// page is not held twice. The next call to string() joins it again; references it handed out end.
    void forgetJoinedText();
    std::size_t length() const { return length_; }
    /// The unit at the location, which must lie within the text.
    char16_t characterAt(std::size_t location) const {
        const std::size_t chunk = chunkHolding(location);
        return chunks_[chunk].units[location - chunkStarts_[chunk]];
    }
    std::u16string substring(TextRange range) const;
    /// Where the first `unit` at or after `from` lies, or length() when there is none. Reads the
    /// chunks in place, so a search over a long line costs no lookup per unit.
    std::size_t findForward(char16_t unit, std::size_t from) const;
    /// Where the last `unit` before `before` lies, or TextRange::notFound when there is none.
    std::size_t findBackward(char16_t unit, std::size_t before) const;
    /// Where the first of any of `units` at or after `from` lies, or length() when there is none.
    std::size_t findFirstOf(std::u16string_view units, std::size_t from) const;
    /// Where the last of any of `units` before `before` lies, or TextRange::notFound when there is none.
    std::size_t findLastOf(std::u16string_view units, std::size_t before) const;
    /// Where the first `unit` in the range lies, or the range's end when there is none.
    std::size_t findForward(char16_t unit, TextRange within) const;
    /// Where the last `unit` in the range lies, or TextRange::notFound when there is none.
    std::size_t findBackward(char16_t unit, TextRange within) const;
    /// The text as it lies in memory, in order: one piece per chunk, none empty, no surrogate pair
    /// split between two pieces (a break iterator walks them in place). Valid until the characters
    /// next change.
    std::vector<std::u16string_view> pieces() const;
    /// Calls `visit(piece, location)` for the units of the range as they lie in memory, in order: each piece is
    /// the range's part of one chunk, none empty, `location` where it starts in the text. Valid while it is called.
    template <typename Visit> void forEachPiece(TextRange range, Visit &&visit) const {
        checkRange(range);
        if (range.length == 0) {
            return;
        }
        for (std::size_t index = chunkHolding(range.location);
             index < chunks_.size() && chunkStarts_[index] < range.end(); ++index) {
            const std::size_t chunkStart = chunkStarts_[index];
            const std::size_t start = std::max(range.location, chunkStart);
            const std::size_t end = std::min(range.end(), chunkStart + chunks_[index].units.size());
            visit(std::u16string_view(chunks_[index].units).substr(start - chunkStart, end - start), start);
        }
    }
    /// The text and attributes of the range as a storage of its own.
    TextStorage attributedSubstring(TextRange range) const;
    /// The text of the range as a storage of its own with the attributes over all of it: what
    /// TextStorage(substring(range), attributes) holds, made from the chunks in place. Styling copies a region
    /// of a big page this way, without the copy in between or gathering again which units each chunk holds.
    TextStorage substringStorage(TextRange range, const Attributes &attributes = {}) const;

    // ---- reading attributes ----

    /// The attributes at the location; `effectiveRange` receives the whole run (runs are longest).
    Attributes attributes(std::size_t location, TextRange *effectiveRange = nullptr) const;
    /// The value of the key at the location, or null when absent. The pointer stays valid until the
    /// storage next changes. `effectiveRange` receives the run holding the location.
    const AttributeValue *attribute(AttributeKey key, std::size_t location, TextRange *effectiveRange = nullptr) const;
    /// As above, with the longest range around the location, within `rangeLimit`, over which the
    /// key has an equal value (or is equally absent).
    const AttributeValue *attribute(AttributeKey key, std::size_t location, TextRange *longestEffectiveRange,
                                    TextRange rangeLimit) const;

    /// The runs over the range, clipped to it, in text order.
    std::vector<AttributeRun> attributeRuns(TextRange range) const;
    /// Calls `body` for every run over the range (clipped). `body` may change the storage's attributes.
    void enumerateAttributes(TextRange range, const std::function<void(const Attributes &, TextRange)> &body) const;
    /// Calls `body` for every longest stretch of the range over which the key's value is equal
    /// (null where absent). `body` may change the storage's attributes.
    void enumerateAttribute(AttributeKey key, TextRange range,
                            const std::function<void(const AttributeValue *, TextRange)> &body) const;
    /// The styler that left the styling of some of the text for later, while it does; null when none does.
    /// Not copied with the storage.
    void setLeftForLaterStyler(LeftForLaterStyler *styler) { leftForLaterStyler_ = styler; }
    /// Whether some of the text may still wait for its styling.
    bool leavesStylingForLater() const { return leftForLaterStyler_ != nullptr; }
    /// What a reader that shows attributes, or keeps them, calls first: text in or near the range whose styling
    /// was left for later is styled now. The attributes are the text's own, only not made yet, so a reader of a
    /// const storage may have them made. Nothing is styled inside an open editing group.
    void styleLeftForLaterNear(TextRange range) const;
    /// How many runs the reading functions above have looked at so far: reading a range costs its
    /// runs, never the page's. Tests of reading costs compare it before and after.
    std::size_t runsRead() const { return runsRead_; }

    // ---- changing attributes ----

    /// Replaces every attribute over the range, custom keys included.
    void setAttributes(const Attributes &attributes, TextRange range);
    /// Gives the range from `offset` on, as long as the source, the source's attributes, run for run: a
    /// styled copy of part of the text goes back in one walk.
    void setAttributes(const TextStorage &source, std::size_t offset);
    void addAttribute(AttributeKey key, AttributeValue value, TextRange range);
    void addAttributes(const Attributes &attributes, TextRange range);
    /// Puts the attributes and one entry more over the range, as addAttributes would put the set of both. For
    /// an entry that differs from range to range, as a link's address does: the shared attributes merge with
    /// the runs' sets as remembered merges, and only the set with the entry is made anew.
    void addAttributes(const Attributes &attributes, AttributeKey key, const AttributeValue &value, TextRange range);
    void removeAttribute(AttributeKey key, TextRange range);
    /// Replaces the attributes of every run over the range with what `update` makes of them.
    void updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update);

    // ---- changing characters ----

    /// Replaces the characters of the range. The new text takes the attributes of the first replaced
    /// character, else of the character before the range, else of the one after it.
    void replaceCharacters(TextRange range, std::u16string_view replacement);
    /// Replaces the characters of the range with text carrying the given attributes.
    void replaceCharacters(TextRange range, std::u16string_view replacement, const Attributes &attributes);
    /// Replaces all the characters with the UTF-8 text decoded (as text::toUTF16 decodes it), each chunk from its
    /// part of the bytes: a page of megabytes is loaded without its whole text decoded into one string first.
    void replaceAllCharactersDecoding(std::string_view text, const Attributes &attributes);

    /// Counts character changes; equal versions of one storage mean equal text.
    std::uint64_t characterVersion() const { return characterVersion_; }
    /// The character changes made after `version`, oldest first, each in the coordinates of the text
    /// it changed; none when the storage no longer remembers them all (it keeps the most recent few).
    std::optional<std::vector<CharacterEdit>> characterEditsSince(std::uint64_t version) const;

    // ---- editing groups ----

    /// Groups changes: every change between the outermost begin and end counts as one edit. A change
    /// made outside any group is a group of its own.
    void beginEditing();
    void endEditing();
    bool isEditing() const { return editingDepth_ > 0; }
    /// The summary of the last finished group that changed something.
    const std::optional<EditingSummary> &lastEditingSummary() const { return lastSummary_; }
    /// How many groups that changed something have finished.
    std::uint64_t finishedEditingGroups() const { return finishedGroups_; }
    /// How many of those groups changed attributes alone.
    std::uint64_t finishedAttributeGroups() const { return finishedAttributeGroups_; }
    /// Tells the observer of every group that changed something, when it finishes, until the subscription
    /// goes; observers are told in the order they subscribed. Observing does not change the storage.
    Subscription subscribe(TextStorageObserver &observer) const { return observers_.subscribe(observer); }

private:
    /// One attribute run of a chunk: where it starts, counted from the chunk's start, and its
    /// attribute set, an index into the storage's palette; it ends where the next run of the chunk
    /// starts (the last at the chunk's end). Eight plain bytes, so a chunk's runs move as one block.
    struct StoredRun {
        std::uint32_t start = 0;
        std::uint32_t set = 0;
    };
    /// A stretch of the text with the runs over it: the first run starts at 0, neighbouring runs of
    /// one chunk differ (runs at the two sides of a chunk boundary may be equal). `held` claims at least
    /// every unit of `units`: whatever adds units to a chunk adds them there too.
    struct Chunk {
        std::u16string units;
        std::vector<StoredRun> runs;
        UnitsHeld held;
    };
    /// Where a run lies: its chunk and its index in the chunk.
    struct RunPosition {
        std::size_t chunk = 0;
        std::size_t run = 0;
    };

    void checkRange(TextRange range) const;
    /// The chunk holding the unit at the location (which lies within the text).
    std::size_t chunkHolding(std::size_t location) const {
        const std::size_t guess = lastChunk_;
        if (guess < chunks_.size() && location - chunkStarts_[guess] < chunks_[guess].units.size()) {
            return guess; // walks read unit after unit: the chunk read last usually holds the next one
        }
        return findChunk(location);
    }
    std::size_t findChunk(std::size_t location) const;
    RunPosition runHolding(std::size_t location) const;
    /// Where to start looking for a run of the chunk: the run last found or changed, when it was in this chunk.
    std::size_t nearbyRun(std::size_t chunk) const { return lastRun_.chunk == chunk ? lastRun_.run : 0; }
    std::size_t runStart(RunPosition position) const;
    std::size_t runEnd(RunPosition position) const;
    std::uint32_t runSet(RunPosition position) const { return chunks_[position.chunk].runs[position.run].set; }
    const Attributes &runAttributes(RunPosition position) const { return palette_[runSet(position)]; }
    std::uint32_t paletteIndex(const Attributes &attributes);
    void countKeysOf(const Attributes &set);
    void countKeysOfPalette();
    void collectPaletteWhenGrown();
    bool nextRun(RunPosition &position) const;
    bool previousRun(RunPosition &position) const;

    /// Gives every run over the range the palette set `resultOf` names for its own.
    template <typename ResultOf> void transformRuns(TextRange range, ResultOf resultOf);
    void transformAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &transform);
    std::uint32_t mergedIndex(std::uint32_t source, const Attributes &added);
    Attributes singleEntrySet(AttributeKey key, AttributeValue value);
    void noteEdit(TextRange rangeNow, std::ptrdiff_t changeInLength, bool charactersChanged);

    /// Whether the units lie in this storage's own text (a chunk's or the joined copy's memory).
    bool holdsUnitsOf(std::u16string_view units) const;
    std::size_t eraseUnits(TextRange range);
    void insertUnits(std::size_t chunk, std::size_t offset, std::u16string_view units, const Attributes &attributes);
    bool balanceChunks(std::size_t first, std::size_t last);
    void splitChunk(std::size_t chunk);
    void mergeChunks(std::size_t chunk);
    bool joinSurrogatePairs(std::size_t first, std::size_t last);
    void shiftChunkStarts(std::size_t chunk, std::ptrdiff_t delta);
    void updateChunkStarts();
    void appendChunks(std::u16string_view units, const std::vector<AttributeRun> &runs);
    /// Makes the chunks of a storage left empty from the UTF-8 text.
    void appendDecodedChunks(std::string_view text, const Attributes &attributes);
    /// Replaces the range's units with those `insert` puts in at the chunk where they belong (the storage left
    /// empty when the range was all of it), and remembers the change as an edit.
    /// (A template, defined and used in TextStorageEdits.cpp only: a std::function of the typing path's insertion
    /// would allocate on every keystroke.)
    template <typename Insert> void replaceUnits(TextRange range, const Insert &insert);

    std::uint64_t identity_;
    std::vector<Chunk> chunks_;
    std::vector<std::size_t> chunkStarts_; // where each chunk starts in the text
    std::size_t length_ = 0;
    mutable std::size_t lastChunk_ = 0; // the chunk a location was last found in
    // The run last found or changed: a hint only, checked before use, so edits need not keep it right.
    mutable RunPosition lastRun_;
    // The joined text that string() hands out, kept until the characters change.
    mutable std::u16string joined_;
    mutable bool joinedIsCurrent_ = false;
    // The distinct attribute sets the runs use, each once: runs name them by index, and equal
    // indices mean equal sets. Sets no run uses any more are dropped when the palette has doubled.
    std::vector<Attributes> palette_;
    PaletteLookup paletteIndices_; // finds a set's index by its identity
    std::size_t paletteLimit_ = 256;
    // How many palette sets hold each key: a key no set holds is absent from every run, which a
    // reader learns without reading one.
    std::array<std::uint32_t, attributeKeyCount> setsHoldingKey_{};
    mutable std::size_t runsRead_ = 0;
    // What putting a set over a palette set gave, by the pair: a pass puts the same few sets over the
    // same few run sets again and again, and this spares it merging and interning each time. Each
    // entry holds the set put over, so that its identity is not reused while it is a key; cleared
    // whenever palette indices change meaning.
    struct MergedSet {
        Attributes added;
        std::uint32_t source = std::numeric_limits<std::uint32_t>::max();
        std::uint32_t result = 0;
    };
    static constexpr std::size_t rememberedMerges = 128;
    std::vector<MergedSet> mergedSets_; // placed by a hash of the pair, made at the first merge
    // The one-entry sets addAttribute put over last: a pass puts the same fonts and colours again and again.
    static constexpr std::size_t rememberedSingleEntrySets = 4;
    std::array<Attributes, rememberedSingleEntrySets> singleEntrySets_;
    std::size_t nextSingleEntrySet_ = 0;

    static constexpr std::size_t rememberedCharacterEdits = 64;
    std::uint64_t characterVersion_ = 0;
    std::vector<CharacterEdit> recentCharacterEdits_; // the last ones, up to rememberedCharacterEdits

    int editingDepth_ = 0;
    std::optional<EditingSummary> pendingSummary_;
    std::optional<EditingSummary> lastSummary_;
    std::uint64_t finishedGroups_ = 0;
    std::uint64_t finishedAttributeGroups_ = 0;
    // Not copied with the storage: its observers subscribed to this one.
    mutable ObserverList<TextStorageObserver> observers_;
    // Not copied either: it styles this storage.
    LeftForLaterStyler *leftForLaterStyler_ = nullptr;
};

} // namespace velto::editor
