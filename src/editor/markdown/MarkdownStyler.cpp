#include "editor/markdown/MarkdownStyler.h"

#include "editor/highlight/CodeTokenPreservation.h"
#include "editor/markdown/LineCutPoints.h"
#include "editor/markdown/LineStartRanges.h"
#include "editor/markdown/MarkdownBareAddresses.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownDelimitedSpans.h"
#include "editor/markdown/MarkdownLineWindows.h"
#include "editor/markdown/MarkdownLinkMatcher.h"
#include "editor/markdown/MarkdownStylerPasses.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/rules/LinkPasteBehavior.h"
#include "editor/text/EditorPreferences.h"
#include "editor/text/FontMetrics.h"
#include "editor/text/StorageLines.h"
#include "editor/text/StringRanges.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <list>
#include <memory>
#include <mutex>

namespace velto::editor::MarkdownStyler {

namespace {

namespace Patterns {
const std::string heading = R"((?m)^(#{1,6})[ \t]+(.+)$)";
// As given, "(?m)^([^\n]+)\n(=+)[ \t]*$", with the title run made possessive: the run can only end
// at the line feed that must follow it, so giving characters back never leads to a match, and not
// trying saves the engine a walk back over every line.
const std::string setextHeading = R"((?m)^([^\n]++)\n(=+)[ \t]*$)";
const std::string blockQuote = R"((?m)^(>)[ \t]?(.*)$)";
const std::string listMarker = R"((?m)^[ \t]*([-+*]|[0-9]+\.)[ \t]+)";
const std::string taskBox = R"((?m)^[ \t]*[-+*][ \t]+(\[[ xX]\]))";
const std::string horizontalRule = R"((?m)^[ \t]{0,3}((?:-{3,}|\*{3,}|_{3,}))[ \t]*$)";
const std::string destinationEscape = R"(\\(.))";
} // namespace Patterns

enum class FontTrait { italic = 1, bold = 2 };

Color secondaryLabelColor() {
    return Color::system(SystemColorRole::secondaryLabel);
}
Color linkColor() {
    return Color::system(SystemColorRole::systemBlue);
}

double fontSize() {
    return editorFontSize(currentEditorPreferences());
}

FontFamilyRole chosenFamily() {
    return currentEditorPreferences().fontChoice() == EditorFontChoice::system ? FontFamilyRole::system
                                                                               : FontFamilyRole::monospacedSystem;
}

double headingIncrement(int level) {
    switch (level) {
    case 1:
        return 7;
    case 2:
        return 4;
    case 3:
        return 2;
    case 4:
        return 1;
    default:
        return 0;
    }
}

/// Whether the range shares a unit with any of the ranges, which are disjoint and in text order (so
/// their ends ascend too, and one binary search finds the only candidate).
bool overlapsAny(TextRange range, const std::vector<TextRange> &sortedRanges) {
    const auto candidate =
        std::upper_bound(sortedRanges.begin(), sortedRanges.end(), range.location,
                         [](std::size_t location, TextRange other) { return location < other.end(); });
    return candidate != sortedRanges.end() && overlaps(range, *candidate);
}

/// The ranges sorted and merged where they overlap, so that they are disjoint and in text order.
std::vector<TextRange> mergedInTextOrder(std::vector<TextRange> ranges) {
    std::sort(ranges.begin(), ranges.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    std::vector<TextRange> merged;
    for (const TextRange range : ranges) {
        if (!merged.empty() && range.location < merged.back().end()) {
            merged.back() = unionRange(merged.back(), range);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

void applyTrait(FontTrait trait, TextRange range, TextStorage &storage) {
    if (range.location == TextRange::notFound || range.length < 1) {
        return;
    }
    const auto *current = attributeValueAs<FontDescriptor>(storage.attribute(AttributeKey::font, range.location));
    FontDescriptor font = current ? *current : editorFont();
    if (trait == FontTrait::bold) {
        font.bold = true;
    } else {
        font.italic = true;
    }
    storage.addAttribute(AttributeKey::font, font, range);
}

void colorRange(TextStorage &storage, TextRange range, const Color &color) {
    if (range.length > 0) {
        storage.addAttribute(AttributeKey::foregroundColor, color, range);
    }
}

std::u16string_view textOf(const TextStorage &storage) {
    return storage.string();
}

// ---- the passes, in the order the full pass runs them ----

/// Whether the fenced-code step styles the block: its opening line ends with a line break.
bool isStyledAsCode(std::u16string_view text, const FencedCodeBlock &block) {
    const TextRange opening = block.opening.lineRange;
    const char16_t last = opening.length > 0 ? text[opening.end() - 1] : u'\0';
    return last == u'\n' || last == u'\r';
}

/// The part of a styled block's contents that no surviving match can touch. No pattern crosses a line
/// feed except the setext one, which crosses exactly one, while carriage returns and line separators
/// are crossed freely; so the skipped part runs from the second line feed after the opening line's
/// start (a title before the block may reach into the first content line) to the last line feed
/// before the closing line. Whatever starts in there ends inside the block, where the code styling
/// replaces it.
TextRange skippableContents(std::u16string_view text, const FencedCodeBlock &block) {
    const std::size_t firstFeed = findUnit(text, block.opening.lineRange.location, u'\n');
    if (firstFeed >= text.size()) {
        return TextRange{};
    }
    const std::size_t start = findUnit(text, firstFeed + 1, u'\n') + 1;
    std::size_t end = block.contentRange.end();
    while (end > start && text[end - 1] != u'\n') {
        --end;
    }
    return end > start ? rangeBetween(start, end) : TextRange{};
}

std::vector<TextRange> rangesOutsideStyledCode(std::u16string_view text, const DocumentStructure &structure) {
    std::vector<TextRange> ranges;
    std::size_t start = 0;
    for (const FencedCodeBlock &block : structure.fencedBlocks) {
        if (!isStyledAsCode(text, block)) {
            continue;
        }
        const TextRange skipped = skippableContents(text, block);
        if (skipped.length == 0) {
            continue;
        }
        ranges.push_back(rangeBetween(start, skipped.location));
        start = skipped.end();
    }
    ranges.push_back(rangeBetween(start, text.size()));
    return ranges;
}

/// The line-feed lines holding a line at least LineCutPoints::longLineLength long between two line
/// starts (or a line start and the end of its searched range).
std::vector<TextRange> longLines(std::u16string_view text, const std::vector<LineStart> &starts) {
    std::vector<TextRange> lines;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t end =
            k + 1 < starts.size() ? std::min(starts[k + 1].start, starts[k].limit) : starts[k].limit;
        if (end - starts[k].start < LineCutPoints::longLineLength ||
            (!lines.empty() && lines.back().end() > starts[k].start)) {
            continue;
        }
        const std::size_t feedBefore = text.rfind(u'\n', starts[k].start == 0 ? 0 : starts[k].start - 1);
        const std::size_t lineStart =
            starts[k].start == 0 || feedBefore == std::u16string_view::npos ? 0 : feedBefore + 1;
        const std::size_t feedAfter = findUnit(text, starts[k].start, u'\n');
        lines.push_back(rangeBetween(lineStart, std::min(feedAfter + 1, text.size())));
    }
    return lines;
}

/// What one full pass shares between its steps: the attribute sets it puts on again and again, built
/// once per pass (so that a changed preference applies from the next pass on), and the parts of the
/// text its patterns search.
struct PassContext {
    /// Whether the patterns search the whole text and every line (see FullPassSearch).
    bool searchesEverything;
    /// The text the patterns search: all but the inner contents of the fenced blocks that the pass
    /// styles as code. The fenced-code step replaces every attribute there, so what a pattern would
    /// style inside is wiped anyway, and a large block costs the patterns nothing.
    std::vector<TextRange> searchedRanges;
    /// The line starts in the searched ranges, where the patterns anchored at line starts can match.
    std::vector<LineStart> lineStarts;
    std::array<Attributes, 7> heading; // index: level 1 to 6
    Attributes secondary{{AttributeKey::foregroundColor, secondaryLabelColor()}};
    Attributes listMarker{{AttributeKey::foregroundColor, secondaryLabelColor()}, {AttributeKey::font, editorFont()}};
    Attributes taskBox{{AttributeKey::foregroundColor, secondaryLabelColor()}, {AttributeKey::veltoTaskCheckbox, true}};
    Attributes linkLabel{{AttributeKey::foregroundColor, linkColor()}, {AttributeKey::underlineStyle, std::int64_t{1}}};
    Attributes linkDestination{{AttributeKey::foregroundColor, linkColor().withAlpha(0.84)}};
    Attributes strikethrough{{AttributeKey::strikethroughStyle, std::int64_t{1}}};
    Attributes rule{{AttributeKey::foregroundColor, Color::system(SystemColorRole::clear)},
                    {AttributeKey::veltoHorizontalRule, secondaryLabelColor()}};
    /// Where the pass notes the matches it finds in long lines, when it does.
    LongLineMatches *recorded = nullptr;

    PassContext(std::u16string_view text, const DocumentStructure &structure, FullPassSearch search)
        : searchesEverything(search == FullPassSearch::everything)
        , searchedRanges(searchesEverything ? std::vector{TextRange{0, text.size()}}
                                            : rangesOutsideStyledCode(text, structure))
        , lineStarts(velto::editor::lineStarts(text, searchedRanges)) {
        const ParagraphStyle paragraph = headingParagraphStyle();
        for (int level = 1; level <= 6; ++level) {
            heading[level] =
                Attributes{{AttributeKey::font, headingFont(level)}, {AttributeKey::paragraphStyle, paragraph}};
        }
    }
};

void noteMatch(const PassContext &context, TextRange match) {
    if (context.recorded != nullptr) {
        context.recorded->note(match);
    }
}

/// The handler, noting every match first when the pass records its long lines' matches.
std::function<void(const RegexMatch &)> noting(const PassContext &context,
                                               const std::function<void(const RegexMatch &)> &handler) {
    if (context.recorded == nullptr) {
        return handler;
    }
    return [&context, &handler](const RegexMatch &match) {
        context.recorded->note(match.range());
        handler(match);
    };
}

void enumerateSearched(const std::string &pattern, std::u16string_view text, const PassContext &context,
                       const std::function<void(const RegexMatch &)> &handler) {
    RegexRunner::enumerateMatches(pattern, text, context.searchedRanges, noting(context, handler));
}

/// Runs a pattern anchored at line starts over the searched lines that can match it: those whose
/// first character (after blanks, when `afterBlanks`) passes `begins`.
void enumerateLinesStartingWith(const std::string &pattern, std::u16string_view text, const PassContext &context,
                                bool afterBlanks, const std::function<bool(char16_t)> &begins,
                                const std::function<void(const RegexMatch &)> &handler) {
    if (context.searchesEverything) {
        enumerateSearched(pattern, text, context, handler);
        return;
    }
    RegexRunner::enumerateMatches(pattern, text, lineStartRanges(text, context.lineStarts, afterBlanks, begins),
                                  noting(context, handler));
}

bool isListBullet(char16_t unit) {
    return unit == u'-' || unit == u'+' || unit == u'*';
}

void addOver(TextStorage &storage, const Attributes &attributes, TextRange range) {
    if (range.length > 0) {
        storage.addAttributes(attributes, range);
    }
}

void styleMarkers(TextRange match, TextRange content, TextStorage &storage, const PassContext &context) {
    addOver(storage, context.secondary, rangeBetween(match.location, content.location));
    addOver(storage, context.secondary, rangeBetween(content.end(), match.end()));
}

void styleHeadings(TextStorage &storage, const PassContext &context) {
    const auto isHash = [](char16_t unit) { return unit == u'#'; };
    enumerateLinesStartingWith(Patterns::heading, textOf(storage), context, false, isHash,
                               [&](const RegexMatch &match) {
                                   const std::size_t level = match.range(1).length;
                                   storage.addAttributes(context.heading[level], match.range());
                                   addOver(storage, context.secondary, match.range(1));
                               });
}

void styleSetextHeadings(TextStorage &storage, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    const auto style = [&](const RegexMatch &match) {
        storage.addAttributes(context.heading[1], match.range(1));
        addOver(storage, context.secondary, match.range(2));
    };
    if (context.searchesEverything) {
        enumerateSearched(Patterns::setextHeading, text, context, style);
    } else {
        RegexRunner::enumerateMatches(Patterns::setextHeading, text, underlinedLineRanges(text, context.searchedRanges),
                                      noting(context, style));
    }
}

void styleQuotes(TextStorage &storage, const Color &color, const PassContext &context) {
    const auto isQuoteMarker = [](char16_t unit) { return unit == u'>'; };
    enumerateLinesStartingWith(Patterns::blockQuote, textOf(storage), context, false, isQuoteMarker,
                               [&](const RegexMatch &match) {
                                   colorRange(storage, match.range(), color.withAlpha(0.72));
                                   applyTrait(FontTrait::italic, match.range(2), storage);
                               });
}

void styleLists(TextStorage &storage, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    const auto beginsListMarker = [](char16_t unit) { return isListBullet(unit) || (unit >= u'0' && unit <= u'9'); };
    enumerateLinesStartingWith(Patterns::listMarker, text, context, true, beginsListMarker,
                               [&](const RegexMatch &match) {
                                   const TextRange marker = match.range(1);
                                   if (MarkdownSyntaxScanner::isEscaped(marker.end() - 1, text)) {
                                       return;
                                   }
                                   storage.addAttributes(context.listMarker, marker);
                               });
    enumerateLinesStartingWith(Patterns::taskBox, text, context, true, isListBullet, [&](const RegexMatch &match) {
        std::size_t bullet = match.range().location;
        while (text[bullet] == u' ' || text[bullet] == u'\t') {
            ++bullet;
        }
        if (MarkdownSyntaxScanner::isEscaped(bullet, text)) {
            return;
        }
        storage.addAttributes(context.taskBox, match.range(1));
    });
}

std::u16string unescapedDestination(std::u16string_view destination) {
    if (destination.find(u'\\') == std::u16string_view::npos) {
        return std::u16string(destination); // most destinations escape nothing: no matcher for them
    }
    return RegexRunner::replacingMatches(Patterns::destinationEscape, destination, u"$1");
}

bool isBareAddressTrailingPunctuation(char16_t unit) {
    return unit == u'.' || unit == u',' || unit == u';' || unit == u':' || unit == u'!' || unit == u'?';
}

void styleLinks(TextStorage &storage, const DocumentStructure &structure, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    // The literal code ranges, merged where they overlap: inline spans never lie inside fenced
    // blocks, but a span may run across a whole block, and the overlap test needs disjoint ranges.
    const std::vector<TextRange> codeRanges = mergedInTextOrder(structure.literalCodeRanges());
    std::vector<TextRange> linkRanges;
    enumerateMarkdownLinks(text, [&](const RegexMatch &match) {
        noteMatch(context, match.range());
        if (MarkdownSyntaxScanner::isEscaped(match.range(1).location, text) || overlapsAny(match.range(), codeRanges)) {
            return;
        }
        linkRanges.push_back(match.range());
        const TextRange label = match.range(2);
        const TextRange destination = match.range(4);
        const std::u16string target = unescapedDestination(text.substr(destination.location, destination.length));
        const std::optional<std::string> url = LinkPasteBehavior::linkableURL(target);
        storage.addAttributes(url ? context.linkLabel.with(AttributeKey::link, *url) : context.linkLabel, label);
        for (std::size_t group : {1, 3, 5}) {
            addOver(storage, context.secondary, match.range(group));
        }
        addOver(storage, context.linkDestination, destination);
    });
    // The addresses' matcher jumps from colon to colon, so it searches the searched ranges whole.
    enumerateBareAddresses(text, context.searchedRanges, [&](const RegexMatch &match) {
        noteMatch(context, match.range());
        TextRange address = match.range();
        while (address.length > 0 && isBareAddressTrailingPunctuation(text[address.end() - 1])) {
            --address.length;
        }
        if (overlapsAny(address, codeRanges) || overlapsAny(address, linkRanges)) {
            return; // most often a link's destination, whose address needs no parsing then
        }
        const std::optional<std::string> url =
            LinkPasteBehavior::parsedURL(text.substr(address.location, address.length));
        if (!url) {
            return;
        }
        storage.addAttributes(context.linkLabel.with(AttributeKey::link, *url), address);
    });
}

/// Strong text, emphasis and strike-through share one shape: delimiters, content, delimiters; an
/// escaped opening or first closing delimiter cancels the match. Their matcher jumps from delimiter
/// to delimiter, so it searches the searched ranges whole.
void styleDelimited(TextStorage &storage, const PassContext &context, const DelimitedSpanPattern &span,
                    const std::function<void(TextRange content)> &styleContent) {
    const std::u16string_view text = textOf(storage);
    enumerateDelimitedSpans(span, text, context.searchedRanges, [&](const RegexMatch &match) {
        noteMatch(context, match.range());
        const TextRange content = match.range(1);
        if (MarkdownSyntaxScanner::isEscaped(match.range().location, text) ||
            MarkdownSyntaxScanner::isEscaped(content.end(), text)) {
            return;
        }
        styleContent(content);
        styleMarkers(match.range(), content, storage, context);
    });
}

void styleStrongText(TextStorage &storage, const PassContext &context) {
    const auto bold = [&](TextRange content) { applyTrait(FontTrait::bold, content, storage); };
    styleDelimited(storage, context, strongStarsPattern, bold);
    styleDelimited(storage, context, strongUnderscoresPattern, bold);
}

void styleEmphasis(TextStorage &storage, const PassContext &context) {
    const auto italic = [&](TextRange content) { applyTrait(FontTrait::italic, content, storage); };
    styleDelimited(storage, context, emphasisStarPattern, italic);
    styleDelimited(storage, context, emphasisUnderscorePattern, italic);
}

void styleStrikethrough(TextStorage &storage, const PassContext &context) {
    styleDelimited(storage, context, strikethroughPattern,
                   [&](TextRange content) { storage.addAttributes(context.strikethrough, content); });
}

void styleHorizontalRules(TextStorage &storage, const DocumentStructure &structure, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    std::vector<TextRange> fencedRanges;
    for (const FencedCodeBlock &block : structure.fencedBlocks) {
        fencedRanges.push_back(block.fullRange);
    }
    const auto beginsRule = [](char16_t unit) { return unit == u'-' || unit == u'*' || unit == u'_'; };
    enumerateLinesStartingWith(Patterns::horizontalRule, text, context, true, beginsRule, [&](const RegexMatch &match) {
        const TextRange marker = match.range(1);
        if (MarkdownSyntaxScanner::isEscaped(marker.location, text) || overlapsAny(marker, fencedRanges)) {
            return;
        }
        storage.addAttributes(context.rule, marker);
    });
}

void styleInlineCode(TextStorage &storage, const Color &color, const DocumentStructure &structure,
                     const PassContext &context) {
    const Attributes code{{AttributeKey::font, inlineCodeFont()},
                          {AttributeKey::foregroundColor, color},
                          {AttributeKey::veltoInlineCode, codeBackgroundColor()},
                          {AttributeKey::ligature, std::int64_t{0}}};
    for (const InlineCodeSpan &span : structure.inlineCodeSpans) {
        noteMatch(context, span.fullRange);
        storage.updateAttributes(span.fullRange, [&code](const Attributes &old) {
            return old.without(AttributeKey::link)
                .without(AttributeKey::underlineStyle)
                .without(AttributeKey::strikethroughStyle)
                .merging(code);
        });
        styleMarkers(span.fullRange, span.contentRange, storage, context);
    }
}

void styleFencedCode(TextStorage &storage, const Color &color, const DocumentStructure &structure) {
    const std::u16string_view text = textOf(storage);
    const Attributes block = codeAttributes(color).with(AttributeKey::veltoCodeBlock, codeBackgroundColor());
    const Attributes openingLine{{AttributeKey::foregroundColor, secondaryLabelColor()},
                                 {AttributeKey::paragraphStyle, fenceOpeningParagraphStyle()}};
    const Attributes closingLine{{AttributeKey::foregroundColor, secondaryLabelColor()},
                                 {AttributeKey::paragraphStyle, fenceClosingParagraphStyle()}};
    for (const FencedCodeBlock &fenced : structure.fencedBlocks) {
        const TextRange opening = fenced.opening.lineRange;
        if (!isStyledAsCode(text, fenced)) {
            continue; // the fence is the last line and has no line break yet
        }
        storage.setAttributes(block, fenced.presentationRange);
        storage.addAttributes(openingLine, opening);
        if (fenced.closingRange) {
            storage.addAttributes(closingLine, *fenced.closingRange);
        }
    }
}

/// Copies every run of the styled scratch copy into the storage from `offset` on.
void copyAllRuns(const TextStorage &scratch, TextStorage &storage, std::size_t offset) {
    copyRuns(scratch, TextRange{0, scratch.length()}, storage, offset);
}

/// What a pass over a storage left it at: the storage equals a full pass over its text from then
/// until its characters or attributes next change.
struct PassState {
    std::uint64_t characterVersion;
    std::uint64_t editingGroups;
    /// The pass's plain attributes, which tell its colour and fonts.
    Attributes base;
};

/// The code-token indexes of the storages the incremental pass met last, each with the character
/// version it describes, and what the last pass left each storage at. A few are kept: one per open
/// page is what the editor needs. Styling runs on the main thread; the lock only keeps two threads
/// styling different storages apart.
struct IndexedStorage {
    std::uint64_t identity;
    std::uint64_t characterVersion;
    std::shared_ptr<MarkdownCodeTokenIndex> index;
    std::optional<PassState> lastPass;
    /// The cut points of the storage's long lines, for the text at cutPointsVersion.
    LineCutPoints cutPoints;
    std::uint64_t cutPointsVersion = 0;
};

struct RememberedStorages {
    static constexpr std::size_t remembered = 4;
    std::mutex mutex;
    std::list<IndexedStorage> entries; // most recently used first

    std::list<IndexedStorage>::iterator find(const TextStorage &storage) {
        return std::find_if(entries.begin(), entries.end(),
                            [&storage](const IndexedStorage &entry) { return entry.identity == storage.identity(); });
    }
};

RememberedStorages &rememberedStorages() {
    static RememberedStorages storages;
    return storages;
}

std::shared_ptr<MarkdownCodeTokenIndex> codeTokenIndexFor(const TextStorage &storage) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    // An index built afresh knows nothing of what changed before, so the next incremental pass must
    // take the whole text as changed.
    const auto freshIndex = [&storage] {
        auto index = std::make_shared<MarkdownCodeTokenIndex>(storage.string());
        index->noteStructureChange(TextRange{0, storage.length()});
        return index;
    };
    auto found = storages.find(storage);
    if (found == storages.entries.end()) {
        storages.entries.push_front(
            IndexedStorage{storage.identity(), storage.characterVersion(), freshIndex(), std::nullopt, {}, 0});
        if (storages.entries.size() > RememberedStorages::remembered) {
            storages.entries.pop_back();
        }
        return storages.entries.front().index;
    }
    if (found->characterVersion != storage.characterVersion()) {
        if (const auto edits = storage.characterEditsSince(found->characterVersion)) {
            found->index->update(storage, *edits);
        } else {
            found->index = freshIndex();
        }
        found->characterVersion = storage.characterVersion();
    }
    storages.entries.splice(storages.entries.begin(), storages.entries, found);
    return storages.entries.front().index;
}

/// Notes that the storage now equals a full pass with these plain attributes.
void rememberPass(const TextStorage &storage, const Attributes &base) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found != storages.entries.end()) {
        found->lastPass = PassState{storage.characterVersion(), storage.finishedEditingGroups(), base};
    }
}

/// The character edits made since the last pass over the storage, when that pass used these plain
/// attributes and nothing but one editing group of them changed the storage since: none otherwise.
std::optional<std::vector<CharacterEdit>> editsOfOneGroupSinceLastPass(const TextStorage &storage,
                                                                       const Attributes &base) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found == storages.entries.end() || !found->lastPass || storage.isEditing()) {
        return std::nullopt;
    }
    const PassState &pass = *found->lastPass;
    if (pass.editingGroups + 1 != storage.finishedEditingGroups() || pass.base != base) {
        return std::nullopt;
    }
    std::optional<std::vector<CharacterEdit>> edits = storage.characterEditsSince(pass.characterVersion);
    if (!edits || edits->empty()) {
        return std::nullopt;
    }
    return edits;
}

