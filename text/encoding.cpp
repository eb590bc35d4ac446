#include "text/encoding.h"

#include <iconv.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "text/encoding_detect.h"
#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

// One iconv descriptor per direction and thread, opened on first use. Opening one loads the
// conversion module, which is too slow to repeat for every short text.
class Converter {
 public:
  // glibc always has these conversions, so opening one fails only for want of memory (its
  // module or descriptor could not be mapped or allocated, as under `ulimit -v` with many
  // threads): the caller hears std::bad_alloc, as from any allocation, and ends with a message.
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::bad_alloc();
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`. Where iconv stops at a sequence it cannot convert, `on_invalid(out, rest)`
  // appends a substitute and returns how many bytes of `rest` it stands for, or 0 to end the
  // conversion there; `*stopped_at` (when given) is then the offset of `rest` in `in`.
  // `expected` is the size the result is reserved for; a longer result grows the buffer.
  // iconv writes a piece at a time into the buffer's room, so only the piece is ever cleared
  // beforehand, never a whole worst-case buffer.
  template <typename OnInvalid>
  std::string Convert(std::string_view in, std::size_t expected, OnInvalid on_invalid,
                      std::optional<std::size_t>* stopped_at = nullptr) {
    constexpr std::size_t kPiece = 1 << 16;
    constexpr std::size_t kLeastRoom = 64;           // above the longest character either way
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    std::string out;
    out.reserve(expected);
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    while (src_left > 0) {
      const std::size_t used = out.size();
      std::size_t room = out.capacity() - used;
      room = room < kLeastRoom ? kPiece : std::min(room, kPiece);  // when full, grow once
      out.resize(used + room);
      char* dst = out.data() + used;
      std::size_t dst_left = room;
      const std::size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.resize(used + room - dst_left);
      if (r != static_cast<std::size_t>(-1)) break;
      if (errno != E2BIG) {
        // EILSEQ, or EINVAL for a sequence cut off by the end.
        const std::size_t taken = on_invalid(out, std::string_view(src, src_left));
        if (taken == 0) {
          if (stopped_at) *stopped_at = static_cast<std::size_t>(src - in.data());
          break;
        }
        src += taken;
        src_left -= taken;
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

bool HasUtf8Bom(std::string_view s) { return s.size() >= 3 && s.substr(0, 3) == "\xEF\xBB\xBF"; }

bool IsUtf16(InputEncoding how) {
  return how == InputEncoding::kUtf16Le || how == InputEncoding::kUtf16Be;
}

// The size of the byte-order mark of UTF-16 in `how` at the start of `bytes` (0 or 2).
std::size_t Utf16BomSize(std::string_view bytes, InputEncoding how) {
  const std::string_view mark = how == InputEncoding::kUtf16Le ? "\xFF\xFE" : "\xFE\xFF";
  return bytes.starts_with(mark) ? 2 : 0;
}

// Whether bytes read as `how` have to be UTF-8: named so, or marked with a byte-order mark
// while nothing was named.
bool MustBeUtf8(std::string_view bytes, InputEncoding how) {
  return how == InputEncoding::kUtf8 || (how == InputEncoding::kAuto && HasUtf8Bom(bytes));
}

// The kAuto decision, for `DetectInputEncoding` and `DecodeInputText` alike: a byte-order mark
// means UTF-8; otherwise the detector keeps the more plausible reading, and a UTF-8 reading
// stands only if the bytes from `unread` on, which the detector did not read, are UTF-8 too:
// `rest_is_utf8(unread)` says so. Decoding answers with the conversion itself, so that no
// separate pass reads a large input.
template <typename RestIsUtf8>
DetectedEncoding DecideAutoEncoding(std::string_view bytes, RestIsUtf8&& rest_is_utf8) {
  if (HasUtf8Bom(bytes)) return DetectedEncoding::kUtf8;
  const EncodingGuess guess = GuessEncoding(bytes);
  return guess.utf8 && rest_is_utf8(guess.checked) ? DetectedEncoding::kUtf8
                                                   : DetectedEncoding::kGbk;
}

// The private-use code points that glibc's GB18030 table leaves out. The 2000 and 2005
// editions of GB18030 (and Python's codec, among others) give them these two-byte codes;
// later editions gave the codes to the standard characters that replaced them (vertical
// forms, CJK extension ideographs), and glibc reads the codes as those.
struct PrivateUseCode {
  char32_t code_point;
  char bytes[3];
};
constexpr PrivateUseCode kPrivateUseCodes[] = {
    {0xE78D, "\xA6\xD9"}, {0xE78E, "\xA6\xDA"}, {0xE78F, "\xA6\xDB"}, {0xE790, "\xA6\xDC"},
    {0xE791, "\xA6\xDD"}, {0xE792, "\xA6\xDE"}, {0xE793, "\xA6\xDF"}, {0xE794, "\xA6\xEC"},
    {0xE795, "\xA6\xED"}, {0xE796, "\xA6\xF3"}, {0xE816, "\xFE\x51"}, {0xE817, "\xFE\x52"},
    {0xE818, "\xFE\x53"}, {0xE81E, "\xFE\x59"}, {0xE826, "\xFE\x61"}, {0xE82B, "\xFE\x66"},
    {0xE82C, "\xFE\x67"}, {0xE831, "\xFE\x6C"}, {0xE832, "\xFE\x6D"}, {0xE83B, "\xFE\x76"},
    {0xE843, "\xFE\x7E"}, {0xE854, "\xFE\x90"}, {0xE855, "\xFE\x91"}, {0xE864, "\xFE\xA0"},
};

// Appends the UTF-8 form of the scalar value `c`.
void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 -> UTF-8, without the byte-order mark. A lone surrogate and an odd last byte become
// U+FFFD, counted in `replaced` by their bytes.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian, std::size_t& replaced) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  auto unit = [&](std::size_t i) -> char32_t {
    return big_endian ? char32_t{b[i]} << 8 | b[i + 1] : char32_t{b[i + 1]} << 8 | b[i];
  };
  std::string out;
  out.reserve(n + n / 2);
  for (std::size_t i = 0; i < n;) {
    if (i + 1 == n) {
      out += "\xEF\xBF\xBD";
      replaced += 1;
      break;
    }
    char32_t c = unit(i);
    i += 2;
    if (c >= 0xD800 && c < 0xE000) {
      const bool paired = c < 0xDC00 && i + 1 < n && unit(i) >= 0xDC00 && unit(i) < 0xE000;
      if (!paired) {
        out += "\xEF\xBF\xBD";
        replaced += 2;
        continue;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i) - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// Big5 -> GB18030 through iconv; a byte sequence that is not Big5 becomes U+FFFD, counted in
// `replaced` a byte at a time.
std::string Big5ToGb18030(std::string_view bytes, std::size_t& replaced) {
  thread_local Converter converter("GB18030", "BIG5");
  return converter.Convert(bytes, bytes.size() + 16,
                           [&replaced](std::string& out, std::string_view) -> std::size_t {
                             out += "\x84\x31\xA4\x37";  // U+FFFD
                             ++replaced;
                             return 1;
                           });
}

// The converter between GB18030 and UTF-8. Its tables are glibc's own (generated from iconv
// by scripts/gen-gb18030-tables into a compact form and expanded at first use), so it gives
// iconv's results byte for byte, plus the private-use rule above; a test checks every code
// point and every two- and four-byte sequence against iconv. ASCII, most of every list,
// moves 16 bytes at a time.
struct CodeRun {
  std::uint32_t first;  // a two-byte code (lead << 8 | trail), or a four-byte linear number
  char32_t code_point;
  std::uint32_t count;
};
struct EncodeException {
  char32_t code_point;
  std::uint32_t bytes;  // big-endian GB18030 bytes; 0: none
};
#include "text/gb18030_tables.inc"

// The four-byte codes 81 30 81 30 .. 84 31 A4 39 of the BMP, by linear number; the code points
// beyond the BMP follow from 90 30 81 30 in order.
constexpr std::uint32_t kFourByteBmp = 39420;
constexpr std::uint32_t kFirstSupplementary = 189000;
constexpr std::uint32_t kReplacementGb = 0x8431A437;  // U+FFFD

// A character's bytes as they lie in memory, read and written 4 at a time; how many count
// follows from the bytes themselves.
using Packed = std::uint32_t;

Packed PackBytes(std::uint32_t big_endian, std::size_t length) {
  unsigned char b[4] = {};
  for (std::size_t k = 0; k < length; ++k) {
    b[k] = static_cast<unsigned char>(big_endian >> (8 * (length - 1 - k)));
  }
  Packed packed;
  std::memcpy(&packed, b, 4);
  return packed;
}

std::uint32_t FourByteCode(std::uint32_t linear) {
  return (0x81 + linear / 12600) << 24 | (0x30 + linear / 1260 % 10) << 16 |
         (0x81 + linear / 10 % 126) << 8 | (0x30 + linear % 10);
}

class Gb18030Tables {
 public:
  static const Gb18030Tables& Get() {
    static const std::unique_ptr<const Gb18030Tables> tables(new Gb18030Tables);
    return *tables;
  }

  // The UTF-8 of two-byte code lead, trail (lead >= 0x80), packed; 0: no character.
  Packed TwoByteUtf8(unsigned lead, unsigned trail) const {
    return trail < 0x40 ? 0 : two_byte_utf8_[(lead - 0x80) * 192 + (trail - 0x40)];
  }
  // The code point of four-byte code `linear` of the BMP (< kFourByteBmp); 0: none.
  char16_t FourByteBmp(std::uint32_t linear) const { return four_byte_bmp_[linear]; }
  // The GB18030 bytes of a code point of the BMP from U+0080 on, packed (2 or 4 bytes).
  Packed EncodeBmp(char32_t c) const { return encode_bmp_[c]; }
  // The GB18030 bytes of a code point beyond the BMP, packed.
  Packed EncodeSupplementary(char32_t c) const {
    for (const auto& [code_point, bytes] : encode_supplementary_) {
      if (code_point == c) return bytes;
    }
    return PackBytes(FourByteCode(kFirstSupplementary + (c - 0x10000)), 4);
  }

 private:
  Gb18030Tables() : two_byte_utf8_(128 * 192), four_byte_bmp_(kFourByteBmp), encode_bmp_(0x10000) {
    auto set_encoding = [&](char32_t c, Packed bytes) {
      if (c >= 0x10000) {
        encode_supplementary_.emplace_back(c, bytes);
      } else if (encode_bmp_[c] == 0) {
        encode_bmp_[c] = bytes;
      }
    };
    for (const CodeRun& run : kTwoByteRuns) {
      for (std::uint32_t k = 0; k < run.count; ++k) {
        const std::uint32_t code = run.first + k;
        std::string utf8;
        AppendUtf8(utf8, run.code_point + k);
        Packed packed = 0;
        std::memcpy(&packed, utf8.data(), utf8.size());
        two_byte_utf8_[((code >> 8) - 0x80) * 192 + ((code & 0xFF) - 0x40)] = packed;
        set_encoding(run.code_point + k, PackBytes(code, 2));
      }
    }
    for (const CodeRun& run : kFourByteBmpRuns) {
      for (std::uint32_t k = 0; k < run.count; ++k) {
        four_byte_bmp_[run.first + k] = static_cast<char16_t>(run.code_point + k);
        set_encoding(run.code_point + k, PackBytes(FourByteCode(run.first + k), 4));
      }
    }
    for (const EncodeException& e : kEncodeExceptions) {
      if (e.code_point == 0) break;
      const std::size_t length = e.bytes > 0xFFFF ? 4 : 2;
      const Packed packed = e.bytes == 0 ? 0 : PackBytes(e.bytes, length);
      if (e.code_point >= 0x10000) {
        encode_supplementary_.emplace_back(e.code_point, packed);
      } else {
        encode_bmp_[e.code_point] = packed;
      }
    }
    // What iconv leaves out: the private-use code points above take their old codes, anything
    // else U+FFFD, never its UTF-8 bytes.
    for (const PrivateUseCode& code : kPrivateUseCodes) {
      if (encode_bmp_[code.code_point] == 0) {
        encode_bmp_[code.code_point] = PackBytes(static_cast<unsigned char>(code.bytes[0]) << 8 |
                                                     static_cast<unsigned char>(code.bytes[1]),
                                                 2);
      }
    }
    for (Packed& bytes : encode_bmp_) {
      if (bytes == 0) bytes = PackBytes(kReplacementGb, 4);
    }
  }

  std::vector<Packed> two_byte_utf8_;
  std::vector<char16_t> four_byte_bmp_;
  std::vector<Packed> encode_bmp_;
  std::vector<std::pair<char32_t, Packed>> encode_supplementary_;
};

// The length of a packed UTF-8 character, from its first byte.
std::size_t PackedUtf8Length(Packed packed) {
  const auto first = static_cast<unsigned char>(packed);
  return first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
}

// The length of a packed GB18030 character (2 or 4), from its second byte.
std::size_t PackedGbLength(Packed packed) {
  return static_cast<unsigned char>(packed >> 8) < 0x40 ? 4 : 2;
}

// Copies the ASCII bytes from in[i] on, 16 at a time while at least 16 remain before `end`,
// to `o`, which has room for 16 bytes past what is copied. Returns the new `i`; `o` moves on.
std::size_t CopyAscii(const unsigned char* in, std::size_t i, std::size_t end, char*& o) {
#ifdef __SSE2__
  while (i + 16 <= end) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
    const int high = _mm_movemask_epi8(v);
    if (high != 0) {
      const auto n = static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(high)));
      o += n;
      return i + n;
    }
    i += 16;
    o += 16;
  }
#endif
  while (i < end && in[i] < 0x80) *o++ = static_cast<char>(in[i++]);
  return i;
}

// Converts `in` a piece at a time into a new string: `step(i, end, o)` converts from in[i]
// on while i < end (a character begun before `end` is read whole), writing through `o`, and
// returns where it stopped, or SIZE_MAX to end the conversion. Each input byte makes at most
// `growth` output bytes. The buffer grows to its high-water mark only, so each byte of it is
// cleared once.
template <typename Step>
std::string ConvertInPieces(std::string_view in, std::size_t expected, std::size_t growth,
                            Step step) {
  constexpr std::size_t kPiece = 1 << 16;
  std::string out;
  // Room for the last piece's worst case too, so that the text is never moved to grow it.
  out.reserve(expected + (std::min(kPiece, in.size()) + 4) * growth + 16);
  std::size_t used = 0;
  for (std::size_t i = 0; i < in.size();) {
    const std::size_t end = std::min(in.size(), i + kPiece);
    const std::size_t room = used + (end - i + 4) * growth + 16;
    if (out.size() < room) out.resize(std::max(room, std::min(out.capacity(), room * 2)));
    char* o = out.data() + used;
    i = step(i, end, o);
    used = static_cast<std::size_t>(o - out.data());
  }
  out.resize(used);
  // A short text does not keep the room of its worst case.
  if (out.capacity() > 2 * used + 256) out.shrink_to_fit();
  return out;
}

// The character at gb18030[i] that is not a two-byte one: a four-byte code, or a byte that
// starts no character, which becomes U+FFFD and is counted in `bad`. Returns where the next
// character starts.
std::size_t ConvertOtherGb18030(const Gb18030Tables& tables, std::string_view gb18030,
                                std::size_t i, char*& o, std::size_t& bad) {
  const auto* in = reinterpret_cast<const unsigned char*>(gb18030.data());
  const unsigned lead = in[i];
  if (lead != 0x80 && lead != 0xFF && i + 3 < gb18030.size() && in[i + 1] >= 0x30 &&
      in[i + 1] <= 0x39 && in[i + 2] >= 0x81 && in[i + 2] != 0xFF && in[i + 3] >= 0x30 &&
      in[i + 3] <= 0x39) {
    const std::uint32_t linear =
        (((lead - 0x81) * 10 + (in[i + 1] - 0x30u)) * 126 + (in[i + 2] - 0x81u)) * 10 +
        (in[i + 3] - 0x30u);
    char32_t c = 0;
    if (linear < kFourByteBmp) {
      c = tables.FourByteBmp(linear);
    } else if (linear >= kFirstSupplementary && linear - kFirstSupplementary < 0x100000) {
      c = 0x10000 + (linear - kFirstSupplementary);
    }
    if (c != 0) {
      std::string bytes;
      AppendUtf8(bytes, c);
      std::memcpy(o, bytes.data(), bytes.size());
      o += bytes.size();
      return i + 4;
    }
  }
  std::memcpy(o, "\xEF\xBF\xBD", 3);  // U+FFFD
  o += 3;
  ++bad;
  return i + 1;
}

// GB18030 -> UTF-8 as iconv converts it, where a byte that starts no character becomes
// U+FFFD (counted in `*replaced`) and conversion goes on with the next byte.
std::string Gb18030ToUtf8Bytes(std::string_view gb18030, std::size_t* replaced) {
  const Gb18030Tables& tables = Gb18030Tables::Get();
  const auto* in = reinterpret_cast<const unsigned char*>(gb18030.data());
  const std::size_t n = gb18030.size();
  std::size_t bad = 0;
  std::string out =
      ConvertInPieces(gb18030, n + n / 2 + 16, 3, [&](std::size_t i, std::size_t end, char*& o) {
        while (i < end) {
          i = CopyAscii(in, i, end, o);
          // Two-byte characters, the common case, one after another without leaving the loop.
          while (i < end && in[i] >= 0x80) {
            if (i + 1 < n) {
              if (const Packed utf8 = tables.TwoByteUtf8(in[i], in[i + 1])) {
                std::memcpy(o, &utf8, 4);
                o += PackedUtf8Length(utf8);
                i += 2;
                continue;
              }
            }
            i = ConvertOtherGb18030(tables, gb18030, i, o, bad);
          }
        }
        return i;
      });
  if (replaced) *replaced += bad;
  return out;
}

// UTF-8 -> GB18030, ending at the first byte that is not UTF-8 (`*invalid_at` is then its
// offset) when `invalid_at` is given, keeping such bytes unchanged otherwise.
std::string Utf8ToGb18030Bytes(std::string_view utf8, std::optional<std::size_t>* invalid_at) {
  const Gb18030Tables& tables = Gb18030Tables::Get();
  const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
  // GB18030 is never longer than UTF-8 for Chinese (2 bytes for 3) or ASCII; U+0080..U+07FF
  // may take 4 bytes for 2.
  return ConvertInPieces(utf8, utf8.size() + 16, 2, [&](std::size_t i, std::size_t end, char*& o) {
    while (i < end) {
      i = CopyAscii(in, i, end, o);
      while (i < end && in[i] >= 0x80) {
        // Three-byte sequences (all of Chinese) first, one after another.
        if (const char32_t c = ThreeByteUtf8At(utf8, i)) {
          const Packed gb = tables.EncodeBmp(c);
          std::memcpy(o, &gb, 4);
          o += PackedGbLength(gb);
          i += 3;
          continue;
        }
        const std::size_t length = Utf8SequenceLength(utf8, i);
        if (length == 0) {
          if (invalid_at) {
            *invalid_at = i;
            return utf8.size();
          }
          *o++ = static_cast<char>(in[i++]);
          continue;
        }
        const char32_t c = Utf8CodePoint(in + i, length);
        const Packed gb = c < 0x10000 ? tables.EncodeBmp(c) : tables.EncodeSupplementary(c);
        std::memcpy(o, &gb, 4);
        o += PackedGbLength(gb);
        i += length;
      }
    }
    return i;
  });
}

}  // namespace

InputEncoding EncodingByMark(std::string_view bytes, InputEncoding how) {
  if (how != InputEncoding::kAuto) return how;
  if (bytes.starts_with("\xFF\xFE")) return InputEncoding::kUtf16Le;
  if (bytes.starts_with("\xFE\xFF")) return InputEncoding::kUtf16Be;
  return how;
}

std::string_view InputTextBeforeZero(std::string_view bytes, InputEncoding how,
                                     const std::function<void(std::size_t)>& scanned) {
  how = EncodingByMark(bytes, how);
  if (!IsUtf16(how)) return TextBeforeZero(bytes, scanned);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == 0 && bytes[i + 1] == 0) return bytes.substr(0, i);
  }
  return bytes;
}

Text FromUtf8(std::string_view utf8) { return Text(Utf8ToGb18030Bytes(utf8, nullptr)); }

std::string ToUtf8(std::string_view gb18030, std::size_t* replaced) {
  return Gb18030ToUtf8Bytes(gb18030, replaced);
}

std::string ToUtf8(const Text& text) { return ToUtf8(text.view()); }

std::size_t AsciiRunEnd(std::string_view bytes, std::size_t from) {
  // Eight bytes at a time: a file of a million records is checked at memory speed, and
  // Chinese text stops the check at its first character.
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  std::size_t i = from;
  for (std::uint64_t word; i + 8 <= bytes.size(); i += 8) {
    std::memcpy(&word, bytes.data() + i, 8);
    if ((word & kHigh) != 0) break;
  }
  while (i < bytes.size() && !IsLeadByte(bytes[i])) ++i;
  return i;
}

namespace {

// Where the well-formed UTF-8 from `bytes[from]` (a sequence start) ends: the start of the first
// sequence that is not well-formed, or the end of the first sequence that reaches `end` or
// beyond (a sequence begun before `end` is read whole).
std::size_t ValidUtf8From(std::string_view bytes, std::size_t from, std::size_t end) {
  std::size_t i = from;
  while (i < end) {
    i = AsciiRunEnd(bytes.substr(0, end), i);
    if (i == end) break;
    const std::size_t len = Utf8SequenceLength(bytes, i);
    if (len == 0) return i;
    i += len;
  }
  return i;
}

}  // namespace

std::size_t ValidUtf8Length(std::string_view bytes) {
  return ValidUtf8From(bytes, 0, bytes.size());
}

std::size_t ValidUtf8Length(std::string_view bytes,
                            const std::function<void(std::size_t)>& scanned) {
  std::size_t valid = 0;
  ScanInSteps(
      bytes.size(),
      [&](std::size_t, std::size_t end) {
        // A sequence cut by the step's end was read whole: the next step starts after it.
        valid = ValidUtf8From(bytes, valid, end);
        return valid >= end;
      },
      scanned);
  return valid;
}

bool IsValidUtf8(std::string_view bytes) { return ValidUtf8Length(bytes) == bytes.size(); }

DetectedEncoding DetectInputEncoding(std::string_view bytes,
                                     const std::function<void(std::size_t)>& scanned) {
  return DecideAutoEncoding(bytes, [&](std::size_t unread) {
    const std::string_view rest = bytes.substr(unread);
    return ValidUtf8Length(rest, [&](std::size_t end) {
             if (scanned) scanned(unread + end);
           }) == rest.size();
  });
}

bool StartReadsAsUtf8(std::string_view bytes, bool& unchecked) {
  unchecked = !HasUtf8Bom(bytes);
  return DecideAutoEncoding(bytes, [](std::size_t) { return true; }) == DetectedEncoding::kUtf8;
}

std::optional<std::size_t> InvalidRequiredUtf8(std::string_view bytes, InputEncoding how,
                                               const std::function<void(std::size_t)>& scanned) {
  if (!MustBeUtf8(bytes, how)) return std::nullopt;
  const std::string_view text = TextBeforeZero(bytes, scanned);
  const std::size_t valid = ValidUtf8Length(text, scanned);
  if (valid == text.size()) return std::nullopt;
  return valid;
}

DecodedInput DecodeInputText(std::string_view bytes, std::string& storage, InputEncoding how) {
  const DecodedInput gbk{bytes, DetectedEncoding::kGbk, std::nullopt};
  how = EncodingByMark(bytes, how);
  if (how == InputEncoding::kGbk) return gbk;
  if (how == InputEncoding::kBig5 || IsUtf16(how)) {
    DecodedInput decoded{{}, DetectedEncoding::kGbk, std::nullopt};
    if (how == InputEncoding::kBig5) {
      storage = Big5ToGb18030(bytes, decoded.replaced);
    } else {
      const std::string_view units = bytes.substr(Utf16BomSize(bytes, how));
      storage =
          std::move(FromUtf8(Utf16ToUtf8(units, how == InputEncoding::kUtf16Be, decoded.replaced))
                        .mutable_bytes());
      decoded.encoding = DetectedEncoding::kUtf8;
    }
    decoded.text = storage;
    return decoded;
  }
  const std::size_t skipped = HasUtf8Bom(bytes) ? 3 : 0;
  // UTF-8 is converted once; the conversion stops at the first byte that is not UTF-8.
  std::optional<std::string> converted;
  std::optional<std::size_t> invalid_at;
  auto convert = [&](std::size_t) {
    converted = Utf8ToGb18030Bytes(bytes.substr(skipped), &invalid_at);
    return !invalid_at;
  };
  if (MustBeUtf8(bytes, how)) {
    if (!convert(0)) return {std::string_view(), DetectedEncoding::kUtf8, *invalid_at + skipped};
  } else if (DecideAutoEncoding(bytes, convert) == DetectedEncoding::kGbk) {
    return gbk;
  }
  storage = std::move(*converted);
  return {storage, DetectedEncoding::kUtf8, std::nullopt};
}

std::string_view DecodeInputView(std::string_view bytes, std::string& storage, InputEncoding how,
                                 DetectedEncoding* detected) {
  DecodedInput decoded = DecodeInputText(bytes, storage, how);
  if (decoded.invalid_utf8_at) {
    storage = std::move(FromUtf8(HasUtf8Bom(bytes) ? bytes.substr(3) : bytes).mutable_bytes());
    decoded.text = storage;
  }
  if (detected) *detected = decoded.encoding;
  return decoded.text;
}

std::string DecodeInput(std::string_view bytes, InputEncoding how, DetectedEncoding* detected) {
  std::string storage;
  const std::string_view decoded = DecodeInputView(bytes, storage, how, detected);
  if (decoded.data() != storage.data()) return std::string(decoded);
  return storage;
}

}  // namespace lanzhou
