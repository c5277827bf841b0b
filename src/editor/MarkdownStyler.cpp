#include "editor/MarkdownStyler.h"

#include "editor/CodeTokenPreservation.h"
#include "editor/EditorPreferences.h"
#include "editor/FontMetrics.h"
#include "editor/LinkPasteBehavior.h"
#include "editor/MarkdownCodeTokenIndex.h"
#include "editor/MarkdownLinkMatcher.h"
#include "editor/MarkdownSyntaxScanner.h"
#include "editor/StringRanges.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <atomic>
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
const std::string bareAddress = R"((?:https?://|mailto:)[^\s<>()]+)";
const std::string strongStars = R"(\*\*([^*\n]+)\*\*)";
const std::string strongUnderscores = R"(__([^_\n]+)__)";
const std::string emphasisStar = R"((?<!\*)\*([^*\n]+)\*(?!\*))";
const std::string emphasisUnderscore = R"((?<!_)_([^_\n]+)_(?!_))";
const std::string strikethrough = R"(~~([^~\n]+)~~)";
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

std::atomic<bool> searchesFencedCodeContents{false};

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
    if (searchesFencedCodeContents) {
        return {TextRange{0, text.size()}};
    }
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

/// What one full pass shares between its steps: the attribute sets it puts on again and again, built
/// once per pass (so that a changed preference applies from the next pass on), and the parts of the
/// text its patterns search.
struct PassContext {
    /// The text the patterns search: all but the inner contents of the fenced blocks that the pass
    /// styles as code. The fenced-code step replaces every attribute there, so what a pattern would
    /// style inside is wiped anyway, and a large block costs the patterns nothing.
    std::vector<TextRange> searchedRanges;
    std::array<Attributes, 7> heading; // index: level 1 to 6
    Attributes secondary{{AttributeKey::foregroundColor, secondaryLabelColor()}};
    Attributes listMarker{{AttributeKey::foregroundColor, secondaryLabelColor()}, {AttributeKey::font, editorFont()}};
    Attributes taskBox{{AttributeKey::foregroundColor, secondaryLabelColor()}, {AttributeKey::veltoTaskCheckbox, true}};
    Attributes linkLabel{{AttributeKey::foregroundColor, linkColor()}, {AttributeKey::underlineStyle, std::int64_t{1}}};
    Attributes linkDestination{{AttributeKey::foregroundColor, linkColor().withAlpha(0.84)}};
    Attributes strikethrough{{AttributeKey::strikethroughStyle, std::int64_t{1}}};
    Attributes rule{{AttributeKey::foregroundColor, Color::system(SystemColorRole::clear)},
                    {AttributeKey::veltoHorizontalRule, secondaryLabelColor()}};

    PassContext(std::u16string_view text, const DocumentStructure &structure)
        : searchedRanges(rangesOutsideStyledCode(text, structure)) {
        const ParagraphStyle paragraph = headingParagraphStyle();
        for (int level = 1; level <= 6; ++level) {
            heading[level] =
                Attributes{{AttributeKey::font, headingFont(level)}, {AttributeKey::paragraphStyle, paragraph}};
        }
    }
};

void enumerateSearched(const std::string &pattern, std::u16string_view text, const PassContext &context,
                       const std::function<void(const RegexMatch &)> &handler) {
    RegexRunner::enumerateMatches(pattern, text, context.searchedRanges, handler);
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
    enumerateSearched(Patterns::heading, textOf(storage), context, [&](const RegexMatch &match) {
        const std::size_t level = match.range(1).length;
        storage.addAttributes(context.heading[level], match.range());
        addOver(storage, context.secondary, match.range(1));
    });
}

void styleSetextHeadings(TextStorage &storage, const PassContext &context) {
    enumerateSearched(Patterns::setextHeading, textOf(storage), context, [&](const RegexMatch &match) {
        storage.addAttributes(context.heading[1], match.range(1));
        addOver(storage, context.secondary, match.range(2));
    });
}

