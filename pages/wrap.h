// The line-wrapping page: a long text cut into lines of a width counted in bytes, keeping
// two-byte characters, short ASCII words and punctuation marks whole and in their place.
#ifndef LANZHOU_PAGES_WRAP_H_
#define LANZHOU_PAGES_WRAP_H_

#include <cstddef>
#include <functional>
#include <string_view>

#include "text/text.h"
#include "ui/units.h"

namespace lanzhou {

// The text the wrapping works on: every CR LF removed and, with `filter_punctuation`, also
// every "，", "。", ",", and "、" (in that order, CR LF fourth, each removal scanning by
// character). Other punctuation, lone CR and lone LF stay. Works in place on a text passed
// as an rvalue: CleanForWrap(std::move(text), ...) needs no second buffer.
//   CleanForWrap("好，\r\n的。", true) == "好的"; CleanForWrap("好，\r\n的。", false) == "好，的。"
Text CleanForWrap(Text text, bool filter_punctuation);

// `text` cut into lines of at most `width` bytes, lines joined by CR LF, none after the last.
//
//   WrapText("ab cdefghij", 8)       == "ab \r\ncdefghij"     (the word moves down whole)
//   WrapText("我们说“好”。", 6)      == "我们说\r\n“好\r\n”。"   (in GBK bytes)
//   WrapText("中文中文中", 5)        == "中文\r\n中文\r\n中"  (中 would cross the width)
//
// A byte >= 0x7F starts a two-byte character (a GB18030 four-byte sequence is taken whole);
// other bytes are one-byte characters, and a run of them without spaces is a word. Per line:
// - a character that would cross the width goes to the next line;
// - a word that crosses the width moves down whole unless it started the line or ends
//   exactly at the width before a two-byte character; a word that started the line is cut
//   hard at the width;
// - a closing mark 》）”〉，。？：’；、 never starts a line: the character before it moves down
//   with it (one character only, so a moved mark may itself start the next line);
// - an opening mark 《（“〈‘ that would end a line moves down, unless the line was already
//   shortened for a closing mark: one adjustment per line, so at width 8 "中文“好”" gives
//   "中文“" and "好”";
// - a CR LF met by the scan ends the line after it (its LF may lie one byte past the width)
//   and gets no further line end; a CR LF is never split;
// - when these rules leave nothing on the line (tiny widths), the line takes exactly one
//   character instead, so every line holds at least one character.
// Spaces at a cut stay at the end of the upper line. A text of at most `width` bytes comes
// back unchanged. No line end is added after the last piece (a CR LF the text itself ends
// with is kept). A width below 1 counts as 1. Time grows linearly with the text.
Text WrapText(const Text& text, int width);

// What `WriteWrappedText` cleans first, as `CleanForWrap` would: nothing, the line breaks, or
// the line breaks and the punctuation.
enum class WrapCleaning { kNone, kLineBreaks, kLineBreaksAndPunctuation };

// `WrapText` of `text` cleaned as `cleaning` says, on up to `threads` threads, written as it
// is made: calls `write` with the wrapped text in order, a piece of about `piece_bytes` of
// `text` at a time, and `progress(done, total)` with the bytes of `text` done so far. Returns
// false as soon as `write` does.
//
// The bytes written are those of `WrapText(CleanForWrap(text))` for every thread count and
// piece size, and no cleaned copy of the whole text is made. Each thread wraps its piece from
// a guessed line start, kept from the first line start it shares with the true lines: a text
// where they never meet (one long run of two-byte characters) costs its serial time.
//
//   std::string out;
//   WriteWrappedText("abcd\r\nefghij", 4, WrapCleaning::kLineBreaks, 2,
//                    [&](std::string_view p) { out += p; return true; });
//   out == "abcd\r\nefgh\r\nij"
bool WriteWrappedText(std::string_view text, int width, WrapCleaning cleaning, int threads,
                      const std::function<bool(std::string_view)>& write,
                      const std::function<void(std::size_t, std::size_t)>& progress = {},
                      std::size_t piece_bytes = std::size_t{256} << 10);

// The widest line a wrap makes, in bytes: wider is no longer a line anyone reads, and a typo
// of one digit too many should be caught rather than give one unwrapped line.
inline constexpr int kMaxWrapWidth = 10000;

// The width typed into 字数_编辑框 as the page reads it: `ToNumber` (full-width digits
// accepted) truncated toward zero; 0 (no width) when it is below 1, no number, or beyond
// `kMaxWrapWidth`.
//   WrapWidth("40") == 40; WrapWidth("５") == 5; WrapWidth("0.5") == 0;
//   WrapWidth("10000") == 10000; WrapWidth("10001") == 0
int WrapWidth(const Text& typed);

// 按钮2 clicked: with a width of at least 1, cleans 被折行_编辑框 in place, puts the wrapped
// text into 替换后_编辑框 and saves 折行后_<time>.txt; any other width only shows a message.
void OnWrapClicked(Units& units);

}  // namespace lanzhou

#endif  // LANZHOU_PAGES_WRAP_H_
