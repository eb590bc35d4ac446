#include "pages/wrap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/files.h"
#include "pages/save_result.h"
#include "run/ordered_pipeline.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/lines.h"
#include "text/text_primitives.h"
#include "ui/dialogs.h"

namespace lanzhou {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

unsigned char ByteAt(std::string_view s, std::size_t k) { return static_cast<unsigned char>(s[k]); }

// The page's own width rule: a byte >= 0x7F is wide, it starts (or ends) a two-byte character
// and is never part of a word. 0x7F is one more than the character model's lead bytes; as
// there, a wide byte never takes CR, LF or NUL with it (`TakesAsSecondByte`). The byte masks
// below and every step of the scan follow these two functions.
bool IsWide(unsigned char b) { return b >= 0x7F; }

// The bytes of the character at `k`, stepping as the line scan does.
std::size_t ScanCharLength(std::string_view s, std::size_t k) {
  if (!IsWide(ByteAt(s, k))) return 1;
  if (IsFourByteAt(s, k)) return 4;
  return k + 1 < s.size() && TakesAsSecondByte(ByteAt(s, k + 1)) ? 2 : 1;
}

// The start of the last character that ends at or before `end`, stepping from the line
// start: a single byte before the cut may be the second byte of a character.
std::size_t StartOfCharBefore(std::string_view line, std::size_t end) {
  std::size_t start = 0;
  for (std::size_t k = 0; k < end; k += ScanCharLength(line, k)) start = k;
  return start;
}

// A two-byte mark as one number: lead byte high, second byte low.
std::uint16_t MarkCode(const char* utf8) {
  const std::string bytes = FromUtf8(utf8).bytes();
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                    static_cast<unsigned char>(bytes[1]));
}

struct Marks {
  std::array<std::uint16_t, 5> opening;
  std::array<std::uint16_t, 11> closing;
};

const Marks& PunctuationMarks() {
  static const Marks marks = [] {
    Marks m;
    int i = 0;
    for (const char* mark : {"《", "（", "“", "〈", "‘"}) m.opening[i++] = MarkCode(mark);
    i = 0;
    for (const char* mark : {"》", "）", "”", "〉", "，", "。", "？", "：", "’", "；", "、"}) {
      m.closing[i++] = MarkCode(mark);
    }
    return m;
  }();
  return marks;
}

// Whether the two bytes at `k` are one of `marks`; a pair running past the end is none.
template <std::size_t N>
bool IsMarkAt(std::string_view s, std::size_t k, const std::array<std::uint16_t, N>& marks) {
  if (k + 2 > s.size()) return false;
  const auto code = static_cast<std::uint16_t>(ByteAt(s, k) << 8 | ByteAt(s, k + 1));
  return std::find(marks.begin(), marks.end(), code) != marks.end();
}

// Where the scan over one window stopped.
struct ScanEnd {
  std::size_t i;
  std::size_t word_start;  // of the word running at the width; 0 when none, or at the line start
  bool after_line_end;     // stopped after a CR LF
};

// The scan, one character at a time.
ScanEnd WalkWindow(std::string_view rest, std::size_t width) {
  std::size_t i = 0;
  std::size_t last = 0;  // where the character before `i` starts
  std::size_t word_start = 0;
  bool in_word = false;
  while (i < width) {
    const unsigned char b = ByteAt(rest, i);
    if (b == '\r' && rest[i + 1] == '\n') [[unlikely]] {  // i + 1 <= width < rest.size()
      return {i + 2, 0, true};
    }
    const bool wide = IsWide(b);
    const bool word = !wide & (b != ' ');
    word_start = word ? (in_word ? word_start : i) : 0;
    in_word = word;
    last = i;
    i += 1 + (wide & TakesAsSecondByte(ByteAt(rest, i + 1)));  // i + 1 <= width < rest.size()
    if (wide & (ByteAt(rest, last + 1) - 0x30u < 10u)) [[unlikely]] {
      if (IsFourByteAt(rest, last)) i = last + 4;
    }
  }
  if (i > width) return {last, 0, false};  // that character would cross the width
  return {i, word_start, false};
}

// Eight bytes at a time for the walks back from the width: masks with the high bit of each
// byte set where the byte is wide (`IsWide`: the high bit, or the low seven bits overflowing,
// which only 0x7F does), or a space (exact zero-byte test, no carries between bytes).
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
static_assert(std::endian::native == std::endian::little);

