#include "platform/Date.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

// 2026-01-05T09:30:00Z
constexpr double referenceSeconds = 1767605400;

TEST(Date, WritesUtcWithWholeSecondsDroppingTheFraction) {
    EXPECT_EQ(iso8601Text(dateFromSecondsSince1970(referenceSeconds)), "2026-01-05T09:30:00Z");
    EXPECT_EQ(iso8601Text(dateFromSecondsSince1970(referenceSeconds + 0.999)), "2026-01-05T09:30:00Z");
    EXPECT_EQ(iso8601Text(dateFromSecondsSince1970(0)), "1970-01-01T00:00:00Z");
    EXPECT_EQ(iso8601Text(dateFromSecondsSince1970(951782400)), "2000-02-29T00:00:00Z");
    EXPECT_EQ(iso8601Text(dateFromSecondsSince1970(-1)), "1969-12-31T23:59:59Z");
    EXPECT_EQ(iso8601Text(dateFromSecondsSince1970(-8'520'336'000)), "1700-01-01T00:00:00Z");
    EXPECT_EQ(iso8601Text(dateFromSecondsSince1970(9'214'646'399)), "2261-12-31T23:59:59Z");
}

TEST(Date, DayStampIsTheUtcCalendarDay) {
    EXPECT_EQ(utcDayStamp(dateFromSecondsSince1970(referenceSeconds)), "2026-01-05");
    EXPECT_EQ(utcDayStamp(dateFromSecondsSince1970(referenceSeconds + 14.5 * 3600 - 1)), "2026-01-05");
    EXPECT_EQ(utcDayStamp(dateFromSecondsSince1970(referenceSeconds + 14.5 * 3600)), "2026-01-06");
}

TEST(Date, ReadsTheWrittenFormBack) {
    Date date = dateFromSecondsSince1970(referenceSeconds);
    EXPECT_EQ(parseISO8601(iso8601Text(date)), date);
}

struct LenientCase {
    const char *text;
    double expectedSeconds;
};

TEST(Date, ReadsFractionsAndOffsetsLeniently) {
    const LenientCase cases[] = {
        {"2026-01-05T09:30:00Z", referenceSeconds},
        {"2026-01-05T09:30:00.5Z", referenceSeconds + 0.5},
        {"2026-01-05T09:30:00.123456789123Z", referenceSeconds + 0.123456789},
        {"2026-01-05T10:30:00+01:00", referenceSeconds},
        {"2026-01-05T10:30:00+0100", referenceSeconds},
        {"2026-01-05T10:30:00+01", referenceSeconds},
        {"2026-01-05T04:00:00-05:30", referenceSeconds},
        {"2026-01-05T09:30:00.250+00:00", referenceSeconds + 0.25},
    };
    for (const LenientCase &entry : cases) {
        auto date = parseISO8601(entry.text);
        ASSERT_TRUE(date) << entry.text;
        EXPECT_NEAR(secondsSince1970(*date), entry.expectedSeconds, 1e-6) << entry.text;
    }
}

TEST(Date, RejectsAnythingElse) {
    const char *rejected[] = {
        "",
        "2026-01-05",
        "2026-01-05T09:30Z",
        "2026-01-05T09:30:00",      // no zone
        "2026-01-05 09:30:00Z",     // space instead of T
        "2026-01-05T09:30:00z",     // lower-case zone
        "2026-13-05T09:30:00Z",     // month 13
        "2026-02-29T09:30:00Z",     // not a leap year
        "2026-01-05T24:00:00Z",     // hour 24
        "2026-01-05T09:60:00Z",     // minute 60
        "2026-01-05T09:30:00.Z",    // empty fraction
        "2026-01-05T09:30:00+1:00", // short offset
        "2026-01-05T09:30:00Zjunk", // trailing text
        " 2026-01-05T09:30:00Z",    // leading space
        "26-01-05T09:30:00Z",       // two-digit year
        "yesterday",
        "9999-12-31T23:59:59Z", // beyond what a Date holds
        "1000-01-01T00:00:00Z",
    };
    for (const char *text : rejected) {
        EXPECT_FALSE(parseISO8601(text)) << text;
    }
}

TEST(Date, ReadsTheEdgesOfTheCalendar) {
    EXPECT_EQ(iso8601Text(*parseISO8601("2024-02-29T23:59:59Z")), "2024-02-29T23:59:59Z");
    EXPECT_EQ(iso8601Text(*parseISO8601("2026-01-01T00:30:00+01:00")), "2025-12-31T23:30:00Z");
    EXPECT_EQ(iso8601Text(*parseISO8601("2200-12-31T23:59:59Z")), "2200-12-31T23:59:59Z");
}

TEST(Date, WholeSecondsTruncates) {
    Date date = dateFromSecondsSince1970(referenceSeconds + 0.75);
    EXPECT_EQ(wholeSeconds(date), dateFromSecondsSince1970(referenceSeconds));
    EXPECT_DOUBLE_EQ(secondsSince1970(dateFromSecondsSince1970(referenceSeconds + 0.000001)),
                     referenceSeconds + 0.000001);
}

} // namespace
} // namespace velto
