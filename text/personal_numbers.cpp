#include "text/personal_numbers.h"

#include <array>
#include <bitset>

#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

int Number(std::string_view digits) {
  int n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

// A birth date that exists, from 1800, and is not after `today`.
bool IsBirthDate(int year, int month, int day, DateTime today) {
  if (year < 1800 || month < 1 || month > 12 || day < 1) return false;
  constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDays[static_cast<std::size_t>(month - 1)] + (month == 2 && leap ? 1 : 0)) {
    return false;
  }
  const int now = GetYear(today) * 10000 + GetMonth(today) * 100 + GetDay(today);
  return year * 10000 + month * 100 + day <= now;
}

// The province-level codes of GB/T 2260 (Taiwan 71, Hong Kong 81, Macao 82, and 83 of the
// residence permits for people from Taiwan).
bool IsProvinceCode(int code) {
  static constexpr auto kCodes =
      std::to_array<int>({11, 12, 13, 14, 15, 21, 22, 23, 31, 32, 33, 34, 35, 36, 37, 41, 42, 43,
                          44, 45, 46, 50, 51, 52, 53, 54, 61, 62, 63, 64, 65, 71, 81, 82, 83});
  for (int c : kCodes) {
    if (c == code) return true;
  }
  return false;
}

// The three-digit prefixes of mainland mobile numbers, after the numbering plan of the
// Ministry of Industry and Information Technology (电信网编号计划, 2017 edition) and the
// allocations it published since (166, 167, 162, 165, 19x …). Update it here when a new
// prefix is opened.
constexpr auto kMobilePrefixes =
    std::to_array<int>({130, 131, 132, 133, 134, 135, 136, 137, 138, 139,  // the first networks
                        145, 146, 147, 148, 149,                           // data cards, IoT
                        150, 151, 152, 153, 155, 156, 157, 158, 159,       // 154 is not given
                        162, 165, 166, 167,                                // virtual operators, 166
                        170, 171, 172, 173, 174, 175, 176, 177, 178,       // virtual operators, 4G
                        180, 181, 182, 183, 184, 185, 186, 187, 188, 189,  //
                        190, 191, 192, 193, 195, 196, 197, 198, 199});     // 194 is not given

}  // namespace

char ResidentIdCheck(std::string_view id) {
  constexpr std::array<int, 17> kWeights = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  int sum = 0;
  for (std::size_t k = 0; k < 17; ++k) sum += (id[k] - '0') * kWeights[k];
  constexpr std::string_view kCheck = "10X98765432";
  return kCheck[static_cast<std::size_t>(sum % 11)];
}

IdProblem ResidentIdProblem(std::string_view id, DateTime today) {
  if (id.size() == 15) {
    if (!AllDigits(id)) return IdProblem::kShape;
    if (!IsBirthDate(1900 + Number(id.substr(6, 2)), Number(id.substr(8, 2)),
                     Number(id.substr(10, 2)), today)) {
      return IdProblem::kDate;
    }
  } else {
    if (id.size() != 18 || !AllDigits(id.substr(0, 17))) return IdProblem::kShape;
    const char last = id[17] == 'x' ? 'X' : id[17];
    if (!IsDigit(last) && last != 'X') return IdProblem::kShape;
    if (ResidentIdCheck(id) != last) return IdProblem::kCheck;
    if (!IsBirthDate(Number(id.substr(6, 4)), Number(id.substr(10, 2)), Number(id.substr(12, 2)),
                     today)) {
      return IdProblem::kDate;
    }
  }
  return IsProvinceCode(Number(id.substr(0, 2))) ? IdProblem::kNone : IdProblem::kRegion;
}

std::optional<std::string> UpgradedResidentId(std::string_view id) {
  if (id.size() != 15 || !AllDigits(id)) return std::nullopt;
  std::string out;
  out.reserve(18);
  out.append(id.substr(0, 6)).append("19").append(id.substr(6));
  out += ResidentIdCheck(out);
  return out;
}

Text IdProblemText(IdProblem problem) {
  switch (problem) {
    case IdProblem::kNone:
      return Text();
    case IdProblem::kShape:
      return FromUtf8("格式不符");
    case IdProblem::kCheck:
      return FromUtf8("校验码错误");
    case IdProblem::kDate:
      return FromUtf8("出生日期无效");
    case IdProblem::kRegion:
      return FromUtf8("地区码无效");
  }
  return Text();
}

bool IsMobileNumber(std::string_view digits) {
  static const std::bitset<200> kKnown = [] {
    std::bitset<200> known;
    for (int p : kMobilePrefixes) known.set(static_cast<std::size_t>(p));
    return known;
  }();
  return digits.size() == 11 && digits[0] == '1' && AllDigits(digits) &&
         kKnown.test(static_cast<std::size_t>(Number(digits.substr(0, 3))));
}

bool IsBankCardNumber(std::string_view digits) {
  if (digits.size() < 16 || digits.size() > 19 || !AllDigits(digits)) return false;
  int sum = 0;
  bool twice = false;  // every second digit from the right is doubled
  for (auto it = digits.rbegin(); it != digits.rend(); ++it, twice = !twice) {
    int d = *it - '0';
    if (twice) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return sum % 10 == 0;
}

}  // namespace lanzhou
