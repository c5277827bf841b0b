#include "ui/CountedText.h"

namespace velto::CountedText {

QString agreeing(std::int64_t count, const QString &singular, const QString &plural) {
    return count == 1 ? singular : plural;
}

QString counted(std::int64_t count, const QString &singular, const QString &plural) {
    return QString::number(count) + QLatin1Char(' ') + agreeing(count, singular, plural);
}

} // namespace velto::CountedText
