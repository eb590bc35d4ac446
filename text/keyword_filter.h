// The keyword filter: which lines of a GBK text hold any keyword of a list, found for the
// whole list in one pass over the text: an Aho-Corasick automaton over characters.
//
// Keywords and text are read a character at a time (text/gbk_chars.h), a GB18030 four-byte
// sequence whole, so a keyword is found only where it starts and ends on character boundaries:
// the keyword "|" is not in 東 (96 7C), nor "@" in 96 40, nor 🛟 (95 30 94 39) in 🛠🌀
// (95 30 95 30 94 39 AF 38). With `ignore_case`, ASCII letters match in either case, and only
// letters that are characters of their own: the second byte of a two-byte character is never
// folded.
// With `whole_line`, a line matches only when it is a keyword as a whole.
//
//   KeywordFilter f("北京\r\nabc", {.ignore_case = true});
//   f.LineMatches("住在北京市") == true;  f.LineMatches("xABCx") == true;
//   f.LineMatches("\xB1\xB1") == false   (北 alone)
//
// Lists of hundreds of thousands of keywords work: building the automaton costs time and
// memory linear in the list's length.
#ifndef LANZHOU_TEXT_KEYWORD_FILTER_H_
#define LANZHOU_TEXT_KEYWORD_FILTER_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace lanzhou {

struct KeywordOptions {
  bool whole_line = false;
  bool ignore_case = false;
};

class KeywordFilter {
 public:
  // The keywords are the lines of `keyword_lines` (text/lines.h: LF, CR LF); empty lines are
  // not keywords.
  KeywordFilter(std::string_view keyword_lines, KeywordOptions options);
  ~KeywordFilter();
  KeywordFilter(const KeywordFilter&) = delete;
  KeywordFilter& operator=(const KeywordFilter&) = delete;

  // How many keywords the list holds (repeats counted once in whole-line mode, each time
  // otherwise).
  std::size_t KeywordCount() const;

  // Whether `line` (without its line end) holds a keyword.
  bool LineMatches(std::string_view line) const;
  // The same for a long line, read 64 MB at a time (`ScanInSteps`, text/lines.h) with
  // `scanned(end)` hearing each step's end, so that the pages of a mapped line can go back
  // behind the search. (A whole-line match is read at once.)
  bool LineMatches(std::string_view line, const std::function<void(std::size_t)>& scanned) const;

  // Appends to `out` every line of `lines` (as text/lines.h cuts them) that holds a keyword
  // when `keep`, or that holds none otherwise, without their line ends and joined by CR LF
  // (none before the first or after the last); returns how many lines were appended.
  // Safe to call from several threads at once.
  std::size_t AppendFilteredLines(std::string_view lines, bool keep, std::string& out) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_KEYWORD_FILTER_H_
