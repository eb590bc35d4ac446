// Where lines end in text already decoded to GBK/GB18030, for every reader of line files.
//
// LF ends a line (no character takes an LF with it, text/gbk_chars.h), and one CR right
// before the LF goes with it; any other CR stays in the line. A last line without LF counts,
// and a text that ends with LF has no empty line after it, so "" has no line at all.
//
//   std::string_view rest = "a\r\n\r\nb\rc", line;
//   NextLine(rest, line) -> "a", then "", then "b\rc", then false
//   CountLines("a\nb\n") == 2
//   rest = "a\r\nb\nc";  TakeLines(rest, 2) -> "a\r\nb\n", rest == "c"
//
// Each costs one pass over the bytes it looks at (memchr).
#ifndef LANZHOU_TEXT_LINES_H_
#define LANZHOU_TEXT_LINES_H_

#include <cstddef>
#include <cstring>
#include <functional>
#include <string_view>

namespace lanzhou {

// Takes the next line off `rest` into `line` (a view of the same bytes, without its line
// end); false when `rest` is empty. Inline: the joins and loaders call it for every line.
// Takes the line whose LF is at offset `lf` of `rest` off `rest`, as `NextLine` does, and
// returns it without the LF and one CR before it, for a caller that found the LF itself.
//   rest "a\r\nb", lf 2  ->  "a"; rest is then "b"
inline std::string_view TakeLineEndingAt(std::string_view& rest, std::size_t lf) {
  std::string_view line = rest.substr(0, lf);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  rest.remove_prefix(lf + 1);
  return line;
}

inline bool NextLine(std::string_view& rest, std::string_view& line) {
  if (rest.empty()) return false;
  const void* lf = std::memchr(rest.data(), '\n', rest.size());
  if (lf == nullptr) {
    line = rest;
    rest = {};
    return true;
  }
  line =
      TakeLineEndingAt(rest, static_cast<std::size_t>(static_cast<const char*>(lf) - rest.data()));
  return true;
}

// How many lines `NextLine` finds in `text`.
std::size_t CountLines(std::string_view text);

// Takes the first `count` lines off `text` with their line ends (all of them when there are
// fewer), so long texts can be worked a piece of whole lines at a time.
std::string_view TakeLines(std::string_view& text, std::size_t count);

// The end of a piece of `text` from `start` (a character start) of about `size` bytes, so
// long texts can be cut into pieces of whole lines or records: just after the first
// `separator` (`FindSeparator`, text/gbk_chars.h) at or after start + size, or the end of the
// text.   PieceEndAfter("ab\r\ncd\r\nef", "\r\n", 0, 1) == 4
std::size_t PieceEndAfter(std::string_view text, std::string_view separator, std::size_t start,
                          std::size_t size);
// The same, looking a step of 64 MB at a time (`ScanInSteps` below): after each step that
// finds no separator, `scanned(end)` hears that the bytes of `text` before `end` were looked
// through, so that a line of gigabytes need not bring in every page of a mapped file at once.
std::size_t PieceEndAfter(std::string_view text, std::string_view separator, std::size_t start,
                          std::size_t size, const std::function<void(std::size_t)>& scanned);

// Looks through `size` bytes a step of 64 MB at a time, so that a caller may hand the pages of
// a mapped file back before a long scan has touched all of them: `look(at, end)` looks at the
// bytes from `at` to `end` and returns false to stop there; after each step that goes on,
// `scanned(end)` hears that the bytes before `end` are done with. True when no step stopped.
//   ScanInSteps(3, [](std::size_t at, std::size_t end) { ... }, nullptr)  looks at (0, 3)
bool ScanInSteps(std::size_t size, const std::function<bool(std::size_t, std::size_t)>& look,
                 const std::function<void(std::size_t)>& scanned);

// What comes before the first zero byte: the text that bytes read whole hold (`ToText` of
// Bytes, the merge's lists).   TextBeforeZero("a\0b") == "a"
inline std::string_view TextBeforeZero(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\0'));
}
// The same a step at a time, with `scanned` as for `TextBeforeEndMark` below.
std::string_view TextBeforeZero(std::string_view bytes,
                                const std::function<void(std::size_t)>& scanned);

// The part of a file's bytes that `ReadLine` reads lines from: what comes before the first
// zero byte and before the first 0x1A that starts a character (a 0x1A taken as a second byte
// is text). "a\nb\x1A" "c" -> "a\nb";  "a\0b" -> "a"
// The bytes are looked through 64 MB at a time; after each step without an end mark,
// `scanned(end)` hears that the bytes before `end` are done with, so that a caller may hand
// the pages of a mapped file back before the scan has touched all of them.
std::string_view TextBeforeEndMark(std::string_view bytes,
                                   const std::function<void(std::size_t)>& scanned = nullptr);

// Takes the next line off `rest` as a file's lines are read (`ReadLine`, the import), where
// `rest` is the file's readable text (`TextBeforeEndMark`) or what is left of it: `NextLine`,
// and a last line without LF loses a lead byte left alone at its very end (half a character)
// and then one CR.   rest = "a\nb\r\xD6";  NextFileLine -> "a", then "b", then false
bool NextFileLine(std::string_view& rest, std::string_view& line);

// A file's last line when no LF follows it, as `NextFileLine` gives it: without a lead byte
// left alone at its very end, and then without one CR.   LastFileLine("b\r\xD6") == "b"
std::string_view LastFileLine(std::string_view line);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_LINES_H_
