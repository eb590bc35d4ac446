// The normaliser: folds that make lines typed by many hands compare equal. Each fold is a
// rule on GBK/GB18030 text that steps by character (text/gbk_chars.h), so a second byte is
// never taken for a letter or a blank.
//
//   width        the full-width letters, digits and symbols (U+FF01..U+FF5E) become ASCII and
//                the ideographic space U+3000 a space; the full-width marks a Chinese sentence
//                punctuates with (！＂＇（），：；？［］｛｝～) stay unless `punctuation` is
//                folded too. Other Chinese punctuation (。、“”《》…) has no ASCII form and
//                always stays.
//   punctuation  those marks become ASCII (with width too, every character of
//                U+FF01..U+FF5E becomes what NFKC makes of it).
//   trim         blanks (space, tab, U+3000, NBSP) at the start and end of a line go.
//   squeeze      every run of blanks becomes one ASCII space.
//   lower        ASCII A-Z become a-z; nothing else changes, whatever the locale.
//   drop_empty   lines that are empty after the other folds go.
//
//   NormalizeLine("　Ｚｈａｎｇ　　三 ", {.width = true, .trim = true, .squeeze = true,
//                 .lower = true}) == "zhang 三"
//   NormalizeLine("（０１０）", {.width = true}) == "（010）"
//
// The folds are applied in one pass, in the order listed (a full-width Ａ folds to A and then
// to a; a U+3000 is a blank whether or not it is folded). Traditional and Simplified script is
// folded elsewhere (text/script_fold.h), as it needs a dictionary.
#ifndef LANZHOU_TEXT_NORMALIZE_H_
#define LANZHOU_TEXT_NORMALIZE_H_

#include <string>
#include <string_view>

#include "text/text.h"

namespace lanzhou {

struct Folds {
  bool width = false;
  bool punctuation = false;
  bool trim = false;
  bool squeeze = false;
  bool lower = false;
  bool drop_empty = false;  // for texts of lines; a single line ignores it

  bool Any() const { return width || punctuation || trim || squeeze || lower || drop_empty; }
};

// The width rule for one two-byte character (lead, trail): the ASCII byte it folds to, or 0
// when it stays. For finders that read full-width digits and letters as ASCII:
//   HalfWidthOf(0xA3, 0xB1) == '1'  (１)    HalfWidthOf(0xA3, 0xE1) == 'a'  (ａ)
//   HalfWidthOf(0xA1, 0xA1) == ' '  (U+3000) HalfWidthOf(0xA1, 0xE7) == '$'  (＄)
//   HalfWidthOf(0xA3, 0xAC) == 0    (，)     HalfWidthOf(0xA3, 0xAC, true) == ','
//   HalfWidthOf(0xA3, 0xA4) == 0    (￥, not a full-width ASCII form)
// The second byte of a GB18030 four-byte sequence is a digit, so its halves never fold.
char HalfWidthOf(unsigned char lead, unsigned char trail, bool punctuation = false);

// The character at s[i] (a character start) as the width rule reads it: the ASCII byte it
// is or folds to, and its length; a character that does not fold gives byte 0.
struct WidthChar {
  char ascii;
  std::size_t length;
};
WidthChar ReadHalfWidth(std::string_view s, std::size_t i, bool punctuation = false);

// Whether `ascii` is one of the marks a Chinese sentence punctuates with, whose full-width
// forms only the punctuation fold makes ASCII: ! " ' ( ) , : ; ? [ ] { } ~
bool IsChinesePunctuation(char ascii);

// Whether the character at s[i] (a character start) is a blank: space, tab, U+3000 (A1A1)
// or NBSP (the four bytes 81 30 84 36); its length in bytes, 0 when it is not.
std::size_t BlankLength(std::string_view s, std::size_t i);

// Writes `line` (without its line end) with the folds applied at `out`, which has room for
// line.size() bytes (no fold makes a line longer); returns the end of what it wrote.
// `drop_empty` is not looked at here. Allocates nothing: for callers that fold every line.
char* NormalizeLineInto(std::string_view line, const Folds& folds, char* out);

// True when no fold can change `line`: it holds no byte a fold looks at (a blank, a lead
// byte of U+3000, NBSP or a full-width form, and with `lower` a capital). Costs a fraction of
// the fold, for callers that keep such a line as it is; false does not promise a change
// (a second byte may look like such a byte).
//   FoldsLeaveAsIs("zhang|张三", {.width = true, .lower = true}) == true
//   FoldsLeaveAsIs("a b", {}) == false
bool FoldsLeaveAsIs(std::string_view line, const Folds& folds);

// Appends `line` (without its line end) with the folds applied to `out`. `drop_empty` is
// not looked at here.
void AppendNormalizedLine(std::string_view line, const Folds& folds, std::string& out);
Text NormalizeLine(std::string_view line, const Folds& folds);

// Every line of `text` (lines as text/lines.h finds them) normalised, each followed by CR
// LF, the empty ones left out with `drop_empty`:
//   AppendNormalizedLines("Ａ\n\n b", {.trim = true, .drop_empty = true}, out) -> "Ａ\r\nb\r\n"
void AppendNormalizedLines(std::string_view text, const Folds& folds, std::string& out);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_NORMALIZE_H_
