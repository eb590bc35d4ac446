// The character model: how GBK/GB18030 bytes step from one character to the next.
//
// Every page, the JSON module and the file code step through text with these functions,
// and nothing else spells the rule. A byte >= 0x80 is a lead byte and takes the byte after
// it as its second byte, unless the text ends there or that byte is CR, LF or NUL: no GBK or
// GB18030 character has one of those as its second byte, so a stray lead byte before them
// stands alone and a line still ends where its line end is. Every other byte is a character
// of its own. A GB18030 four-byte sequence is then two two-byte steps, which keeps splitting
// safe. Searches take it whole (`WholeCharLength`, `IsWholeCharStart`): a match of one of its
// halves, or of the second half of one and the first of the next, is no match.
//
//   CharLength("\xD6\xD0a", 0) == 2     CharLength("\xD6\xD0a", 2) == 1
//   CharLength("\xD6", 0) == 1          (a lead byte at the end stands alone)
//   CharLength("\xD6\r\n", 0) == 1      (and before CR, LF or NUL)
//   IsCharStart("a\xD6\xD0", 0, 2) == false   (offset 2 is the second byte of 中)
//
// Not for UTF-8 text: convert first (text/encoding.h).
#ifndef LANZHOU_TEXT_GBK_CHARS_H_
#define LANZHOU_TEXT_GBK_CHARS_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace lanzhou {

// Whether `b` starts a two-byte character when a byte follows it.
constexpr bool IsLeadByte(unsigned char b) { return b >= 0x80; }
constexpr bool IsLeadByte(char c) { return IsLeadByte(static_cast<unsigned char>(c)); }

// Whether a lead byte standing before `b` takes `b` with it as its second byte: any byte but
// CR, LF and NUL.
constexpr bool TakesAsSecondByte(unsigned char b) { return b != '\r' && b != '\n' && b != '\0'; }

// Whether `b` can be the second byte of a two-byte GBK character (0x40..0xFE but 0x7F); a
// lead byte before a digit may instead start a GB18030 four-byte sequence.
constexpr bool IsGbkTrailByte(unsigned char b) { return b >= 0x40 && b != 0x7F && b != 0xFF; }

// Whether `s[i]` and `s[i + 1]` are a lead byte 0x81..0xFE and a digit 0x30..0x39: one half
// of a GB18030 four-byte sequence, when another such pair follows.
constexpr bool IsFourByteHalfAt(std::string_view s, std::size_t i) {
  if (i + 1 >= s.size()) return false;
  const auto lead = static_cast<unsigned char>(s[i]);
  const auto digit = static_cast<unsigned char>(s[i + 1]);
  return lead >= 0x81 && lead <= 0xFE && digit >= 0x30 && digit <= 0x39;
}

// Whether a GB18030 four-byte sequence starts at `s[i]`: a lead byte 0x81..0xFE, a digit
// 0x30..0x39, a lead byte, a digit. The stepping above takes it as two two-byte characters;
// readers that weigh or measure characters, and searches, take it whole.
//   IsFourByteAt("\x94\x39\xFC\x36", 0) == true (an emoji); IsFourByteAt("\xD6\xD0", 0) == false
constexpr bool IsFourByteAt(std::string_view s, std::size_t i) {
  return IsFourByteHalfAt(s, i) && IsFourByteHalfAt(s, i + 2);
}

// Whether `s[i]` is a lead byte left without a second byte (the last byte of the text, or one
// before CR, LF or NUL).
constexpr bool IsLoneLeadByte(std::string_view s, std::size_t i) {
  return IsLeadByte(s[i]) &&
         (i + 1 == s.size() || !TakesAsSecondByte(static_cast<unsigned char>(s[i + 1])));
}

// The length in bytes (1 or 2) of the character that starts at `s[i]`; `i` < s.size().
constexpr std::size_t CharLength(std::string_view s, std::size_t i) {
  return IsLeadByte(s[i]) && i + 1 < s.size() &&
                 TakesAsSecondByte(static_cast<unsigned char>(s[i + 1]))
             ? 2
             : 1;
}

// The offset of the character after the one that starts at `s[i]`; `i` < s.size().
constexpr std::size_t NextCharStart(std::string_view s, std::size_t i) {
  return i + CharLength(s, i);
}

// How many lead bytes stand right before `pos`, counted back no further than `known`.
constexpr std::size_t LeadRunBefore(std::string_view s, std::size_t known, std::size_t pos) {
  std::size_t q = pos;
  while (q > known && IsLeadByte(s[q - 1])) --q;
  return pos - q;
}

