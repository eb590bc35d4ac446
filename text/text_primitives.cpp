#include "text/text_primitives.h"

#include <locale.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "text/clock.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

unsigned char FoldAsciiCase(unsigned char b) { return b >= 'A' && b <= 'Z' ? b + 32 : b; }

bool MatchesAt(std::string_view s, std::size_t i, std::string_view find, bool case_sensitive) {
  if (case_sensitive) return s.compare(i, find.size(), find) == 0;
  for (std::size_t k = 0; k < find.size(); ++k) {
    if (FoldAsciiCase(static_cast<unsigned char>(s[i + k])) !=
        FoldAsciiCase(static_cast<unsigned char>(find[k]))) {
      return false;
    }
  }
  return true;
}

bool IsCSpace(unsigned char b) { return b == ' ' || (b >= '\t' && b <= '\r'); }

Text FormatGeneral(double value, int precision) {
  std::string out;
  AppendGeneral(out, value, precision);
  return Text(std::move(out));
}

// Truncation toward zero that saturates instead of overflowing (NaN gives 0).
std::int32_t TruncateToInt32(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

template <typename T>
Bytes LittleEndian(T value) {
  std::array<unsigned char, sizeof(T)> raw;
  std::memcpy(raw.data(), &value, sizeof(T));
  if constexpr (std::endian::native == std::endian::big) std::reverse(raw.begin(), raw.end());
  return Bytes(std::string(reinterpret_cast<const char*>(raw.data()), raw.size()));
}

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// clang 14 does not deduce aggregate template arguments by itself.
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace

int TextLength(const Text& text) { return static_cast<int>(text.size()); }

Text LeftText(const Text& text, int n) {
  if (n <= 0) return Text();
  return Text(text.view().substr(0, static_cast<std::size_t>(n)));
}

Text RightText(const Text& text, int n) {
  if (n <= 0) return Text();
  std::size_t take = std::min(static_cast<std::size_t>(n), text.size());
  return Text(text.view().substr(text.size() - take));
}

Text MidText(const Text& text, int start, int length) {
  long long s = static_cast<long long>(start) - 1;
  if (s < 0 || s >= static_cast<long long>(text.size()) || length <= 0) return Text();
  return Text(text.view().substr(static_cast<std::size_t>(s), static_cast<std::size_t>(length)));
}

int CharCode(const Text& text, int position) {
  // Taken as unsigned, so position 0 and below land far beyond the end.
  std::size_t i = static_cast<std::size_t>(static_cast<long long>(position) - 1);
  if (text.size() < i) return 0;
  if (i == text.size()) return 0;  // the terminating zero
  return static_cast<signed char>(text.at(i));
}

Text CharFromCode(int code) {
  char b = static_cast<char>(code & 0xFF);
  if (b == 0) return Text();
  return Text(std::string(1, b));
}

Text SpaceText(int n) {
  if (n < 1) return Text();
  return Text(std::string(static_cast<std::size_t>(n), ' '));
}

Text RepeatText(int n, const Text& text) {
  if (n <= 0 || text.empty()) return Text();
  std::string out;
  out.reserve(text.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out += text.view();
  return Text(std::move(out));
}

TextArray SplitText(const Text& text, const Text& delimiter, std::optional<int> max_members) {
  TextArray members;
  const std::size_t limit = max_members ? static_cast<std::size_t>(std::max(*max_members, 0))
                                        : static_cast<std::size_t>(-1);
  if (limit == 0) return members;
  ForEachMember(text.view(), delimiter.view(), [&](std::string_view member) {
    members.emplace_back(member);
    return members.size() < limit;
  });
  return members;
}

Text ReplaceSubtext(const Text& text, const Text& find, const Text& replacement, int start,
                    std::optional<int> count, bool case_sensitive) {
  if (start < 1) start = 1;
  long long remaining = count.has_value() && *count >= 0 ? *count : -1;  // -1: all
  std::string_view s = text.view();
  std::string_view f = find.view();
  if (s.empty() || f.empty() || static_cast<std::size_t>(start - 1) >= s.size() || remaining == 0) {
    return text;
  }
  std::string out;
  out.reserve(s.size());
  std::size_t p = static_cast<std::size_t>(start - 1);
  out.append(s.substr(0, p));
  while (remaining != 0 && s.size() - p >= f.size()) {
    if (MatchesAt(s, p, f, case_sensitive) && IsWholeCharStart(s, p, p + f.size())) {
      out += replacement.view();
      p += f.size();
      if (remaining > 0) --remaining;
    } else {
      std::size_t w = WholeCharLength(s, p);
      out.append(s.substr(p, w));
      p += w;
    }
  }
  out.append(s.substr(p));
  return Text(std::move(out));
}

Text BatchReplace(const Text& text, std::optional<int> count, int start, bool case_sensitive,
                  std::span<const ReplacePair> pairs) {
  if (start == 0) start = 1;
  Text result = text;
  for (std::size_t i = 0; i < pairs.size() && i < 5; ++i) {
    result =
        ReplaceSubtext(result, pairs[i].find, pairs[i].replacement, start, count, case_sensitive);
  }
  return result;
}

Text ConcatTexts(std::initializer_list<Text> texts) {
  std::size_t total = 0;
  for (const Text& t : texts) total += t.size();
  std::string out;
  out.reserve(total);
  for (const Text& t : texts) out += t.view();
  return Text(std::move(out));
}

int CompareText(const Text& a, const Text& b) {
  int c = a.bytes().compare(b.bytes());  // char_traits<char> compares unsigned bytes
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void AppendGeneral(std::string& out, double value, int precision) {
  std::array<char, 64> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, precision);
  out.append(buffer.data(), result.ptr);
}

Text ToText(const Value& value) {
  return std::visit(
      Overloaded{
          [](std::int32_t v) { return Text(std::to_string(v)); },
          [](std::int64_t v) { return Text(std::to_string(v)); },
          [](std::uint8_t v) { return Text(std::to_string(static_cast<unsigned>(v))); },
          [](std::int16_t v) { return Text(std::to_string(static_cast<int>(v))); },
          [](float v) { return FormatGeneral(v, 6); },
          [](double v) { return FormatGeneral(v, 13); },
          [](bool v) {
            static const Text kTrue = FromUtf8("真");
            static const Text kFalse = FromUtf8("假");
            return v ? kTrue : kFalse;
          },
          [](DateTime v) { return TimeToText(v, 1); },
          [](const Text& v) { return v; },
          [](const Bytes& v) { return Text(TextBeforeZero(v.view())); },
      },
      value);
}

std::int64_t ReadLeadingInteger(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && IsCSpace(static_cast<unsigned char>(bytes[i]))) ++i;
  bool negative = false;
  if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) negative = bytes[i++] == '-';
  // Accumulate toward the sign so that the most negative value is reachable.
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  bool saturated = false;
  for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i) {
    if (saturated) continue;
    int digit = bytes[i] - '0';
    if (negative) {
      if (value < (kMin + digit) / 10) {
        value = kMin;
        saturated = true;
      } else {
        value = value * 10 - digit;
      }
    } else {
      if (value > (kMax - digit) / 10) {
        value = kMax;
        saturated = true;
      } else {
        value = value * 10 + digit;
      }
    }
  }
  return value;
}

