#include "text/encoding_detect.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "text/gbk_chars.h"

namespace lanzhou {
namespace {

enum Class : std::uint8_t {
  kBoundary,  // the start and end of the text, ASCII other than letters
  kLetter,    // ASCII letter
  kHan,
  kCjkPunct,  // ，。、《》 and the other Chinese punctuation
  kPunct,     // “ ” — … « » and other punctuation and symbols
  kLatin,     // accented Latin letter
  kCyrillic,
  kGreek,
  kOther,
  kClassCount
};

// The cost in bits of a character of class `to` following one of class `from`.
constexpr std::uint8_t kTransition[kClassCount][kClassCount] = {
    // to: Bnd Ltr Han CJK Pun Lat Cyr Grk Oth      from:
    {1, 1, 2, 5, 4, 7, 7, 10, 10},      // boundary
    {1, 0, 5, 5, 5, 4, 10, 14, 12},     // ASCII letter
    {4, 6, 0, 3, 5, 14, 14, 14, 12},    // hanzi
    {2, 5, 1, 3, 5, 12, 12, 12, 12},    // Chinese punctuation
    {1, 2, 2, 4, 4, 4, 4, 6, 10},       // punctuation
    {2, 0, 14, 10, 5, 5, 14, 14, 12},   // Latin
    {2, 10, 14, 10, 5, 14, 0, 14, 12},  // Cyrillic
    {2, 12, 14, 10, 5, 14, 14, 0, 12},  // Greek
    {3, 10, 10, 10, 6, 10, 10, 10, 2},  // other
};

struct Char {
  Class type;
  std::uint8_t cost;
  // For Cyrillic: a Russian consonant, a Russian word of one letter, in lower case. For an
  // accented Latin letter: `word` when it is a word of its own.
  bool consonant = false;
  bool word = false;
  bool lower = false;
};

constexpr std::uint8_t kBroken = 30;   // a byte sequence that is no character at all
constexpr std::uint8_t kRareHan = 20;  // a hanzi of GBK outside GB2312
constexpr std::uint8_t kRarest = 24;   // private use, ideographs outside GBK

// Costs of GB2312 hanzi, row by row (see the header for the source).
constexpr const char* kHanCosts[] = {
#include "text/han_costs.inc"
};
constexpr int kHanRows = sizeof(kHanCosts) / sizeof(kHanCosts[0]);

// The cost of the GB2312 hanzi lead, trail (B0..F7, A1..FE), or 0 where the row has none.
std::uint8_t HanCost(unsigned lead, unsigned trail) {
  const char cell = kHanCosts[lead - 0xB0][trail - 0xA1];
  if (cell == '-') return 0;
  return static_cast<std::uint8_t>(cell <= '9' ? cell - '0' : cell - 'a' + 10);
}

// U+4E00..U+9FA5 (all in GBK) -> cost, taken from the GB2312 table through the conversion.
const std::vector<std::uint8_t>& UnifiedHanCosts() {
  static const std::vector<std::uint8_t> costs = [] {
    std::vector<std::uint8_t> c(0x9FA6 - 0x4E00, kRareHan);
    std::string gb;
    for (int row = 0; row < kHanRows; ++row) {
      for (unsigned t = 0xA1; t <= 0xFE; ++t) {
        if (HanCost(0xB0 + row, t) == 0) continue;
        gb += static_cast<char>(0xB0 + row);
        gb += static_cast<char>(t);
      }
    }
    const std::string utf8 = ToUtf8(gb);
    // Every GB2312 hanzi is a three-byte UTF-8 sequence, in the same order.
    for (std::size_t i = 0, k = 0; i + 2 < utf8.size(); i += 3, k += 2) {
      const char32_t cp = Utf8CodePoint(reinterpret_cast<const unsigned char*>(utf8.data()) + i, 3);
      if (cp >= 0x4E00 && cp < 0x9FA6) {
        c[cp - 0x4E00] =
            HanCost(static_cast<unsigned char>(gb[k]), static_cast<unsigned char>(gb[k + 1]));
      }
    }
    return c;
  }();
  return costs;
}

// Russian letters а..я by frequency, in bits; ё costs 9, capitals 3 more.
constexpr char kRussianCosts[] = "46575376465554354445777788b66976";

std::uint8_t Digit(char c) { return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'a' + 10); }

// Accented letters common in the languages of Europe written in Latin letters (cost 4), and
// less common ones (cost 7).
constexpr char32_t kCommonLatin[] = U"áàäçéèíñóöúüßčěřšžůýąęłśżÉÄÖÜ";
constexpr char32_t kLessCommonLatin[] = U"âãåæêëìîïòôõøùûÿœďňťćńźőűăşţșțğıľĺŕÁÍÓÚÑČŘŠŽ";
constexpr char32_t kCommonPunct[] = U"«»°§©®¡¿·´–—‘’‚“”„…•";
constexpr char32_t kCommonCjkPunct[] = U"、。〈〉《》「」『』【】〔〕！（），：；？";

bool In(const char32_t* set, char32_t c) {
  for (; *set; ++set) {
    if (*set == c) return true;
  }
  return false;
}

Char AsciiChar(unsigned char b) {
  const bool letter = (b | 0x20) >= 'a' && (b | 0x20) <= 'z';
  return {letter ? kLetter : kBoundary, 0};
}

// A code point (>= 0x80) read as UTF-8.
Char UnicodeChar(char32_t c) {
  if (c < 0xC0) return {kPunct, static_cast<std::uint8_t>(In(kCommonPunct, c) ? 5 : 16)};
  if (c < 0x250) {
    if (c == 0xD7 || c == 0xF7) return {kPunct, 16};
    if (In(kCommonLatin, c)) return {kLatin, 4, false, In(U"àèéó", c)};
    if (In(kLessCommonLatin, c)) return {kLatin, 7};
    return {kLatin, static_cast<std::uint8_t>(c < 0x180 ? 11 : 14)};
  }
  if (c < 0x300) return {kLatin, 14};  // IPA, modifier letters
  // Combining accents, as in text whose accented letters are decomposed.
  if (c < 0x370) return {kLatin, static_cast<std::uint8_t>(c <= 0x30C || c == 0x327 ? 6 : 12)};
  if (c < 0x400) {
    if (c >= 0x3B1 && c <= 0x3C9) return {kGreek, 6};
    return {kGreek, static_cast<std::uint8_t>(c >= 0x391 && c <= 0x3A9 ? 9 : 12)};
  }
  if (c < 0x460) {
    if (c == 0x451) return {kCyrillic, 9};
    if (c >= 0x410 && c < 0x450) {
      const unsigned k = (c - 0x410) % 32;
      const bool lower = c >= 0x430;
      return {kCyrillic, static_cast<std::uint8_t>(Digit(kRussianCosts[k]) + (lower ? 0 : 3)),
              !In(U"аеиоуыэюя", 0x430 + k), In(U"абвжиксоуя", 0x430 + k), lower};
    }
    return {kCyrillic, 9};
  }
  if (c < 0x530) return {kCyrillic, 14};
  if (c < 0x800) return {kOther, 14};  // Armenian, Hebrew, Arabic, Syriac, Thaana, NKo
  if (c >= 0x2000 && c < 0x2070) {
    return {kPunct, static_cast<std::uint8_t>(In(kCommonPunct, c) ? 5 : 10)};
  }
  if (c >= 0x3000 && c < 0x3040) {
    return {kCjkPunct, static_cast<std::uint8_t>(In(kCommonCjkPunct, c) ? 4 : 10)};
  }
  if (c >= 0xFF01 && c < 0xFF5F) {
    return {kCjkPunct, static_cast<std::uint8_t>(In(kCommonCjkPunct, c) ? 4 : 10)};
  }
  if (c >= 0x4E00 && c < 0x9FA6) return {kHan, UnifiedHanCosts()[c - 0x4E00]};
  if ((c >= 0x3400 && c < 0xA000) || (c >= 0xF900 && c < 0xFB00) || (c >= 0x20000 && c < 0x32000)) {
    return {kHan, kRarest};
  }
  if (c >= 0xE000 && c < 0xF900) return {kOther, kRarest};  // private use
  if (c >= 0x1F300 && c < 0x1FB00) return {kOther, 12};     // emoji
  return {kOther, static_cast<std::uint8_t>(c < 0x10000 ? 12 : 20)};
}

// A two-byte GBK character.
Char GbkChar(unsigned lead, unsigned trail) {
  if (lead == 0x80 || lead == 0xFF || !IsGbkTrailByte(static_cast<unsigned char>(trail))) {
    return {kOther, kBroken};
  }
  if (trail >= 0xA1) {
    if (lead >= 0xB0 && lead <= 0xF7) {
      const std::uint8_t cost = HanCost(lead, trail);
      return cost ? Char{kHan, cost} : Char{kOther, kRarest};
    }
    switch (lead) {
      case 0xA1:    // 、。“”《》… and symbols
      case 0xA3: {  // full-width ，！？ and letters
        static const std::string common =
            FromUtf8("、。“”‘’《》「」『』【】〔〕…—·！（），：；？").bytes();
        for (std::size_t i = 0; i + 1 < common.size(); i += 2) {
          if (static_cast<unsigned char>(common[i]) == lead &&
              static_cast<unsigned char>(common[i + 1]) == trail) {
            return {kCjkPunct, 4};
          }
        }
        return {kCjkPunct, 10};
      }
      case 0xA6:
        return {kGreek, 10};
      case 0xA7:
        return {kCyrillic, 10};
      case 0xA2:
      case 0xA4:
      case 0xA5:
      case 0xA8:
      case 0xA9:
        return {kOther, 12};  // numbering, kana, pinyin, box drawing
      default:
        return {kOther, kRarest};  // user-defined
    }
  }
  if (lead <= 0xA0 || lead >= 0xAA) return {kHan, kRareHan};
  if (lead >= 0xA8) return {kOther, 14};
  return {kOther, kRarest};  // user-defined
}

// An accented letter is seldom a word of its own: only à, è, é and ó are.
constexpr int kLoneAccent = 6;
// A Russian word in lower case has a vowel, or is one of the words of one letter (в, к, с, ж).
// Abbreviations are in capitals.
constexpr int kNotRussian = 16;

struct Reading {
  int cost = 0;
  Class last = kBoundary;
  // The Cyrillic word being read: letters, whether only consonants, whether a word of one
  // letter, whether some letter is in lower case.
  int cyrillic = 0;
  bool consonants_only = true;
  bool word = false;
  bool lower = false;
  bool in_latin_word = false;
  bool lone_accent = false;  // the last character is an accented letter after no letter
  void Add(Char c) {
    if (lone_accent && c.type != kLetter && c.type != kLatin) cost += kLoneAccent;
    lone_accent = c.type == kLatin && last != kLetter && last != kLatin && !c.word;
    if (c.type == kCyrillic) {
      if (cyrillic++ == 0) in_latin_word = last == kLetter;
      consonants_only = consonants_only && c.consonant;
      word = c.word;
      lower = lower || c.lower;
    } else if (cyrillic > 0) {
      // Letters mixed into a Latin word are no Russian word of their own.
      const bool own_word = !in_latin_word && c.type != kLetter;
      if (own_word && lower && (cyrillic == 1 ? !word : consonants_only)) cost += kNotRussian;
      cyrillic = 0;
      consonants_only = true;
      lower = false;
    }
    cost += kTransition[last][c.type] + c.cost;
    last = c.type;
  }
};

// This program's inputs are mostly Chinese: UTF-8 must be cheaper by more than this.
constexpr int kGbkPrior = 1;
// One reading has won once it leads by this many bits; no text needs more.
constexpr int kDecided = 96;
// Reading stops after this many non-ASCII characters even if nothing has won.
constexpr int kMostCharacters = 1 << 14;

}  // namespace

