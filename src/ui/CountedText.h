#pragma once

#include <QtCore/QString>

#include <cstdint>

/// Texts that name a count agree with it: "1 page", "3 pages", "0 pages".
namespace velto::CountedText {

/// `singular` when `count` is 1, else `plural`: "page" or "pages", "is" or "are".
QString agreeing(std::int64_t count, const QString &singular, const QString &plural);

/// The count and the word that agrees with it: "1 file", "2 files".
QString counted(std::int64_t count, const QString &singular, const QString &plural);

} // namespace velto::CountedText
