#pragma once

#include "editor/markdown/StyleSettings.h"
#include "editor/text/TextAttributes.h"
#include "editor/text/VeltoTheme.h"

#include <QColor>
#include <QFont>
#include <QTextCharFormat>

#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velto::editor {

/// The real font for a font description: the desktop's general font for the system family, its fixed
/// font for the monospaced ones, at the description's size in device-independent pixels.
QFont fontFor(const FontDescriptor &font);

/// The colour as drawn in the appearance: the dark components when the appearance matches dark, the
/// light ones otherwise; the system roles take the desktop's equivalents.
QColor colorFor(const Color &color, Appearance appearance);

/// The label colour of the appearance (the one outlines blend toward).
QColor labelColorFor(Appearance appearance);

/// The colour `fraction` of the way from `from` toward `to`, alpha included.
QColor blended(const QColor &from, const QColor &to, double fraction);

/// Turns attribute sets into character formats for one appearance, remembering each set it has seen: a
/// layout asks for them run by run. Sets that differ only in what a format does not show (a link's address,
/// a code token's kind) share one format: a page has tens of thousands of link sets but a few dozen looks,
/// and a format holds about a kilobyte.
///
/// A set that names no font shows the editor font of the style settings it is given, which its owner keeps
/// current and which must outlive it; without them, the editor's defaults.
class LayoutFormats {
public:
    explicit LayoutFormats(const StyleSettings &style, Appearance appearance = Appearance::aqua)
        : style_(style)
        , appearance_(appearance) {}
    explicit LayoutFormats(Appearance appearance = Appearance::aqua);

    /// The fonts and paragraph styles the text was styled with.
    const StyleSettings &styleSettings() const { return style_; }

    Appearance appearance() const { return appearance_; }
    /// Changes the appearance and forgets every format made for the old one.
    void setAppearance(Appearance appearance);

    /// The character format of an attribute set: font, foreground, kern, underline, strike-through. The
    /// reference holds until the next call.
    const QTextCharFormat &characterFormat(const Attributes &attributes);
    /// How many attribute sets have a format remembered now.
    std::size_t rememberedCount() const { return formats_.size(); }
    /// How many distinct formats those sets share.
    std::size_t distinctFormatCount() const { return looks_.size(); }
    /// The font of an attribute set; the editor font when it names none.
    QFont font(const Attributes &attributes);

    /// What a character format shows of an attribute set.
    struct Look {
        FontDescriptor font;
        std::optional<double> kern;
        std::optional<std::int64_t> underline;
        std::optional<std::int64_t> strikethrough;
        Color foreground;
        bool operator==(const Look &) const = default;
    };
    /// The look of an attribute set: everything its character format is made from.
    Look lookOf(const Attributes &attributes) const;

private:
    struct DistinctFormat {
        Look look;
        QTextCharFormat format;
    };
    struct Remembered {
        Attributes attributes; // keeps the interned set, so its identity is never reused meanwhile
        std::size_t look = 0;  // its format in looks_
    };
    QFont font(const FontDescriptor &wanted);
    std::size_t distinctFormatFor(const Look &look);
    QTextCharFormat formatFor(const Look &look);

    const StyleSettings &style_;
    Appearance appearance_;
    std::unordered_map<const void *, Remembered> formats_;
    std::vector<DistinctFormat> looks_;
    std::vector<std::pair<FontDescriptor, QFont>> fonts_;
};

} // namespace velto::editor
