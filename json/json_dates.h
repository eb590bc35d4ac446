// Date texts of the JSON module: a lenient reader and a pattern writer.
#ifndef LANZHOU_JSON_JSON_DATES_H_
#define LANZHOU_JSON_JSON_DATES_H_

#include "text/text.h"

namespace lanzhou {

// Reads a date-time from text, skipping what is not a number. Six numbers are taken as year
// (4 bytes), month, day, hour, minute and second (2 bytes each, as far as they are digits)
// and clamped into range; "Date(" followed by digits is up to 10 digits of seconds after
// 1970-01-01 00:00:00. After either, "+hh" or "-hh" adds or subtracts hours.
//   ParseDateText("2015-06-01 08:30:00")     == 2015-06-01 08:30:00
//   ParseDateText("20150601083000")          == the same
//   ParseDateText("2015-06-01T08:30:00+08")  == 2015-06-01 16:30:00
//   ParseDateText("/Date(1433147400000)/")   == 2015-06-01 08:30:00
// Anything else gives the date-time 0 (1899-12-30 00:00:00). Two-byte characters are
// stepped over whole.
DateTime ParseDateText(const Text& text);

// Writes a date-time by pattern. Runs of y, M, d, H, h, m, s are fields: y the last n digits
// of the year, M/d/H/h/m/s the number padded with zeros to the run's length (h counts 1-12
// after noon), MMM/MMMM and ddd/dddd the English month and weekday names, short and full.
// "\" makes the next byte literal; every other byte is copied.
//   FormatDateTime(2015-06-01 08:30:00, "'yyyy-MM-ddTHH:mm:ssZ'") == "'2015-06-01T08:30:00Z'"
//   FormatDateTime(same, "dddd, d MMM yy")                        == "Monday, 1 Jun 15"
// No time zone is applied: the stored value is written.
Text FormatDateTime(DateTime value, const Text& format);

// The name tables are filled on first use; the module's exit clean-up empties them.
void ReleaseDateNameTables();

}  // namespace lanzhou

#endif  // LANZHOU_JSON_JSON_DATES_H_