double ReadLeadingNumber(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && IsCSpace(static_cast<unsigned char>(bytes[i]))) ++i;
  auto is_digit = [&](std::size_t k) {
    return k < bytes.size() && bytes[k] >= '0' && bytes[k] <= '9';
  };
  bool negative = false;
  if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) negative = bytes[i++] == '-';
  const std::size_t begin = i;
  std::size_t digits = 0;
  while (is_digit(i)) ++i, ++digits;
  if (i < bytes.size() && bytes[i] == '.') {
    std::size_t k = i + 1;
    while (is_digit(k)) ++k, ++digits;
    if (digits > 0) i = k;
  }
  if (digits == 0) return 0.0;
  if (i < bytes.size() && (bytes[i] == 'e' || bytes[i] == 'E')) {
    std::size_t k = i + 1;
    if (k < bytes.size() && (bytes[k] == '+' || bytes[k] == '-')) ++k;
    if (is_digit(k)) {
      while (is_digit(k)) ++k;
      i = k;
    }
  }
  // Only a plain decimal number reaches strtod, read in the C locale.
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  std::string number(bytes.substr(begin, i - begin));
  double value = strtod_l(number.c_str(), nullptr, c_locale);
  return negative ? -value : value;
}

Text FoldToHalfWidth(const Text& text) {
  std::string_view s = text.view();
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t w = CharLength(s, i);
    if (w == 2) {
      unsigned char lead = static_cast<unsigned char>(s[i]);
      unsigned char trail = static_cast<unsigned char>(s[i + 1]);
      if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
        out += static_cast<char>(trail - 0x80);
      } else if (lead == 0xA1 && trail == 0xA1) {
        out += ' ';
      } else if (lead == 0xA1 && trail == 0xAB) {
        out += '~';
      } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
        out += '*';
      } else {
        out.append(s.substr(i, 2));
      }
    } else {
      out += s[i];
    }
    i += w;
  }
  return Text(std::move(out));
}

std::int32_t ToInteger(const Value& value) {
  return std::visit(
      Overloaded{
          [](std::int32_t v) { return v; },
          [](std::int64_t v) { return static_cast<std::int32_t>(v); },
          [](std::uint8_t v) { return static_cast<std::int32_t>(v); },
          [](std::int16_t v) { return static_cast<std::int32_t>(v); },
          [](float v) { return TruncateToInt32(v); },
          [](double v) { return TruncateToInt32(v); },
          [](bool v) { return v ? 1 : 0; },
          [](DateTime) { return 0; },
          [](const Text& v) {
            return static_cast<std::int32_t>(ReadLeadingInteger(FoldToHalfWidth(v).view()));
          },
          [](const Bytes&) { return 0; },
      },
      value);
}

