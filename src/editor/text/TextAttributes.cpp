#include "editor/text/TextAttributes.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace velto::editor {

std::string_view attributeKeyName(AttributeKey key) {
    switch (key) {
    case AttributeKey::font:
        return "NSFont";
    case AttributeKey::foregroundColor:
        return "NSColor";
    case AttributeKey::paragraphStyle:
        return "NSParagraphStyle";
    case AttributeKey::ligature:
        return "NSLigature";
    case AttributeKey::kern:
        return "NSKern";
    case AttributeKey::underlineStyle:
        return "NSUnderline";
    case AttributeKey::strikethroughStyle:
        return "NSStrikethrough";
    case AttributeKey::link:
        return "NSLink";
    case AttributeKey::veltoHorizontalRule:
        return "VeltoHorizontalRule";
    case AttributeKey::veltoCodeBlock:
        return "VeltoCodeBlock";
    case AttributeKey::veltoInlineCode:
        return "VeltoInlineCode";
    case AttributeKey::veltoTaskCheckbox:
        return "VeltoTaskCheckbox";
    case AttributeKey::veltoCodeSyntaxToken:
        return "VeltoCodeSyntaxToken";
    case AttributeKey::veltoCodeSyntaxGeneration:
        return "VeltoCodeSyntaxGeneration";
    }
    return "";
}

Color Color::sRGB(double red, double green, double blue, double alpha) {
    Color color;
    color.light = RGBComponents{red, green, blue};
    color.dark = color.light;
    color.alpha = alpha;
    return color;
}

Color Color::dynamic(std::string name, RGBComponents light, RGBComponents dark) {
    Color color;
    color.name = std::move(name);
    color.light = light;
    color.dark = dark;
    return color;
}

Color Color::system(SystemColorRole role) {
    Color color;
    color.role = role;
    return color;
}

Color Color::withAlpha(double newAlpha) const {
    Color color = *this;
    color.alpha = newAlpha;
    return color;
}

// ---- shared texts ----

SharedText::SharedText(std::string_view text)
    : held_(Held::make(text)) {}

SharedText::Held *SharedText::Held::make(std::string_view text) {
    void *memory = ::operator new(sizeof(Held) + text.size());
    Held *held = new (memory) Held;
    held->size = static_cast<std::uint32_t>(text.size());
    std::copy(text.begin(), text.end(), reinterpret_cast<char *>(held + 1));
    return held;
}

void SharedText::Held::free(Held *held) {
    held->~Held();
    ::operator delete(held);
}

// ---- interning ----

// A page's sets hold millions of entries: a key and a value one pointer wide (see SharedValue).
static_assert(sizeof(AttributeEntry) <= 24);

/// An interned set: its users, its hash and its entries, which lie right after it in the same block of
/// memory. A page holds hundreds of thousands of sets (a link's each, a highlighting generation's); a list
/// of its own cost each set a second block and the list's three words.
struct Attributes::Set : Attributes::Users {
    std::size_t hash = 0;
    std::uint32_t size = 0;

    /// A set of one user holding the entries (in key order, each key once), made in one block.
    static Set *make(std::vector<AttributeEntry> entries, std::size_t hash) {
        void *memory = ::operator new(sizeof(Set) + entries.size() * sizeof(AttributeEntry));
        Set *set = new (memory) Set;
        set->hash = hash;
        set->size = static_cast<std::uint32_t>(entries.size());
        std::uninitialized_move(entries.begin(), entries.end(), set->first());
        set->count.store(1, std::memory_order_relaxed);
        return set;
    }
    static void destroy(const Set *dying) {
        Set *set = const_cast<Set *>(dying);
        std::destroy_n(set->first(), set->size);
        set->~Set();
        ::operator delete(set);
    }

