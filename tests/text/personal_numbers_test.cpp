#include "text/personal_numbers.h"

#include <gtest/gtest.h>

#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

// A function, not a constant: the calendar of text/dates is not set up before main.
DateTime Today() { return MakeTime(2026, 12, 8); }

TEST(ResidentIdProblem, HitsAndNearMisses) {
  const struct {
    const char* id;
    IdProblem want;
  } cases[] = {
      {"11010519491231002X", IdProblem::kNone},
      {"11010519491231002x", IdProblem::kNone},
      {"110105194912310021", IdProblem::kCheck},
      {"11010519491231002Y", IdProblem::kShape},
      {"1101051949123100", IdProblem::kShape},
      {"1101051949123100211", IdProblem::kShape},
      {"11010519901345002X", IdProblem::kCheck},  // the date is looked at after the check
      {"110105199013450021", IdProblem::kDate},   // a 13th month
      {"110105199002300028", IdProblem::kDate},   // 30 February
      {"110105200002290021", IdProblem::kNone},   // 2000 is a leap year
      {"110105190002290025", IdProblem::kDate},   // 1900 is not
      {"110105179912310024", IdProblem::kDate},   // before 1800
      {"110105202612080012", IdProblem::kNone},   // born today
      {"110105202612090018", IdProblem::kDate},   // born tomorrow
      {"990105194912310023", IdProblem::kRegion},
      {"710105194912310021", IdProblem::kNone},  // Taiwan
      {"830105194912310029", IdProblem::kNone},  // a residence permit
      {"720105194912310023", IdProblem::kRegion},
      // The old form: a birth date 19YYMMDD, no check character.
      {"110105491231002", IdProblem::kNone},
      {"110105491331002", IdProblem::kDate},
      {"990105491231002", IdProblem::kRegion},
      {"11010549123100X", IdProblem::kShape},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResidentIdProblem(c.id, Today()), c.want) << c.id;
  }
}

// Numbers judged by an independent implementation (make_resident_ids.py): every verdict the
// same, the reason too.
TEST(ResidentIdProblem, AgreesWithAnIndependentCheck) {
  const struct {
    const char* id;
    IdProblem want;
  } cases[] = {
#include "resident_id_cases.inc"
  };
  int wrong = 0;
  for (const auto& c : cases) {
    if (ResidentIdProblem(c.id, Today()) == c.want) continue;
    if (++wrong <= 5) ADD_FAILURE() << c.id;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(std::size(cases), 2000u);
}

TEST(UpgradedResidentId, InsertsTheCenturyAndAddsTheCheck) {
  EXPECT_EQ(UpgradedResidentId("110105491231002"), "11010519491231002X");
  EXPECT_EQ(UpgradedResidentId("130503670401001"), "130503196704010016");
  EXPECT_EQ(UpgradedResidentId("13050367040100"), std::nullopt);
  EXPECT_EQ(UpgradedResidentId("13050367040100A"), std::nullopt);
  EXPECT_EQ(ResidentIdProblem(*UpgradedResidentId("110105491231002"), Today()), IdProblem::kNone);
}

TEST(IsMobileNumber, PrefixesOldAndNew) {
  const struct {
    const char* digits;
    bool want;
  } cases[] = {
      {"13800138000", true},  {"14512345678", true},  {"16612345678", true},
      {"16212345678", true},  {"17012345678", true},  {"19112345678", true},
      {"19912345678", true},  {"15412345678", false}, {"19412345678", false},
      {"16012345678", false}, {"12800138000", false}, {"23800138000", false},
      {"99912345678", false}, {"1380013800", false},  {"138001380001", false},
      {"1380013800a", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsMobileNumber(c.digits), c.want) << c.digits;
}

TEST(IsBankCardNumber, LuhnOverSixteenToNineteenDigits) {
  const struct {
    const char* digits;
    bool want;
  } cases[] = {
      {"6222021234567890128", true},   {"6222021234567890127", false},  // the last digit changed
      {"6222022134567890128", false},                                   // two digits swapped
      {"4111111111111111", true},                                       // 16 digits
      {"411111111111111", false},                                       // 15
      {"62220212345678901280", false},  // 20 digits, an order number
      {"00000000000000000000", false}, {"0000000000000000", true},
      {"622202123456789012a", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsBankCardNumber(c.digits), c.want) << c.digits;
}

TEST(IdProblemText, NamesTheReason) {
  EXPECT_EQ(ToUtf8(IdProblemText(IdProblem::kCheck)), "校验码错误");
  EXPECT_EQ(ToUtf8(IdProblemText(IdProblem::kDate)), "出生日期无效");
  EXPECT_EQ(ToUtf8(IdProblemText(IdProblem::kRegion)), "地区码无效");
  EXPECT_EQ(IdProblemText(IdProblem::kNone), Text());
}

}  // namespace
}  // namespace lanzhou