EncodingGuess GuessEncoding(std::string_view s) {
  const auto* b = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  Reading utf8, gbk;
  std::size_t u = 0, g = 0;  // where each reading has got to
  int characters = 0;
  while (u < n) {
    if (b[u] < 0x80) {
      if (g == u) {
        // Both readings agree on an ASCII run; only its first and last bytes meet other classes.
        const std::size_t end = AsciiRunEnd(s, u);
        utf8.Add(AsciiChar(b[u]));
        gbk.Add(AsciiChar(b[u]));
        utf8.last = gbk.last = AsciiChar(b[end - 1]).type;
        u = g = end;
        continue;
      }
      utf8.Add(AsciiChar(b[u]));
      ++u;
    } else {
      const std::size_t len = Utf8SequenceLength(s, u);
      if (len == 0) return {false, u};
      utf8.Add(UnicodeChar(Utf8CodePoint(b + u, len)));
      u += len;
      ++characters;
    }
    // The GBK reading catches up, stepping as the character model does, with a GB18030
    // four-byte sequence taken whole.
    while (g < u) {
      if (CharLength(s, g) == 1) {
        gbk.Add(IsLeadByte(b[g]) ? Char{kOther, kBroken} : AsciiChar(b[g]));
        g += 1;
      } else if (IsFourByteAt(s, g)) {
        gbk.Add({kOther, 16});
        g += 4;
      } else {
        gbk.Add(GbkChar(b[g], b[g + 1]));
        g += 2;
      }
    }
    if (std::abs(utf8.cost - gbk.cost) > kDecided || characters >= kMostCharacters) {
      return {utf8.cost + kGbkPrior < gbk.cost, u};
    }
  }
  if (characters == 0) return {false, n};  // ASCII alone
  utf8.Add({kBoundary, 0});
  gbk.Add({kBoundary, 0});
  return {utf8.cost + kGbkPrior < gbk.cost, n};
}

UnlikelyShare UnlikelyGbkCharacters(std::string_view gbk, std::size_t sample) {
  const std::string_view s = gbk.substr(0, sample);
  const auto* b = reinterpret_cast<const unsigned char*>(s.data());
  UnlikelyShare share;
  for (std::size_t i = AsciiRunEnd(s); i < s.size(); i = AsciiRunEnd(s, i)) {
    const std::size_t len = CharLength(s, i);
    Char c{kOther, kBroken};
    if (len == 2) c = GbkChar(b[i], b[i + 1]);
    ++share.characters;
    if (c.type == kOther) ++share.unlikely;
    i += len;
  }
  return share;
}

}  // namespace lanzhou