// Whether offset `pos` starts a character, given that offset `known` <= pos does; the end of
// the text (pos == s.size()) always counts as a start. A byte below 0x80 never leads, so a
// character starts after it; from there the lead bytes pair up, and only the run of them right
// before `pos` decides. Costs the length of that run, not of the text.
constexpr bool IsCharStart(std::string_view s, std::size_t known, std::size_t pos) {
  if (LeadRunBefore(s, known, pos) % 2 == 0) return true;
  // An odd run: its last byte is a lead byte alone when what follows cannot be its second
  // byte (or nothing follows).
  return pos == s.size() || !TakesAsSecondByte(static_cast<unsigned char>(s[pos]));
}

// The length in bytes (1, 2 or 4) of the character at `s[i]` (a character start, `i` <
// s.size()) with a four-byte sequence taken whole, as searches step.
//   WholeCharLength("\x81\x30\x81\x30", 0) == 4;  WholeCharLength("\x81\x30 ", 0) == 2
constexpr std::size_t WholeCharLength(std::string_view s, std::size_t i) {
  return IsFourByteAt(s, i) ? 4 : CharLength(s, i);
}

// Whether offset `pos` starts a character when four-byte sequences are taken whole, given that
// `known` <= pos does. From a character start the halves of four-byte sequences pair up, so
// only the run of them right before `pos` decides; costs that run.
//   IsWholeCharStart("\x81\x30\x81\x30", 0, 2) == false; IsWholeCharStart("\x81\x30 ", 0, 2) ==
//   true
constexpr bool IsWholeCharStart(std::string_view s, std::size_t known, std::size_t pos) {
  if (!IsCharStart(s, known, pos)) return false;
  std::size_t halves = 0;
  for (std::size_t q = pos;
       q >= known + 2 && IsFourByteHalfAt(s, q - 2) && IsCharStart(s, known, q - 2); q -= 2) {
    ++halves;
  }
  // An odd run: its last half stands alone unless another half follows.
  return halves % 2 == 0 || !IsFourByteHalfAt(s, pos);
}

// Whether the text ends in a lead byte left alone, stepping from `known` (a character start):
// EndsWithLoneLeadByte("ab\xD6") == true, EndsWithLoneLeadByte("a\xD6\xD0") == false.
constexpr bool EndsWithLoneLeadByte(std::string_view s, std::size_t known = 0) {
  return LeadRunBefore(s, known, s.size()) % 2 != 0;
}

// The start of the character that ends right before `pos` (0 < pos <= s.size(), `pos` a
// character start, `known` <= pos a character start).
constexpr std::size_t PreviousCharStart(std::string_view s, std::size_t known, std::size_t pos) {
  return pos >= known + 2 && IsCharStart(s, known, pos - 2) && CharLength(s, pos - 2) == 2
             ? pos - 2
             : pos - 1;
}

// The first `separator` (not empty, whole characters) at or after `from` that starts and ends
// on whole characters, stepping from `known` (<= from, a character start), or npos. Candidates
// are found with memchr and then checked, which costs only the run of lead bytes before each;
// a separator that begins with CR, LF or NUL needs no check, as no lead byte takes those. Only
// a separator that begins or ends with the half of a four-byte sequence can meet one inside
// a four-byte sequence, so only such a one pays for the run of halves.
//   FindSeparator("a\xD6\r\nb\r\n", "\r\n", 0, 0) == 2   (0xD6 never takes a CR)
//   FindSeparator("\x83|a|", "|", 0, 0) == 3              ("\x83|" is one character)
//   FindSeparator("\x81\x30\x81\x30", "\x81\x30", 0, 0) == npos
inline std::size_t FindSeparator(std::string_view text, std::string_view separator,
                                 std::size_t known, std::size_t from) {
  const std::size_t n = text.size();
  const std::size_t d = separator.size();
  const bool check = TakesAsSecondByte(static_cast<unsigned char>(separator[0]));
  const bool halves =
      IsFourByteHalfAt(separator, 0) || (d >= 2 && IsFourByteHalfAt(separator, d - 2));
  while (from + d <= n) {
    const void* hit = std::memchr(text.data() + from, separator[0], n - d + 1 - from);
    if (hit == nullptr) break;
    const std::size_t q = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    if (std::memcmp(text.data() + q + 1, separator.data() + 1, d - 1) == 0) {
      if (!halves) {
        if (!check || IsCharStart(text, known, q)) return q;
        known = q + 1;  // q is a second byte, so a character starts after it
      } else if (!IsCharStart(text, known, q)) {
        // A character starts after the second byte q, unless that is the middle of a
        // four-byte sequence, which then started at q - 1.
        known = IsWholeCharStart(text, known, q + 1) ? q + 1 : q - 1;
      } else if (!IsWholeCharStart(text, known, q)) {
        known = q - 2;  // q is the middle of a four-byte sequence
      } else if (IsWholeCharStart(text, q, q + d)) {
        return q;
      } else {
        known = q;
      }
    }
    from = q + 1;
  }
  return std::string_view::npos;
}

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_GBK_CHARS_H_
