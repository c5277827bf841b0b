#include "model/ThreeWayMerge.h"

#include "model/LineDiff.h"
#include "model/LineNumbering.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"

#include <algorithm>
#include <span>
#include <vector>

namespace velto::VeltoThreeWayMerge {

namespace {

/// A body's lines (views into its text, "\n" removed, a trailing line break giving an empty last line).
struct LineList {
    std::vector<std::string_view> texts;
    std::vector<LineNumber> numbers;

    LineList(std::vector<std::string_view> lines, LineNumbering &numbering)
        : texts(std::move(lines))
        , numbers(numbering.numbersOf(texts)) {}
};

/// The base lines [lower, upper) replaced by some lines of one side; an empty range is an insertion before
/// `lower`, an empty replacement a removal.
struct Edit {
    std::size_t lower = 0;
    std::size_t upper = 0;
    std::span<const std::string_view> replacement;
    std::span<const LineNumber> replacementNumbers;

    bool isInsertion() const { return lower == upper; }
};

bool sameEdit(const Edit &a, const Edit &b) {
    return a.lower == b.lower && a.upper == b.upper && std::ranges::equal(a.replacementNumbers, b.replacementNumbers);
}

/// Two edits that touch the same place: insertions at one index, an insertion at either end of (or inside) a
/// replaced range, or overlapping ranges. Replacements of adjacent ranges do not conflict.
bool conflicts(const Edit &a, const Edit &b) {
    if (a.isInsertion() && b.isInsertion()) {
        return a.lower == b.lower;
    }
    if (a.isInsertion()) {
        return b.lower <= a.lower && a.lower <= b.upper;
    }
    if (b.isInsertion()) {
        return a.lower <= b.lower && b.lower <= a.upper;
    }
    return a.lower < b.upper && b.lower < a.upper;
}

/// One side's changes against the base, each joining the removals and insertions that meet at one place.
/// Nothing when the difference is too large to compute.
std::optional<std::vector<Edit>> edits(const LineList &base, const LineList &side) {
    std::optional<LineDifference> difference = shortestLineDifference(base.numbers, side.numbers);
    if (!difference) {
        return std::nullopt;
    }
    const std::vector<bool> &removed = difference->removed;
    const std::vector<bool> &inserted = difference->inserted;
    std::size_t baseCount = base.texts.size();
    std::size_t sideCount = side.texts.size();

    std::vector<Edit> result;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < baseCount || j < sideCount) {
        bool isRemoved = i < baseCount && removed[i];
        bool isInserted = j < sideCount && inserted[j];
        if (!isRemoved && !isInserted) {
            ++i;
            ++j;
            continue;
        }
        std::size_t firstInserted = j;
        while (j < sideCount && inserted[j]) {
            ++j;
        }
        std::size_t firstRemoved = i;
        while (i < baseCount && removed[i]) {
            ++i;
        }
        result.push_back(Edit{firstRemoved, i, std::span(side.texts).subspan(firstInserted, j - firstInserted),
                              std::span(side.numbers).subspan(firstInserted, j - firstInserted)});
    }
    return result;
}

/// All local edits and the external ones that neither repeat nor touch a local edit; nothing on a conflict.
///
/// One side's edits are ordered and never touch each other (a matched line always lies between two of them),
/// so an external edit can only repeat or collide with a local edit, and the local edits near it form one run
/// that moves forward as the external edits do.
std::optional<std::vector<Edit>> combinedEdits(const std::vector<Edit> &localEdits,
                                               const std::vector<Edit> &externalEdits) {
    std::vector<Edit> combined = localEdits;
    std::size_t firstNearby = 0;
    for (const Edit &external : externalEdits) {
        while (firstNearby < localEdits.size() && localEdits[firstNearby].upper < external.lower) {
            ++firstNearby;
        }
        std::size_t endOfNearby = firstNearby;
        while (endOfNearby < localEdits.size() && localEdits[endOfNearby].lower <= external.upper) {
            ++endOfNearby;
        }
        auto nearby = std::span(localEdits).subspan(firstNearby, endOfNearby - firstNearby);

        // A change made identically on both sides is applied once.
        if (std::ranges::any_of(nearby, [&](const Edit &local) { return sameEdit(local, external); })) {
            continue;
        }
        if (std::ranges::any_of(nearby, [&](const Edit &local) { return conflicts(local, external); })) {
            return std::nullopt;
        }
        combined.push_back(external);
    }
    std::ranges::sort(combined, [](const Edit &a, const Edit &b) {
        return a.lower != b.lower ? a.lower < b.lower : a.upper < b.upper;
    });
    return combined;
}

/// The base lines with the edits applied, joined with "\n".
std::string rebuiltText(const LineList &base, const std::vector<Edit> &edits) {
    std::vector<std::string_view> lines;
    lines.reserve(base.texts.size());
    std::size_t cursor = 0;
    for (const Edit &edit : edits) {
        lines.insert(lines.end(), base.texts.begin() + static_cast<std::ptrdiff_t>(cursor),
                     base.texts.begin() + static_cast<std::ptrdiff_t>(edit.lower));
        lines.insert(lines.end(), edit.replacement.begin(), edit.replacement.end());
        cursor = edit.upper;
    }
    lines.insert(lines.end(), base.texts.begin() + static_cast<std::ptrdiff_t>(cursor), base.texts.end());

    std::size_t size = lines.size();
    for (std::string_view line : lines) {
        size += line.size();
    }
    std::string text;
    text.reserve(size);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (index > 0) {
            text += '\n';
        }
        text += lines[index];
    }
    return text;
}

