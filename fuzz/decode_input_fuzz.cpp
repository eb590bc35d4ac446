// Input decoding: GBK stays byte for byte, UTF-8 comes back unchanged through GB18030, invalid
// UTF-8 is refused where UTF-8 is required, and every conversion to UTF-8 gives valid UTF-8.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string detail = "input \"" + fuzz::Escaped(bytes) + "\"";

  FUZZ_CHECK(DecodeInput(bytes, InputEncoding::kGbk) == bytes, detail);

  DetectedEncoding detected;
  const std::string decoded = DecodeInput(bytes, InputEncoding::kAuto, &detected);
  const bool bom = bytes.starts_with("\xEF\xBB\xBF");
  const std::string_view body = bom ? bytes.substr(3) : bytes;
  // U+E780..U+E87F hold the 24 private-use code points that share their GB18030 codes with
  // the standard characters that replaced them: those come back as the standard characters.
  const bool round_trips = body.find("\xEE\x9E") == body.npos &&
                           body.find("\xEE\x9F") == body.npos &&
                           body.find("\xEE\xA0") == body.npos && body.find("\xEE\xA1") == body.npos;
  const bool valid = IsValidUtf8(body);
  FUZZ_CHECK(DetectInputEncoding(bytes) == detected, detail + ": detected otherwise");
  // UTF-16 (a byte-order mark FF FE or FE FF) is converted as Unicode; its bytes are no UTF-8.
  const InputEncoding marked = EncodingByMark(bytes, InputEncoding::kAuto);
  const bool utf16 = marked == InputEncoding::kUtf16Le || marked == InputEncoding::kUtf16Be;
  if (utf16) {
    FUZZ_CHECK(detected == DetectedEncoding::kUtf8, detail + " has a UTF-16 mark");
  } else if (detected == DetectedEncoding::kGbk) {
    FUZZ_CHECK(decoded == bytes, detail);
    FUZZ_CHECK(!bom, detail + " has a byte-order mark");
  } else {
    FUZZ_CHECK(bom || valid, detail + " is not UTF-8");
    // Every Unicode character has a GB18030 form: nothing is lost on the way.
    if (valid && round_trips) FUZZ_CHECK(ToUtf8(decoded) == body, detail);
  }
  const std::string forced = DecodeInput(bytes, InputEncoding::kUtf8);
  if (valid && round_trips) FUZZ_CHECK(ToUtf8(forced) == body, detail);
  // Bytes that must be UTF-8 and are not are refused at the first byte that is not.
  std::string storage;
  const DecodedInput checked = DecodeInputText(bytes, storage, InputEncoding::kUtf8);
  FUZZ_CHECK(checked.invalid_utf8_at.has_value() == !IsValidUtf8(bytes), detail);
  if (checked.invalid_utf8_at) {
    FUZZ_CHECK(IsValidUtf8(bytes.substr(0, *checked.invalid_utf8_at)), detail);
  }
  // The check alone, which looks before the first zero byte, finds the byte decoding stops at.
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  for (InputEncoding how : {InputEncoding::kAuto, InputEncoding::kUtf8, InputEncoding::kGbk}) {
    FUZZ_CHECK(
        InvalidRequiredUtf8(text, how) == DecodeInputText(text, storage, how).invalid_utf8_at,
        detail);
  }

  // Whatever the bytes, the UTF-8 side (file names, the window) gets valid UTF-8.
  FUZZ_CHECK(IsValidUtf8(ToUtf8(Text(std::string(bytes)))), detail);
  FUZZ_CHECK(IsValidUtf8(ToUtf8(Text(decoded))), detail);
  return 0;
}
