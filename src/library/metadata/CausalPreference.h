#pragma once

#include "model/WriterVersion.h"

#include <cstddef>
#include <optional>
#include <vector>

// How the library chooses among journal entries that compete for one page (or for the page order):
// an entry that causally precedes another never wins; of the rest, the tie order below decides.
namespace VeltoPageLibrary {

/// The tie order among entries that do not precede each other: for one writer the higher sequence, then
/// the larger operation identifier text; across writers the larger writer identifier text. Clock times
/// play no part, so a machine whose clock runs ahead cannot win by it.
inline bool isBelowInCausalTieOrder(const velto::VeltoWriterVersion &a, const velto::VeltoWriterVersion &b) {
    if (a.writerID == b.writerID) {
        if (a.sequence != b.sequence) {
            return a.sequence < b.sequence;
        }
        return a.operationID < b.operationID;
    }
    // Byte order of UUIDs is the order of their upper-case texts.
    return a.writerID < b.writerID;
}

/// Whether the entry's version precedes the version of any entry of the group; an entry never
/// precedes itself.
template <typename Entry, typename VersionOf>
bool isCausallyDominated(const Entry &entry, const std::vector<Entry> &group, VersionOf versionOf) {
    const velto::VeltoWriterVersion &version = versionOf(entry);
    for (const auto &other : group) {
        if (version.causalRelation(versionOf(other)) == velto::VeltoWriterVersion::CausalRelation::precedes) {
            return true;
        }
    }
    return false;
}

/// The entries of the group that precede no other entry: concurrent and equal ones all stay.
template <typename Entry, typename VersionOf>
std::vector<Entry> causallyMaximal(const std::vector<Entry> &group, VersionOf versionOf) {
    std::vector<Entry> maximal;
    for (const auto &entry : group) {
        if (!isCausallyDominated(entry, group, versionOf)) {
            maximal.push_back(entry);
        }
    }
    return maximal;
}

/// The preferred entry: of the causally maximal entries the greatest in the tie order, the earlier in the
/// list among equals; nothing for an empty list.
template <typename Entry, typename VersionOf>
std::optional<Entry> preferredCausalValue(const std::vector<Entry> &candidates, VersionOf versionOf) {
    std::optional<std::size_t> best;
    for (std::size_t index = 0; index < candidates.size(); ++index) {
        if (isCausallyDominated(candidates[index], candidates, versionOf)) {
            continue;
        }
        if (!best || isBelowInCausalTieOrder(versionOf(candidates[*best]), versionOf(candidates[index]))) {
            best = index;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return candidates[*best];
}

} // namespace VeltoPageLibrary
