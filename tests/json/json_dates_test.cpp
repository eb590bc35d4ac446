#include "json/json_dates.h"

#include <gtest/gtest.h>

#include "text/dates.h"

namespace lanzhou {
namespace {

TEST(ParseDateText, ReadsNumbersEpochSecondsAndOffsets) {
  struct Case {
    const char* text;
    DateTime expected;
  };
  const Case cases[] = {
      {"2015-06-01 08:30:00", MakeTime(2015, 6, 1, 8, 30, 0)},
      {"20150601083000", MakeTime(2015, 6, 1, 8, 30, 0)},
      {"2015/6/1 8:30:05", MakeTime(2015, 6, 1, 8, 30, 5)},
      {"2015-06-01T08:30:00+08", MakeTime(2015, 6, 1, 16, 30, 0)},
      {"2015-06-01T08:30:00-0930", MakeTime(2015, 5, 31, 23, 30, 0)},
      {"/Date(1433147400000)/", MakeTime(2015, 6, 1, 8, 30, 0)},
      {"/Date(1433147400000+0800)/", MakeTime(2015, 6, 1, 16, 30, 0)},
      {"/Date(9999999999)/", DateTime(25569.0 + 9999999999.0 / 86400)},
      {"2015-13-31 24:61:61", MakeTime(2015, 12, 31, 23, 59, 59)},
      {"2015-04-31 00:00:00", MakeTime(2015, 4, 30)},
      {"2015-06-01", DateTime(0)},  // fewer than six numbers
      {"", DateTime(0)},
      {"Date(x", DateTime(0)},
      {"\xB5\xDA"
       "2015\xC4\xEA"
       "06\xD4\xC2"
       "01 08:30:00",
       MakeTime(2015, 6, 1, 8, 30, 0)},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(ParseDateText(Text(c.text)).days(), c.expected.days(), 1e-9) << c.text;
  }
}

TEST(FormatDateTime, FieldsNamesAndLiterals) {
  const DateTime t = MakeTime(2015, 6, 1, 18, 5, 9);  // a Monday
  struct Case {
    const char* format;
    const char* expected;
  };
  const Case cases[] = {
      {"'yyyy-MM-ddTHH:mm:ssZ'", "'2015-06-01T18:05:09Z'"},
      {"yyyy-MM-ddTHH:mm:ssZ", "2015-06-01T18:05:09Z"},
      {"yyyyMMddHHmmss", "20150601180509"},
      {"yy y yyy yyyyy", "15 5 015 2015"},
      {"M d H h m s", "6 1 18 6 5 9"},
      {"MMM MMMM MMMMM", "Jun June 00006"},
      {"ddd dddd", "Mon Monday"},
      {"\\y\\\\ hh", "y\\ 06"},
      {"abc", "abc"},
      {"trailing\\", "trailing"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(t, c.format), Text(c.expected)) << c.format;
  EXPECT_EQ(FormatDateTime(MakeTime(2016, 12, 25, 12, 0, 0), "dddd MMMM h"),
            Text("Sunday December 12"));
  ReleaseDateNameTables();
  EXPECT_EQ(FormatDateTime(t, "MMMM"), Text("June"));  // filled again after a release
}

}  // namespace
}  // namespace lanzhou
