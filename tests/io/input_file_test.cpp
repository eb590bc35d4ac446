#include "io/input_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/encoding.h"

namespace lanzhou {
namespace {

std::string Repeated(const std::string& line, std::size_t bytes) {
  std::string all;
  while (all.size() < bytes) all += line;
  return all;
}

// A large input pasted through a temporary file reads as the same input pasted in memory:
// the same text and the same encoding, also where the start reads as UTF-8 and a byte after
// the first piece (8 MB) does not, which makes the whole GBK.
TEST(OpenPasted, ReadsAsPastedViewDoes) {
  const std::string utf8 = Repeated("中文，数据|张三\n", 9 << 20);
  const struct {
    const char* name;
    std::string bytes;
    InputEncoding how;
  } cases[] = {
      {"Utf8", utf8, InputEncoding::kAuto},
      {"Utf8ThenGbk", utf8 + "\xD6\xD0\n", InputEncoding::kAuto},
      {"Utf8ThenGbkNamedGbk", utf8 + "\xD6\xD0\n", InputEncoding::kGbk},
      {"Utf8Mark", "\xEF\xBB\xBF" + utf8.substr(0, 100), InputEncoding::kAuto},
      {"GbkCrLf", "a\r\n\xD6\xD0\r\n", InputEncoding::kAuto},
      {"Ascii", "a\nb", InputEncoding::kAuto},
      {"Utf16Le",
       std::string("\xFF\xFE"
                   "a\0\n\0\x2D\x4E\0\0x\0",
                   12),
       InputEncoding::kAuto},
      {"Big5", "\xA4\xA4\n\xA4\xE5", InputEncoding::kBig5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto line_ends : {MappedInput::LineEnds::kCrLf, MappedInput::LineEnds::kAsTheyAre}) {
      MappedInput pasted;
      std::string_view text;
      int error = 0;
      DetectedEncoding found{};
      ASSERT_TRUE(pasted.OpenPasted(c.bytes, c.how, &found, text, error, nullptr, line_ends));
      std::string storage;
      DetectedEncoding expected_found{};
      const bool crlf = line_ends == MappedInput::LineEnds::kCrLf;
      const std::string expected =
          crlf ? std::string(PastedView(c.bytes, storage, c.how, &expected_found))
               : DecodeInput(InputTextBeforeZero(c.bytes, c.how), c.how, &expected_found);
      EXPECT_EQ(found, expected_found);
      EXPECT_TRUE(text == expected) << text.size() << " bytes, not " << expected.size();
    }
  }
}

}  // namespace
}  // namespace lanzhou
