#include "editor/markdown/MarkdownStyler.h"

#include "editor/highlight/CodeTokenPreservation.h"
#include "editor/markdown/LineCutPoints.h"
#include "editor/markdown/LineStartRanges.h"
#include "editor/markdown/ListLineMatchers.h"
#include "editor/markdown/MarkdownBareAddresses.h"
#include "editor/markdown/MarkdownCodeTokenIndex.h"
#include "editor/markdown/MarkdownDelimitedSpans.h"
#include "editor/markdown/MarkdownLinkMatcher.h"
#include "editor/markdown/MarkdownStylerMemory.h"
#include "editor/markdown/MarkdownStylerPasses.h"
#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/rules/LinkPasteBehavior.h"
#include "editor/text/StringRanges.h"

#include <algorithm>
#include <array>
#include <memory>

namespace velto::editor::MarkdownStyler {

namespace {

namespace Patterns {
const std::string heading = R"((?m)^(#{1,6})[ \t]+(.+)$)";
// As given, "(?m)^([^\n]+)\n(=+)[ \t]*$", with the title run made possessive: the run can only end
// at the line feed that must follow it, so giving characters back never leads to a match, and not
// trying saves the engine a walk back over every line.
const std::string setextHeading = R"((?m)^([^\n]++)\n(=+)[ \t]*$)";
const std::string blockQuote = R"((?m)^(>)[ \t]?(.*)$)";
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

void applyTrait(FontTrait trait, TextRange range, TextStorage &storage, const StyleSettings &style) {
    if (range.location == TextRange::notFound || range.length < 1) {
        return;
    }
    const auto *current = attributeValueAs<FontDescriptor>(storage.attribute(AttributeKey::font, range.location));
    FontDescriptor font = current ? *current : editorFont(style);
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
    const StyleSettings &style;
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
    Attributes listMarker{{AttributeKey::foregroundColor, secondaryLabelColor()},
                          {AttributeKey::font, editorFont(style)}};
    Attributes taskBox{{AttributeKey::foregroundColor, secondaryLabelColor()}, {AttributeKey::veltoTaskCheckbox, true}};
    Attributes linkLabel{{AttributeKey::foregroundColor, linkColor()}, {AttributeKey::underlineStyle, std::int64_t{1}}};
    Attributes linkDestination{{AttributeKey::foregroundColor, linkColor().withAlpha(0.84)}};
    Attributes strikethrough{{AttributeKey::strikethroughStyle, std::int64_t{1}}};
    Attributes rule{{AttributeKey::foregroundColor, Color::system(SystemColorRole::clear)},
                    {AttributeKey::veltoHorizontalRule, secondaryLabelColor()}};
    /// Where the pass notes the matches it finds in long lines, when it does.
    LongLineMatches *recorded = nullptr;

    PassContext(std::u16string_view text, const DocumentStructure &structure, const StyleSettings &style,
                FullPassSearch search)
        : style(style)
        , searchesEverything(search == FullPassSearch::everything)
        , searchedRanges(searchesEverything ? std::vector{TextRange{0, text.size()}}
                                            : rangesOutsideStyledCode(text, structure))
        , lineStarts(velto::editor::lineStarts(text, searchedRanges)) {
        const ParagraphStyle paragraph = headingParagraphStyle(style);
        for (int level = 1; level <= 6; ++level) {
            heading[level] =
                Attributes{{AttributeKey::font, headingFont(level, style)}, {AttributeKey::paragraphStyle, paragraph}};
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

/// As above for a pattern matched by a matcher of our own (see ListLineMatchers.h) instead of the engine.
void enumerateLinesStartingWith(const RegexRunner::LineStartMatcher &matcher, std::u16string_view text,
                                const PassContext &context, bool afterBlanks,
                                const std::function<bool(char16_t)> &begins,
                                const std::function<void(const RegexMatch &)> &handler) {
    RegexRunner::enumerateAtLineStarts(text,
                                       context.searchesEverything
                                           ? context.searchedRanges
                                           : lineStartRanges(text, context.lineStarts, afterBlanks, begins),
                                       matcher, noting(context, handler));
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
                                   applyTrait(FontTrait::italic, match.range(2), storage, context.style);
                               });
}

void styleLists(TextStorage &storage, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    const auto beginsListMarker = [](char16_t unit) { return isListBullet(unit) || (unit >= u'0' && unit <= u'9'); };
    enumerateLinesStartingWith(matchListMarker, text, context, true, beginsListMarker, [&](const RegexMatch &match) {
        const TextRange marker = match.range(1);
        if (MarkdownSyntaxScanner::isEscaped(marker.end() - 1, text)) {
            return;
        }
        storage.addAttributes(context.listMarker, marker);
    });
    enumerateLinesStartingWith(matchTaskBox, text, context, true, isListBullet, [&](const RegexMatch &match) {
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
        if (url) {
            storage.addAttributes(context.linkLabel, AttributeKey::link, *url, label);
        } else {
            storage.addAttributes(context.linkLabel, label);
        }
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
        storage.addAttributes(context.linkLabel, AttributeKey::link, *url, address);
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
    const auto bold = [&](TextRange content) { applyTrait(FontTrait::bold, content, storage, context.style); };
    styleDelimited(storage, context, strongStarsPattern, bold);
    styleDelimited(storage, context, strongUnderscoresPattern, bold);
}

void styleEmphasis(TextStorage &storage, const PassContext &context) {
    const auto italic = [&](TextRange content) { applyTrait(FontTrait::italic, content, storage, context.style); };
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
    const Attributes code{{AttributeKey::font, inlineCodeFont(context.style)},
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

void styleFencedCode(TextStorage &storage, const Color &color, const DocumentStructure &structure,
                     const StyleSettings &style) {
    const std::u16string_view text = textOf(storage);
    const Attributes block = codeAttributes(color, style).with(AttributeKey::veltoCodeBlock, codeBackgroundColor());
    const Attributes openingLine{{AttributeKey::foregroundColor, secondaryLabelColor()},
                                 {AttributeKey::paragraphStyle, fenceOpeningParagraphStyle(style)}};
    const Attributes closingLine{{AttributeKey::foregroundColor, secondaryLabelColor()},
                                 {AttributeKey::paragraphStyle, fenceClosingParagraphStyle(style)}};
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
} // namespace

void copyAllRuns(const TextStorage &scratch, TextStorage &storage, std::size_t offset) {
    copyRuns(scratch, TextRange{0, scratch.length()}, storage, offset);
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

void applyFullPass(TextStorage &storage, const std::optional<Color> &color, const StyleSettings &style,
                   const std::function<DocumentStructure()> &structureOfText, FullPassSearch search,
                   LongLineMatches *recorded) {
    const Color resolved = color.value_or(textColor());
    const TextRange whole{0, storage.length()};
    std::vector<PreservedCodeToken> preserved;
    if (whole.length > 0) {
        preserved = preservedCodeTokens(storage, whole);
    }
    storage.beginEditing();
    storage.setAttributes(baseAttributes(resolved, style), whole);
    if (whole.length > 0) {
        const DocumentStructure structure = structureOfText();
        PassContext context(storage.string(), structure, style, search);
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
        styleFencedCode(storage, resolved, structure, style);
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
        // Only the runs over the target are read: the run holding it may span megabytes of text not yet
        // styled, and finding its ends would walk all of it for every run copied.
        if (storage.attributes(target.location) == run.attributes && storage.attributeRuns(target).size() == 1) {
            continue;
        }
        storage.setAttributes(run.attributes, target);
    }
}

void applyToScratch(TextStorage &scratch, const std::optional<Color> &color, const StyleSettings &style,
                    LongLineMatches *recorded) {
    applyFullPass(
        scratch, color, style, [&scratch] { return MarkdownSyntaxScanner::structure(scratch.string()); },
        FullPassSearch::outsideStyledCode, recorded);
}

void applyToScratch(TextStorage &scratch, DocumentStructure structure, const std::optional<Color> &color,
                    const StyleSettings &style, LongLineMatches *recorded) {
    applyFullPass(
        scratch, color, style, [&structure] { return std::move(structure); }, FullPassSearch::outsideStyledCode,
        recorded);
}

void apply(TextStorage &storage, const std::optional<Color> &color, const StyleSettings &style, FullPassSearch search) {
    // The storage's code index is built here when it has none, so that the first keystroke after a
    // page is loaded and styled finds it ready; what it took as changed is all restyled now.
    const auto indexedStructure = [&storage] {
        const std::shared_ptr<MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
        index->takeStructureChange();
        return index->structure();
    };
    LongLineMatches recorded;
    applyFullPass(storage, color, style, indexedStructure, search, &recorded);
    LineCutPoints cutPoints;
    cutPoints.replace(TextRange{0, storage.length()},
                      LineCutPoints::of(storage.string(), recorded.lines, std::move(recorded.matches)));
    rememberCutPoints(storage, std::move(cutPoints));
    rememberPass(storage, baseAttributes(color.value_or(textColor()), style));
}

} // namespace velto::editor::MarkdownStyler
