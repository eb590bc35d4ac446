// Input decoding: GBK stays byte for byte, UTF-8 comes back unchanged through GB18030, and
// every conversion to UTF-8 gives valid UTF-8.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "services/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lanzhou;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string detail = "input \"" + fuzz::Escaped(bytes) + "\"";

  FUZZ_CHECK(DecodeInput(bytes, InputEncoding::kGbk) == bytes, detail);

  DetectedEncoding detected;
  const std::string decoded = DecodeInput(bytes, InputEncoding::kAuto, &detected);
  const bool bom = bytes.starts_with("\xEF\xBB\xBF");
  const std::string_view body = bom ? bytes.substr(3) : bytes;
  bool multibyte = false;
  for (char c : bytes) multibyte |= static_cast<unsigned char>(c) >= 0x80;
  const bool valid = IsValidUtf8(body);
  if (detected == DetectedEncoding::kGbk) {
    FUZZ_CHECK(decoded == bytes, detail);
    FUZZ_CHECK(!bom && !(valid && multibyte), detail + " is UTF-8");
  } else {
    FUZZ_CHECK(bom || (valid && multibyte), detail + " is not UTF-8");
    // Every Unicode character has a GB18030 form: nothing is lost on the way.
    if (valid) FUZZ_CHECK(ToUtf8(decoded) == body, detail);
  }
  const std::string forced = DecodeInput(bytes, InputEncoding::kUtf8);
  if (valid) FUZZ_CHECK(ToUtf8(forced) == body, detail);

  // Whatever the bytes, the UTF-8 side (file names, the window) gets valid UTF-8.
  FUZZ_CHECK(IsValidUtf8(ToUtf8(Text(std::string(bytes)))), detail);
  FUZZ_CHECK(IsValidUtf8(ToUtf8(Text(decoded))), detail);
  return 0;
}