/// The cut points of the storage's long lines, brought up to its text: none when its edits since
/// they were placed are no longer known.
LineCutPoints currentCutPoints(const TextStorage &storage) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found == storages.entries.end()) {
        return {};
    }
    LineCutPoints cutPoints = found->cutPoints;
    if (const auto edits = storage.characterEditsSince(found->cutPointsVersion)) {
        cutPoints.moveThrough(*edits);
    } else {
        cutPoints.clear();
    }
    return cutPoints;
}

void rememberCutPoints(const TextStorage &storage, LineCutPoints cutPoints) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found != storages.entries.end()) {
        found->cutPoints = std::move(cutPoints);
        found->cutPointsVersion = storage.characterVersion();
    }
}

// ---- regions of the incremental pass ----
//
// No pattern of the full pass reads across a line feed except the setext heading (a title and its
// underline) and the code structure (fenced blocks and inline spans, which the index knows): every
// other match lies within one line-feed line, even where carriage returns or separators split it
// into paragraphs. So a region made of whole line-feed lines, covering every line-feed line whose
// styling may change and cutting no setext heading or code construct, styled alone gives exactly what
// the full pass gives there.

/// The lines of the edit with one line before and one after: an edit can make or unmake a setext
/// heading with either neighbour.
TextRange linesAroundEdit(const TextStorage &storage, TextRange edited) {
    TextRange region = lineFeedLines(storage, edited);
    if (region.location > 0) {
        region = unionRange(region, lineFeedLines(storage, TextRange{region.location - 1, 0}));
    }
    if (region.end() < storage.length()) {
        region = unionRange(region, lineFeedLines(storage, TextRange{region.end(), 0}));
    }
    return region;
}

