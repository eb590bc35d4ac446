// Date-time parts and calendar arithmetic over the OLE Automation date.
#ifndef LANZHOU_SERVICES_DATES_H_
#define LANZHOU_SERVICES_DATES_H_

#include <optional>

#include "services/text.h"

namespace lanzhou {

// Parts of a date-time, resolved to whole seconds. Weekday: 1 = Sunday ... 7 = Saturday.
int GetYear(DateTime t);
int GetMonth(DateTime t);
int GetDay(DateTime t);
int GetHour(DateTime t);
int GetMinute(DateTime t);
int GetSecond(DateTime t);
int GetWeekday(DateTime t);

// Parts: 1 year, 2 quarter, 3 month, 4 week, 5 day, 6 hour, 7 minute, 8 second (clamped).
// Month-like parts clamp the day to the new month: 2016-01-31 + 1 month = 2016-02-29.
DateTime AddTime(DateTime t, int part, int amount);
// time1 - time2 in the part's unit (default 1, years).
double TimeDiff(DateTime time1, DateTime time2, int part = 1);
// Omitted year/month/day are 1, the rest 0; each part clamped (year 100..9999, day to the
// month's length). MakeTime() == 100-01-01 00:00:00; MakeTime(2015, 2, 30) == 2015-02-28.
DateTime MakeTime(std::optional<int> year = std::nullopt, std::optional<int> month = std::nullopt,
                  std::optional<int> day = std::nullopt, std::optional<int> hour = std::nullopt,
                  std::optional<int> minute = std::nullopt,
                  std::optional<int> second = std::nullopt);

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_DATES_H_