std::optional<std::string> mergeLines(std::string_view base, std::string_view local, std::string_view external) {
    std::vector<std::string_view> baseTexts = text::splitKeepingEmpty(base, "\n");
    std::vector<std::string_view> localTexts = text::splitKeepingEmpty(local, "\n");
    std::vector<std::string_view> externalTexts = text::splitKeepingEmpty(external, "\n");
    LineNumbering numbering(baseTexts.size() + localTexts.size() + externalTexts.size());
    LineList baseLines(std::move(baseTexts), numbering);
    LineList localLines(std::move(localTexts), numbering);
    LineList externalLines(std::move(externalTexts), numbering);

    // A side whose lines all equal the base's has no edits, and the merge rebuilds the other side. When every
    // line is in NFC, equal lines are equal bytes and that rebuild is the other body itself, so its difference
    // (the slow part for a rewritten page, say beside a change of the front matter) need not be computed.
    if (numbering.everyLineIsNFC()) {
        if (localLines.numbers == baseLines.numbers) {
            return std::string(external);
        }
        // Equal sides make equal edits, each applied once.
        if (externalLines.numbers == baseLines.numbers || externalLines.numbers == localLines.numbers) {
            return std::string(local);
        }
    }

    std::optional<std::vector<Edit>> localEdits = edits(baseLines, localLines);
    if (!localEdits) {
        return std::nullopt;
    }
    std::optional<std::vector<Edit>> externalEdits = edits(baseLines, externalLines);
    if (!externalEdits) {
        return std::nullopt;
    }
    std::optional<std::vector<Edit>> combined = combinedEdits(*localEdits, *externalEdits);
    if (!combined) {
        return std::nullopt;
    }
    return rebuiltText(baseLines, *combined);
}

bool sameValue(const std::string &a, const std::string &b) {
    return text::canonicallyEqual(a, b);
}

bool sameValue(const std::optional<std::string> &a, const std::optional<std::string> &b) {
    return a.has_value() == b.has_value() && (!a || text::canonicallyEqual(*a, *b));
}

/// The side that changed, the common value when both agree, nothing when both changed differently.
template <typename Value>
std::optional<Value> mergeScalar(const Value &base, const Value &local, const Value &external) {
    if (sameValue(local, external)) {
        return local;
    }
    if (sameValue(local, base)) {
        return external;
    }
    if (sameValue(external, base)) {
        return local;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> merge(std::string_view baseFileContents, std::string_view localFileContents,
                                 std::string_view externalFileContents) {
    // Whenever one side is unchanged there is nothing to parse or compare line by line.
    if (text::canonicallyEqual(localFileContents, externalFileContents)) {
        return std::string(localFileContents);
    }
    if (text::canonicallyEqual(localFileContents, baseFileContents)) {
        return std::string(externalFileContents);
    }
    if (text::canonicallyEqual(externalFileContents, baseFileContents)) {
        return std::string(localFileContents);
    }

    VeltoPageFileContent base = VeltoPageFileContent::parse(baseFileContents);
    VeltoPageFileContent local = VeltoPageFileContent::parse(localFileContents);
    VeltoPageFileContent external = VeltoPageFileContent::parse(externalFileContents);

    // The front matter is one value: two different metadata changes conflict even when the bodies merge.
    std::optional<std::optional<std::string>> frontMatter =
        mergeScalar(base.frontMatter, local.frontMatter, external.frontMatter);
    if (!frontMatter) {
        return std::nullopt;
    }
    std::optional<std::string> body = mergeLines(base.body, local.body, external.body);
    if (!body) {
        return std::nullopt;
    }
    std::optional<std::string> lineEnding = mergeScalar(base.lineEnding, local.lineEnding, external.lineEnding);
    if (!lineEnding) {
        return std::nullopt;
    }
    // The mark is as one side left it: a change of either side wins, and both can only have changed it alike.
    bool byteOrderMark = local.byteOrderMark != base.byteOrderMark ? local.byteOrderMark : external.byteOrderMark;
    VeltoPageFileContent merged{std::move(*frontMatter), std::move(*body), std::move(*lineEnding), byteOrderMark};
    return merged.fileContents();
}

std::optional<Date> maxDate(std::optional<Date> a, std::optional<Date> b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    return *a > *b ? a : b;
}

} // namespace velto::VeltoThreeWayMerge
