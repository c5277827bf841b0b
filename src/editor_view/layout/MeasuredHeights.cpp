#include "editor_view/layout/MeasuredHeights.h"

#include "editor/text/TextStorage.h"

#include <QFontMetricsF>
#include <QRawFont>

#include <bit>
#include <cmath>
#include <functional>
#include <string_view>

namespace velto::editor {

namespace {

std::uint8_t placeBits(SegmentPlace place) {
    return static_cast<std::uint8_t>((place.firstOfParagraph ? 1 : 0) | (place.lastOfParagraph ? 2 : 0));
}

void mix(std::size_t &hash, std::size_t value) {
    hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
}

} // namespace

std::size_t MeasuredHeights::KeyHash::operator()(const Key &key) const {
    std::size_t hash = std::hash<std::u16string_view>{}(key.text);
    for (const std::uint32_t value : key.runs) {
        mix(hash, value);
    }
    mix(hash, key.paragraphInputs);
    mix(hash, std::bit_cast<std::uint64_t>(key.width));
    mix(hash, key.place);
    return hash;
}

double MeasuredHeights::height(const TextStorage &storage, TextRange range, const Attributes &paragraphAttributes,
                               SegmentPlace place, double width, LayoutFormats &formats) {
    if (fontWidths_.size() >= fontCapacity) {
        clear();
        fontWidths_ = {};
    }
    if (heights_.size() + oneLineHeights_.size() >= capacity || known_.size() >= capacity ||
        inputs_.size() >= capacity) {
        clear();
    }
    const PieceContents contents = PieceContents::of(storage, range);
    Key key;
    key.text = contents.text;
    for (const AttributeRun &run : contents.runs) {
        key.runs.push_back(static_cast<std::uint32_t>(run.range.length));
        key.runs.push_back(inputsOf(run.attributes, formats));
    }
    key.paragraphInputs = inputsOf(paragraphAttributes, formats);
    key.width = width;
    key.place = placeBits(place);
    if (const auto known = heights_.find(key); known != heights_.end()) {
        ++found_;
        return known->second;
    }
    const bool asciiInOwnFaces = isAsciiInOwnFaces(key);
    if (asciiInOwnFaces && surelyFitsOneLine(key)) {
        if (const auto known = oneLineHeights_.find(oneLineKey(key)); known != oneLineHeights_.end()) {
            ++found_;
            ++foundOneLine_;
            return known->second;
        }
    }
    const ParagraphLayout layout(storage, range, contents, paragraphAttributes, place, width, formats);
    if (asciiInOwnFaces && layout.lines().size() == 1) {
        oneLineHeights_.emplace(oneLineKey(key), layout.height());
    }
    heights_.emplace(std::move(key), layout.height());
    return layout.height();
}

void MeasuredHeights::clear() {
    // Assigned afresh rather than cleared, so that the tables' buckets go too.
    heights_ = {};
    oneLineHeights_ = {};
    known_ = {};
    inputs_ = {};
    widthsOfInputs_ = {};
}

bool MeasuredHeights::isAsciiInOwnFaces(const Key &key) const {
    if (key.text.empty()) {
        return false;
    }
    for (const char16_t unit : key.text) {
        if (unit < u' ' || unit > u'~') {
            return false;
        }
    }
    for (std::size_t k = 1; k < key.runs.size(); k += 2) {
        if (!widthsOf(key.runs[k]).bounded) {
            return false;
        }
    }
    return true;
}

bool MeasuredHeights::surelyFitsOneLine(const Key &key) const {
    // The most the text can take of the line: each character's advance with its allowance, summed.
    double mostTaken = 0;
    std::size_t position = 0;
    for (std::size_t k = 0; k + 1 < key.runs.size(); k += 2) {
        const CharacterWidths &widths = widthsOf(key.runs[k + 1]);
        const std::size_t end = position + key.runs[k];
        for (; position < end; ++position) {
            mostTaken += widths.widest[key.text[position]];
        }
    }
    const SegmentPlace place{(key.place & 1) != 0, (key.place & 2) != 0};
    const ParagraphStyle style = inputs_[key.paragraphInputs].style.value_or(ParagraphStyle{});
    // A pixel to spare for the layout's fixed-point sums.
    return mostTaken + 1 < ParagraphLayout::firstLineWidth(style, place, key.width);
}

MeasuredHeights::Key MeasuredHeights::oneLineKey(const Key &key) {
    Key fonts;
    for (std::size_t k = 1; k < key.runs.size(); k += 2) {
        fonts.runs.push_back(key.runs[k]);
    }
    fonts.paragraphInputs = key.paragraphInputs;
    fonts.width = key.width;
    fonts.place = key.place;
    return fonts;
}

MeasuredHeights::CharacterWidths MeasuredHeights::characterWidthsOf(const QFont &font) {
    double spacing = 0;
    if (font.letterSpacingType() == QFont::AbsoluteSpacing) {
        spacing = std::abs(font.letterSpacing());
    } else if (font.letterSpacing() != 0 && font.letterSpacing() != 100) {
        return {};
    }
    // The face Latin text is drawn with before any fallback: a character it lacks would bring another
    // face's ascent into the line.
    const QRawFont face = QRawFont::fromFont(font);
    const QFontMetricsF metrics(font);
    const double slack = 0.05 * metrics.height() + spacing;
    CharacterWidths widths;
    for (char16_t unit = u' '; unit <= u'~'; ++unit) {
        if (!face.supportsCharacter(QChar(unit))) {
            return {};
        }
        widths.widest[unit] = metrics.horizontalAdvance(QChar(unit)) + slack;
    }
    widths.bounded = true;
    return widths;
}

std::uint32_t MeasuredHeights::fontWidthsOf(const LayoutFormats::Look &look, const Attributes &attributes,
                                            LayoutFormats &formats) {
    std::uint32_t index = 0;
    while (index < fontWidths_.size() &&
           !(fontWidths_[index].font == look.font && fontWidths_[index].kern == look.kern)) {
        ++index;
    }
    if (index == fontWidths_.size()) {
        fontWidths_.push_back(
            FontWidths{look.font, look.kern, characterWidthsOf(formats.characterFormat(attributes).font())});
    }
    return index;
}

std::uint32_t MeasuredHeights::inputsOf(const Attributes &attributes, LayoutFormats &formats) {
    if (const auto known = known_.find(attributes.identity()); known != known_.end()) {
        return known->second.inputs;
    }
    const AttributeValue *inlineCode = attributes.find(AttributeKey::veltoInlineCode);
    const ParagraphStyle *style = attributeValueAs<ParagraphStyle>(attributes.find(AttributeKey::paragraphStyle));
    LayoutInputs inputs{formats.lookOf(attributes),
                        inlineCode != nullptr ? std::optional<AttributeValue>(*inlineCode) : std::nullopt,
                        style != nullptr ? std::optional<ParagraphStyle>(*style) : std::nullopt};
    // Distinct inputs are few (a page's tens of thousands of link sets share a handful): a plain search.
    std::uint32_t index = 0;
    while (index < inputs_.size() && !(inputs_[index] == inputs)) {
        ++index;
    }
    if (index == inputs_.size()) {
        inputs_.push_back(std::move(inputs));
        widthsOfInputs_.push_back(fontWidthsOf(inputs_.back().look, attributes, formats));
    }
    known_.emplace(attributes.identity(), Known{attributes, index});
    return index;
}

} // namespace velto::editor