void styleQuotes(TextStorage &storage, const Color &color, const PassContext &context) {
    enumerateSearched(Patterns::blockQuote, textOf(storage), context, [&](const RegexMatch &match) {
        colorRange(storage, match.range(), color.withAlpha(0.72));
        applyTrait(FontTrait::italic, match.range(2), storage);
    });
}

void styleLists(TextStorage &storage, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    enumerateSearched(Patterns::listMarker, text, context, [&](const RegexMatch &match) {
        const TextRange marker = match.range(1);
        if (MarkdownSyntaxScanner::isEscaped(marker.end() - 1, text)) {
            return;
        }
        storage.addAttributes(context.listMarker, marker);
    });
    enumerateSearched(Patterns::taskBox, text, context, [&](const RegexMatch &match) {
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
    return RegexRunner::replacingMatches(Patterns::destinationEscape, destination, u"$1");
}

bool isBareAddressTrailingPunctuation(char16_t unit) {
    return unit == u'.' || unit == u',' || unit == u';' || unit == u':' || unit == u'!' || unit == u'?';
}

void styleLinks(TextStorage &storage, const DocumentStructure &structure, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    // The literal code ranges, in text order: inline spans never lie inside fenced blocks.
    std::vector<TextRange> codeRanges = structure.literalCodeRanges();
    std::sort(codeRanges.begin(), codeRanges.end(), [](TextRange a, TextRange b) { return a.location < b.location; });
    std::vector<TextRange> linkRanges;
    enumerateMarkdownLinks(text, [&](const RegexMatch &match) {
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
    enumerateSearched(Patterns::bareAddress, text, context, [&](const RegexMatch &match) {
        TextRange address = match.range();
        while (address.length > 0 && isBareAddressTrailingPunctuation(text[address.end() - 1])) {
            --address.length;
        }
        const std::optional<std::string> url =
            LinkPasteBehavior::parsedURL(text.substr(address.location, address.length));
        if (!url || overlapsAny(address, codeRanges) || overlapsAny(address, linkRanges)) {
            return;
        }
        storage.addAttributes(context.linkLabel.with(AttributeKey::link, *url), address);
    });
}

/// Strong text, emphasis and strike-through share one shape: delimiters, content, delimiters; an
/// escaped opening or first closing delimiter cancels the match.
void styleDelimited(TextStorage &storage, const PassContext &context, const std::string &pattern,
                    const std::function<void(TextRange content)> &styleContent) {
    const std::u16string_view text = textOf(storage);
    enumerateSearched(pattern, text, context, [&](const RegexMatch &match) {
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
    for (const std::string *pattern : {&Patterns::strongStars, &Patterns::strongUnderscores}) {
        styleDelimited(storage, context, *pattern,
                       [&](TextRange content) { applyTrait(FontTrait::bold, content, storage); });
    }
}

void styleEmphasis(TextStorage &storage, const PassContext &context) {
    for (const std::string *pattern : {&Patterns::emphasisStar, &Patterns::emphasisUnderscore}) {
        styleDelimited(storage, context, *pattern,
                       [&](TextRange content) { applyTrait(FontTrait::italic, content, storage); });
    }
}

void styleStrikethrough(TextStorage &storage, const PassContext &context) {
    styleDelimited(storage, context, Patterns::strikethrough,
                   [&](TextRange content) { storage.addAttributes(context.strikethrough, content); });
}

void styleHorizontalRules(TextStorage &storage, const DocumentStructure &structure, const PassContext &context) {
    const std::u16string_view text = textOf(storage);
    std::vector<TextRange> fencedRanges;
    for (const FencedCodeBlock &block : structure.fencedBlocks) {
        fencedRanges.push_back(block.fullRange);
    }
    enumerateSearched(Patterns::horizontalRule, text, context, [&](const RegexMatch &match) {
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

/// Replaces the attributes of the storage from `offset` on with the runs of the styled scratch copy.
void copyRuns(const TextStorage &scratch, TextStorage &storage, std::size_t offset) {
    for (const AttributeRun &run : scratch.attributeRuns(TextRange{0, scratch.length()})) {
        storage.setAttributes(run.attributes, TextRange{offset + run.range.location, run.range.length});
    }
}

/// The code-token indexes of the storages the incremental pass met last, each with the character
/// version it describes. A few are kept: one per open page is what the editor needs. Styling runs on
/// the main thread; the lock only keeps two threads styling different storages apart.
struct IndexedStorage {
    std::uint64_t identity;
    std::uint64_t characterVersion;
    std::shared_ptr<MarkdownCodeTokenIndex> index;
};

std::shared_ptr<const MarkdownCodeTokenIndex> codeTokenIndexFor(const TextStorage &storage) {
    static constexpr std::size_t remembered = 4;
    static std::mutex mutex;
    static std::list<IndexedStorage> indexes; // most recently used first
    std::lock_guard lock(mutex);
    auto found = std::find_if(indexes.begin(), indexes.end(),
                              [&storage](const IndexedStorage &entry) { return entry.identity == storage.identity(); });
    if (found == indexes.end()) {
        indexes.push_front(IndexedStorage{storage.identity(), storage.characterVersion(),
                                          std::make_shared<MarkdownCodeTokenIndex>(storage.string())});
        if (indexes.size() > remembered) {
            indexes.pop_back();
        }
        return indexes.front().index;
    }
    if (const auto edits = storage.characterEditsSince(found->characterVersion)) {
        found->index->update(storage.string(), *edits);
    } else {
        found->index = std::make_shared<MarkdownCodeTokenIndex>(storage.string());
    }
    found->characterVersion = storage.characterVersion();
    indexes.splice(indexes.begin(), indexes, found);
    return indexes.front().index;
}

/// The region widened until no construct that the full pass sees across lines is cut by its edges:
/// an inline code span may run over several paragraphs, and a setext title and its "=" underline are
/// two paragraphs. Styling a cut construct from the region's text alone would style it wrongly (a
/// title two lines below the edit would lose its heading font), so the whole construct is restyled.
TextRange regionWithoutCutConstructs(std::u16string_view text, TextRange region, const DocumentStructure &structure) {
    const auto cuts = [&region](TextRange construct) {
        return overlaps(construct, region) && unionRange(construct, region) != region;
    };
    bool widened = true;
    while (widened) {
        widened = false;
        for (const FencedCodeBlock &block : structure.fencedBlocks) {
            if (cuts(block.fullRange)) {
                region = unionRange(region, block.fullRange);
                widened = true;
            }
        }
        for (const InlineCodeSpan &span : structure.inlineCodeSpans) {
            if (cuts(span.fullRange)) {
                region = unionRange(region, paragraphRange(text, span.fullRange));
                widened = true;
            }
        }
        if (region.end() < text.size() && text[region.end()] == u'=') {
            region = unionRange(region, paragraphRange(text, TextRange{region.end(), 0}));
            widened = true;
        }
        if (region.location > 0 && text[region.location] == u'=') {
            region = unionRange(region, paragraphRange(text, TextRange{region.location - 1, 0}));
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

void setSearchesFencedCodeContents(bool searches) {
    searchesFencedCodeContents = searches;
}

void enumerate(const std::string &pattern, std::u16string_view text,
               const std::function<void(const RegexMatch &)> &handler) {
    RegexRunner::enumerateMatches(pattern, text, handler);
}

namespace {

/// The full pass over the storage whose code structure is given.
void applyFullPass(TextStorage &storage, const std::optional<Color> &color,
                   const std::function<DocumentStructure()> &structureOfText) {
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
        const PassContext context(storage.string(), structure);
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
        restoreCodeTokens(preserved, structure, storage);
    }
    storage.endEditing();
}

/// The full pass over a scratch copy, which gets no code index of its own.
void applyToScratch(TextStorage &scratch, const std::optional<Color> &color) {
    applyFullPass(scratch, color, [&scratch] { return MarkdownSyntaxScanner::structure(scratch.string()); });
}

} // namespace

void apply(TextStorage &storage, const std::optional<Color> &color) {
    // The storage's code index is built here when it has none, so that the first keystroke after a
    // page is loaded and styled finds it ready.
    applyFullPass(storage, color, [&storage] { return codeTokenIndexFor(storage)->structure(); });
}

TextRange apply(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color) {
    if (storage.length() == 0) {
        return TextRange{0, 0};
    }
    // The whole text's fence scan and code spans, from the storage's index brought up to date.
    const std::shared_ptr<const MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    FencedCodeScan scan = index->fencedCodeScan(storage.string());
    const std::optional<TextRange> paragraphs =
        MarkdownSyntaxScanner::incrementalStylingRange(editedRange, storage.string(), scan);
    if (!paragraphs) {
        apply(storage, color);
        return TextRange{0, storage.length()};
    }
    const DocumentStructure structure = index->structure(storage.string(), std::move(scan));
    const TextRange region = regionWithoutCutConstructs(storage.string(), *paragraphs, structure);
    TextStorage scratch(storage.substring(region));
    applyToScratch(scratch, color);
    std::vector<PreservedCodeToken> preserved;
    if (region.length > 0 && region.end() <= storage.length()) {
        preserved = preservedCodeTokens(storage, region);
    }
    storage.beginEditing();
    copyRuns(scratch, storage, region.location);
    restoreCodeTokens(preserved, structure, storage);
    storage.endEditing();
    return region;
}

bool applyImmediateHeadingChange(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color) {
    const std::u16string_view text = storage.string();
    if (text.empty()) {
        return false;
    }
    const TextRange paragraph = paragraphRange(text, TextRange{std::min(editedRange.location, text.size()), 0});
    const std::size_t probe = std::min(paragraph.location, text.size() - 1);
    if (storage.attribute(AttributeKey::veltoCodeBlock, probe) != nullptr) {
        return false;
    }
    std::size_t hashes = 0;
    while (hashes < 6 && hashes < paragraph.length && text[paragraph.location + hashes] == u'#') {
        ++hashes;
    }
    const std::size_t after = paragraph.location + hashes;
    const bool looksLikeHeading = hashes >= 1 && after < text.size() && (text[after] == u' ' || text[after] == u'\t');
    const auto *font = attributeValueAs<FontDescriptor>(storage.attribute(AttributeKey::font, probe));
    const double currentSize = font ? font->pointSize : editorFont().pointSize;
    if (!looksLikeHeading && currentSize <= editorFont().pointSize) {
        return false;
    }
    // A setext title needs its underline to be styled as a heading; styled alone it would turn
    // into body text with nothing left to correct it, so the delayed pass (which sees both) takes it.
    if (paragraph.end() < text.size() && text[paragraph.end()] == u'=') {
        return false;
    }
    TextStorage scratch(storage.substring(paragraph));
    applyToScratch(scratch, color);
    storage.beginEditing();
    copyRuns(scratch, storage, paragraph.location);
    storage.endEditing();
    return true;
}

// ---- code positions ----

std::optional<FencedCodeBlock> fencedBlockContaining(const TextStorage &storage, std::size_t location) {
    const std::shared_ptr<const MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    const FencedCodeBlock *block = index->fencedBlockContaining(location);
    return block ? std::optional<FencedCodeBlock>(*block) : std::nullopt;
}

bool isInsideFencedCode(const TextStorage &storage, std::size_t location) {
    location = std::min(location, storage.length());
    const std::shared_ptr<const MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    const FencedCodeBlock *block = index->fencedBlockContaining(location);
    return block != nullptr && block->contentRange.contains(location);
}

std::optional<InlineCodeSpan> inlineCodeSpanContaining(const TextStorage &storage, std::size_t location) {
    const std::shared_ptr<const MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    const InlineCodeSpan *span = index->inlineCodeSpanContaining(location);
    return span ? std::optional<InlineCodeSpan>(*span) : std::nullopt;
}

bool isInsideLiteralCode(const TextStorage &storage, std::size_t location) {
    const std::shared_ptr<const MarkdownCodeTokenIndex> index = codeTokenIndexFor(storage);
    return index->fencedBlockContaining(location) != nullptr || index->inlineCodeSpanContaining(location) != nullptr;
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