    std::span<const AttributeEntry> entries() const { return {const_cast<Set *>(this)->first(), size}; }

private:
    AttributeEntry *first() { return std::launder(reinterpret_cast<AttributeEntry *>(this + 1)); }
};
static_assert(sizeof(Attributes::Set) % alignof(AttributeEntry) == 0, "entries follow the set unpadded");

namespace {

/// The value a variant alternative holds, whether held in place or shared.
template <typename T> const T &unshared(const T &value) {
    return value;
}
template <typename T> const T &unshared(const SharedValue<T> &value) {
    return *value;
}

void combine(std::size_t &seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

std::size_t hashDouble(double value) {
    return std::hash<double>{}(value);
}

std::size_t hashOf(const RGBComponents &rgb) {
    std::size_t seed = hashDouble(rgb.red);
    combine(seed, hashDouble(rgb.green));
    combine(seed, hashDouble(rgb.blue));
    return seed;
}

std::size_t hashOf(const AttributeValue &value) {
    std::size_t seed = value.index();
    std::visit(
        [&seed](const auto &held) {
            const auto &v = unshared(held);
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Color>) {
                combine(seed, static_cast<std::size_t>(v.role));
                combine(seed, std::hash<std::string>{}(v.name));
                combine(seed, hashOf(v.light));
                combine(seed, hashOf(v.dark));
                combine(seed, hashDouble(v.alpha));
            } else if constexpr (std::is_same_v<T, FontDescriptor>) {
                combine(seed, static_cast<std::size_t>(v.family));
                combine(seed, hashDouble(v.pointSize));
                combine(seed, static_cast<std::size_t>(v.weight) * 4 + v.bold * 2 + v.italic);
            } else if constexpr (std::is_same_v<T, ParagraphStyle>) {
                for (double d : {v.lineSpacing, v.paragraphSpacing, v.paragraphSpacingBefore, v.headIndent,
                                 v.firstLineHeadIndent, v.tailIndent, v.minimumLineHeight}) {
                    combine(seed, hashDouble(d));
                }
                combine(seed, static_cast<std::size_t>(v.lineBreakMode) * 2 + v.allowsDefaultTighteningForTruncation);
            } else if constexpr (std::is_same_v<T, SharedText>) {
                combine(seed, std::hash<std::string_view>{}(v.view()));
            } else {
                combine(seed, std::hash<T>{}(v));
            }
        },
        value);
    return seed;
}

std::size_t hashOf(const std::vector<AttributeEntry> &entries) {
    std::size_t seed = entries.size();
    for (const AttributeEntry &entry : entries) {
        combine(seed, static_cast<std::size_t>(entry.key));
        combine(seed, hashOf(entry.value));
    }
    return seed;
}

/// One more user of a set that still has one; false when its last user let go (it is on its way out of
/// the table, and is not to be handed out again).
bool holdIfInUse(const Attributes::Set &set) {
    std::size_t users = set.count.load(std::memory_order_relaxed);
    while (users != 0 && !set.count.compare_exchange_weak(users, users + 1, std::memory_order_relaxed)) {
    }
    return users != 0;
}

// Sets live as long as some run uses them: a set leaves the table when its last user lets go, so
// generation numbers and the like cannot make the table grow forever.
/// The interned sets, found by hash. Open addressing with linear probing over two arrays: a 32-bit tag of
/// each set's hash, which a probe reads without touching the set, and the sets' addresses beside them. Looking
/// up or adding a set costs about one cache line of tags, where a table of nodes cost each lookup a bucket, a
/// node and a division per node walked, most of them cache misses: loading a big page makes hundreds of
/// thousands of sets (a link's each). Twelve bytes a slot keep the table below what its nodes cost.
class InternTable {
public:
    /// The interned set of the entries, with one user counted for the caller.
    const Attributes::Set *intern(std::vector<AttributeEntry> entries) {
        const std::size_t hash = hashOf(entries);
        const std::uint32_t tag = tagOf(hash);
        std::lock_guard lock(mutex_);
        std::size_t index = firstSlot(tag);
        for (; tags_[index] != freeTag; index = nextSlot(index)) {
            const Attributes::Set *set = sets_[index];
            if (tags_[index] == tag && set->hash == hash && std::ranges::equal(set->entries(), entries) &&
                holdIfInUse(*set)) {
                return set;
            }
        }
        const Attributes::Set *set = Attributes::Set::make(std::move(entries), hash);
        tags_[index] = tag;
        sets_[index] = set;
        ++count_;
        if (count_ * maximumLoadDenominator > tags_.size() * maximumLoadNumerator) {
            grow();
        }
        return set;
    }

