// Date texts of the JSON module: ParseDateText on arbitrary text, FormatDateTime with
// arbitrary patterns and values, and a written date read back as the same date.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "json/json_dates.h"
#include "text/dates.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  FuzzedDataProvider in(data, size);
  const int year = in.ConsumeIntegralInRange(100, 9999);
  const int month = in.ConsumeIntegralInRange(1, 12);
  const int day = in.ConsumeIntegralInRange(1, 31);
  const int hour = in.ConsumeIntegralInRange(0, 23);
  const int minute = in.ConsumeIntegralInRange(0, 59);
  const int second = in.ConsumeIntegralInRange(0, 59);
  // Any double at all: a document may hold whatever a caller stored as a date.
  const double any = in.ConsumeFloatingPoint<double>();
  const Text format(in.ConsumeRandomLengthString(24));
  const Text text(in.ConsumeRemainingBytesAsString());

  const DateTime parsed = ParseDateText(text);
  FUZZ_CHECK(std::isfinite(parsed.days()), fuzz::Escaped(text.view()));

  const DateTime t = MakeTime(year, month, day, hour, minute, second);
  FUZZ_CHECK(GetYear(t) == year && GetMonth(t) == month && GetHour(t) == hour &&
                 GetMinute(t) == minute && GetSecond(t) == second,
             std::to_string(t.days()));
  const Text written = FormatDateTime(t, Text("yyyy-MM-ddTHH:mm:ss+00"));
  FUZZ_CHECK(ParseDateText(written) == t, fuzz::Escaped(written.view()));
  if (year >= 1000) {
    const Text compact = FormatDateTime(t, Text("yyyyMMddHHmmss"));
    FUZZ_CHECK(compact.size() == 14 && ParseDateText(compact) == t, fuzz::Escaped(compact.view()));
  }

  for (const DateTime value : {t, parsed, DateTime(any)}) {
    const Text out = FormatDateTime(value, format);
    // A field writes at most its run of digits or a name of up to 9 letters.
    FUZZ_CHECK(out.size() <= 9 * format.size() + 16,
               fuzz::Escaped(format.view()) + " gave " + fuzz::Escaped(out.view()));
  }
  return 0;
}
