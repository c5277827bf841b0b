#pragma once

namespace velto::editor {

/// The automatic text-replacement and spelling-correction switches, which follow the selection: both are
/// off while the selection starts in fenced or inline code; spelling correction is on only when the user
/// asked for it.
struct AutomaticCorrectionSwitches {
    bool textReplacement = false;
    bool spellingCorrection = false;
    bool operator==(const AutomaticCorrectionSwitches &) const = default;
};

inline AutomaticCorrectionSwitches automaticCorrectionSwitches(bool selectionInLiteralCode,
                                                               bool correctsSpellingAutomatically) {
    return AutomaticCorrectionSwitches{!selectionInLiteralCode,
                                       !selectionInLiteralCode && correctsSpellingAutomatically};
}

} // namespace velto::editor