/// The region widened until no construct that the full pass sees across lines is cut by its edges:
/// a fenced block, an inline code span over several lines, a setext title and its "=" underline.
/// Styling a cut construct from the region's text alone would style it wrongly (a title two lines
/// below the edit would lose its heading font), so the whole construct is restyled.
TextRange regionWithoutCutConstructs(const TextStorage &storage, TextRange region,
                                     const MarkdownCodeTokenIndex &index) {
    const auto cuts = [&region](TextRange construct) {
        return overlaps(construct, region) && unionRange(construct, region) != region;
    };
    bool widened = true;
    while (widened) {
        widened = false;
        for (const FencedCodeBlock &block : index.fencedBlocksOverlapping(region)) {
            if (cuts(block.fullRange)) {
                region = unionRange(region, lineFeedLines(storage, block.fullRange));
                widened = true;
            }
        }
        for (const InlineCodeSpan &span : index.inlineCodeSpansOverlapping(region)) {
            if (cuts(span.fullRange)) {
                region = unionRange(region, lineFeedLines(storage, span.fullRange));
                widened = true;
            }
        }
        if (region.end() < storage.length() && storage.characterAt(region.end()) == u'=') {
            region = unionRange(region, lineFeedLines(storage, TextRange{region.end(), 0}));
            widened = true;
        }
        if (region.location > 0 && storage.characterAt(region.location) == u'=') {
            region = unionRange(region, lineFeedLines(storage, TextRange{region.location - 1, 0}));
            widened = true;
        }
    }
    return region;
}

} // namespace

