#pragma once

#include "editor/text/TextAttributes.h"
#include "editor/text/TextRange.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/layout/ParagraphLayout.h"

#include <QFont>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velto::editor {

class TextStorage;

/// The heights of pieces laid out before, by everything their layout reads. A page repeats many of its
/// paragraphs (blank lines, code fences, the same line of code in every example), and laying one out again
/// gives the very same height: measuring a page looks each repeated one up instead.
///
/// A piece's key holds its text; every attribute run's length and what the layout reads of the run's
/// attributes (the look its character format is made from, the inline code value); what it reads of the
/// paragraph's attributes (the paragraph style, the font of an empty line); its place in the paragraph and the
/// width. Equal keys lay out alike, so a height found is the height a layout would give, to the bit.
///
/// A piece of printable ASCII that surely fits on one line is one line whatever its text: its height is that of
/// its line's tallest glyphs, which come from its runs' fonts alone when each font's own face holds every
/// printable ASCII character (no fallback face takes part). Such a piece takes the height of one laid out
/// before with the same fonts in the same runs, paragraph style, place and width. It surely fits when the sum
/// of its characters' advances (the very advances shaping starts from), each with a twentieth of its font's height
/// added for kerning and with the letter spacing, is below the first line's width: kerning mostly draws letters
/// together, and no font moves every letter apart by a twentieth of its size.
///
/// Bounded: once `capacity` heights are kept, it forgets them all and starts again.
class MeasuredHeights {
public:
    /// How many heights it keeps at most.
    static constexpr std::size_t capacity = 4096;

    /// The height of the storage's `range` laid out as ParagraphLayout would lay it out with these
    /// arguments: the one remembered for an equal key, or laid out now and remembered.
    double height(const TextStorage &storage, TextRange range, const Attributes &paragraphAttributes,
                  SegmentPlace place, double width, LayoutFormats &formats);

    /// Forgets every height and the attribute sets it knows, giving their memory back. What it learnt of
    /// fonts' characters (a kilobyte for each of a few fonts) stays: measuring after each keystroke would
    /// learn it again.
    void clear();
    /// How many heights it keeps now.
    std::size_t size() const { return heights_.size() + oneLineHeights_.size(); }
    /// How many heights were found rather than laid out since it was made, and how many of them by the
    /// one-line rule.
    std::size_t found() const { return found_; }
    std::size_t foundOneLine() const { return foundOneLine_; }

private:
    /// What a layout reads of one attribute set: its look, its inline code value and its paragraph style.
    struct LayoutInputs {
        LayoutFormats::Look look;
        std::optional<AttributeValue> inlineCode;
        std::optional<ParagraphStyle> style;
        bool operator==(const LayoutInputs &) const = default;
    };
    struct Key {
        std::u16string text;
        std::vector<std::uint32_t> runs; // each run's length, then its inputs' index in inputs_
        std::uint32_t paragraphInputs = 0;
        double width = 0;
        std::uint8_t place = 0;
        bool operator==(const Key &) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key &key) const;
    };
    struct Known {
        Attributes attributes; // keeps the interned set, so its identity is never reused meanwhile
        std::uint32_t inputs = 0;
    };
    /// What the one-line rule needs of a set's font: the most each printable ASCII character can take of a
    /// line, none when the font's own face lacks one of them.
    struct CharacterWidths {
        bool bounded = false; // false when the face lacks a character or the spacing is relative
        std::array<double, 128> widest{};
    };

    /// The index in inputs_ of what a layout reads of the set.
    std::uint32_t inputsOf(const Attributes &attributes, LayoutFormats &formats);
    static CharacterWidths characterWidthsOf(const QFont &font);
    /// The index in fontWidths_ of the look's font, learnt now when new.
    std::uint32_t fontWidthsOf(const LayoutFormats::Look &look, const Attributes &attributes, LayoutFormats &formats);
    const CharacterWidths &widthsOf(std::uint32_t inputs) const { return fontWidths_[widthsOfInputs_[inputs]].widths; }
    /// Whether the key's text is printable ASCII in fonts whose own faces hold all of it.
    bool isAsciiInOwnFaces(const Key &key) const;
    /// Whether the key's text surely fits on its first line (see the class comment).
    bool surelyFitsOneLine(const Key &key) const;
    /// The key of every one-line piece with the same fonts in the same runs, style, place and width.
    static Key oneLineKey(const Key &key);

    std::unordered_map<Key, double, KeyHash> heights_;
    std::unordered_map<Key, double, KeyHash> oneLineHeights_;
    std::vector<LayoutInputs> inputs_;
    std::vector<std::uint32_t> widthsOfInputs_; // each of inputs_'s font's in fontWidths_
    /// The widths of each font (and letter spacing) met, kept across clear() up to `fontCapacity` fonts.
    struct FontWidths {
        FontDescriptor font;
        std::optional<double> kern;
        CharacterWidths widths;
    };
    static constexpr std::size_t fontCapacity = 64;
    std::vector<FontWidths> fontWidths_;
    std::unordered_map<const void *, Known> known_;
    std::size_t found_ = 0;
    std::size_t foundOneLine_ = 0;
};

} // namespace velto::editor
