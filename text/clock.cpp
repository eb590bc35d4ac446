#include "text/clock.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {

DateTime SystemClock::Now() const {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return MakeTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, std::min(local.tm_sec, 59));  // a leap second reads as :59
}

DateTime Now() { return SystemClock().Now(); }

Text TimeToText(DateTime time, int part) {
  part = std::clamp(part, 1, 3);
  const int year = GetYear(time), month = GetMonth(time), day = GetDay(time);
  const int hour = GetHour(time), minute = GetMinute(time), second = GetSecond(time);
  auto n = [](int v) { return std::to_string(v); };
  std::string utf8;
  if (part != 3) utf8 = n(year) + "年" + n(month) + "月" + n(day) + "日";
  if (part == 3 || (part == 1 && second != 0)) {
    utf8 += n(hour) + "时" + n(minute) + "分" + n(second) + "秒";
  } else if (part == 1 && minute != 0) {
    utf8 += n(hour) + "时" + n(minute) + "分";
  } else if (part == 1 && hour != 0) {
    utf8 += n(hour) + "时";
  }
  return FromUtf8(utf8);
}

}  // namespace lanzhou