// ---- colours ----

Color textColor() {
    return Color::dynamic("VeltoEditorText", {0.12, 0.12, 0.12}, {0.92, 0.92, 0.92});
}

Color codeBackgroundColor() {
    return Color::dynamic("VeltoCodeBackground", {0.945, 0.95, 0.96}, {0.065, 0.075, 0.098});
}

// ---- fonts and paragraph styles ----

FontDescriptor editorFont() {
    return FontDescriptor{chosenFamily(), fontSize(), FontWeight::regular};
}

FontDescriptor headingFont(int level) {
    return FontDescriptor{chosenFamily(), fontSize() + headingIncrement(level), FontWeight::semibold};
}

FontDescriptor codeFont() {
    return FontDescriptor{FontFamilyRole::userFixedPitch, fontSize(), FontWeight::regular};
}

FontDescriptor inlineCodeFont() {
    return FontDescriptor{FontFamilyRole::monospacedSystem, std::max(fontSize() - 1, 12.0), FontWeight::medium};
}

ParagraphStyle baseParagraphStyle() {
    const double s = fontSize();
    ParagraphStyle style;
    style.lineSpacing = std::max(0.28 * s, 4.0);
    style.paragraphSpacing = std::max(0.15 * s, 2.0);
    style.lineBreakMode = LineBreakMode::byWordWrapping;
    return style;
}

