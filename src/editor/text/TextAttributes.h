#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

// Attribute values described abstractly, so that styling runs without a display and the view turns
// them into real fonts and colours when it draws.
namespace velto::editor {

/// The attribute keys the editor uses: the platform's standard ones and the editor's custom ones.
enum class AttributeKey : std::uint8_t {
    font,
    foregroundColor,
    paragraphStyle,
    ligature,
    kern,
    underlineStyle,
    strikethroughStyle,
    link,
    veltoHorizontalRule,
    veltoCodeBlock,
    veltoInlineCode,
    veltoTaskCheckbox,
    veltoCodeSyntaxToken,
    veltoCodeSyntaxGeneration,
};
/// How many keys there are.
inline constexpr std::size_t attributeKeyCount = static_cast<std::size_t>(AttributeKey::veltoCodeSyntaxGeneration) + 1;

/// The key's raw text: "NSFont"-like names for standard keys, "VeltoCodeBlock" and so on for custom ones.
std::string_view attributeKeyName(AttributeKey key);

enum class FontFamilyRole : std::uint8_t { system, monospacedSystem, userFixedPitch };
enum class FontWeight : std::uint8_t { regular, medium, semibold, bold };

struct FontDescriptor {
    FontFamilyRole family = FontFamilyRole::system;
    double pointSize = 0;
    FontWeight weight = FontWeight::regular;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontDescriptor &) const = default;
};

struct RGBComponents {
    double red = 0;
    double green = 0;
    double blue = 0;
    bool operator==(const RGBComponents &) const = default;
};

/// Colours the system resolves for the current appearance.
enum class SystemColorRole : std::uint8_t { none, secondaryLabel, systemBlue, clear };

/// A colour: a system role, a named dynamic colour with light and dark components, or a fixed sRGB
/// colour (light and dark equal); each with an alpha.
struct Color {
    SystemColorRole role = SystemColorRole::none;
    std::string name;
    RGBComponents light;
    RGBComponents dark;
    double alpha = 1.0;

    static Color sRGB(double red, double green, double blue, double alpha = 1.0);
    static Color dynamic(std::string name, RGBComponents light, RGBComponents dark);
    static Color system(SystemColorRole role);
    Color withAlpha(double newAlpha) const;
    bool operator==(const Color &) const = default;
};

enum class LineBreakMode : std::uint8_t { byWordWrapping, byCharWrapping };

struct ParagraphStyle {
    double lineSpacing = 0;
    double paragraphSpacing = 0;
    double paragraphSpacingBefore = 0;
    double headIndent = 0;
    double firstLineHeadIndent = 0;
    double tailIndent = 0;
    double minimumLineHeight = 0;
    LineBreakMode lineBreakMode = LineBreakMode::byWordWrapping;
    bool allowsDefaultTighteningForTruncation = false;
    bool operator==(const ParagraphStyle &) const = default;
};

/// One holder of a block that counts its holders itself: copies hold it too, and the last holder to go frees
/// it with `Block::free`. One pointer wide. `Block` has an atomic count `holders`, one when it is made.
template <typename Block> class BlockHolder {
public:
    /// Takes over the one holder a block is made with.
    explicit BlockHolder(Block *made) noexcept
        : block_(made) {}
    BlockHolder(const BlockHolder &other) noexcept
        : block_(other.block_) {
        hold();
    }
    BlockHolder &operator=(const BlockHolder &other) noexcept {
        other.hold();
        letGo();
        block_ = other.block_;
        return *this;
    }
    ~BlockHolder() { letGo(); }

    const Block *get() const { return block_; }
    const Block *operator->() const { return block_; }

private:
    void hold() const { block_->holders.fetch_add(1, std::memory_order_relaxed); }
    void letGo() {
        if (block_->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            Block::free(block_);
        }
    }

    Block *block_;
};

/// A value too large to copy into every attribute set that holds it: sets are interned whole, and a page's
/// tens of thousands of link sets differ only in their link, so each set's entries point at one shared
/// copy of the colours, fonts and paragraph styles they were made from. Immutable; equal when the values are.
///
/// One pointer wide, the value counting its holders itself, so that an attribute entry takes 24 bytes: a
/// page's sets hold millions of entries, and a shared pointer's second word cost each of them 8 bytes.
template <typename T> class SharedValue {
public:
    SharedValue(T value) // NOLINT(google-explicit-constructor): an entry is written as its value
        : held_(new Held(std::move(value))) {}

    const T &operator*() const { return held_->value; }
    const T *operator->() const { return &held_->value; }
    bool operator==(const SharedValue &other) const {
        return held_.get() == other.held_.get() || held_->value == other.held_->value;
    }

private:
    struct Held {
        explicit Held(T value)
            : value(std::move(value)) {}
        static void free(Held *held) { delete held; }
        std::atomic<std::size_t> holders{1};
        const T value;
    };

    BlockHolder<Held> held_;
};

