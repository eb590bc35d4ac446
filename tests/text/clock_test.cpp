#include "text/clock.h"

#include <gtest/gtest.h>

#include <cmath>

#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

TEST(TimeToText, DropsTrailingZeroFieldsInTheFullForm) {
  struct Case {
    DateTime time;
    int part;
    const char* want;
  } cases[] = {
      {MakeTime(2015, 3, 4, 12, 30, 45), 1, "2015年3月4日12时30分45秒"},
      {MakeTime(2015, 3, 4, 12, 30, 0), 1, "2015年3月4日12时30分"},
      {MakeTime(2015, 3, 4, 12, 0, 0), 1, "2015年3月4日12时"},
      {MakeTime(2015, 3, 4, 0, 0, 0), 1, "2015年3月4日"},
      {MakeTime(2015, 3, 4, 12, 0, 5), 1, "2015年3月4日12时0分5秒"},
      {MakeTime(2015, 3, 4, 0, 7, 0), 1, "2015年3月4日0时7分"},
      {MakeTime(2015, 3, 4, 12, 30, 45), 0, "2015年3月4日12时30分45秒"},
      {MakeTime(2015, 3, 4, 12, 30, 45), -3, "2015年3月4日12时30分45秒"},
      {MakeTime(2015, 3, 4, 12, 30, 45), 2, "2015年3月4日"},
      {MakeTime(2015, 3, 4, 0, 0, 0), 3, "0时0分0秒"},
      {MakeTime(2015, 3, 4, 12, 0, 5), 3, "12时0分5秒"},
      {MakeTime(2015, 3, 4, 12, 0, 5), 9, "12时0分5秒"},
      {MakeTime(1899, 12, 29, 6, 0, 0), 1, "1899年12月29日6时"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimeToText(c.time, c.part), FromUtf8(c.want)) << c.want;
  }
  EXPECT_EQ(TimeToText(MakeTime(2015, 3, 4, 1, 2, 3)), FromUtf8("2015年3月4日1时2分3秒"));
}

TEST(Clock, SystemTimeHasWholeSecondsAndFixedClockObeys) {
  DateTime now = Now();
  double seconds = now.days() * 86400;
  EXPECT_NEAR(seconds, std::round(seconds), 1e-3);
  EXPECT_GE(GetYear(now), 2024);

  FixedClock clock(MakeTime(2015, 3, 4));
  EXPECT_EQ(clock.Now(), MakeTime(2015, 3, 4));
  clock.Set(MakeTime(2016, 1, 1));
  EXPECT_EQ(clock.Now(), MakeTime(2016, 1, 1));
}

}  // namespace
}  // namespace lanzhou