ParagraphStyle headingParagraphStyle() {
    const double s = fontSize();
    ParagraphStyle style = baseParagraphStyle();
    style.paragraphSpacingBefore = std::max(0.40 * s, 4.0);
    style.paragraphSpacing = std::max(0.25 * s, 3.0);
    return style;
}

ParagraphStyle codeParagraphStyle() {
    const double s = fontSize();
    const FontMetrics metrics = currentFontMetricsProvider().metrics(codeFont());
    ParagraphStyle style;
    style.headIndent = 12;
    style.firstLineHeadIndent = 12;
    style.tailIndent = -12;
    style.lineSpacing = std::max(0.12 * s, 2.0);
    style.minimumLineHeight = std::ceil(metrics.ascender - metrics.descender + metrics.leading);
    style.paragraphSpacing = 0;
    style.lineBreakMode = LineBreakMode::byCharWrapping;
    style.allowsDefaultTighteningForTruncation = false;
    return style;
}

ParagraphStyle fenceOpeningParagraphStyle() {
    ParagraphStyle style = codeParagraphStyle();
    style.paragraphSpacingBefore = std::max(0.55 * fontSize(), 8.0);
    return style;
}

ParagraphStyle fenceClosingParagraphStyle() {
    ParagraphStyle style = codeParagraphStyle();
    style.paragraphSpacing = std::max(0.75 * fontSize(), 12.0);
    return style;
}