std::uint64_t LoadEight(const char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}
std::uint64_t WideBytes(std::uint64_t x) { return (x | ((x & kLowBits) + kOnes)) & kHighBits; }
std::uint64_t SpaceBytes(std::uint64_t x) {
  const std::uint64_t y = x ^ (kOnes * ' ');
  return ~(((y & kLowBits) + kLowBits) | y) & kHighBits;
}
// Which of its eight bytes is the last one marked in `mask` (nonzero), in memory order.
std::size_t LastMarked(std::uint64_t mask) {
  return static_cast<std::size_t>(63 - std::countl_zero(mask)) / 8;
}

// Bytes >= 0x7F standing right before `q`, counted back to the line start at most.
std::size_t WideRunBefore(std::string_view line, std::size_t q) {
  std::size_t k = q;
  for (; k >= 8; k -= 8) {
    const std::uint64_t other = ~WideBytes(LoadEight(line.data() + k - 8)) & kHighBits;
    if (other != 0) return q - (k - 8 + LastMarked(other) + 1);
  }
  while (k > 0 && IsWide(ByteAt(line, k - 1))) --k;
  return q - k;
}

// Where the run of bytes below 0x7F other than spaces that ends at `q` begins.
std::size_t NarrowRunStart(std::string_view line, std::size_t q) {
  std::size_t k = q;
  for (; k >= 8; k -= 8) {
    const std::uint64_t x = LoadEight(line.data() + k - 8);
    const std::uint64_t stop = WideBytes(x) | SpaceBytes(x);
    if (stop != 0) return k - 8 + LastMarked(stop) + 1;
  }
  while (k > 0 && !IsWide(ByteAt(line, k - 1)) && ByteAt(line, k - 1) != ' ') --k;
  return k;
}

// The scan's result found from the end of the window, without walking the line; nullopt when
// only the walk can tell. A byte below 0x7F never starts a two-byte character, so a character
// starts right after it, and from there the wide bytes pair up: a character starts where an
// even run of wide bytes (back to such a byte or the line start) ends, or an odd one before a
// byte that no wide byte takes. That holds everywhere except inside four-byte sequences, and
// a CR may end the line early.
std::optional<ScanEnd> EndWindowQuickly(std::string_view rest, std::size_t width) {
  if (std::memchr(rest.data(), '\r', width) != nullptr) return std::nullopt;
  for (std::size_t k = width < 3 ? 0 : width - 3; k < width; ++k) {
    if (IsFourByteAt(rest, k)) return std::nullopt;
  }
  if (WideRunBefore(rest, width) % 2 != 0 && TakesAsSecondByte(ByteAt(rest, width))) {
    return ScanEnd{width - 1, 0, false};  // that character would cross the width
  }
  // The word running at the width, if any: the run of narrow bytes ending there.
  std::size_t begin = NarrowRunStart(rest, width);
  if (begin > 0 && IsWide(ByteAt(rest, begin - 1)) && WideRunBefore(rest, begin) % 2 != 0 &&
      TakesAsSecondByte(ByteAt(rest, begin))) {
    ++begin;  // its first byte is the second byte of a character
  }
  return ScanEnd{width, begin < width ? begin : 0, false};
}

// Where the next line ends in `rest` (longer than `width` >= 1); 0 when the rules leave the
// line empty.
std::size_t FindCut(std::string_view rest, std::size_t width) {
  const std::optional<ScanEnd> quick = EndWindowQuickly(rest, width);
  const ScanEnd end = quick ? *quick : WalkWindow(rest, width);
  if (end.after_line_end) return end.i;  // the pair ends the line as it stands
  std::size_t i = end.i;
  if (i >= width) {
    i = (end.word_start == 0 || IsWide(ByteAt(rest, width))) ? width : end.word_start;
  }
  const Marks& marks = PunctuationMarks();
  // The two bytes before the cut are a character when the wide bytes before it pair up; they
  // are not when the last one stands alone before CR, LF or NUL.
  if (i >= 2 && IsMarkAt(rest, i - 2, marks.opening) && WideRunBefore(rest, i) % 2 == 0) {
    i -= 2;
  } else if (IsMarkAt(rest, i, marks.closing)) {
    i = StartOfCharBefore(rest, i);
  }
  return i;
}

