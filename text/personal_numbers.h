// Whether numbers that look like personal data are real: resident ID numbers, mainland mobile
// numbers and bank-card numbers. The numbers are given as ASCII (the finders fold full-width
// digits and take out separators first); nothing here looks for them in free text.
#ifndef LANZHOU_TEXT_PERSONAL_NUMBERS_H_
#define LANZHOU_TEXT_PERSONAL_NUMBERS_H_

#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace lanzhou {

// What is wrong with a resident ID number, in the order it is looked at.
enum class IdProblem {
  kNone,
  kShape,   // not 17 digits and a digit or X/x (or, old form, 15 digits)
  kCheck,   // the check character is not the one the weights give
  kDate,    // no such birth date, or one after `today`
  kRegion,  // the first two digits are no province-level code
};

// The problem of an 18-character ID number (positions 7-14 the birth date YYYYMMDD, from
// 1800), or of the old 15-digit form (birth date 19YYMMDD at positions 7-12, no check
// character), judged on `today` (the birth date may be today, not later).
//   ResidentIdProblem("11010519491231002X", today) == kNone   (x as well)
//   ResidentIdProblem("110105194912310021", today) == kCheck
//   ResidentIdProblem("110105199013450021", today) == kDate   (a 13th month)
//   ResidentIdProblem("990105194912310023", today) == kRegion
IdProblem ResidentIdProblem(std::string_view id, DateTime today);

// The check character (0-9 or X) the weights 7 9 10 5 8 4 2 1 6 3 7 9 10 5 8 4 2 give for the
// first 17 digits of `id` (which must be digits): ResidentIdCheck("11010519491231002") == 'X'.
char ResidentIdCheck(std::string_view id);

// The 18-character form of a 15-digit ID number: "19" before its year and the check character
// after it; nothing for anything else.
//   UpgradedResidentId("110105491231002") == "11010519491231002X"
std::optional<std::string> UpgradedResidentId(std::string_view id);

// What a user is told is wrong, GB18030: 校验码错误, 出生日期无效, 地区码无效 (empty for kNone;
// 格式不符 for kShape).
Text IdProblemText(IdProblem problem);

// Whether 11 digits are a mainland mobile number: "1", a second digit 3-9 and a prefix that
// some network has been given (the table in personal_numbers.cpp).
//   IsMobileNumber("16612345678") == true; IsMobileNumber("15412345678") == false
bool IsMobileNumber(std::string_view digits);

// Whether 16-19 digits pass the Luhn check of bank-card numbers:
//   IsBankCardNumber("6222021234567890128") == true; a changed digit, or 20 digits: false
bool IsBankCardNumber(std::string_view digits);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_PERSONAL_NUMBERS_H_
