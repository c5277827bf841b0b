#pragma once

#include <QtCore/QString>

#include <optional>

// Text helpers shared by the key-label rules.
namespace velto {

/// Number of characters as a reader counts them (extended grapheme clusters): "é" written with a
/// combining accent is one.
qsizetype characterCount(const QString &text);

/// The number of a function-key label in normalized form: "F5" gives 5, "F05" 5, "F0" 0; "FX" and "F" nothing.
std::optional<int> functionKeyNumber(const QString &normalizedLabel);

} // namespace velto