// Removes from `s` past `start` (a character start), in place, every `find` met when
// scanning by character, as `ReplaceSubtext` with an empty replacement does. `find` must be
// whole characters. The bytes between are moved left in runs, behind the search, which only
// looks ahead.
void RemoveAll(std::string& s, std::size_t start, std::string_view find) {
  const std::string_view text = s;
  std::size_t write = start;  // the end of the bytes kept so far
  std::size_t run = start;    // the first byte not yet kept
  std::size_t from = start;   // a character boundary where the search goes on
  for (std::size_t q; (q = FindSeparator(text, find, from, from)) != std::string_view::npos;) {
    if (write != run) std::memmove(s.data() + write, s.data() + run, q - run);
    write += q - run;
    run = from = q + find.size();
  }
  if (write == run) return;  // nothing removed
  std::memmove(s.data() + write, s.data() + run, s.size() - run);
  s.resize(write + (s.size() - run));
}

// What `CleanForWrap` removes, in order: "，" between CR and LF makes a pair that the fourth
// removal takes away.
std::span<const std::string> Removals(bool filter_punctuation) {
  static const std::array<std::string, 5> kAll = {FromUtf8("，").bytes(), FromUtf8("。").bytes(),
                                                  ",", std::string(kLineEnd),
                                                  FromUtf8("、").bytes()};
  return filter_punctuation ? std::span(kAll) : std::span(kAll).subspan(3, 1);
}

// Appends `raw` to `out` cleaned as `CleanForWrap` cleans.
void AppendCleaned(std::string_view raw, bool filter_punctuation, std::string& out) {
  const std::size_t start = out.size();
  out += raw;
  for (const std::string& find : Removals(filter_punctuation)) RemoveAll(out, start, find);
}

// Where a text to be cleaned may be cut so that cleaning the parts gives the cleaned whole.
// A character ends after every byte below 0x80, however the bytes before it pair up, and of
// those bytes only CR, LF and ',' are ever removed: after any other, no removal reaches
// across. Where there is none for a while (Chinese text), after a two-byte character that no
// removal takes (a removed mark could leave a CR before the cut, to pair with an LF after),
// unless a lead byte left alone before a CR stands between the last such byte and the
// character: the CR's removal could bring that lead byte next to what follows and pair the
// bytes after it otherwise. The first such place after `from`, stepping from `known` (itself
// such a place), or the end of the text.
std::size_t CleaningCutAfter(std::string_view raw, std::size_t known, std::size_t from) {
  auto never_removed = [](unsigned char b) {
    return !IsLeadByte(b) && b != '\r' && b != '\n' && b != ',';
  };
  auto removed_mark = [&raw](std::size_t q) {
    const std::span<const std::string> all = Removals(true);
    return std::any_of(all.begin(), all.end(), [&](const std::string& find) {
      return find.size() == 2 && raw.compare(q, 2, find) == 0;
    });
  };
  // From just after the last byte no removal takes (a character start, as a cut is).
  std::size_t q = from;
  while (q > known && !never_removed(static_cast<unsigned char>(raw[q - 1]))) --q;
  bool lone_lead_before_cr = false;
  while (q < raw.size()) {
    const auto b = static_cast<unsigned char>(raw[q]);
    if (never_removed(b)) return q + 1;
    const std::size_t length = CharLength(raw, q);
    if (length == 1 && IsLeadByte(b) && q + 1 < raw.size() && raw[q + 1] == '\r') {
      lone_lead_before_cr = true;
    } else if (length == 2 && q + 2 > from && !lone_lead_before_cr && !removed_mark(q)) {
      return q + 2;
    }
    q += length;
  }
  return raw.size();
}

// Where the line after the one that starts at `s` starts; the end of the text after the last
// line, which, as short as the width or shorter, stays whole.
std::size_t NextLineStart(std::string_view text, std::size_t s, std::size_t w) {
  const std::string_view rest = text.substr(s);
  if (rest.size() <= w) return text.size();
  std::size_t cut = FindCut(rest, w);
  if (cut == 0) cut = ScanCharLength(rest, 0);  // every line takes at least one character
  return s + cut;
}

// Appends the line from `s` to `e` with the line end it gets: none after the last line or
// after a line that ends in a CR LF of its own.
void AppendLine(std::string_view text, std::size_t s, std::size_t e, std::string& out) {
  const std::string_view line = text.substr(s, e - s);
  out += line;
  if (e < text.size() && !line.ends_with(kLineEnd)) out += kLineEnd;
}

// How far past its end a piece's last line may look (`FindCut` reads two bytes past the
// width at most).
std::size_t Lookahead(std::size_t w) { return w + 8; }

