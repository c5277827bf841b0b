#pragma once

#include "editor/AttributeRunBuffer.h"
#include "editor/TextAttributes.h"
#include "editor/TextRange.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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

/// One change of characters: `oldLength` units at `location` became `newLength` units.
struct CharacterEdit {
    std::size_t location = 0;
    std::size_t oldLength = 0;
    std::size_t newLength = 0;
    bool operator==(const CharacterEdit &) const = default;
};

/// The editor's text: UTF-16 units with attribute runs over them, after the platform's mutable
/// attributed string. Neighbouring runs always differ, so every run is already its longest effective
/// range.
///
/// The units live in a gap buffer whose free space follows the last edit, and the runs after it
/// shift together, so an edit costs its distance from the previous one, not the length of the text.
/// `string()` closes the gap to hand out one contiguous string (it costs the units after the gap
/// once, and the next edit opens the gap again); code that reads a little text around an edit uses
/// `characterAt` and `substring`, which never move it.
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
    std::size_t length() const { return text_.size() - gapLength_; }
    /// The unit at the location, which must lie within the text.
    char16_t characterAt(std::size_t location) const {
        return location < gapStart_ ? text_[location] : text_[location + gapLength_];
    }
    std::u16string substring(TextRange range) const;
    /// The text as it lies in memory: the units before the edit gap and those after it, read in place
    /// (a break iterator walks them without the gap closing). Valid until the characters next change.
    std::pair<std::u16string_view, std::u16string_view> pieces() const {
        const std::u16string_view all(text_);
        return {all.substr(0, gapStart_), all.substr(gapStart_ + gapLength_)};
    }
    /// The text and attributes of the range as a storage of its own.
    TextStorage attributedSubstring(TextRange range) const;

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

    // ---- changing attributes ----

    /// Replaces every attribute over the range, custom keys included.
    void setAttributes(const Attributes &attributes, TextRange range);
    void addAttribute(AttributeKey key, AttributeValue value, TextRange range);
    void addAttributes(const Attributes &attributes, TextRange range);
    void removeAttribute(AttributeKey key, TextRange range);
    /// Replaces the attributes of every run over the range with what `update` makes of them.
    void updateAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &update);

    // ---- changing characters ----

    /// Replaces the characters of the range. The new text takes the attributes of the first replaced
    /// character, else of the character before the range, else of the one after it.
    void replaceCharacters(TextRange range, std::u16string_view replacement);
    /// Replaces the characters of the range with text carrying the given attributes.
    void replaceCharacters(TextRange range, std::u16string_view replacement, const Attributes &attributes);

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
    /// Called when a group that changed something finishes (the text view lays out again then).
    std::function<void(const EditingSummary &)> onEditingGroupFinished;

private:
    void checkRange(TextRange range) const;
    std::size_t runEnd(std::size_t index) const;
    std::size_t boundaryIndex(std::size_t position);
    void mergeWithPrevious(std::size_t index);
    void transformAttributes(TextRange range, const std::function<Attributes(const Attributes &)> &transform);
    void noteEdit(TextRange rangeNow, std::ptrdiff_t changeInLength, bool charactersChanged);

    void moveGap(std::size_t location) const;
    void replaceUnits(TextRange range, std::u16string_view replacement);

    std::uint64_t identity_;
    // The units with a gap of free space at gapStart_, gapLength_ units long (none after string()).
    mutable std::u16string text_;
    mutable std::size_t gapStart_ = 0;
    mutable std::size_t gapLength_ = 0;
    AttributeRunBuffer runs_;

    static constexpr std::size_t rememberedCharacterEdits = 64;
    std::uint64_t characterVersion_ = 0;
    std::vector<CharacterEdit> recentCharacterEdits_; // the last ones, up to rememberedCharacterEdits

    int editingDepth_ = 0;
    std::optional<EditingSummary> pendingSummary_;
    std::optional<EditingSummary> lastSummary_;
    std::uint64_t finishedGroups_ = 0;
};

} // namespace velto::editor