Attributes baseAttributes(const Color &color) {
    return Attributes{{AttributeKey::font, editorFont()},
                      {AttributeKey::foregroundColor, color},
                      {AttributeKey::paragraphStyle, baseParagraphStyle()},
                      {AttributeKey::ligature, std::int64_t{1}}};
}

Attributes codeAttributes(const Color &color) {
    return Attributes{{AttributeKey::font, codeFont()},
                      {AttributeKey::foregroundColor, color},
                      {AttributeKey::paragraphStyle, codeParagraphStyle()},
                      {AttributeKey::ligature, std::int64_t{0}},
                      {AttributeKey::kern, std::min(std::max(0.01 * fontSize(), 0.12), 0.24)}};
}

// ---- passes ----

void enumerate(const std::string &pattern, std::u16string_view text,
               const std::function<void(const RegexMatch &)> &handler) {
    RegexRunner::enumerateMatches(pattern, text, handler);
}

void LongLineMatches::note(TextRange match) {
    if (overlapsAny(match, lines)) {
        matches.push_back(match);
    }
}

void applyFullPass(TextStorage &storage, const std::optional<Color> &color,
                   const std::function<DocumentStructure()> &structureOfText, FullPassSearch search,
                   LongLineMatches *recorded) {
    const Color resolved = color.value_or(textColor());
    const TextRange whole{0, storage.length()};
    std::vector<PreservedCodeToken> preserved;
    if (whole.length > 0) {
        preserved = preservedCodeTokens(storage, whole);
    }
    storage.beginEditing();
    storage.setAttributes(baseAttributes(resolved), whole);
    if (whole.length > 0) {
        const DocumentStructure structure = structureOfText();
        PassContext context(storage.string(), structure, search);
        if (recorded != nullptr) {
            if (recorded->lines.empty()) {
                recorded->lines = longLines(storage.string(), context.lineStarts);
            }
            context.recorded = recorded->lines.empty() ? nullptr : recorded;
        }
        styleHeadings(storage, context);
        styleSetextHeadings(storage, context);
        styleQuotes(storage, resolved, context);
        styleLists(storage, context);
        styleLinks(storage, structure, context);
        styleStrongText(storage, context);
        styleEmphasis(storage, context);
        styleStrikethrough(storage, context);
        styleHorizontalRules(storage, structure, context);
        styleInlineCode(storage, resolved, structure, context);
        styleFencedCode(storage, resolved, structure);
        for (const FencedCodeBlock &block : structure.fencedBlocks) {
            noteMatch(context, block.fullRange); // no line a block touches is cut
        }
        restoreCodeTokens(preserved, structure, storage);
    }
    storage.endEditing();
}

void copyRuns(const TextStorage &scratch, TextRange range, TextStorage &storage, std::size_t offset) {
    for (const AttributeRun &run : scratch.attributeRuns(range)) {
        const TextRange target{offset + run.range.location - range.location, run.range.length};
        TextRange held;
        if (storage.attributes(target.location, &held) == run.attributes && held.location <= target.location &&
            held.end() >= target.end()) {
            continue;
        }
        storage.setAttributes(run.attributes, target);
    }
}

namespace {

/// The full pass over a scratch copy, which gets no code index of its own.
void applyToScratch(TextStorage &scratch, const std::optional<Color> &color, LongLineMatches *recorded = nullptr) {
    applyFullPass(
        scratch, color, [&scratch] { return MarkdownSyntaxScanner::structure(scratch.string()); },
        FullPassSearch::outsideStyledCode, recorded);
}

} // namespace

