// Date-time parts and calendar arithmetic over the OLE Automation date.
#ifndef LANZHOU_TEXT_DATES_H_
#define LANZHOU_TEXT_DATES_H_

#include <optional>

#include "text/text.h"

namespace lanzhou {

// Parts of a date-time, resolved to whole seconds. Weekday: 1 = Sunday ... 7 = Saturday.
int GetYear(DateTime t);
int GetMonth(DateTime t);
int GetDay(DateTime t);
int GetHour(DateTime t);
int GetMinute(DateTime t);
int GetSecond(DateTime t);
int GetWeekday(DateTime t);

// The unit of AddTime and TimeDiff. A value outside the list counts as the nearest end
// (below kYear as kYear, above kSecond as kSecond).
enum class TimePart : int { kYear = 1, kQuarter, kMonth, kWeek, kDay, kHour, kMinute, kSecond };

// t moved by `amount` units. Month-like parts clamp the day to the new month:
// AddTime(2016-01-31, TimePart::kMonth, 1) == 2016-02-29; the others add a span of time.
DateTime AddTime(DateTime t, TimePart part, int amount);
// t moved by any number of seconds (more than an int of them, too).
DateTime AddSeconds(DateTime t, long long seconds);
// time1 - time2 in the part's unit: whole years, quarters, months and weeks by the calendar;
// days with their fraction; whole hours, minutes and seconds.
double TimeDiff(DateTime time1, DateTime time2, TimePart part = TimePart::kYear);
// Omitted year/month/day are 1, the rest 0; each part clamped (year 100..9999, day to the
// month's length). MakeTime() == 100-01-01 00:00:00; MakeTime(2015, 2, 30) == 2015-02-28.
DateTime MakeTime(std::optional<int> year = std::nullopt, std::optional<int> month = std::nullopt,
                  std::optional<int> day = std::nullopt, std::optional<int> hour = std::nullopt,
                  std::optional<int> minute = std::nullopt,
                  std::optional<int> second = std::nullopt);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_DATES_H_