    /// Takes out and frees a set whose last user let go. Nobody can hold it again meanwhile: intern
    /// hands out only sets that are still in use.
    void release(const Attributes::Set *dying) {
        {
            std::lock_guard lock(mutex_);
            std::size_t index = firstSlot(tagOf(dying->hash));
            while (sets_[index] != dying) {
                index = nextSlot(index);
            }
            removeSlot(index);
            --count_;
        }
        Attributes::Set::destroy(dying);
    }

private:
    static constexpr std::uint32_t freeTag = 0;
    // Grows past seven tenths full: probes stay short, and the slots cost a set 17 to 35 bytes.
    static constexpr std::size_t maximumLoadNumerator = 7;
    static constexpr std::size_t maximumLoadDenominator = 10;
    static constexpr unsigned initialBits = 10;

    /// The hash folded to 32 bits, never the free slot's tag.
    static std::uint32_t tagOf(std::size_t hash) {
        const auto wide = static_cast<std::uint64_t>(hash);
        const auto tag = static_cast<std::uint32_t>(wide ^ (wide >> 32));
        return tag == freeTag ? 1 : tag;
    }

    /// Where a tag's probe starts: its bits spread over the table by a Fibonacci multiplication, so that
    /// tags differing only in their high bits still land apart. From the tag alone, so that moving slots
    /// reads no set.
    std::size_t firstSlot(std::uint32_t tag) const { return (tag * 0x9e3779b9U) >> (32 - bits_); }
    std::size_t nextSlot(std::size_t index) const { return (index + 1) & (tags_.size() - 1); }

    void grow() {
        std::vector<std::uint32_t> oldTags(std::size_t{1} << (bits_ + 1), freeTag);
        std::vector<const Attributes::Set *> oldSets(oldTags.size(), nullptr);
        oldTags.swap(tags_);
        oldSets.swap(sets_);
        ++bits_;
        for (std::size_t old = 0; old < oldTags.size(); ++old) {
            if (oldTags[old] != freeTag) {
                std::size_t index = firstSlot(oldTags[old]);
                while (tags_[index] != freeTag) {
                    index = nextSlot(index);
                }
                tags_[index] = oldTags[old];
                sets_[index] = oldSets[old];
            }
        }
    }

    /// Frees the slot, moving later slots of the same run back into the gap where their probe would
    /// otherwise stop at it before reaching them.
    void removeSlot(std::size_t gap) {
        for (std::size_t index = nextSlot(gap); tags_[index] != freeTag; index = nextSlot(index)) {
            const std::size_t home = firstSlot(tags_[index]);
            // The slot stays when its probe starts after the gap (cyclically) and at or before it.
            const bool startsAfterGap = gap <= index ? (gap < home && home <= index) : (gap < home || home <= index);
            if (!startsAfterGap) {
                tags_[gap] = tags_[index];
                sets_[gap] = sets_[index];
                gap = index;
            }
        }
        tags_[gap] = freeTag;
        sets_[gap] = nullptr;
    }

