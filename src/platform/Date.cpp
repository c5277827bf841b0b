#include "platform/Date.h"

#include <cmath>

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

/// Appends `value` as exactly `width` decimal digits, with leading zeros; cheaper than printf, which showed in
/// the encoding of journals holding thousands of dates. A Date's years (1677 to 2262) and every other field
/// fit their width.
void appendDigits(std::string &out, int value, std::size_t width) {
    char digits[4];
    for (std::size_t index = width; index > 0; --index) {
        digits[index - 1] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(digits, width);
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
    std::string text;
    text.reserve(20);
    appendDigits(text, static_cast<int>(calendar.day.year()), 4);
    text.push_back('-');
    appendDigits(text, static_cast<int>(static_cast<unsigned>(calendar.day.month())), 2);
    text.push_back('-');
    appendDigits(text, static_cast<int>(static_cast<unsigned>(calendar.day.day())), 2);
    text.push_back('T');
    appendDigits(text, static_cast<int>(calendar.time.hours().count()), 2);
    text.push_back(':');
    appendDigits(text, static_cast<int>(calendar.time.minutes().count()), 2);
    text.push_back(':');
    appendDigits(text, static_cast<int>(calendar.time.seconds().count()), 2);
    text.push_back('Z');
    return text;
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
    std::string text;
    text.reserve(10);
    appendDigits(text, static_cast<int>(day.year()), 4);
    text.push_back('-');
    appendDigits(text, static_cast<int>(static_cast<unsigned>(day.month())), 2);
    text.push_back('-');
    appendDigits(text, static_cast<int>(static_cast<unsigned>(day.day())), 2);
    return text;
}

} // namespace velto
