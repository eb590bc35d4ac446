#include "text/dates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lanzhou {
namespace {

// An OLE date counts days from 1899-12-30, but below zero its fraction still runs forward:
// -1.25 is 1899-12-29 06:00. Arithmetic is done on a "linear" day count where -0.75 is that
// same moment, and converted back at the end.
constexpr double kFirstDay = -657434.0;  // 0100-01-01
constexpr double kLastDay = 2958466.0;   // 10000-01-01, exclusive
constexpr std::int64_t kSecondsPerDay = 86400;

double ToLinear(DateTime t) {
  double d = t.days();
  if (std::isnan(d)) return 0;
  double whole = std::trunc(d);
  double linear = whole < 0 ? whole + std::fabs(d - whole) : d;
  return std::clamp(linear, kFirstDay, kLastDay - 1.0 / kSecondsPerDay);
}

DateTime FromLinear(double linear) {
  double whole = std::floor(linear);
  double fraction = linear - whole;
  return DateTime(whole >= 0 ? linear : whole - fraction);
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (after H. Hinnant).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int year, month, day;
};

Civil CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = yoe + era * 400;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(y + (m <= 2)), m, d};
}

const std::int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

struct Parts {
  int year, month, day, hour, minute, second;
  std::int64_t day_number;  // days since the OLE epoch
};

Parts Split(DateTime t) {
  double linear = ToLinear(t);
  // Whole seconds, rounded, so 0.9999999 days reads as the next midnight.
  std::int64_t seconds = std::llround(linear * kSecondsPerDay);
  std::int64_t day =
      seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  int of_day = static_cast<int>(seconds - day * kSecondsPerDay);
  Civil c = CivilFromDays(day + kOleEpoch);
  return {c.year, c.month, c.day, of_day / 3600, of_day / 60 % 60, of_day % 60, day};
}

// Every argument already in range.
DateTime Build(int year, int month, int day, int hour, int minute, int second) {
  double days = static_cast<double>(DaysFromCivil(year, month, day) - kOleEpoch);
  double time = (hour * 3600 + minute * 60 + second) / static_cast<double>(kSecondsPerDay);
  return FromLinear(days + time);
}

// A part outside the list counts as the nearest end.
TimePart InRange(TimePart part) { return std::clamp(part, TimePart::kYear, TimePart::kSecond); }

// The length of a week, day, hour, minute or second in days, and how many hours, minutes or
// seconds a day has; indexed by the part's distance from kWeek.
constexpr double kDaysPerUnit[] = {7.0, 1.0, 1.0 / 24, 1.0 / 1440, 1.0 / 86400};
constexpr double kUnitsPerDay[] = {1.0 / 7, 1.0, 24.0, 1440.0, 86400.0};
std::size_t SpanIndex(TimePart part) {
  return static_cast<std::size_t>(static_cast<int>(part) - static_cast<int>(TimePart::kWeek));
}

}  // namespace

int GetYear(DateTime t) { return Split(t).year; }
int GetMonth(DateTime t) { return Split(t).month; }
int GetDay(DateTime t) { return Split(t).day; }
int GetHour(DateTime t) { return Split(t).hour; }
int GetMinute(DateTime t) { return Split(t).minute; }
int GetSecond(DateTime t) { return Split(t).second; }

int GetWeekday(DateTime t) {
  // Day 0, 1899-12-30, was a Saturday (7).
  std::int64_t r = ((Split(t).day_number % 7) + 7) % 7;
  return static_cast<int>((r + 6) % 7) + 1;
}

DateTime AddTime(DateTime t, TimePart part, int amount) {
  part = InRange(part);
  if (amount == 0) return t;
  if (part > TimePart::kMonth)
    return FromLinear(ToLinear(t) + amount * kDaysPerUnit[SpanIndex(part)]);
  const Parts p = Split(t);
  const std::int64_t months_per_unit = part == TimePart::kYear      ? 12
                                       : part == TimePart::kQuarter ? 3
                                                                    : 1;
  const std::int64_t months = static_cast<std::int64_t>(p.year) * 12 + (p.month - 1) +
                              months_per_unit * static_cast<std::int64_t>(amount);
  const std::int64_t year = months >= 0 ? months / 12 : -((-months + 11) / 12);
  const int month = static_cast<int>(months - year * 12) + 1;
  const int y = static_cast<int>(std::clamp<std::int64_t>(year, 100, 9999));
  return Build(y, month, std::min(p.day, DaysInMonth(y, month)), p.hour, p.minute, p.second);
}

DateTime AddSeconds(DateTime t, long long seconds) {
  // In steps that each fit AddTime's int amount.
  t = AddTime(t, TimePart::kDay, static_cast<int>(seconds / kSecondsPerDay));
  return AddTime(t, TimePart::kSecond, static_cast<int>(seconds % kSecondsPerDay));
}

double TimeDiff(DateTime time1, DateTime time2, TimePart part) {
  part = InRange(part);
  if (time1 == time2) return 0;
  const Parts a = Split(time1);
  const Parts b = Split(time2);
  const double days = ToLinear(time1) - ToLinear(time2);
  switch (part) {
    case TimePart::kYear:
      return a.year - b.year;
    case TimePart::kQuarter:
      return (a.month - 1) / 3 + 4 * (a.year - b.year) - (b.month - 1) / 3;
    case TimePart::kMonth:
      return 12.0 * (a.year - b.year) + a.month - b.month;
    case TimePart::kWeek: {
      double weeks = static_cast<double>(static_cast<std::int64_t>(std::trunc(days)) / 7);
      const int wa = GetWeekday(time1);
      const int wb = GetWeekday(time2);
      if (days > 0 && wa < wb) weeks += 1;
      if (days < 0 && wb < wa) weeks -= 1;
      return weeks;
    }
    case TimePart::kDay:
      return days;
    default:  // whole hours, minutes or seconds, a hair over so that 1:00:00 is one hour
      return std::trunc(days * kUnitsPerDay[SpanIndex(part)] + 5.787037037037037e-6);
  }
}

DateTime MakeTime(std::optional<int> year, std::optional<int> month, std::optional<int> day,
                  std::optional<int> hour, std::optional<int> minute, std::optional<int> second) {
  int y = std::clamp(year.value_or(1), 100, 9999);
  int m = std::clamp(month.value_or(1), 1, 12);
  int d = std::clamp(day.value_or(1), 1, 31);
  d = std::min(d, DaysInMonth(y, m));
  int h = std::clamp(hour.value_or(0), 0, 23);
  int mi = std::clamp(minute.value_or(0), 0, 59);
  int s = std::clamp(second.value_or(0), 0, 59);
  return Build(y, m, d, h, mi, s);
}

}  // namespace lanzhou