std::int32_t ToClampedInteger(const Text& text) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      ReadLeadingInteger(FoldToHalfWidth(text).view()), std::numeric_limits<std::int32_t>::min(),
      std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::vector<std::int32_t>> ReadNumberList(const Text& typed, Text* refused) {
  // GBK forms of the full-width separators (，、｜；and the ideographic space) and digits.
  static constexpr std::array<std::string_view, 5> kWideSeparators = {
      "\xA3\xAC", "\xA1\xA2", "\xA3\xFC", "\xA3\xBB", "\xA1\xA1"};
  const std::string_view s = typed.view();
  std::vector<std::int32_t> numbers;
  std::size_t piece_start = 0;
  std::int64_t value = 0;
  bool digits_only = true;
  // Ends the piece before `end`; false when it is neither empty nor a number from 1 up.
  auto end_piece = [&](std::size_t end) {
    if (end > piece_start) {
      if (!digits_only || value < 1) {
        if (refused != nullptr) *refused = Text(s.substr(piece_start, end - piece_start));
        return false;
      }
      numbers.push_back(static_cast<std::int32_t>(value));
    }
    value = 0;
    digits_only = true;
    return true;
  };
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t length = CharLength(s, i);
    const std::string_view c = s.substr(i, length);
    const bool separator = length == 1
                               ? std::string_view(",|; \t").find(c[0]) != std::string_view::npos
                               : std::ranges::find(kWideSeparators, c) != kWideSeparators.end();
    if (separator) {
      if (!end_piece(i)) return std::nullopt;
      piece_start = i + length;
    } else {
      int digit = -1;
      if (length == 1 && c[0] >= '0' && c[0] <= '9') digit = c[0] - '0';
      if (length == 2 && c[0] == '\xA3' && c[1] >= '\xB0' && c[1] <= '\xB9') digit = c[1] - '\xB0';
      if (digit < 0) digits_only = false;
      // Beyond int is clamped, so a huge number names no field rather than wrapping to one.
      value = std::min<std::int64_t>(value * 10 + std::max(digit, 0),
                                     std::numeric_limits<std::int32_t>::max());
    }
    i += length;
  }
  if (!end_piece(s.size())) return std::nullopt;
  if (numbers.empty()) {
    if (refused != nullptr) *refused = Text();
    return std::nullopt;
  }
  return numbers;
}

double ToNumber(const Value& value) {
  return std::visit(Overloaded{
                        [](std::int32_t v) { return static_cast<double>(v); },
                        [](std::int64_t v) { return static_cast<double>(v); },
                        [](std::uint8_t v) { return static_cast<double>(v); },
                        [](std::int16_t v) { return static_cast<double>(v); },
                        [](float v) { return static_cast<double>(v); },
                        [](double v) { return v; },
                        [](bool v) { return v ? 1.0 : 0.0; },
                        [](DateTime) { return 0.0; },
                        [](const Text& v) { return ReadLeadingNumber(FoldToHalfWidth(v).view()); },
                        [](const Bytes&) { return 0.0; },
                    },
                    value);
}

Bytes ToBytes(const Value& value) {
  return std::visit(Overloaded{
                        [](std::int32_t v) { return LittleEndian(v); },
                        [](std::int64_t v) { return LittleEndian(v); },
                        [](std::uint8_t v) { return LittleEndian(v); },
                        [](std::int16_t v) { return LittleEndian(v); },
                        [](float v) { return LittleEndian(v); },
                        [](double v) { return LittleEndian(v); },
                        [](bool v) { return LittleEndian<std::int32_t>(v ? 1 : 0); },
                        [](DateTime v) { return LittleEndian(v.days()); },
                        [](const Text& v) { return Bytes(v.view()); },
                        [](const Bytes& v) { return v; },
                    },
                    value);
}

Bytes ZeroBytes(int n) {
  if (n <= 0) return Bytes();
  return Bytes(std::string(static_cast<std::size_t>(n), '\0'));
}

std::int32_t Floor(double x) {
  if (std::isfinite(x)) {
    double whole = std::trunc(x);
    double fraction = std::fabs(x - whole);
    if (fraction < 1e-12) {
      x = whole;
    } else if (fraction > 0.999999999999) {
      x = whole + (x < 0 ? -1.0 : 1.0);
    }
  }
  return TruncateToInt32(std::floor(x));
}

double Remainder(double a, double b, std::initializer_list<double> further) {
  auto check = [](double divisor) {
    if (divisor == 0) {
      std::fputs("不能求余数于零\n", stderr);
      std::abort();
    }
  };
  check(b);
  double r = std::fmod(a, b);
  for (double d : further) {
    check(d);
    r = std::fmod(r, d);
  }
  return r;
}

}  // namespace lanzhou