void apply(TextStorage &storage, const std::optional<Color> &color, FullPassSearch search) {
    // The storage's code index is built here when it has none, so that the first keystroke after a
    // page is loaded and styled finds it ready; what it took as changed is all restyled now.
    const auto indexedStructure = [&storage] {
        const std::shared_ptr<MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
        index->takeStructureChange();
        return index->structure();
    };
    LongLineMatches recorded;
    applyFullPass(storage, color, indexedStructure, search, &recorded);
    LineCutPoints cutPoints;
    cutPoints.replace(TextRange{0, storage.length()},
                      LineCutPoints::of(storage.string(), recorded.lines, std::move(recorded.matches)));
    rememberCutPoints(storage, std::move(cutPoints));
    rememberPass(storage, baseAttributes(color.value_or(textColor())));
}

namespace {

/// The lines of an edit that lie wholly inside a fenced block's contents, or none. The full pass
/// gives every unit there the block's code attributes and nothing else (its highlighted tokens
/// aside), whatever the text, so while the blocks stay as they were such lines need no pattern.
std::optional<TextRange> linesInsideCodeContents(const TextStorage &storage, const MarkdownCodeTokenIndex &index,
                                                 TextRange edited) {
    const TextRange lines = lineFeedLines(storage, edited);
    // An edit at the very end after a line feed leaves no line of its own: the block holding the
    // unit before it (an unclosed one, running to the end) is the one it changed.
    const bool emptyAtEnd = lines.length == 0 && lines.location > 0;
    const std::optional<FencedCodeBlock> block =
        index.fencedBlockContaining(emptyAtEnd ? lines.location - 1 : lines.location);
    if (!block || lines.location < block->contentRange.location || lines.end() > block->contentRange.end()) {
        return std::nullopt;
    }
    // Only a block whose opening line ends with a line feed or carriage return is styled as code (a
    // line separator ends the fence line but does not make the block code).
    const TextRange opening = block->opening.lineRange;
    const char16_t last = opening.length > 0 ? storage.characterAt(opening.end() - 1) : u'\0';
    if (last != u'\n' && last != u'\r') {
        return std::nullopt;
    }
    // The first content line can underline the opening line as a setext title, and that title runs
    // from the start of its line-feed line: text before the fence on that line (after a carriage
    // return or a separator) lies outside the block and may change.
    const bool openingStartsItsLine = opening.location == 0 || storage.characterAt(opening.location - 1) == u'\n';
    if (lines.location == block->contentRange.location && !openingStartsItsLine) {
        return std::nullopt;
    }
    return lines;
}

TextRange applyIncrementalPass(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color);

void restyleCodeLines(TextStorage &storage, const MarkdownCodeTokenIndex &index, TextRange lines,
                      const std::optional<Color> &color) {
    if (lines.length == 0) {
        return;
    }
    const std::vector<PreservedCodeToken> preserved = preservedCodeTokens(storage, lines);
    const DocumentStructure structure{index.fencedBlocksOverlapping(lines), {}};
    storage.beginEditing();
    storage.setAttributes(
        codeAttributes(color.value_or(textColor())).with(AttributeKey::veltoCodeBlock, codeBackgroundColor()), lines);
    restoreCodeTokens(preserved, structure, storage);
    storage.endEditing();
}

} // namespace

TextRange apply(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color) {
    const TextRange region = applyIncrementalPass(storage, editedRange, color);
    rememberPass(storage, baseAttributes(color.value_or(textColor())));
    return region;
}

namespace {

TextRange applyIncrementalPass(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color) {
    const std::size_t length = storage.length();
    if (length == 0) {
        return TextRange{0, 0};
    }
    const std::shared_ptr<MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    // Where fenced blocks or code spans appeared or went away since the last pass: a backtick typed
    // here can pair every later run differently, and all of that must be restyled.
    const std::optional<TextRange> structureChange = index->takeStructureChange();
    const TextRange edited = rangeBetween(std::min(editedRange.location, length), std::min(editedRange.end(), length));
    LineCutPoints cutPoints = currentCutPoints(storage);
    if (!structureChange) {
        const auto edits = editsOfOneGroupSinceLastPass(storage, baseAttributes(color.value_or(textColor())));
        if (edits) {
            if (const auto window = restyleWithinLongLine(storage, *index, *edits, cutPoints, color)) {
                rememberCutPoints(storage, std::move(cutPoints));
                return *window;
            }
        }
        if (const std::optional<TextRange> lines = linesInsideCodeContents(storage, *index, edited)) {
            restyleCodeLines(storage, *index, *lines, color);
            rememberCutPoints(storage, std::move(cutPoints));
            return *lines;
        }
    }
    TextRange region = linesAroundEdit(storage, edited);
    if (structureChange) {
        const TextRange changed =
            rangeBetween(std::min(structureChange->location, length), std::min(structureChange->end(), length));
        region = unionRange(region, lineFeedLines(storage, changed));
    }
    region = regionWithoutCutConstructs(storage, region, *index);
    if (region.location == 0 && region.length == length) {
        apply(storage, color);
        return region;
    }
    TextStorage scratch(storage.substring(region));
    LongLineMatches recorded;
    applyToScratch(scratch, color, &recorded);
    const std::vector<PreservedCodeToken> preserved = preservedCodeTokens(storage, region);
    const DocumentStructure structure{index->fencedBlocksOverlapping(region), {}};
    storage.beginEditing();
    copyAllRuns(scratch, storage, region.location);
    restoreCodeTokens(preserved, structure, storage);
    storage.endEditing();
    std::vector<std::size_t> points;
    for (const std::size_t point : LineCutPoints::of(scratch.string(), recorded.lines, std::move(recorded.matches))) {
        points.push_back(region.location + point);
    }
    cutPoints.replace(region, points);
    rememberCutPoints(storage, std::move(cutPoints));
    return region;
}

} // namespace

