#include "services/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace lanzhou {
namespace {

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// One iconv descriptor per direction and thread, opened on first use. Opening one loads the
// conversion module, which is too slow to repeat for every short text.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      // glibc always has these conversions; without them no text could be shown.
      std::abort();
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; a byte that cannot be converted is handed to `on_invalid`, which appends
  // its substitute, and the conversion goes on after it. `expected` is the size the result
  // is reserved for; a longer result grows the buffer. iconv writes a piece at a time into
  // the buffer's room, so only the piece is ever cleared beforehand, never a whole
  // worst-case buffer.
  template <typename OnInvalid>
  std::string Convert(std::string_view in, std::size_t expected, OnInvalid on_invalid) {
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
        // EILSEQ, or EINVAL for a sequence cut off by the end: substitute one byte.
        on_invalid(out, static_cast<unsigned char>(*src));
        ++src;
        --src_left;
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

}  // namespace

Text FromUtf8(std::string_view utf8) {
  if (IsAscii(utf8)) return Text(utf8);
  // GB18030 is never longer than UTF-8 for Chinese (2 bytes for 3) or ASCII; the rare
  // longer characters grow the buffer.
  return Text(Utf8ToGb18030().Convert(
      utf8, utf8.size() + 16,
      [](std::string& out, unsigned char byte) { out += static_cast<char>(byte); }));
}

std::string ToUtf8(std::string_view gb18030) {
  if (IsAscii(gb18030)) return std::string(gb18030);
  // Two GBK bytes become at most three UTF-8 bytes.
  return Gb18030ToUtf8().Convert(gb18030, gb18030.size() + gb18030.size() / 2 + 16,
                                 [](std::string& out, unsigned char) { out += "\xEF\xBF\xBD"; });
}

std::string ToUtf8(const Text& text) { return ToUtf8(text.view()); }

std::size_t ValidUtf8Length(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      if (b == 0xE0) lo = 0xA0;  // no overlong forms
      if (b == 0xED) hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      return i;
    }
    if (n - i < len) return i;
    if (s[i + 1] < lo || s[i + 1] > hi) return i;
    for (std::size_t k = 2; k < len; ++k) {
      if (s[i + k] < 0x80 || s[i + k] > 0xBF) return i;
    }
    i += len;
  }
  return n;
}

bool IsValidUtf8(std::string_view bytes) { return ValidUtf8Length(bytes) == bytes.size(); }

namespace {

bool DecodesAsUtf8(std::string_view bytes, InputEncoding how) {
  if (how != InputEncoding::kAuto) return how == InputEncoding::kUtf8;
  // Plain ASCII is the same in both encodings, so it needs no decision.
  return HasUtf8Bom(bytes) || (!IsAscii(bytes) && IsValidUtf8(bytes));
}

}  // namespace

std::string DecodeInput(std::string_view bytes, InputEncoding how, DetectedEncoding* detected) {
  std::string storage;
  const std::string_view decoded = DecodeInputView(bytes, storage, how, detected);
  if (decoded.data() != storage.data()) return std::string(decoded);
  return storage;
}

std::string_view DecodeInputView(std::string_view bytes, std::string& storage, InputEncoding how,
                                 DetectedEncoding* detected) {
  const bool utf8 = DecodesAsUtf8(bytes, how);
  if (detected) *detected = utf8 ? DetectedEncoding::kUtf8 : DetectedEncoding::kGbk;
  if (!utf8) return bytes;
  if (HasUtf8Bom(bytes)) bytes.remove_prefix(3);
  storage = std::move(FromUtf8(bytes).mutable_bytes());
  return storage;
}

}  // namespace lanzhou
