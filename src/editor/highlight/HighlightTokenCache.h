#pragma once

#include "editor/highlight/SyntaxToken.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velto::editor {

/// What a highlight result is cached under: the exact code and the highlight.js language.
struct HighlightCacheKey {
    std::u16string source;
    std::string language;
    bool operator==(const HighlightCacheKey &) const = default;
};

struct HighlightCacheKeyHash {
    std::size_t operator()(const HighlightCacheKey &key) const noexcept;
};

/// Equality by bytes: char16_t strings otherwise compare unit by unit, which makes a hit on a large
/// block several times slower.
struct HighlightCacheKeyEqual {
    bool operator()(const HighlightCacheKey &a, const HighlightCacheKey &b) const noexcept;
};

/// Recent highlight results, bounded by an estimate of the bytes they hold rather than by their
/// number, so that a few huge blocks cannot crowd memory any more than many small ones. The least
/// recently used results go first. Not thread-safe: its owner serialises access.
class HighlightTokenCache {
public:
    static constexpr std::int64_t defaultCostLimit = 8'388'608;

    explicit HighlightTokenCache(std::int64_t costLimit = defaultCostLimit)
        : costLimit_(costLimit) {}
    HighlightTokenCache(const HighlightTokenCache &) = delete;
    HighlightTokenCache &operator=(const HighlightTokenCache &) = delete;

    /// The tokens cached for the key, which becomes the most recently used; nothing on a miss.
    std::optional<std::vector<SyntaxToken>> tokens(const HighlightCacheKey &key);

    /// Keeps the tokens under the key, evicting least recently used entries until they fit. Tokens
    /// whose own cost exceeds the limit are not kept.
    void cache(std::vector<SyntaxToken> tokens, const HighlightCacheKey &key);

    void removeCachedValue(const HighlightCacheKey &key);

    /// The sum of the costs of the cached entries.
    std::int64_t cacheCost() const { return cacheCost_; }
    std::size_t size() const { return cache_.size(); }
    /// True when the key is cached; unlike tokens(), does not change the order.
    bool contains(const HighlightCacheKey &key) const { return cache_.contains(key); }
    /// The keys from least to most recently used.
    std::vector<HighlightCacheKey> keysInUseOrder() const;

    /// UTF-8 bytes of source and language + 24 per token + 128, saturating at the largest integer; a
    /// negative token count counts as 0.
    static std::int64_t estimatedCacheCost(std::u16string_view source, std::string_view language,
                                           std::int64_t tokenCount);

private:
    using CacheOrder = std::list<const HighlightCacheKey *>;

    struct CacheEntry {
        std::vector<SyntaxToken> tokens;
        std::int64_t cost = 0;
        CacheOrder::iterator orderPosition;
    };

    using Entries = std::unordered_map<HighlightCacheKey, CacheEntry, HighlightCacheKeyHash, HighlightCacheKeyEqual>;

    void removeLeastRecentlyUsed();
    void removeEntry(Entries::iterator entry);

    std::int64_t costLimit_;
    Entries cache_;
    // Points at the keys inside cache_ (node keys never move), least recently used first; a list so
    // that a hit moves its key to the end without shifting the others.
    CacheOrder cacheOrder_;
    std::int64_t cacheCost_ = 0;
};

} // namespace velto::editor
