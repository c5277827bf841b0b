#include "platform/Date.h"

#include <cmath>
#include <cstdio>

namespace velto {

namespace {

using namespace std::chrono;

struct CalendarTime {
    year_month_day day;
    hh_mm_ss<seconds> time;
};

// Calendar arithmetic on sys_days is UTC by definition: no time zone or locale is consulted.
CalendarTime utcCalendarTime(Date date) {
    auto secondsSinceEpoch = floor<seconds>(date);
    auto day = floor<days>(secondsSinceEpoch);
    return {year_month_day(day), hh_mm_ss<seconds>(secondsSinceEpoch - day)};
}

/// Reads exactly `count` decimal digits at `position`, advancing it; -1 when they are not there.
int readDigits(std::string_view text, std::size_t &position, std::size_t count) {
    if (position + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char c = text[position + i];
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    position += count;
    return value;
}

bool readCharacter(std::string_view text, std::size_t &position, char expected) {
    if (position < text.size() && text[position] == expected) {
        ++position;
        return true;
    }
    return false;
}

/// The digits after the decimal point as nanoseconds; digits beyond the ninth are read and ignored.
std::optional<nanoseconds> readFraction(std::string_view text, std::size_t &position) {
    std::int64_t nanos = 0;
    std::size_t digitCount = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
        if (digitCount < 9) {
            nanos = nanos * 10 + (text[position] - '0');
        }
        ++digitCount;
        ++position;
    }
    if (digitCount == 0) {
        return std::nullopt;
    }
    for (std::size_t i = digitCount; i < 9; ++i) {
        nanos *= 10;
    }
    return nanoseconds(nanos);
}

/// "Z", "+hh:mm", "+hhmm" or "+hh" (and the same with "-") as the offset east of UTC.
std::optional<minutes> readZone(std::string_view text, std::size_t &position) {
    if (readCharacter(text, position, 'Z')) {
        return minutes(0);
    }
    int sign = 0;
    if (readCharacter(text, position, '+')) {
        sign = 1;
    } else if (readCharacter(text, position, '-')) {
        sign = -1;
    } else {
        return std::nullopt;
    }
    int hours = readDigits(text, position, 2);
    if (hours < 0 || hours > 23) {
        return std::nullopt;
    }
    int offsetMinutes = 0;
    if (position < text.size()) {
        readCharacter(text, position, ':'); // the colon is optional: "+0100" and "+01:00" mean the same
        offsetMinutes = readDigits(text, position, 2);
        if (offsetMinutes < 0 || offsetMinutes > 59) {
            return std::nullopt;
        }
    }
    return minutes(sign * (hours * 60 + offsetMinutes));
}

} // namespace

std::string iso8601Text(Date date) {
    CalendarTime calendar = utcCalendarTime(date);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(calendar.day.year()),
                  static_cast<unsigned>(calendar.day.month()), static_cast<unsigned>(calendar.day.day()),
                  static_cast<int>(calendar.time.hours().count()), static_cast<int>(calendar.time.minutes().count()),
                  static_cast<int>(calendar.time.seconds().count()));
    return buffer;
}

std::optional<Date> parseISO8601(std::string_view text) {
    std::size_t position = 0;
    int yearValue = readDigits(text, position, 4);
    if (yearValue < 0 || !readCharacter(text, position, '-')) {
        return std::nullopt;
    }
    int monthValue = readDigits(text, position, 2);
    if (monthValue < 0 || !readCharacter(text, position, '-')) {
        return std::nullopt;
    }
    int dayValue = readDigits(text, position, 2);
    if (dayValue < 0 || !readCharacter(text, position, 'T')) {
        return std::nullopt;
    }
    int hourValue = readDigits(text, position, 2);
    if (hourValue < 0 || !readCharacter(text, position, ':')) {
        return std::nullopt;
    }
    int minuteValue = readDigits(text, position, 2);
    if (minuteValue < 0 || !readCharacter(text, position, ':')) {
        return std::nullopt;
    }
    int secondValue = readDigits(text, position, 2);
    if (secondValue < 0) {
        return std::nullopt;
    }
    nanoseconds fraction(0);
    if (readCharacter(text, position, '.')) {
        auto digits = readFraction(text, position);
        if (!digits) {
            return std::nullopt;
        }
        fraction = *digits;
    }
    auto zone = readZone(text, position);
    if (!zone || position != text.size()) {
        return std::nullopt;
    }

    year_month_day day{year(yearValue), month(static_cast<unsigned>(monthValue)),
                       std::chrono::day(static_cast<unsigned>(dayValue))};
    if (!day.ok() || hourValue > 23 || minuteValue > 59 || secondValue > 59) {
        return std::nullopt;
    }
    // Whole seconds first: a Date holds nanoseconds in 64 bits (about 1678 to 2262), and a text outside that
    // range must be refused rather than overflow.
    sys_seconds utc = sys_days(day) + hours(hourValue) + minutes(minuteValue) + seconds(secondValue) - *zone;
    if (utc < floor<seconds>(Date::min()) + seconds(1) || utc >= floor<seconds>(Date::max())) {
        return std::nullopt;
    }
    return time_point_cast<Date::duration>(utc) + duration_cast<Date::duration>(fraction);
}

Date dateFromSecondsSince1970(double seconds) {
    return Date(round<Date::duration>(duration<double>(seconds)));
}

double secondsSince1970(Date date) {
    return duration<double>(date.time_since_epoch()).count();
}

Date wholeSeconds(Date date) {
    return floor<seconds>(date);
}

std::string utcDayStamp(Date date) {
    year_month_day day = utcCalendarTime(date).day;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
    return buffer;
}

} // namespace velto
