#pragma once

#include "platform/Date.h"

#include <QtCore/QString>

/// How the panel's lists say when something happened, in the user's locale (ICU).
namespace velto::RelativeDates {

/// "now" under a minute (also for dates in the future), then whole minutes "5m", hours "3h" and days "6d",
/// from a week on the month and day without year ("Mar 4" in the locale's order).
QString compactRecency(Date date, Date now);

/// "now" within 10 seconds either way; otherwise a short relative phrase in the largest fitting unit
/// ("3 min. ago", "in 2 hr.").
QString relativeDescription(Date date, Date now);

/// The long relative phrase ("3 minutes ago", "2 days ago").
QString fullRelativeDescription(Date date, Date now);

/// The abbreviated month and the day in the locale's order ("Mar 4").
QString monthDay(Date date);

} // namespace velto::RelativeDates
