// The primitive operations on `Text` that every page operation is built from.
//
// All positions are 1-based byte positions and all lengths count bytes. Operations that
// step "by character" step as the character model does (text/gbk_chars.h: a lead byte
// takes the byte after it), exactly as GBK is laid out; a GB18030 four-byte sequence is then
// two such steps, which keeps splitting and replacing safe. These operations are NOT for
// UTF-8 text: convert first (text/encoding.h).
//
// No operation fails on bad input: out-of-range positions and counts give the empty text,
// 0 or a copy. The only error is `Remainder` by zero.
#ifndef LANZHOU_TEXT_TEXT_PRIMITIVES_H_
#define LANZHOU_TEXT_TEXT_PRIMITIVES_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "text/gbk_chars.h"
#include "text/text.h"

namespace lanzhou {

// A value of any kind the conversions accept.
using Value = std::variant<std::int32_t, std::int64_t, std::uint8_t, std::int16_t, float, double,
                           bool, DateTime, Text, Bytes>;

int TextLength(const Text& text);

// LeftText("abc", 2) == "ab"; n <= 0 gives "". Counts bytes: LeftText("中", 1) is the lead byte.
Text LeftText(const Text& text, int n);
// RightText("abc", 2) == "bc"; n <= 0 gives "".
Text RightText(const Text& text, int n);
// MidText("abc", 2, 10) == "bc"; start < 1, start > length or length <= 0 give "".
Text MidText(const Text& text, int start, int length);

// The byte at `position` (1-based, default 1) sign-extended: 0x80..0xFF give -128..-1;
// position 0, below 0 or beyond length + 1 give 0, and length + 1 gives 0 (the terminator).
int CharCode(const Text& text, int position = 1);
// A one-byte text of the low 8 bits of `code`; a zero low byte gives "".
Text CharFromCode(int code);
// n ASCII spaces; n < 1 gives "".
Text SpaceText(int n);
// `text` repeated n times; n <= 0 gives "".
Text RepeatText(int n, const Text& text);

// Splits on `delimiter`, stepping by character so a delimiter is never found starting on the
// second byte of a two-byte character.
//   SplitText("a||b|", "|")        -> {"a", "", "b"}    (no empty last member)
//   SplitText("|a", "|")           -> {"", "a"}
//   SplitText("a|b|c", "|", 2)     -> {"a", "b"}        (the rest is dropped)
//   SplitText("", "|")             -> {}
//   SplitText("abc", "")           -> {"abc"}
// `max_members`: nullopt means unlimited; a negative limit counts as 0 (no members).
TextArray SplitText(const Text& text, const Text& delimiter = Text(","),
                    std::optional<int> max_members = std::nullopt);

// The members `SplitText(text, delimiter)` gives, in order, as views into `text`, each handed
// to `member(view)`, which returns false to stop there. Nothing is copied or collected, so a
// text packed with delimiters costs no memory; a caller keeps what it needs of the members.
//   ForEachMember("a||b|", "|", f)   calls f("a"), f(""), f("b")
template <typename Member>
void ForEachMember(std::string_view text, std::string_view delimiter, Member&& member) {
  if (text.empty()) return;
  if (delimiter.empty()) {
    member(text);
    return;
  }
  std::size_t start = 0;  // of the current member; a character start
  while (true) {
    const std::size_t p = FindSeparator(text, delimiter, start, start);
    if (p == std::string_view::npos) break;
    if (!member(text.substr(start, p - start))) return;
    start = p + delimiter.size();
  }
  if (start < text.size()) member(text.substr(start));
}

// Replaces `find` from byte position `start` on, at most `count` times (nullopt or negative:
// all; 0: none). Case-insensitive matching folds only A-Z. The replacement is never searched
// again. ReplaceSubtext("aXbx", "x", "-", 1, nullopt, false) == "a-b-".
Text ReplaceSubtext(const Text& text, const Text& find, const Text& replacement = Text(),
                    int start = 1, std::optional<int> count = std::nullopt,
                    bool case_sensitive = true);

// Up to five find/replacement pairs applied in order, each over the result of the one
// before; pairs beyond `pairs.size()` or with an empty find change nothing. A start of 0
// becomes 1.
struct ReplacePair {
  Text find;
  Text replacement;
};
Text BatchReplace(const Text& text, std::optional<int> count, int start, bool case_sensitive,
                  std::span<const ReplacePair> pairs);

Text ConcatTexts(std::initializer_list<Text> texts);
// -1, 0 or 1, comparing unsigned bytes; a prefix is smaller.
int CompareText(const Text& a, const Text& b);

// "%d" for 32/16-bit integers and 64-bit, "%u" for a byte, "%.13g" for double, "%.6g" for
// float, "真"/"假" for booleans, the full `TimeToText` form for dates, a copy for Text, the
// bytes up to the first zero for Bytes.
Text ToText(const Value& value);
// Appends `value` as "%.*g" formats it in the C locale, whatever locale the process runs in
// (a float as the double it widens to, as printf does). AppendGeneral(out, 0.1, 13) adds "0.1".
void AppendGeneral(std::string& out, double value, int precision);
// Integers as they are, floats truncated, booleans 0/1, a Text folded to half-width
// (`FoldToHalfWidth`) and read as by atoi; other kinds 0. ToInteger("  -12ab") == -12.
std::int32_t ToInteger(const Value& value);
// A typed number as ToInteger reads a Text, but one beyond the int range is clamped instead of
// wrapped, so a huge field or column number names no field rather than some other one:
// ToClampedInteger("4294967297") == INT_MAX (ToInteger gives 1), ToClampedInteger("３") == 3.
std::int32_t ToClampedInteger(const Text& text);
// The numbers of a list the user typed (a column order, field numbers), or nullopt when the
// list is refused. Pieces are separated by any of "," "，" "、" "|" "｜" ";" "；" and blanks
// (space, tab, the full-width space), as an input method may type them; empty pieces are
// ignored. Every other piece must be wholly a number from 1 up, in ASCII or full-width
// (GBK A3B0..A3B9) digits, one beyond the int range read as INT_MAX; otherwise the list is
// refused and `refused` (when given) gets that piece, as typed. A list with no number is
// refused with an empty `refused`.
//   ReadNumberList(",3，,1、2 ") == {3, 1, 2};  ReadNumberList("３|4294967297") == {3, INT_MAX}
//   ReadNumberList("3,a") == nullopt, refused "a";  ReadNumberList("1.5"), ("0"), ("+4") refused
std::optional<std::vector<std::int32_t>> ReadNumberList(const Text& typed, Text* refused = nullptr);
// As ToInteger, with atof for texts: ToNumber("2.5") == 2.5.
double ToNumber(const Value& value);
// The GBK full-width forms A3A1..A3FE become ASCII 21..7E, A1A1 a space, A1AB "~",
// A1EE and A1EF "*"; every other byte stays. Steps by character.
Text FoldToHalfWidth(const Text& text);
// A Text's bytes; numbers, booleans (4 bytes) and dates (8 bytes) little-endian; a copy of Bytes.
Bytes ToBytes(const Value& value);
// n zero bytes; n <= 0 gives empty Bytes.
Bytes ZeroBytes(int n);

// The number at the start of `bytes` as the C library's atoi/atoll read it (leading white
// space, an optional sign, decimal digits up to the first other byte; none gives 0),
// independent of the process locale. Saturates at the 64-bit limits; atoi is this value cut
// to 32 bits, as glibc does. No half-width folding: ReadLeadingInteger(" -12ab") == -12.
std::int64_t ReadLeadingInteger(std::string_view bytes);
// The number at the start of `bytes` as atof reads a decimal number (white space, sign,
// digits, fraction, exponent; none gives 0), always with "." as the decimal point.
double ReadLeadingNumber(std::string_view bytes);

// The largest integer not above x, after snapping x to a whole number within 1e-12.
std::int32_t Floor(double x);
// fmod(a, b), then fmod by each further divisor. A zero divisor cannot happen in this
// program; it ends it with the message "不能求余数于零".
double Remainder(double a, double b, std::initializer_list<double> further = {});

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_TEXT_PRIMITIVES_H_
