#include "text/lines.h"

#include <algorithm>
#include <cstring>

#include "text/gbk_chars.h"

namespace lanzhou {
namespace {

// The offset of the first LF in `text` at or after `from`, or text.size().
std::size_t NextLf(std::string_view text, std::size_t from) {
  const void* lf = std::memchr(text.data() + from, '\n', text.size() - from);
  return lf == nullptr ? text.size() : static_cast<const char*>(lf) - text.data();
}

}  // namespace

std::size_t CountLines(std::string_view text) {
  if (text.empty()) return 0;
  // Counted into a byte per block of 255, which the compiler does 32 bytes at a time; a
  // plain std::count keeps a 64-bit count per byte and is three times slower.
  std::size_t lf = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t end = std::min(text.size(), i + 255);
    unsigned char block = 0;
    for (; i < end; ++i) block += text[i] == '\n';
    lf += block;
  }
  return lf + (text.back() == '\n' ? 0 : 1);
}

std::string_view TakeLines(std::string_view& text, std::size_t count) {
  std::size_t end = 0;
  for (; count > 0 && end < text.size(); --count)
    end = std::min(NextLf(text, end) + 1, text.size());
  const std::string_view taken = text.substr(0, end);
  text.remove_prefix(end);
  return taken;
}

std::size_t PieceEndAfter(std::string_view text, std::string_view separator, std::size_t start,
                          std::size_t size) {
  if (size >= text.size() - start) return text.size();
  const std::size_t q = FindSeparator(text, separator, start, start + size);
  return q == std::string_view::npos ? text.size() : q + separator.size();
}

// Long texts are searched this much at a time, so that a caller may hand the pages of a
// mapped file back behind the search.
constexpr std::size_t kScanStep = std::size_t{64} << 20;

bool ScanInSteps(std::size_t size, const std::function<bool(std::size_t, std::size_t)>& look,
                 const std::function<void(std::size_t)>& scanned) {
  for (std::size_t at = 0; at < size; at += kScanStep) {
    const std::size_t end = std::min(size, at + kScanStep);
    if (!look(at, end)) return false;
    if (scanned) scanned(end);
  }
  return true;
}

std::size_t PieceEndAfter(std::string_view text, std::string_view separator, std::size_t start,
                          std::size_t size, const std::function<void(std::size_t)>& scanned) {
  if (!scanned || size >= text.size() - start) return PieceEndAfter(text, separator, start, size);
  const std::size_t from = start + size;
  std::size_t q = std::string_view::npos;
  ScanInSteps(
      text.size() - from,
      [&](std::size_t at, std::size_t end) {
        // A separator that begins in this step may end in the next.
        const std::size_t stop = std::min(text.size(), from + end + separator.size() - 1);
        q = FindSeparator(text.substr(0, stop), separator, start, from + at);
        return q == std::string_view::npos;
      },
      [&](std::size_t end) { scanned(from + end); });
  return q == std::string_view::npos ? text.size() : q + separator.size();
}

std::string_view TextBeforeZero(std::string_view bytes,
                                const std::function<void(std::size_t)>& scanned) {
  std::size_t zero = std::string_view::npos;
  ScanInSteps(
      bytes.size(),
      [&](std::size_t at, std::size_t end) {
        zero = bytes.substr(0, end).find('\0', at);
        return zero == std::string_view::npos;
      },
      scanned);
  return bytes.substr(0, zero);
}

std::string_view TextBeforeEndMark(std::string_view bytes,
                                   const std::function<void(std::size_t)>& scanned) {
  std::size_t end_mark = std::string_view::npos;
  ScanInSteps(
      bytes.size(),
      [&](std::size_t at, std::size_t end) {
        // Whether a 0x1A starts a character depends only on the bytes before it, so the text
        // up to the step's end decides for the marks within the step.
        const std::size_t zero = bytes.substr(0, end).find('\0', at);
        const std::size_t mark = FindSeparator(bytes.substr(0, std::min(zero, end)), "\x1A", 0, at);
        end_mark = std::min(mark, zero);
        return end_mark == std::string_view::npos;
      },
      scanned);
  return bytes.substr(0, end_mark);
}

bool NextFileLine(std::string_view& rest, std::string_view& line) {
  const char* end = rest.data() + rest.size();
  if (!NextLine(rest, line)) return false;
  if (line.data() + line.size() == end) line = LastFileLine(line);  // no LF after it
  return true;
}

std::string_view LastFileLine(std::string_view line) {
  if (EndsWithLoneLeadByte(line)) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

}  // namespace lanzhou