    std::mutex mutex_;
    unsigned bits_ = initialBits;
    std::vector<std::uint32_t> tags_ = std::vector<std::uint32_t>(std::size_t{1} << initialBits, freeTag);
    std::vector<const Attributes::Set *> sets_ = std::vector<const Attributes::Set *>(std::size_t{1} << initialBits);
    std::size_t count_ = 0;
};

InternTable &internTable() {
    // Never destroyed: sets held by static storages may die after it would have been.
    static auto *table = new InternTable;
    return *table;
}

/// The empty set, held for the life of the process.
const Attributes::Set *emptySet() {
    static const Attributes::Set *empty = internTable().intern({});
    return empty;
}

bool isSortedUnique(const std::vector<AttributeEntry> &entries) {
    for (std::size_t index = 1; index < entries.size(); ++index) {
        if (!(entries[index - 1].key < entries[index].key)) {
            return false;
        }
    }
    return true;
}

std::vector<AttributeEntry> sortedUnique(std::vector<AttributeEntry> entries) {
    if (isSortedUnique(entries)) {
        return entries; // as sets are mostly written: no sorting, no second list
    }
    // Stable, so that among equal keys the later entry is last; keep that one.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const AttributeEntry &a, const AttributeEntry &b) { return a.key < b.key; });
    std::vector<AttributeEntry> unique;
    unique.reserve(entries.size());
    for (auto &entry : entries) {
        if (!unique.empty() && unique.back().key == entry.key) {
            unique.back() = std::move(entry);
        } else {
            unique.push_back(std::move(entry));
        }
    }
    return unique;
}

} // namespace

Attributes::Attributes()
    : set_(emptySet()) {
    hold(set_);
}

void Attributes::release(const Users *set) {
    internTable().release(static_cast<const Set *>(set));
}

const Attributes::Set &Attributes::set() const {
    return *static_cast<const Set *>(set_);
}

Attributes::Attributes(std::initializer_list<AttributeEntry> entries)
    : set_(internTable().intern(sortedUnique(std::vector<AttributeEntry>(entries)))) {}

Attributes Attributes::fromEntries(std::vector<AttributeEntry> entries) {
    return Attributes(internTable().intern(sortedUnique(std::move(entries))));
}

const AttributeValue *Attributes::find(AttributeKey key) const {
    for (const AttributeEntry &entry : set().entries()) {
        if (entry.key == key) {
            return &entry.value;
        }
    }
    return nullptr;
}

bool Attributes::empty() const {
    return set().size == 0;
}

std::span<const AttributeEntry> Attributes::entries() const {
    return set().entries();
}

Attributes Attributes::with(AttributeKey key, AttributeValue value) const {
    std::vector<AttributeEntry> entries;
    entries.reserve(set().size + 1);
    bool placed = false;
    for (const AttributeEntry &entry : set().entries()) {
        if (!placed && entry.key >= key) {
            entries.push_back(AttributeEntry{key, std::move(value)});
            placed = true;
            if (entry.key == key) {
                continue;
            }
        }
        entries.push_back(entry);
    }
    if (!placed) {
        entries.push_back(AttributeEntry{key, std::move(value)});
    }
    return Attributes(internTable().intern(std::move(entries)));
}

Attributes Attributes::without(AttributeKey key) const {
    if (find(key) == nullptr) {
        return *this;
    }
    std::vector<AttributeEntry> entries;
    entries.reserve(set().size);
    for (const AttributeEntry &entry : set().entries()) {
        if (entry.key != key) {
            entries.push_back(entry);
        }
    }
    return Attributes(internTable().intern(std::move(entries)));
}

namespace {

/// Styling merges the same few sets into the same run sets over and over. Interned sets are
/// identified by address, so a pair of them is a cheap key; the memo holds both inputs and the
/// result, which keeps the addresses from being reused while they are keys.
struct MergeMemo {
    struct Entry {
        Attributes base;
        Attributes added;
        Attributes result;
    };
    struct PairHash {
        std::size_t operator()(const std::pair<const void *, const void *> &key) const {
            return std::hash<const void *>{}(key.first) * 31 + std::hash<const void *>{}(key.second);
        }
    };
    static constexpr std::size_t capacity = 4096;
    std::unordered_map<std::pair<const void *, const void *>, Entry, PairHash> entries;
};

MergeMemo &mergeMemo() {
    thread_local MergeMemo memo;
    return memo;
}

} // namespace

