#include "panel/menu/RelativeDates.h"

#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/smpdtfmt.h>

#include <chrono>
#include <cmath>
#include <memory>

namespace velto::RelativeDates {
namespace {

QString toQString(const icu::UnicodeString &text) {
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

double secondsBetween(Date from, Date to) {
    return std::chrono::duration<double>(to - from).count();
}

// The formatters are made once per style: building one loads locale data.
icu::RelativeDateTimeFormatter *relativeFormatter(UDateRelativeDateTimeFormatterStyle style) {
    static std::unique_ptr<icu::RelativeDateTimeFormatter> shortFormatter;
    static std::unique_ptr<icu::RelativeDateTimeFormatter> longFormatter;
    std::unique_ptr<icu::RelativeDateTimeFormatter> &formatter =
        style == UDAT_STYLE_SHORT ? shortFormatter : longFormatter;
    if (!formatter) {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::RelativeDateTimeFormatter>(icu::Locale::getDefault(), nullptr, style,
                                                                     UDISPCTX_CAPITALIZATION_NONE, status);
        if (U_SUCCESS(status)) {
            formatter = std::move(made);
        }
    }
    return formatter.get();
}

QString relativePhrase(Date date, Date now, UDateRelativeDateTimeFormatterStyle style) {
    const double offset = secondsBetween(now, date); // negative in the past
    const double magnitude = std::fabs(offset);
    struct Unit {
        double seconds;
        URelativeDateTimeUnit unit;
    };
    // The largest unit of which at least one whole fits.
    const Unit units[] = {{365.0 * 86'400, UDAT_REL_UNIT_YEAR},
                          {30.0 * 86'400, UDAT_REL_UNIT_MONTH},
                          {7.0 * 86'400, UDAT_REL_UNIT_WEEK},
                          {86'400, UDAT_REL_UNIT_DAY},
                          {3'600, UDAT_REL_UNIT_HOUR},
                          {60, UDAT_REL_UNIT_MINUTE},
                          {1, UDAT_REL_UNIT_SECOND}};
    Unit chosen = units[6];
    for (const Unit &unit : units) {
        if (magnitude >= unit.seconds) {
            chosen = unit;
            break;
        }
    }
    const double count = std::trunc(offset / chosen.seconds);
    icu::RelativeDateTimeFormatter *formatter = relativeFormatter(style);
    if (formatter == nullptr) {
        return QString::number(static_cast<long long>(count));
    }
    icu::UnicodeString text;
    UErrorCode status = U_ZERO_ERROR;
    formatter->formatNumeric(count, chosen.unit, text, status);
    return U_SUCCESS(status) ? toQString(text) : QString::number(static_cast<long long>(count));
}

} // namespace

QString compactRecency(Date date, Date now) {
    const auto elapsed = static_cast<long long>(std::floor(secondsBetween(date, now)));
    if (elapsed < 60) {
        return QStringLiteral("now");
    }
    if (elapsed < 3'600) {
        return QString::number(elapsed / 60) + QLatin1Char('m');
    }
    if (elapsed < 86'400) {
        return QString::number(elapsed / 3'600) + QLatin1Char('h');
    }
    if (elapsed < 604'800) {
        return QString::number(elapsed / 86'400) + QLatin1Char('d');
    }
    return monthDay(date);
}

QString relativeDescription(Date date, Date now) {
    if (std::fabs(secondsBetween(date, now)) < 10) {
        return QStringLiteral("now");
    }
    return relativePhrase(date, now, UDAT_STYLE_SHORT);
}

QString fullRelativeDescription(Date date, Date now) {
    return relativePhrase(date, now, UDAT_STYLE_LONG);
}

QString monthDay(Date date) {
    static std::unique_ptr<icu::SimpleDateFormat> format;
    if (!format) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::DateTimePatternGenerator> generator(
            icu::DateTimePatternGenerator::createInstance(icu::Locale::getDefault(), status));
        if (U_FAILURE(status)) {
            return {};
        }
        icu::UnicodeString pattern = generator->getBestPattern(icu::UnicodeString(u"MMMd"), status);
        auto made = std::make_unique<icu::SimpleDateFormat>(pattern, icu::Locale::getDefault(), status);
        if (U_FAILURE(status)) {
            return {};
        }
        format = std::move(made);
    }
    const double milliseconds =
        static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count());
    icu::UnicodeString text;
    format->format(milliseconds, text);
    return toQString(text);
}

} // namespace velto::RelativeDates
