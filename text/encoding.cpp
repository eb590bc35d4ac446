#include "text/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

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

Converter& Utf8ToGb18030() {
  thread_local Converter converter("GB18030", "UTF-8");
  return converter;
}

Converter& Gb18030ToUtf8() {
  thread_local Converter converter("UTF-8", "GB18030");
  return converter;
}

bool HasUtf8Bom(std::string_view s) { return s.size() >= 3 && s.substr(0, 3) == "\xEF\xBB\xBF"; }

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

// Appends the GB18030 bytes of a code point iconv could not convert. Only the private-use
// code points above are left out by glibc; anything else becomes U+FFFD, never its UTF-8 bytes.
void AppendUnmapped(std::string& out, char32_t code_point) {
  for (const PrivateUseCode& code : kPrivateUseCodes) {
    if (code.code_point == code_point) {
      out.append(code.bytes, 2);
      return;
    }
  }
  out += "\x84\x31\xA4\x37";  // U+FFFD
}

// UTF-8 -> GB18030, ending at the first byte that is not UTF-8 (`*invalid_at` is then its
// offset) when `invalid_at` is given, keeping such bytes unchanged otherwise.
std::string Utf8ToGb18030Bytes(std::string_view utf8, std::optional<std::size_t>* invalid_at) {
  // GB18030 is never longer than UTF-8 for Chinese (2 bytes for 3) or ASCII; the rare
  // longer characters grow the buffer.
  return Utf8ToGb18030().Convert(
      utf8, utf8.size() + 16,
      [invalid_at](std::string& out, std::string_view rest) -> std::size_t {
        if (const std::size_t len = Utf8SequenceLength(rest, 0)) {
          AppendUnmapped(out,
                         Utf8CodePoint(reinterpret_cast<const unsigned char*>(rest.data()), len));
          return len;
        }
        if (invalid_at) return 0;
        out += rest.front();
        return 1;
      },
      invalid_at);
}

}  // namespace

Text FromUtf8(std::string_view utf8) {
  if (IsAscii(utf8)) return Text(utf8);
  return Text(Utf8ToGb18030Bytes(utf8, nullptr));
}

std::string ToUtf8(std::string_view gb18030) {
  if (IsAscii(gb18030)) return std::string(gb18030);
  // Two GBK bytes become at most three UTF-8 bytes.
  return Gb18030ToUtf8().Convert(gb18030, gb18030.size() + gb18030.size() / 2 + 16,
                                 [](std::string& out, std::string_view) -> std::size_t {
                                   out += "\xEF\xBF\xBD";
                                   return 1;
                                 });
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
  if (how == InputEncoding::kGbk) return gbk;
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