Attributes Attributes::merging(const Attributes &added) const {
    if (added.empty()) {
        return *this;
    }
    if (empty()) {
        return added;
    }
    MergeMemo &memo = mergeMemo();
    const std::pair<const void *, const void *> key{identity(), added.identity()};
    if (const auto found = memo.entries.find(key); found != memo.entries.end()) {
        return found->second.result;
    }
    // Both lists are in key order: merge them, the added entry winning on equal keys.
    const std::span<const AttributeEntry> mine = set().entries();
    const std::span<const AttributeEntry> theirs = added.entries();
    std::vector<AttributeEntry> entries;
    entries.reserve(mine.size() + theirs.size());
    std::size_t m = 0;
    std::size_t t = 0;
    while (m < mine.size() || t < theirs.size()) {
        if (t == theirs.size() || (m < mine.size() && mine[m].key < theirs[t].key)) {
            entries.push_back(mine[m++]);
        } else {
            if (m < mine.size() && mine[m].key == theirs[t].key) {
                ++m;
            }
            entries.push_back(theirs[t++]);
        }
    }
    Attributes result(internTable().intern(std::move(entries)));
    if (memo.entries.size() >= MergeMemo::capacity) {
        memo.entries.clear();
    }
    memo.entries.emplace(key, MergeMemo::Entry{*this, added, result});
    return result;
}

// ---- descriptions ----

namespace {

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

std::string rgb(const RGBComponents &c) {
    return number(c.red) + "," + number(c.green) + "," + number(c.blue);
}

} // namespace

std::string describeColor(const Color &color) {
    std::string text;
    switch (color.role) {
    case SystemColorRole::secondaryLabel:
        text = "secondaryLabel";
        break;
    case SystemColorRole::systemBlue:
        text = "systemBlue";
        break;
    case SystemColorRole::clear:
        text = "clear";
        break;
    case SystemColorRole::none:
        text = color.name.empty() ? "rgb(" + rgb(color.light) + ")" : color.name;
        break;
    }
    if (color.alpha != 1.0) {
        text += "@" + number(color.alpha);
    }
    return text;
}

std::string describeAttributeValue(const AttributeValue &value) {
    return std::visit(
        [](const auto &held) -> std::string {
            const auto &v = unshared(held);
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, SharedText>) {
                return "\"" + std::string(v.view()) + "\"";
            } else if constexpr (std::is_same_v<T, Color>) {
                return describeColor(v);
            } else if constexpr (std::is_same_v<T, FontDescriptor>) {
                static constexpr const char *families[] = {"system", "mono", "fixed"};
                static constexpr const char *weights[] = {"regular", "medium", "semibold", "bold"};
                std::string text = std::string(families[static_cast<int>(v.family)]) + " " + number(v.pointSize) + " " +
                                   weights[static_cast<int>(v.weight)];
                if (v.bold) {
                    text += " +bold";
                }
                if (v.italic) {
                    text += " +italic";
                }
                return text;
            } else if constexpr (std::is_same_v<T, ParagraphStyle>) {
                std::string text = "ls" + number(v.lineSpacing) + " ps" + number(v.paragraphSpacing) + " before" +
                                   number(v.paragraphSpacingBefore);
                if (v.headIndent != 0 || v.firstLineHeadIndent != 0 || v.tailIndent != 0) {
                    text += " indent" + number(v.firstLineHeadIndent) + "/" + number(v.headIndent) + "/" +
                            number(v.tailIndent);
                }
                if (v.minimumLineHeight != 0) {
                    text += " minH" + number(v.minimumLineHeight);
                }
                text += v.lineBreakMode == LineBreakMode::byWordWrapping ? " word" : " char";
                return text;
            } else {
                return number(static_cast<double>(v));
            }
        },
        value);
}

} // namespace velto::editor
