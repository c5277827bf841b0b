#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace velto {

/// A point in time. Sub-second precision is kept in memory (the library adds 0.000001 s to order
/// versions); JSON keeps whole seconds.
using Date = std::chrono::system_clock::time_point;

/// "2026-01-05T09:30:00Z": UTC, whole seconds (the fraction is dropped, not rounded).
std::string iso8601Text(Date date);

/// Reads "yyyy-MM-ddTHH:mm:ssZ" and, leniently, a fraction of seconds and a "+hh:mm"/"-hhmm" offset.
/// Nothing for any other text.
std::optional<Date> parseISO8601(std::string_view text);

/// Seconds since 1970 as a date (for tests and fixed timestamps).
Date dateFromSecondsSince1970(double seconds);
double secondsSince1970(Date date);

/// The date truncated to whole seconds, as it comes back from JSON.
Date wholeSeconds(Date date);

/// "2026-01-05": the year, month and day in UTC, "%04d-%02d-%02d".
std::string utcDayStamp(Date date);

} // namespace velto
