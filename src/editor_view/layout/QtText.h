#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace velto::editor {

/// The editor holds UTF-16 text as `std::u16string`, Qt as `QString`: both are the same units, copied as they are.
inline QString qtString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar *>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string fromQt(const QString &text) {
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size()));
}

} // namespace velto::editor
