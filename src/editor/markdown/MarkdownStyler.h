#pragma once

#include "editor/markdown/MarkdownSyntaxScanner.h"
#include "editor/markdown/StyleSettings.h"
#include "editor/text/RegexRunner.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/TextStorage.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto::editor {

class MarkdownCodeTokenIndex;

/// Live Markdown styling: recomputes every display attribute of a text storage from its text alone and
/// never changes a character. Markers stay visible, dimmed in the secondary label colour.
///
/// Fonts and paragraph styles are built from the style settings the caller gives (the editor's defaults
/// when it gives none), each time they are built.
namespace MarkdownStyler {

// ---- colours ----

/// "VeltoEditorText": the text colour when the caller gives none.
Color textColor();
/// "VeltoCodeBackground": the value of the code-block and inline-code keys.
Color codeBackgroundColor();

// ---- fonts and paragraph styles ----

FontDescriptor editorFont(const StyleSettings &style = {});
/// The heading font of a level 1 to 6; a setext heading uses level 1's size.
FontDescriptor headingFont(int level, const StyleSettings &style = {});
FontDescriptor codeFont(const StyleSettings &style = {});
FontDescriptor inlineCodeFont(const StyleSettings &style = {});

ParagraphStyle baseParagraphStyle(const StyleSettings &style = {});
ParagraphStyle headingParagraphStyle(const StyleSettings &style = {});
ParagraphStyle codeParagraphStyle(const StyleSettings &style = {});
ParagraphStyle fenceOpeningParagraphStyle(const StyleSettings &style = {});
ParagraphStyle fenceClosingParagraphStyle(const StyleSettings &style = {});

/// The plain editor attributes: editor font, the colour, base paragraph style, ligature 1.
Attributes baseAttributes(const Color &color, const StyleSettings &style = {});
/// The attributes of code in fenced blocks: code font, the colour, code paragraph style, ligature 0
/// and a slight kern.
Attributes codeAttributes(const Color &color, const StyleSettings &style = {});

// ---- passes ----

/// What a full pass's patterns search. `everything` searches the whole text with every pattern: the
/// contents of fenced blocks too (whose results the code styling then replaces), and every line with
/// the patterns anchored at line starts, not only the lines whose first character can begin a match.
/// It gives the same result for more work, which is what makes it the reference for the narrow search.
enum class FullPassSearch { outsideStyledCode, everything };

/// The full pass: restyles the whole storage in one editing group.
void apply(TextStorage &storage, const std::optional<Color> &color = std::nullopt, const StyleSettings &style = {},
           FullPassSearch search = FullPassSearch::outsideStyledCode);

/// The incremental pass: restyles the paragraphs around the edit (widened to the fenced blocks they
/// touch) by styling a copy of that region and copying its runs back; returns the region. An unclosed
/// fence makes it restyle everything.
TextRange apply(TextStorage &storage, TextRange editedRange, const std::optional<Color> &color = std::nullopt,
                const StyleSettings &style = {});

/// Readies the storage for a full restyle made of region passes (`applyToRegion`) instead of one full
/// pass: the next incremental pass takes nothing as changed that the region passes will restyle.
void beginRestyleInRegions(const TextStorage &storage);

/// The region pass, a piece of a full restyle: restyles the line-feed lines of the range, widened until
/// it cuts no construct the full pass reads across lines, from their text alone, so that they come out
/// exactly as a full pass styles them; returns the region. Unlike the incremental pass it reads no
/// edits and widens to no structure change.
TextRange applyToRegion(TextStorage &storage, TextRange range, const std::optional<Color> &color = std::nullopt,
                        const StyleSettings &style = {});

/// The heading fast path: restyles the edited paragraph at once when the edit may have made or unmade
/// a heading; returns whether it did.
bool applyImmediateHeadingChange(TextStorage &storage, TextRange editedRange,
                                 const std::optional<Color> &color = std::nullopt, const StyleSettings &style = {});

// ---- code positions ----
//
// Answered from the code index the styler keeps for each storage it styles (the last few): built by
// a full pass or the first question, then brought up to date through the storage's character edits,
// so a question costs the edits since the last one plus a binary search, not a scan of the text.
// Every answer equals what MarkdownSyntaxScanner gives for storage.string().

/// The fenced block whose full range (opening line start to closing line end, line break included;
/// to the text's end when unclosed) holds the location; none outside every block.
std::optional<FencedCodeBlock> fencedBlockContaining(const TextStorage &storage, std::size_t location);
/// As MarkdownSyntaxScanner::isInsideFencedCode: the location (clamped to the text) lies in a block's
/// content range, so fence lines themselves are outside.
bool isInsideFencedCode(const TextStorage &storage, std::size_t location);
/// The inline code span whose full range (backtick runs included) holds the location; none outside
/// every span. Backticks inside fenced blocks make no spans.
std::optional<InlineCodeSpan> inlineCodeSpanContaining(const TextStorage &storage, std::size_t location);
/// Whether the location lies in the full range of a fenced block or of an inline code span.
bool isInsideLiteralCode(const TextStorage &storage, std::size_t location);
/// Every fenced block of the text, in text order.
std::vector<FencedCodeBlock> fencedBlocks(const TextStorage &storage);
/// The fenced blocks whose full ranges share a unit with the range, in text order.
std::vector<FencedCodeBlock> fencedBlocksOverlapping(const TextStorage &storage, TextRange range);
/// Where fenced blocks appeared, went away or changed other than by moving with the text since the last
/// call, in the text as it is now; none when they only moved. The whole text the first time.
std::optional<TextRange> takeFencedBlockChange(const TextStorage &storage);
/// Takes the index as the storage's, built elsewhere from the storage's text as it is now (on another thread
/// while the text went into the storage): the next pass takes the whole text as changed, as with an index
/// built here.
void adoptCodeTokenIndex(const TextStorage &storage, std::shared_ptr<MarkdownCodeTokenIndex> index);

// ---- fence languages ----

/// The language named by a fence's info string: its first word, unescaped, lower-cased (UTF-8).
std::string fencedLanguage(std::u16string_view infoString);
/// Whether the full pass styles the block as code: its opening line ends with a line feed or a carriage
/// return (a fence line still being typed at the end of the text, or one a line separator ends, does not).
bool isStyledAsCode(const FencedCodeBlock &block, const TextStorage &storage);
/// The text with backslash escapes of ASCII punctuation removed.
std::u16string unescapingASCIIPunctuation(std::u16string_view text);

// ---- shared building block ----

/// Runs a pattern over the text (compiled once per process) and calls the handler with every match.
/// A pattern that does not compile calls nothing.
void enumerate(const std::string &pattern, std::u16string_view text,
               const std::function<void(const RegexMatch &)> &handler);

} // namespace MarkdownStyler

} // namespace velto::editor
