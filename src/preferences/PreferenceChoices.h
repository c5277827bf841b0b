#pragma once

#include <QtCore/QSizeF>
#include <QtCore/QString>

#include <array>
#include <optional>

// The choices a user makes in Settings, each stored in the defaults domain by its raw text.
namespace velto {

enum class AppearanceChoice { system, light, dark };
enum class EditorFontChoice { monospaced, system };
enum class EditorIndentationChoice { tab, spaces2, spaces4 };
/// How long an unedited page stays recent before it is archived.
enum class AutoArchiveDuration { oneDay, oneWeek, oneMonth, never };
enum class PanelSizeChoice { minimal, compact, regular, large, expansive };

QString rawValue(AppearanceChoice choice);
QString rawValue(EditorFontChoice choice);
QString rawValue(EditorIndentationChoice choice);
QString rawValue(AutoArchiveDuration duration);
QString rawValue(PanelSizeChoice choice);

/// Every case of a choice, in declaration order.
template <typename Choice> constexpr auto allCases();
template <> constexpr auto allCases<AppearanceChoice>() {
    using enum AppearanceChoice;
    return std::array{system, light, dark};
}
template <> constexpr auto allCases<EditorFontChoice>() {
    using enum EditorFontChoice;
    return std::array{monospaced, system};
}
template <> constexpr auto allCases<EditorIndentationChoice>() {
    using enum EditorIndentationChoice;
    return std::array{tab, spaces2, spaces4};
}
template <> constexpr auto allCases<AutoArchiveDuration>() {
    using enum AutoArchiveDuration;
    return std::array{oneDay, oneWeek, oneMonth, never};
}
template <> constexpr auto allCases<PanelSizeChoice>() {
    using enum PanelSizeChoice;
    return std::array{minimal, compact, regular, large, expansive};
}

/// The case whose raw text is exactly `text` (case-sensitive); nothing for any other text.
template <typename Choice> std::optional<Choice> choiceFromRawValue(const QString &text) {
    for (Choice choice : allCases<Choice>()) {
        if (rawValue(choice) == text) {
            return choice;
        }
    }
    return std::nullopt;
}

/// The panel uses either a preset size or the custom size the user last dragged it to.
struct PanelSizeMode {
    bool isCustom = false;
    PanelSizeChoice preset = PanelSizeChoice::compact; // meaningful only when not custom

    static PanelSizeMode presetMode(PanelSizeChoice choice) { return {false, choice}; }
    static PanelSizeMode custom() { return {true, PanelSizeChoice::compact}; }
    friend bool operator==(const PanelSizeMode &, const PanelSizeMode &) = default;
};

struct EditorTextCheckingSettings {
    bool checksSpelling = false;
    bool correctsSpellingAutomatically = false;
    friend bool operator==(const EditorTextCheckingSettings &, const EditorTextCheckingSettings &) = default;
};

/// Bounds of the panel's content size, in points.
namespace PanelSizing {
inline constexpr QSizeF minimum{360, 150};
inline constexpr QSizeF maximum{1200, 900};
} // namespace PanelSizing

/// The preset's name as Settings and the panel show it: "Minimal", "Compact", "Standard", "Spacious", "Expansive".
QString panelSizeName(PanelSizeChoice choice);

/// Content size of a preset, in points: compact is 500 × 325.
QSizeF presetContentSize(PanelSizeChoice choice);

/// Each dimension kept between PanelSizing's minimum and maximum.
QSizeF clampedPanelContentSize(QSizeF size);

/// The neighbouring preset of a content size: a positive step gives the first preset larger in either
/// dimension, a negative step the last one smaller in either dimension; nothing at the ends or for step 0.
std::optional<PanelSizeChoice> panelSizeChoiceStepping(QSizeF from, int by);

} // namespace velto