// A piece of the text `WriteWrappedText` wraps on one thread.
struct WrapPiece {
  std::size_t start = 0;  // in the text
  std::size_t end = 0;
  std::size_t guess = 0;  // the line start the piece is wrapped from, in its own text
};

// A piece's lines, wrapped from its guessed line start.
struct GuessedLines {
  std::string cleaned;    // the piece cleaned, and as much as its lines may look at after it
  std::string_view view;  // the text the piece's lines are cut in
  std::size_t size = 0;   // the piece's own part of `view`
  std::vector<std::size_t> starts;  // line starts from the guess; the last one is past the piece
  std::vector<std::size_t> at;      // where each of those lines begins in `out`
  std::string out;
};

// Cleans the piece, and after it as much of the text as its last line may look at, into
// `g.cleaned`, cut where no removal reaches across (`CleaningCutAfter`).
void CleanPiece(std::string_view text, const WrapPiece& piece, bool filter, std::size_t w,
                GuessedLines& g) {
  g.cleaned.clear();
  AppendCleaned(text.substr(piece.start, piece.end - piece.start), filter, g.cleaned);
  g.size = g.cleaned.size();
  for (std::size_t from = piece.end;
       g.cleaned.size() - g.size < Lookahead(w) && from < text.size();) {
    const std::size_t to =
        CleaningCutAfter(text, from, std::min(text.size() - 1, from + Lookahead(w)));
    AppendCleaned(text.substr(from, to - from), filter, g.cleaned);
    from = to;
  }
  g.view = g.cleaned;
}

// Wraps the piece in `g.view` from the line start `guess`, noting where each line starts.
void WrapFromGuess(std::size_t guess, std::size_t w, GuessedLines& g) {
  g.starts.clear();
  g.at.clear();
  g.out.clear();
  for (std::size_t s = guess;;) {
    g.starts.push_back(s);
    g.at.push_back(g.out.size());
    if (s >= g.size) break;
    const std::size_t e = NextLineStart(g.view, s, w);
    AppendLine(g.view, s, e, g.out);
    s = e;
  }
}

// A line is cut where it is whatever the lines before it were, so from the first line start
// the guess shares with the true lines on, the guessed lines are the true ones. Wraps into
// `own` the true lines from `line` up to there and returns where in `g.out` the guessed lines
// are kept from; `line` moves on to the true line start in the next piece.
std::size_t TrueLinesUntilTheyMeet(const GuessedLines& g, std::size_t w, std::size_t& line,
                                   std::string& own) {
  own.clear();
  std::size_t j = 0;
  std::size_t kept_from = g.out.size();
  while (line < g.size) {
    while (j < g.starts.size() && g.starts[j] < line) ++j;
    if (j < g.starts.size() && g.starts[j] == line) {
      kept_from = g.at[j];
      line = g.starts.back();
      break;
    }
    const std::size_t e = NextLineStart(g.view, line, w);
    AppendLine(g.view, line, e, own);
    line = e;
  }
  line -= g.size;
  return kept_from;
}

}  // namespace

Text CleanForWrap(Text text, bool filter_punctuation) {
  std::string& bytes = text.mutable_bytes();
  for (const std::string& find : Removals(filter_punctuation)) RemoveAll(bytes, 0, find);
  return text;
}

Text WrapText(const Text& text, int width) {
  const std::size_t w = static_cast<std::size_t>(std::max(width, 1));
  Text result;
  std::string& out = result.mutable_bytes();
  // Lines come out shorter than the width where words and marks move down, so the first
  // guess (one line end per full width) is checked once a sixteenth of the text is wrapped:
  // the rest is sized by the lines seen so far, and the buffer then grows once, early, while
  // it holds little. A buffer doubled near the end would hold the output twice over.
  out.reserve(text.size() + 2 * (text.size() / w + 1));
  bool checked = false;
  WriteWrappedText(
      text.view(), width, WrapCleaning::kNone, ThreadsFor(text.size(), DefaultThreadCount()),
      [&out](std::string_view part) {
        out += part;
        return true;
      },
      [&](std::size_t done, std::size_t total) {
        if (checked || done < total / 16 || done == total) return;
        checked = true;
        // Output per input byte so far, with an eighth to spare, for what is left.
        const double ratio = static_cast<double>(out.size()) / static_cast<double>(done);
        const std::size_t wanted =
            out.size() +
            static_cast<std::size_t>(static_cast<double>(total - done) * ratio * 1.125) +
            2 * std::min(w, total) + 64;
        if (wanted > out.capacity()) out.reserve(wanted);
      });
  return result;
}