namespace {

/// The units that end a paragraph (a carriage return and line feed count as one).
constexpr std::u16string_view paragraphSeparators = u"\n\r\u2029";

/// Where the paragraph holding the location starts. The storage is searched chunk by chunk, so a
/// keystroke in a long line costs no lookup per unit.
std::size_t paragraphStartAround(const TextStorage &storage, std::size_t location) {
    std::size_t start = location;
    if (start > 0 && start < storage.length() && storage.characterAt(start) == u'\n' &&
        storage.characterAt(start - 1) == u'\r') {
        --start; // the line feed of a pair ends the paragraph before it
    }
    const std::size_t separator = storage.findLastOf(paragraphSeparators, start);
    return separator == TextRange::notFound ? 0 : separator + 1;
}

/// The paragraph starting at `start`, its terminator included.
TextRange paragraphFrom(const TextStorage &storage, std::size_t start) {
    const std::size_t length = storage.length();
    std::size_t end = storage.findFirstOf(paragraphSeparators, start);
    if (end < length) {
        const bool pair =
            storage.characterAt(end) == u'\r' && end + 1 < length && storage.characterAt(end + 1) == u'\n';
        end += pair ? 2 : 1;
    }
    return rangeBetween(start, end);
}

} // namespace

bool applyImmediateHeadingChange(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color) {
    const std::size_t length = storage.length();
    if (length == 0) {
        return false;
    }
    const std::size_t start = paragraphStartAround(storage, std::min(editedRange.location, length));
    const std::size_t probe = std::min(start, length - 1);
    if (storage.attribute(AttributeKey::veltoCodeBlock, probe) != nullptr) {
        return false;
    }
    std::size_t hashes = 0;
    while (hashes < 6 && start + hashes < length && storage.characterAt(start + hashes) == u'#') {
        ++hashes;
    }
    const std::size_t after = start + hashes;
    const bool looksLikeHeading =
        hashes >= 1 && after < length && (storage.characterAt(after) == u' ' || storage.characterAt(after) == u'\t');
    const auto *font = attributeValueAs<FontDescriptor>(storage.attribute(AttributeKey::font, probe));
    const double currentSize = font ? font->pointSize : editorFont().pointSize;
    if (!looksLikeHeading && currentSize <= editorFont().pointSize) {
        return false;
    }
    // Only a paragraph that is or becomes a heading is read to its end.
    const TextRange paragraph = paragraphFrom(storage, start);
    // A setext title needs its underline to be styled as a heading; styled alone it would turn
    // into body text with nothing left to correct it, so the delayed pass (which sees both) takes it.
    if (paragraph.end() < length && storage.characterAt(paragraph.end()) == u'=') {
        return false;
    }
    TextStorage scratch(storage.substring(paragraph));
    applyToScratch(scratch, color);
    storage.beginEditing();
    copyAllRuns(scratch, storage, paragraph.location);
    storage.endEditing();
    return true;
}

// ---- code positions ----

std::optional<FencedCodeBlock> fencedBlockContaining(const TextStorage &storage, std::size_t location) {
    return codeTokenIndexFor(storage)->fencedBlockContaining(location);
}

std::vector<FencedCodeBlock> fencedBlocks(const TextStorage &storage) {
    return codeTokenIndexFor(storage)->fencedBlocksOverlapping(TextRange{0, storage.length()});
}

std::vector<FencedCodeBlock> fencedBlocksOverlapping(const TextStorage &storage, TextRange range) {
    return codeTokenIndexFor(storage)->fencedBlocksOverlapping(range);
}

std::optional<TextRange> takeFencedBlockChange(const TextStorage &storage) {
    return codeTokenIndexFor(storage)->takeFencedBlockChange();
}

bool isInsideFencedCode(const TextStorage &storage, std::size_t location) {
    location = std::min(location, storage.length());
    const std::optional<FencedCodeBlock> block = codeTokenIndexFor(storage)->fencedBlockContaining(location);
    return block && block->contentRange.contains(location);
}

std::optional<InlineCodeSpan> inlineCodeSpanContaining(const TextStorage &storage, std::size_t location) {
    return codeTokenIndexFor(storage)->inlineCodeSpanContaining(location);
}

bool isInsideLiteralCode(const TextStorage &storage, std::size_t location) {
    const std::shared_ptr<const MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    return index->fencedBlockContaining(location) || index->inlineCodeSpanContaining(location);
}

// ---- fence languages ----

std::u16string unescapingASCIIPunctuation(std::u16string_view text) {
    const auto isASCIIPunctuation = [](char16_t unit) {
        return (unit >= 33 && unit <= 47) || (unit >= 58 && unit <= 64) || (unit >= 91 && unit <= 96) ||
               (unit >= 123 && unit <= 126);
    };
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t position = 0; position < text.size(); ++position) {
        if (text[position] == u'\\' && position + 1 < text.size() && isASCIIPunctuation(text[position + 1])) {
            result += text[position + 1];
            ++position;
        } else {
            result += text[position];
        }
    }
    return result;
}

bool isStyledAsCode(const FencedCodeBlock &block, const TextStorage &storage) {
    const TextRange opening = block.opening.lineRange;
    if (opening.length == 0 || opening.end() > storage.length()) {
        return false;
    }
    const char16_t last = storage.characterAt(opening.end() - 1);
    return last == u'\n' || last == u'\r';
}

std::string fencedLanguage(std::u16string_view infoString) {
    std::size_t start = 0;
    while (start < infoString.size() && (infoString[start] == u' ' || infoString[start] == u'\t')) {
        ++start;
    }
    std::size_t end = start;
    while (end < infoString.size() && infoString[end] != u' ' && infoString[end] != u'\t') {
        ++end;
    }
    const std::u16string word = unescapingASCIIPunctuation(infoString.substr(start, end - start));
    icu::UnicodeString lowered(word.data(), static_cast<int32_t>(word.size()));
    lowered.toLower(icu::Locale::getRoot());
    std::string utf8;
    lowered.toUTF8String(utf8);
    return utf8;
}

} // namespace velto::editor::MarkdownStyler
