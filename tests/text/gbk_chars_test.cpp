#include "text/gbk_chars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace lanzhou {
namespace {

using namespace std::string_view_literals;

// Each text with the lengths of its characters stepping from the start; every function of the
// model must agree with that one stepping, from any character start it is given.
TEST(GbkChars, EveryFunctionAgreesWithOneStepping) {
  struct Case {
    std::string_view text;
    std::vector<std::size_t> lengths;
    std::vector<std::size_t> whole = {};  // with four-byte sequences whole, if they differ
  } cases[] = {
      {""sv, {}},
      {"abc"sv, {1, 1, 1}},
      {"\xD6\xD0"
       "a"sv,
       {2, 1}},                             // 中a
      {"\xD6"sv, {1}},                      // a lead byte at the end stands alone
      {"a\xD6\xD0\xD6"sv, {1, 2, 1}},       // 中 and half a character
      {"\x81\x30\x81\x30"sv, {2, 2}, {4}},  // a four-byte sequence: two steps
      // Halves pair up from a character start: 🛠 🌀 hold 🛟 across their edge.
      {"\x95\x30\x95\x30\x94\x39\xAF\x38"sv, {2, 2, 2, 2}, {4, 4}},
      {"\x81\x30\x81\x30\x81\x30 "sv, {2, 2, 2, 1}, {4, 2, 1}},  // a half alone
      {"\xD6\x81\x30\x81\x30\x81"sv, {2, 1, 2, 1}},              // 0xD6 takes the first lead
      {"\x80\x30\x81\x30"sv, {2, 2}},                            // 0x80 leads no four-byte sequence
      {"a\x81\x30\x81\x30\x81\x30\x81\x30"sv, {1, 2, 2, 2, 2}, {1, 4, 4}},
      {"\x83|\x83|"sv, {2, 2}},               // 億億: "|" as a second byte
      {"\xD6\xD6\xD6\xD6\xD6"sv, {2, 2, 1}},  // a run of lead bytes pairs up
      {"\xB0\xD6\xD0\xD6\xD0"sv, {2, 2, 1}},  // 爸兄 and a lead: no 中 (D6 D0) in it
      {"\xB0\xA1\x41\xB0"sv, {2, 1, 1}},      // 啊 A, then a lone lead
      {"\xD6\x1A\xD6|"sv, {2, 2}},            // a lead byte takes any other byte,
      {"\xD6\r\n"sv, {1, 1, 1}},              // but never CR, LF or NUL
      {"\xD6\n\xD6\xD0\xD6"sv, {1, 1, 2, 1}},
      {"x\xD6\0y"sv, {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    const std::string_view s = c.text;
    SCOPED_TRACE(testing::PrintToString(std::string(s)));
    std::vector<std::size_t> starts;
    std::size_t pos = 0;
    for (std::size_t length : c.lengths) {
      starts.push_back(pos);
      EXPECT_EQ(CharLength(s, pos), length);
      EXPECT_EQ(NextCharStart(s, pos), pos + length);
      EXPECT_EQ(IsLoneLeadByte(s, pos), length == 1 && IsLeadByte(s[pos]));
      pos += length;
    }
    ASSERT_EQ(pos, s.size());
    starts.push_back(s.size());
    EXPECT_EQ(EndsWithLoneLeadByte(s),
              !c.lengths.empty() && c.lengths.back() == 1 && IsLeadByte(s[s.size() - 1]));
    for (std::size_t known : starts) {
      for (std::size_t p = known; p <= s.size(); ++p) {
        const bool start = std::find(starts.begin(), starts.end(), p) != starts.end();
        EXPECT_EQ(IsCharStart(s, known, p), start) << "known " << known << " pos " << p;
      }
      // The first separator at a character start from `known` on.
      for (std::string_view separator : {"|"sv, "\r\n"sv, "\xD6\xD0"sv}) {
        std::size_t first = std::string_view::npos;
        for (std::size_t p : starts) {
          if (p >= known && s.compare(p, separator.size(), separator) == 0) {
            first = p;
            break;
          }
        }
        EXPECT_EQ(FindSeparator(s, separator, known, known), first)
            << "separator " << testing::PrintToString(std::string(separator)) << " from " << known;
      }
      for (std::size_t k = 1; k < starts.size(); ++k) {
        if (starts[k - 1] < known) continue;
        EXPECT_EQ(PreviousCharStart(s, known, starts[k]), starts[k - 1])
            << "known " << known << " pos " << starts[k];
      }
    }
    // Searches step with four-byte sequences whole: a match starts and ends on those steps.
    std::vector<std::size_t> whole_starts;
    pos = 0;
    for (std::size_t length : c.whole.empty() ? c.lengths : c.whole) {
      whole_starts.push_back(pos);
      EXPECT_EQ(WholeCharLength(s, pos), length);
      pos += length;
    }
    ASSERT_EQ(pos, s.size());
    whole_starts.push_back(s.size());
    auto whole_start = [&](std::size_t p) {
      return std::find(whole_starts.begin(), whole_starts.end(), p) != whole_starts.end();
    };
    for (std::size_t known : whole_starts) {
      for (std::size_t p = known; p <= s.size(); ++p) {
        EXPECT_EQ(IsWholeCharStart(s, known, p), whole_start(p))
            << "known " << known << " pos " << p;
      }
      for (std::string_view separator :
           {"\x81\x30"sv, "\x81\x30\x81\x30"sv, "\x95\x30\x94\x39"sv, "|"sv}) {
        std::size_t first = std::string_view::npos;
        for (std::size_t p : whole_starts) {
          if (p >= known && s.compare(p, separator.size(), separator) == 0 &&
              whole_start(p + separator.size())) {
            first = p;
            break;
          }
        }
        EXPECT_EQ(FindSeparator(s, separator, known, known), first)
            << "separator " << testing::PrintToString(std::string(separator)) << " from " << known;
      }
    }
  }
}

}  // namespace
}  // namespace lanzhou