bool WriteWrappedText(std::string_view text, int width, WrapCleaning cleaning, int threads,
                      const std::function<bool(std::string_view)>& write,
                      const std::function<void(std::size_t, std::size_t)>& progress,
                      std::size_t piece_bytes) {
  const std::size_t w = static_cast<std::size_t>(std::max(width, 1));
  // A piece at least as long as a line, so that wrapping one costs the piece, not the width.
  const std::size_t piece_size = std::max({piece_bytes, w, std::size_t{1}});
  const bool cleans = cleaning != WrapCleaning::kNone;
  const bool filter = cleaning == WrapCleaning::kLineBreaksAndPunctuation;
  std::size_t next_start = 0;  // where the next piece begins
  std::size_t made = 0;
  std::size_t taken = 0;
  std::size_t line = 0;  // where the next true line starts, in the text of the next piece
  std::string own;       // true lines before they meet the guessed ones
  return RunInOrder<WrapPiece, GuessedLines>(
      threads,
      [&](WrapPiece& piece) {
        if (next_start >= text.size()) return false;
        piece.start = next_start;
        const std::size_t nominal = std::min(text.size(), next_start + piece_size);
        piece.end = cleans && nominal < text.size()
                        ? CleaningCutAfter(text, next_start, nominal - 1)
                        : nominal;
        // Once every piece before is written, the true line start is known, so a serial run
        // never guesses.
        piece.guess = made == taken ? line : 0;
        next_start = piece.end;
        ++made;
        return true;
      },
      [&](const WrapPiece& piece, GuessedLines& g) {
        if (cleans) {
          CleanPiece(text, piece, filter, w, g);
        } else {
          g.size = piece.end - piece.start;
          g.view = text.substr(piece.start, g.size + Lookahead(w));
        }
        WrapFromGuess(piece.guess, w, g);
      },
      [&](WrapPiece& piece, GuessedLines& g) {
        ++taken;
        const std::size_t kept_from = TrueLinesUntilTheyMeet(g, w, line, own);
        if (progress) progress(piece.end, text.size());
        return (own.empty() || write(own)) &&
               (kept_from == g.out.size() || write(std::string_view(g.out).substr(kept_from)));
      });
}

int WrapWidth(const Text& typed) {
  const double number = ToNumber(typed);
  // Below 1 (NaN too) or beyond the limit: no width at all, rather than one clamped.
  if (!(number >= 1) || number >= kMaxWrapWidth + 1) return 0;
  return static_cast<int>(number);
}

void OnWrapClicked(Units& units) {
  const int width = WrapWidth(units.EditText(Unit::字数_编辑框));
  if (width < 1) {
    ShowMessage(units.dialogs(), FromUtf8("请输入1到10000之间的每行字符数"),
                message_flags::kIconWarning);
    return;
  }

  const bool filter = units.IsTicked(Unit::选择框2);
  const Text input = units.EditText(Unit::被折行_编辑框);
  if (RefuseEmptyInput(units, input)) return;
  ResultFile file = ChooseResultFile(units, FromUtf8("折行后_"));
  Text cleaned;
  Text wrapped;
  bool written = false;
  // Both boxes change only once the file is written, so a cancel changes nothing.
  if (!units.RunLongWork([&](WorkProgress& progress) {
        cleaned = CleanForWrap(input, filter);
        progress.Step(0, cleaned.size());
        WriteWrappedText(
            cleaned.view(), width, WrapCleaning::kNone, DefaultThreadCount(),
            [&](std::string_view part) {
              wrapped.mutable_bytes() += part;
              return true;
            },
            [&](std::size_t done, std::size_t total) { progress.Step(done, total); });
        written = SaveResultFile(
            file, {ToBytes(wrapped)},
            [&](std::size_t done, std::size_t total) { progress.Step(done, total); });
      })) {
    ReportCancelled(units);
    return;
  }
  units.ReplaceEditText(Unit::被折行_编辑框, cleaned);
  units.SetEditText(Unit::替换后_编辑框, wrapped);
  ReportSave(units, file, written, FromUtf8("处理完毕，已保存在软件所在目录下"),
             CountedText("已保存 ", CountLines(wrapped.view()), " 行"));
}

}  // namespace lanzhou