/// A text an attribute value holds (a link's address, a code token's kind), shared as SharedValue shares
/// its values, with its count of holders and its characters in one block: a page holds hundreds of thousands
/// of link addresses, and a string of their own beside each count cost them a second block and its words.
/// Immutable; equal when the characters are. Reads as a string_view.
class SharedText {
public:
    SharedText(std::string_view text);  // NOLINT(google-explicit-constructor): an entry is written as its text
    SharedText(const std::string &text) // NOLINT(google-explicit-constructor)
        : SharedText(std::string_view(text)) {}

    std::string_view view() const { return {held_->characters(), held_->size}; }
    operator std::string_view() const { return view(); } // NOLINT(google-explicit-constructor)
    bool operator==(const SharedText &other) const {
        return held_.get() == other.held_.get() || view() == other.view();
    }
    friend bool operator==(const SharedText &text, std::string_view other) { return text.view() == other; }

private:
    struct Held {
        static Held *make(std::string_view text);
        static void free(Held *held);
        const char *characters() const { return reinterpret_cast<const char *>(this + 1); }
        std::atomic<std::uint32_t> holders{1};
        std::uint32_t size = 0;
    };

    BlockHolder<Held> held_;
};

/// One attribute value. Integers hold ligature, underline and strike-through styles; doubles the kern;
/// unsigned integers the code-highlight generation; texts the link URL and the code token kind.
/// Read a value with attributeValueAs.
using AttributeValue = std::variant<bool, std::int64_t, std::uint64_t, double, SharedText, SharedValue<Color>,
                                    SharedValue<FontDescriptor>, SharedValue<ParagraphStyle>>;

struct AttributeEntry {
    AttributeKey key;
    AttributeValue value;
    bool operator==(const AttributeEntry &) const = default;
};

/// An immutable set of attributes, interned process-wide: equal sets share one object, so comparing
/// two sets (and so two runs) is one pointer comparison.
///
/// An interned set counts its users itself: a page holds hundreds of thousands of sets (most of them a
/// link's), and a separate block of counts for each, with a weak reference in the intern table, cost
/// about 60 bytes a set. A set leaves the table when its last user lets go.
class Attributes {
public:
    /// The empty set.
    Attributes();
    Attributes(const Attributes &other) noexcept
        : set_(other.set_) {
        hold(set_);
    }
    /// A set moved from is still a set: the move counts one more user, as a copy does.
    Attributes(Attributes &&other) noexcept
        : Attributes(static_cast<const Attributes &>(other)) {}
    Attributes &operator=(const Attributes &other) noexcept {
        hold(other.set_);
        letGo(set_);
        set_ = other.set_;
        return *this;
    }
    Attributes &operator=(Attributes &&other) noexcept {
        std::swap(set_, other.set_);
        return *this;
    }
    ~Attributes() { letGo(set_); }
    /// The set of the given entries; a later entry for the same key wins.
    Attributes(std::initializer_list<AttributeEntry> entries);
    static Attributes fromEntries(std::vector<AttributeEntry> entries);

    /// The value for the key, or null.
    const AttributeValue *find(AttributeKey key) const;
    bool contains(AttributeKey key) const { return find(key) != nullptr; }
    bool empty() const;
    /// The entries in key order.
    std::span<const AttributeEntry> entries() const;

    Attributes with(AttributeKey key, AttributeValue value) const;
    Attributes without(AttributeKey key) const;
    /// This set with every entry of `added` put over it.
    Attributes merging(const Attributes &added) const;

    bool operator==(const Attributes &other) const { return set_ == other.set_; }
    /// A stable identity of the interned set, for hashing runs.
    const void *identity() const { return set_; }

    /// What every interned set begins with: how many Attributes hold it.
    struct Users {
        mutable std::atomic<std::size_t> count{0};
    };
    struct Set;

private:
    /// Takes over one user the intern table counted for it.
    explicit Attributes(const Users *set)
        : set_(set) {}
    static void hold(const Users *set) { set->count.fetch_add(1, std::memory_order_relaxed); }
    static void letGo(const Users *set) {
        if (set->count.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            release(set);
        }
    }
    /// Takes the set out of the intern table and frees it.
    static void release(const Users *set);
    const Set &set() const;
    const Users *set_;
};

/// What a value of type T is held as: a text as a SharedText, anything else as itself.
template <typename T> using HeldAttributeValue = std::conditional_t<std::is_same_v<T, std::string>, SharedText, T>;

/// The value as a T (a text as a SharedText), or null when absent or of another type.
template <typename T> const HeldAttributeValue<T> *attributeValueAs(const AttributeValue *value) {
    if (value == nullptr) {
        return nullptr;
    }
    if constexpr (std::is_arithmetic_v<T> || std::is_same_v<T, std::string>) {
        return std::get_if<HeldAttributeValue<T>>(value);
    } else {
        const SharedValue<T> *shared = std::get_if<SharedValue<T>>(value);
        return shared == nullptr ? nullptr : &**shared;
    }
}

/// A readable one-line description of a value, for test dumps and diagnostics.
std::string describeAttributeValue(const AttributeValue &value);
std::string describeColor(const Color &color);

} // namespace velto::editor
