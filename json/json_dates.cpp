#include "json/json_dates.h"

#include <string>

#include "text/dates.h"
#include "text/gbk_chars.h"

namespace lanzhou {

namespace {

struct NameTables {
  TextArray short_months, full_months, full_weekdays, short_weekdays;
};

NameTables tables;

const NameTables& Names() {
  if (tables.full_months.empty()) {
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    static const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    for (const char* month : kMonths) {
      tables.full_months.emplace_back(month);
      tables.short_months.emplace_back(std::string(month, 3));
    }
    for (const char* day : kWeekdays) {
      tables.full_weekdays.emplace_back(day);
      tables.short_weekdays.emplace_back(std::string(day, 3));
    }
  }
  return tables;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Reads up to `width` digits at `pos`; `pos` moves past the digits read.
long long ReadDigits(const std::string& s, std::size_t& pos, std::size_t width) {
  long long value = 0;
  std::size_t taken = 0;
  while (taken < width && pos < s.size() && IsDigit(s[pos])) {
    value = value * 10 + (s[pos] - '0');
    ++pos;
    ++taken;
  }
  return value;
}

}  // namespace

DateTime ParseDateText(const Text& text) {
  const std::string& s = text.bytes();
  int state = 0;
  int numbers[6] = {};
  int found = 0;
  DateTime result;
  std::size_t pos = 0;
  while (pos < s.size()) {
    const unsigned char c = s[pos];
    if (state == 0) {
      if (IsDigit(c)) {
        numbers[found] = static_cast<int>(ReadDigits(s, pos, found == 0 ? 4 : 2));
        if (++found == 6) {
          result = MakeTime(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]);
          state = 1;
        }
        continue;
      }
      if (c == 'D' && s.compare(pos, 5, "Date(") == 0 && pos + 5 < s.size() &&
          IsDigit(s[pos + 5])) {
        pos += 5;
        result = AddSeconds(MakeTime(1970, 1, 1), ReadDigits(s, pos, 10));
        state = 1;
        continue;
      }
    } else if (state == 1) {
      if (c == '-') state = 2;
      if (c == '+') state = 3;
    } else if (IsDigit(c)) {
      const int hours = static_cast<int>(ReadDigits(s, pos, 2));
      return AddTime(result, TimePart::kHour, state == 2 ? -hours : hours);
    }
    pos = NextCharStart(s, pos);
  }
  return result;
}

Text FormatDateTime(DateTime value, const Text& format) {
  const std::string& f = format.bytes();
  std::string out;
  out.reserve(f.size() + 8);
  auto padded = [&out](long long number, std::size_t width) {
    std::string digits = std::to_string(number);
    if (digits.size() < width) out.append(width - digits.size(), '0');
    out += digits;
  };
  for (std::size_t pos = 0; pos < f.size();) {
    const char c = f[pos];
    if (c == '\\') {
      if (pos + 1 < f.size()) out += f[pos + 1];
      pos += 2;
      continue;
    }
    if (std::string_view("yMdHhms").find(c) == std::string_view::npos) {
      out += c;
      ++pos;
      continue;
    }
    std::size_t run = 1;
    while (pos + run < f.size() && f[pos + run] == c) ++run;
    pos += run;
    switch (c) {
      case 'y': {
        const std::string year = std::to_string(GetYear(value));
        out += run >= year.size() ? year : year.substr(year.size() - run);
        break;
      }
      case 'M':
        if (run == 3 || run == 4) {
          const NameTables& names = Names();
          const int month = GetMonth(value) - 1;
          out += (run == 3 ? names.short_months : names.full_months)[month].bytes();
        } else {
          padded(GetMonth(value), run);
        }
        break;
      case 'd':
        if (run == 3 || run == 4) {
          const NameTables& names = Names();
          const int day = GetWeekday(value) - 1;
          out += (run == 3 ? names.short_weekdays : names.full_weekdays)[day].bytes();
        } else {
          padded(GetDay(value), run);
        }
        break;
      case 'H':
        padded(GetHour(value), run);
        break;
      case 'h': {
        const int hour = GetHour(value);
        padded(hour > 12 ? hour - 12 : hour, run);
        break;
      }
      case 'm':
        padded(GetMinute(value), run);
        break;
      default:
        padded(GetSecond(value), run);
        break;
    }
  }
  return Text(std::move(out));
}

void ReleaseDateNameTables() { tables = NameTables(); }

}  // namespace lanzhou
