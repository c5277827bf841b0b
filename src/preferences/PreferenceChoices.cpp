#include "preferences/PreferenceChoices.h"

#include <algorithm>

namespace velto {

QString rawValue(AppearanceChoice choice) {
    switch (choice) {
    case AppearanceChoice::system:
        return QStringLiteral("system");
    case AppearanceChoice::light:
        return QStringLiteral("light");
    case AppearanceChoice::dark:
        return QStringLiteral("dark");
    }
    return {};
}

QString rawValue(EditorFontChoice choice) {
    switch (choice) {
    case EditorFontChoice::monospaced:
        return QStringLiteral("monospaced");
    case EditorFontChoice::system:
        return QStringLiteral("system");
    }
    return {};
}

QString rawValue(EditorIndentationChoice choice) {
    switch (choice) {
    case EditorIndentationChoice::tab:
        return QStringLiteral("tab");
    case EditorIndentationChoice::spaces2:
        return QStringLiteral("spaces2");
    case EditorIndentationChoice::spaces4:
        return QStringLiteral("spaces4");
    }
    return {};
}

QString rawValue(AutoArchiveDuration duration) {
    switch (duration) {
    case AutoArchiveDuration::oneDay:
        return QStringLiteral("oneDay");
    case AutoArchiveDuration::oneWeek:
        return QStringLiteral("oneWeek");
    case AutoArchiveDuration::oneMonth:
        return QStringLiteral("oneMonth");
    case AutoArchiveDuration::never:
        return QStringLiteral("never");
    }
    return {};
}

QString rawValue(PanelSizeChoice choice) {
    switch (choice) {
    case PanelSizeChoice::minimal:
        return QStringLiteral("minimal");
    case PanelSizeChoice::compact:
        return QStringLiteral("compact");
    case PanelSizeChoice::regular:
        return QStringLiteral("regular");
    case PanelSizeChoice::large:
        return QStringLiteral("large");
    case PanelSizeChoice::expansive:
        return QStringLiteral("expansive");
    }
    return {};
}

QString panelSizeName(PanelSizeChoice choice) {
    switch (choice) {
    case PanelSizeChoice::minimal:
        return QStringLiteral("Minimal");
    case PanelSizeChoice::compact:
        return QStringLiteral("Compact");
    case PanelSizeChoice::regular:
        return QStringLiteral("Standard");
    case PanelSizeChoice::large:
        return QStringLiteral("Spacious");
    case PanelSizeChoice::expansive:
        return QStringLiteral("Expansive");
    }
    return {};
}

QSizeF presetContentSize(PanelSizeChoice choice) {
    switch (choice) {
    case PanelSizeChoice::minimal:
        return {400, 260};
    case PanelSizeChoice::compact:
        return {500, 325};
    case PanelSizeChoice::regular:
        return {610, 400};
    case PanelSizeChoice::large:
        return {750, 490};
    case PanelSizeChoice::expansive:
        return {920, 600};
    }
    return {500, 325};
}

QSizeF clampedPanelContentSize(QSizeF size) {
    // max(minimum, maximum) keeps the bounds ordered even if they were ever set the wrong way round.
    auto clamp = [](double value, double minimum, double maximum) {
        return std::min(std::max(value, minimum), std::max(minimum, maximum));
    };
    return {clamp(size.width(), PanelSizing::minimum.width(), PanelSizing::maximum.width()),
            clamp(size.height(), PanelSizing::minimum.height(), PanelSizing::maximum.height())};
}

std::optional<PanelSizeChoice> panelSizeChoiceStepping(QSizeF from, int by) {
    if (by > 0) {
        for (PanelSizeChoice choice : allCases<PanelSizeChoice>()) {
            QSizeF preset = presetContentSize(choice);
            if (preset.width() > from.width() || preset.height() > from.height()) {
                return choice;
            }
        }
    } else if (by < 0) {
        std::optional<PanelSizeChoice> found;
        for (PanelSizeChoice choice : allCases<PanelSizeChoice>()) {
            QSizeF preset = presetContentSize(choice);
            if (preset.width() < from.width() || preset.height() < from.height()) {
                found = choice;
            }
        }
        return found;
    }
    return std::nullopt;
}

} // namespace velto
