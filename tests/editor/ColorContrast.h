#pragma once

#include "editor/text/TextAttributes.h"

#include <algorithm>
#include <cmath>

namespace velto::editor::testing {

/// The relative luminance of sRGB components, as the accessibility guidelines define it.
inline double relativeLuminance(const RGBComponents &color) {
    const auto linear = [](double component) {
        return component <= 0.04045 ? component / 12.92 : std::pow((component + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

/// The contrast ratio of two colours: 1 for equal ones, 21 for black on white. Body text wants 4.5 at least.
inline double contrastRatio(const RGBComponents &a, const RGBComponents &b) {
    const double lighter = std::max(relativeLuminance(a), relativeLuminance(b));
    const double darker = std::min(relativeLuminance(a), relativeLuminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

} // namespace velto::editor::testing
