#include "text/dates.h"

#include <gtest/gtest.h>

namespace lanzhou {
namespace {

struct YMDHMS {
  int y, mo, d, h, mi, s;
  friend bool operator==(const YMDHMS&, const YMDHMS&) = default;
};

YMDHMS PartsOf(DateTime t) {
  return {GetYear(t), GetMonth(t), GetDay(t), GetHour(t), GetMinute(t), GetSecond(t)};
}

std::ostream& operator<<(std::ostream& os, const YMDHMS& p) {
  return os << p.y << "-" << p.mo << "-" << p.d << " " << p.h << ":" << p.mi << ":" << p.s;
}

TEST(DateParts, KnownOleDates) {
  struct Case {
    double days;
    YMDHMS want;
    int weekday;
  } cases[] = {
      {0.0, {1899, 12, 30, 0, 0, 0}, 7},
      {1.0, {1899, 12, 31, 0, 0, 0}, 1},
      {2.5, {1900, 1, 1, 12, 0, 0}, 2},
      {-1.25, {1899, 12, 29, 6, 0, 0}, 6},
      {42067.52135416667, {2015, 3, 4, 12, 30, 45}, 4},
      {42067.99999999, {2015, 3, 5, 0, 0, 0}, 5},  // rounds to the next midnight
      {-657434.0, {100, 1, 1, 0, 0, 0}, 6},
      {2958465.0, {9999, 12, 31, 0, 0, 0}, 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PartsOf(DateTime(c.days)), c.want) << c.days;
    EXPECT_EQ(GetWeekday(DateTime(c.days)), c.weekday) << c.days;
  }
}

TEST(MakeTime, DefaultsAndClamping) {
  struct Case {
    DateTime got;
    YMDHMS want;
  } cases[] = {
      {MakeTime(), {100, 1, 1, 0, 0, 0}},
      {MakeTime(2015, 2, 30), {2015, 2, 28, 0, 0, 0}},
      {MakeTime(2016, 2, 30), {2016, 2, 29, 0, 0, 0}},
      {MakeTime(1900, 2, 29), {1900, 2, 28, 0, 0, 0}},
      {MakeTime(2000, 2, 29), {2000, 2, 29, 0, 0, 0}},
      {MakeTime(12000, 13, 0, 24, 60, 60), {9999, 12, 1, 23, 59, 59}},
      {MakeTime(-5, -1, -1, -1, -1, -1), {100, 1, 1, 0, 0, 0}},
      {MakeTime(2015, 3, 4, 12, 30, 45), {2015, 3, 4, 12, 30, 45}},
      {MakeTime(1800, 6, 15, 18, 0, 0), {1800, 6, 15, 18, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(PartsOf(c.got), c.want);
  EXPECT_DOUBLE_EQ(MakeTime(1899, 12, 30).days(), 0);
  EXPECT_DOUBLE_EQ(MakeTime(1899, 12, 29, 6).days(), -1.25);
}

TEST(AddTime, CalendarAndSpanUnits) {
  const DateTime jan31 = MakeTime(2016, 1, 31, 10, 20, 30);
  struct Case {
    DateTime from;
    TimePart part;
    int amount;
    YMDHMS want;
  } cases[] = {
      {jan31, TimePart::kMonth, 1, {2016, 2, 29, 10, 20, 30}},
      {jan31, TimePart::kMonth, 13, {2017, 2, 28, 10, 20, 30}},
      {jan31, TimePart::kMonth, -2, {2015, 11, 30, 10, 20, 30}},
      {jan31, TimePart::kQuarter, 1, {2016, 4, 30, 10, 20, 30}},
      {jan31, TimePart::kYear, 1, {2017, 1, 31, 10, 20, 30}},
      {MakeTime(2016, 2, 29), TimePart::kYear, 1, {2017, 2, 28, 0, 0, 0}},
      {jan31, TimePart::kYear, 100000, {9999, 1, 31, 10, 20, 30}},
      {jan31, TimePart{0}, 1, {2017, 1, 31, 10, 20, 30}},  // counts as kYear
      {jan31, TimePart::kWeek, 1, {2016, 2, 7, 10, 20, 30}},
      {jan31, TimePart::kDay, -31, {2015, 12, 31, 10, 20, 30}},
      {jan31, TimePart::kHour, 14, {2016, 2, 1, 0, 20, 30}},
      {jan31, TimePart::kMinute, -21, {2016, 1, 31, 9, 59, 30}},
      {jan31, TimePart::kSecond, 30, {2016, 1, 31, 10, 21, 0}},
      {jan31, TimePart{99}, 30, {2016, 1, 31, 10, 21, 0}},  // counts as kSecond
      {MakeTime(1899, 12, 29, 6), TimePart::kHour, 20, {1899, 12, 30, 2, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PartsOf(AddTime(c.from, c.part, c.amount)), c.want)
        << static_cast<int>(c.part) << " " << c.amount;
  }
  for (int part = 1; part <= 8; ++part) EXPECT_EQ(AddTime(jan31, TimePart{part}, 0), jan31);
  // More seconds than an int holds.
  EXPECT_EQ(PartsOf(AddSeconds(MakeTime(1970, 1, 1), 4102444801LL)), (YMDHMS{2100, 1, 1, 0, 0, 1}));
}

TEST(TimeDiff, EveryUnit) {
  const DateTime a = MakeTime(2016, 5, 10, 12, 0, 0);  // a Tuesday
  const DateTime b = MakeTime(2015, 11, 1, 6, 30, 0);  // a Sunday
  struct Case {
    DateTime t1, t2;
    TimePart part;
    double want;
  } cases[] = {
      {a, b, TimePart::kYear, 1},
      {a, b, TimePart::kQuarter, 2},
      {a, b, TimePart::kMonth, 6},
      {a, b, TimePart::kWeek, 27},
      {a, b, TimePart::kDay, 191.22916666666666},
      {a, b, TimePart::kHour, 4589},
      {a, b, TimePart::kMinute, 275370},
      {a, b, TimePart::kSecond, 16522200},
      {b, a, TimePart::kMonth, -6},
      {b, a, TimePart::kHour, -4589},
      // Weeks count Sundays between: Saturday to next Sunday is one week.
      {MakeTime(2016, 5, 8), MakeTime(2016, 5, 7), TimePart::kWeek, 1},
      {MakeTime(2016, 5, 7), MakeTime(2016, 5, 8), TimePart::kWeek, -1},
      {MakeTime(2016, 5, 14), MakeTime(2016, 5, 8), TimePart::kWeek, 0},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(TimeDiff(c.t1, c.t2, c.part), c.want, 1e-9) << static_cast<int>(c.part);
  }
  for (int part = 0; part <= 9; ++part) EXPECT_EQ(TimeDiff(a, a, TimePart{part}), 0);
  EXPECT_EQ(TimeDiff(a, b), 1);
}

}  // namespace
}  // namespace lanzhou
