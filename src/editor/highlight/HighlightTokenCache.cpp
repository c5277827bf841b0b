#include "editor/highlight/HighlightTokenCache.h"

#include "platform/Text.h"

#include <QtCore/QHashFunctions>
#include <QtCore/QStringView>

#include <cstring>
#include <functional>
#include <limits>

namespace velto::editor {
namespace {

constexpr std::int64_t largestCost = std::numeric_limits<std::int64_t>::max();

std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
    return a > largestCost - b ? largestCost : a + b;
}

} // namespace

std::size_t HighlightCacheKeyHash::operator()(const HighlightCacheKey &key) const noexcept {
    // Qt's string hash uses the processor's AES instructions where it can: hashing a 10 KB block is most
    // of the cost of a cache hit, and this is several times faster than std::hash.
    const std::size_t sourceHash = qHash(QStringView(key.source.data(), static_cast<qsizetype>(key.source.size())));
    const std::size_t languageHash = std::hash<std::string>{}(key.language);
    return sourceHash ^ (languageHash + 0x9e3779b97f4a7c15ULL + (sourceHash << 6) + (sourceHash >> 2));
}

bool HighlightCacheKeyEqual::operator()(const HighlightCacheKey &a, const HighlightCacheKey &b) const noexcept {
    return a.source.size() == b.source.size() && a.language == b.language &&
           std::memcmp(a.source.data(), b.source.data(), a.source.size() * sizeof(char16_t)) == 0;
}

std::optional<std::vector<SyntaxToken>> HighlightTokenCache::tokens(const HighlightCacheKey &key) {
    const auto entry = cache_.find(key);
    if (entry == cache_.end()) {
        return std::nullopt;
    }
    cacheOrder_.splice(cacheOrder_.end(), cacheOrder_, entry->second.orderPosition);
    return entry->second.tokens;
}

void HighlightTokenCache::cache(std::vector<SyntaxToken> tokens, const HighlightCacheKey &key) {
    const std::int64_t cost = estimatedCacheCost(key.source, key.language, static_cast<std::int64_t>(tokens.size()));
    if (cost > costLimit_) {
        return;
    }
    removeCachedValue(key);
    while (cacheCost_ > costLimit_ - cost && !cacheOrder_.empty()) {
        removeLeastRecentlyUsed();
    }
    const auto [entry, inserted] = cache_.emplace(key, CacheEntry{std::move(tokens), cost, {}});
    entry->second.orderPosition = cacheOrder_.insert(cacheOrder_.end(), &entry->first);
    cacheCost_ += cost;
}

void HighlightTokenCache::removeCachedValue(const HighlightCacheKey &key) {
    const auto entry = cache_.find(key);
    if (entry != cache_.end()) {
        removeEntry(entry);
    }
}

void HighlightTokenCache::removeLeastRecentlyUsed() {
    removeEntry(cache_.find(*cacheOrder_.front()));
}

void HighlightTokenCache::removeEntry(Entries::iterator entry) {
    cacheCost_ -= entry->second.cost;
    cacheOrder_.erase(entry->second.orderPosition);
    cache_.erase(entry);
}

std::vector<HighlightCacheKey> HighlightTokenCache::keysInUseOrder() const {
    std::vector<HighlightCacheKey> keys;
    keys.reserve(cacheOrder_.size());
    for (const HighlightCacheKey *key : cacheOrder_) {
        keys.push_back(*key);
    }
    return keys;
}

std::int64_t HighlightTokenCache::estimatedCacheCost(std::u16string_view source, std::string_view language,
                                                     std::int64_t tokenCount) {
    constexpr std::int64_t bytesPerToken = 24;
    constexpr std::int64_t entryOverhead = 128;
    const std::int64_t tokens = tokenCount < 0 ? 0 : tokenCount;
    const std::int64_t tokenBytes = tokens > largestCost / bytesPerToken ? largestCost : tokens * bytesPerToken;
    std::int64_t cost = static_cast<std::int64_t>(text::utf8Length(source));
    cost = saturatingSum(cost, static_cast<std::int64_t>(language.size()));
    cost = saturatingSum(cost, tokenBytes);
    return saturatingSum(cost, entryOverhead);
}

} // namespace velto::editor
