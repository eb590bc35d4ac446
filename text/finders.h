// Finders: rules that pull mobile numbers, e-mail addresses, QQ numbers, resident ID numbers,
// links and the matches of a user's pattern out of free GBK text, one line at a time.
//
// Every rule looks at whole characters (text/gbk_chars.h): a match never starts or ends inside
// a two-byte character, so the "|" in 東 (96 7C) or an "@" taken as a second byte (96 40) is
// never seen. The full-width forms of ASCII (０-９, Ａ-Ｚ, ＠, ＋, － …) and the ideographic
// space read as their ASCII forms, and a found item is given in that folded form:
//
//   "电话：＋８６ １３８-００１３-８０００。" -> phone "13800138000"
//   "订单号2013800138000123"                 -> nothing (the digits run on)
//   "发到 abc@例子.中国。"                    -> e-mail "abc@例子.中国"
//
// The rules, in the order items of one start are given:
// - phone: 11 digits 1[3-9]xxxxxxxxx, optionally after +86 or 86 (and a blank or hyphen), in
//   one run or grouped 3-4-4 by blanks or hyphens (the same kind twice); no ASCII letter or
//   digit right before or after. Given as the 11 digits.
// - email: a local part of letters, digits and ._%+- , "@", labels of letters, digits and "-"
//   (or of Chinese characters) joined by dots, the last a top level of 2+ ASCII letters or a
//   known Chinese one (中国, 公司, 网络 …). A label changing from ASCII to Chinese or back
//   ends the address there, so text right after it is not taken in.
// - qq: 5-11 digits not starting with 0, standing alone: no digit, letter or decimal point
//   around them (the letters "QQ" right before are allowed), and not the local part of an
//   address unless it is digits@qq.com. With the phone rule also asked, digits inside a found
//   phone number are not a QQ number.
// - id: 17 digits and a digit or X, standing alone, that are a resident ID number by
//   `ResidentIdProblem` (text/personal_numbers.h: check character, a birth date not after
//   today, a province code); given with an upper-case X. With `old_id`, also the 15-digit form
//   (birth date 19YYMMDD at positions 7-12), given as it is or, with `upgrade_old_id`, in its
//   18-character form. `invalid_id` gives the look-alikes that fail instead, each followed by
//   a blank and the reason: "110105194912310029 校验码错误".
// - bank: 16-19 digits standing alone, in one run or in groups of 4 (the last 1-4) parted by
//   one blank or hyphen (the same kind throughout), that pass the Luhn check; given as the
//   digits.
// - url: http:// or https:// (any case) and a host, up to the first blank, non-ASCII or
//   quote/bracket character; a closing . , ; : ! ? ' " at the end, and a ")" without its
//   "(", are left out.
// - custom: a user's regular expression (RE2 syntax, run on the line converted to UTF-8, in
//   time linear in the line, whatever the pattern); the whole match, or its first group when
//   the pattern has groups. It sees the text as it is, full-width forms included, each
//   character as one (bytes that are no GB18030 character as U+FFFD), so its matches start
//   and end on whole characters of the line.
#ifndef LANZHOU_TEXT_FINDERS_H_
#define LANZHOU_TEXT_FINDERS_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/clock.h"
#include "text/text.h"

namespace lanzhou {

enum class FoundKind { kPhone, kEmail, kQq, kId, kUrl, kCustom, kInvalidId, kBank };

struct FinderChoice {
  bool phone = false;
  bool email = false;
  bool qq = false;
  bool id = false;
  bool old_id = false;          // with `id`: also the 15-digit form
  bool upgrade_old_id = false;  // with `old_id`: the 15-digit form given as 18 characters
  bool invalid_id = false;      // the ID look-alikes that fail, with the reason
  bool bank = false;
  bool url = false;
  Text custom = Text();          // a pattern, or empty for none
  const Clock* clock = nullptr;  // today, for birth dates; the system clock when null
};

struct FoundItem {
  std::size_t begin = 0;  // byte offsets of the match in the line
  std::size_t end = 0;
  FoundKind kind = FoundKind::kPhone;
  std::string item;  // GB18030 bytes, in the folded form described above
};

// Why `pattern` (GB18030) is not a valid custom rule, in words a user reads: what is wrong, then
// the piece of the rule where it goes wrong; empty when the rule compiles.
//   CustomRuleProblem(FromUtf8("(abc")) == FromUtf8("缺少右括号“)”，出错处：(abc")
//   CustomRuleProblem(FromUtf8("订单*")) == Text()
Text CustomRuleProblem(const Text& pattern);

class Finders {
 public:
  // The finders `choice` asks for; when its custom pattern does not compile, `error` gets
  // RE2's message (UTF-8) and the result finds nothing; likewise, with a message of its own,
  // for a pattern that may match inside a character (`PatternMatchesSingleBytes`).
  Finders(const FinderChoice& choice, std::string* error = nullptr);
  ~Finders();
  Finders(Finders&&) noexcept;
  Finders& operator=(Finders&&) noexcept;

  // Whether any rule was asked for (and the custom pattern compiled).
  bool Any() const;

  // Replaces `items` by the items found in `line` (without its line end), ordered by where
  // they start, items of one start in the order of `FoundKind`. Safe to call from several
  // threads at once.
  void FindInLine(std::string_view line, std::vector<FoundItem>& items) const;
  // The same items, in the same order, each handed to `found` as it is made: a long line's
  // items are never all held at once.
  void FindInLine(std::string_view line, const std::function<void(FoundItem)>& found) const;

  // Where a line too long to work whole may be cut, so that `FindInLine` finds in the parts
  // what it finds in the whole: just after the first character at or after byte `at` of
  // `text` (a character start) that no rule takes into a match or looks at beside one (a
  // control character other than tab, or one of "<>{}|\^`), or the end of `text` when there
  // is none. npos when a custom pattern is asked: it may match anything.
  //   CutAfter("13800138000|13900139000", 5) == 12
  std::size_t CutAfter(std::string_view text, std::size_t at) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether a user's pattern (RE2 syntax) holds \C outside \Q...\E: it matches one byte, which
// may be part of a character, so `Finders` refuses it.
//   PatternMatchesSingleBytes(Text("a\\C")) == true; PatternMatchesSingleBytes(Text("\\\\C")) ==
//   false
bool PatternMatchesSingleBytes(const Text& pattern);

// Whether `id` (18 characters) is a resident ID number today (`ResidentIdProblem`, upper- or
// lower-case X): IsValidResidentId("11010519491231002X") == true.
bool IsValidResidentId(std::string_view id);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_FINDERS_H_
