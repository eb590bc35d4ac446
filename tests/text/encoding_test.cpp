#include "text/encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/sanitizers.h"
#include "tests/support/temp_directory.h"
#include "text/encoding_detect.h"

namespace lanzhou {
namespace {

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

TEST(Encoding, KnownBytesBothWays) {
  struct Case {
    std::string utf8;
    std::string gb18030;
  } cases[] = {
      {"", ""},
      {"abc\r\n", "abc\r\n"},
      {"中", "\xD6\xD0"},
      {"处理完毕", "\xB4\xA6\xC0\xED\xCD\xEA\xB1\xCF"},
      {"信息：", "\xD0\xC5\xCF\xA2\xA3\xBA"},
      {"€", "\xA2\xE3"},           // in GB18030, not in GB2312
      {"😀", "\x94\x39\xFC\x36"},   // outside GBK: four bytes
      {"𠀀", "\x95\x32\x82\x36"},  // CJK extension B
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FromUtf8(c.utf8), Text(c.gb18030)) << c.utf8;
    EXPECT_EQ(ToUtf8(Text(c.gb18030)), c.utf8) << c.utf8;
  }
}

TEST(Encoding, CharactersOutsideGbkSurviveTheRoundTrip) {
  const std::string utf8 = "张三😀𠀀丂ǹ〾﹙ア한국어\u00e9\u2603";
  Text text = FromUtf8(utf8);
  EXPECT_EQ(ToUtf8(text), utf8);
}

TEST(Encoding, BadBytesAreKeptOrMarked) {
  // Invalid UTF-8 is kept byte for byte; a stray GB18030 lead byte becomes U+FFFD.
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b"),
            Text("a\xFF"
                 "b"));
  EXPECT_EQ(FromUtf8("\xE4\xB8"), Text("\xE4\xB8"));
  EXPECT_EQ(ToUtf8(Text("a\x81")), "a\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(Text("\xFF"
                        "a")),
            "\xEF\xBF\xBD"
            "a");
  // Each byte that starts no character is counted: a four-byte code cut off after its second
  // byte gives one U+FFFD, its second byte being ASCII.
  struct Count {
    std::string gb18030;
    std::size_t replaced;
  } counts[] = {{"\xFF\x81", 2}, {"a\x81\x30", 1}, {"\xD6\xD0", 0}, {"\x80\xA6\xD9\xFE", 2}};
  for (const Count& c : counts) {
    std::size_t replaced = 0;
    ToUtf8(c.gb18030, &replaced);
    EXPECT_EQ(replaced, c.replaced) << Hex(c.gb18030);
  }
}

// A text's end is its first zero byte, or for UTF-16 its first zero code unit.
TEST(InputTextBeforeZero, ZeroBytesOrZeroCodeUnits) {
  struct Case {
    std::string bytes;
    InputEncoding how;
    std::size_t length;
  } cases[] = {
      {std::string("a\0b", 3), InputEncoding::kAuto, 1},
      {std::string("\xFF\xFE"
                   "a\0\0\0b\0",
                   8),
       InputEncoding::kAuto, 4},
      {std::string("\xFE\xFF\0a\0\0", 6), InputEncoding::kAuto, 4},
      {std::string("\0a\x4E\0", 4), InputEncoding::kUtf16Be, 4},  // 0x4E00 is no zero unit
      {std::string("a\0\0", 3), InputEncoding::kUtf16Le, 3},      // nor a unit cut off
      {std::string("\xFF\xFE"
                   "a\0",
                   4),
       InputEncoding::kGbk, 3},
      {std::string("\xFF\xFE"
                   "a\0",
                   4),
       InputEncoding::kUtf8, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InputTextBeforeZero(c.bytes, c.how).size(), c.length) << Hex(c.bytes);
  }
}

TEST(IsValidUtf8, AcceptsOnlyWellFormedShortestForms) {
  struct Case {
    std::string bytes;
    std::size_t valid_length;  // where the first ill-formed sequence starts
  } cases[] = {
      {"", 0},
      {"plain", 5},
      {"中文", 6},
      {"\xF0\x9F\x98\x80", 4},
      {"\xC0\x80", 0},          // overlong
      {"a\xE0\x80\xAF", 1},     // overlong
      {"\xED\xA0\x80", 0},      // surrogate
      {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
      {"中\xE4\xB8", 3},        // cut off
      {"ab\xD6\xD0", 2},        // GBK 中
      {"\x80", 0},
      // A high byte last in an eight-byte word, and in the tail after one.
      {"abcdefg\x80", 7},
      {"abcdefgh\x80", 8},
      {"abcdefghijklmnop", 16},
      // And in a 64-byte block, past one, and in the tail after two.
      {std::string(63, 'a') + "\x80", 63},
      {std::string(64, 'a') + "\x80" + std::string(70, 'a'), 64},
      {std::string(129, 'a') + "\x80", 129},
      {std::string(128, 'a'), 128},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValidUtf8Length(c.bytes), c.valid_length) << c.bytes;
    EXPECT_EQ(IsValidUtf8(c.bytes), c.valid_length == c.bytes.size()) << c.bytes;
    EXPECT_EQ(
        IsAscii(c.bytes),
        std::ranges::all_of(c.bytes, [](char b) { return static_cast<unsigned char>(b) < 0x80; }))
        << c.bytes;
  }
}

// Long inputs are checked 64 MiB at a time: a sequence cut by a step's edge is read whole, an
// ill-formed one at either side of the edge is found where one pass finds it, and `scanned`
// hears only ends the check got past. Detecting and the required-UTF-8 check do the same.
TEST(IsValidUtf8, AcrossItsSteps) {
  constexpr std::size_t kStep = std::size_t{64} << 20;
  std::string bytes;
  const struct {
    std::string tail;        // after kStep - 1 bytes of "a"
    std::size_t valid_from;  // where the first ill-formed sequence starts, from kStep - 1
  } cases[] = {
      {"中b", 4},               // 中 spans the edge
      {"\xE4\xB8-", 0},         // 中 cut short at the edge
      {"a\xFF", 1},             // the first byte of the second step
      {"中\xFF", 3},            // ill-formed just after it
      {"\xF0\x9F\x98\x80", 4},  // four bytes across the edge
      {"\xD6\xD0", 0},          // GBK
  };
  for (const auto& c : cases) {
    bytes.assign(kStep - 1, 'a');
    bytes += c.tail;
    const std::size_t valid = kStep - 1 + c.valid_from;
    std::vector<std::size_t> heard;
    const auto hear = [&](std::size_t end) { heard.push_back(end); };
    EXPECT_EQ(ValidUtf8Length(bytes), valid) << c.tail;
    EXPECT_EQ(ValidUtf8Length(bytes, hear), valid) << c.tail;
    std::vector<std::size_t> got_past;
    if (valid >= kStep) got_past.push_back(kStep);
    if (valid == bytes.size()) got_past.push_back(bytes.size());
    EXPECT_EQ(heard, got_past) << c.tail;
    heard.clear();
    EXPECT_EQ(DetectInputEncoding(bytes, hear), DetectInputEncoding(bytes)) << c.tail;
    for (const std::size_t end : heard) EXPECT_LE(end, valid) << c.tail;
    const std::optional<std::size_t> invalid =
        valid == bytes.size() ? std::nullopt : std::optional(valid);
    EXPECT_EQ(InvalidRequiredUtf8(bytes, InputEncoding::kUtf8, hear), invalid) << c.tail;
  }
}

TEST(DecodeInput, Utf8IsConvertedAndEverythingElseKept) {
  struct Case {
    std::string bytes;
    InputEncoding how;
    std::string want;
    DetectedEncoding detected;
    std::size_t replaced = 0;
  } cases[] = {
      {"\xEF\xBB\xBF"
       "abc",
       InputEncoding::kAuto, "abc", DetectedEncoding::kUtf8},
      {"\xEF\xBB\xBF"
       "中",
       InputEncoding::kAuto, "\xD6\xD0", DetectedEncoding::kUtf8},
      {"a|中\r\n", InputEncoding::kAuto, "a|\xD6\xD0\r\n", DetectedEncoding::kUtf8},
      {"a|\xD6\xD0\r\n", InputEncoding::kAuto, "a|\xD6\xD0\r\n", DetectedEncoding::kGbk},
      {"plain\n", InputEncoding::kAuto, "plain\n", DetectedEncoding::kGbk},
      {"", InputEncoding::kAuto, "", DetectedEncoding::kGbk},
      {std::string("中\0x", 5), InputEncoding::kAuto, std::string("\xD6\xD0\0x", 4),
       DetectedEncoding::kUtf8},
      {"中", InputEncoding::kGbk, "中", DetectedEncoding::kGbk},
      {"\xEF\xBB\xBF"
       "中",
       InputEncoding::kUtf8, "\xD6\xD0", DetectedEncoding::kUtf8},
      // GBK 谢谢 is also valid UTF-8 (лл); read as GBK unless told otherwise.
      {"\xD0\xBB\xD0\xBB", InputEncoding::kAuto, "\xD0\xBB\xD0\xBB", DetectedEncoding::kGbk},
      {"\xD0\xBB\xD0\xBB", InputEncoding::kUtf8, FromUtf8("лл").bytes(), DetectedEncoding::kUtf8},
      {"\xEF\xBB\xBF\xD0\xBB\xD0\xBB", InputEncoding::kAuto, FromUtf8("лл").bytes(),
       DetectedEncoding::kUtf8},
      // UTF-16 by its mark or by name; a lone surrogate or an odd last byte is U+FFFD.
      {std::string("\xFF\xFE"
                   "a\0|\0\x2D\x4E",
                   8),
       InputEncoding::kAuto, "a|\xD6\xD0", DetectedEncoding::kUtf8},
      {std::string("\xFE\xFF\0a\x4E\x2D", 6), InputEncoding::kAuto, "a\xD6\xD0",
       DetectedEncoding::kUtf8},
      {std::string("a\0\x2D\x4E", 4), InputEncoding::kUtf16Le, "a\xD6\xD0",
       DetectedEncoding::kUtf8},
      {std::string("\0a", 2), InputEncoding::kUtf16Be, "a", DetectedEncoding::kUtf8},
      {std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), InputEncoding::kAuto, "\x94\x39\xFC\x36",
       DetectedEncoding::kUtf8},
      {std::string("\xFF\xFE\x00\xD8"
                   "a\0",
                   6),
       InputEncoding::kAuto,
       "\x84\x31\xA4\x37"
       "a",
       DetectedEncoding::kUtf8, 2},
      {std::string("\xFF\xFE"
                   "a\0"
                   "b",
                   5),
       InputEncoding::kAuto, "a\x84\x31\xA4\x37", DetectedEncoding::kUtf8, 1},
      // Big5 only by name: 中文, and a lead byte cut off by the end.
      {"\xA4\xA4\xA4\xE5", InputEncoding::kBig5, "\xD6\xD0\xCE\xC4", DetectedEncoding::kGbk},
      {"a\xA4", InputEncoding::kBig5, "a\x84\x31\xA4\x37", DetectedEncoding::kGbk, 1},
      {"\xA4\xA4\xA4\xE5", InputEncoding::kAuto, "\xA4\xA4\xA4\xE5", DetectedEncoding::kGbk},
  };
  for (const auto& c : cases) {
    DetectedEncoding detected{};
    std::string decoded_storage;
    EXPECT_EQ(DecodeInputText(c.bytes, decoded_storage, c.how).replaced, c.replaced) << c.bytes;
    EXPECT_EQ(DecodeInput(c.bytes, c.how, &detected), c.want) << c.bytes;
    EXPECT_EQ(detected, c.detected) << c.bytes;
    // The view form gives the same text, pointing into the argument when nothing changed.
    std::string storage;
    const std::string_view view = DecodeInputView(c.bytes, storage, c.how, &detected);
    EXPECT_EQ(view, c.want) << c.bytes;
    EXPECT_EQ(detected, c.detected) << c.bytes;
    if (c.detected == DetectedEncoding::kGbk && c.how != InputEncoding::kBig5) {
      EXPECT_EQ(view.data(), c.bytes.data()) << c.bytes;
    }
  }
}

// What had to be UTF-8 and is not is an error at the offset of the first bad byte; what only
// looked like UTF-8 at its start is GBK.
TEST(DecodeInputText, InvalidUtf8IsReportedOnlyWhereUtf8WasRequired) {
  std::string long_utf8;
  for (int i = 0; i < 5000; ++i) long_utf8 += "中文";
  struct Case {
    std::string bytes;
    InputEncoding how;
    std::optional<std::size_t> invalid_at;
    DetectedEncoding encoding;
  } cases[] = {
      {"ab\xFF", InputEncoding::kUtf8, 2, DetectedEncoding::kUtf8},
      {"\xEF\xBB\xBF\xD6\xD0", InputEncoding::kAuto, 3, DetectedEncoding::kUtf8},
      {"\xEF\xBB\xBF" + long_utf8 + "\xE4\xB8", InputEncoding::kAuto, 3 + long_utf8.size(),
       DetectedEncoding::kUtf8},
      {"\xEF\xBB\xBF\xD6\xD0", InputEncoding::kGbk, std::nullopt, DetectedEncoding::kGbk},
      {long_utf8 + "\xD6\xD0", InputEncoding::kAuto, std::nullopt, DetectedEncoding::kGbk},
      {std::string("a\0\xFF", 3), InputEncoding::kUtf8, 2, DetectedEncoding::kUtf8},
      {std::string("\xEF\xBB\xBF\xFF\0", 5), InputEncoding::kAuto, 3, DetectedEncoding::kUtf8},
  };
  for (const Case& c : cases) {
    std::string storage;
    const DecodedInput decoded = DecodeInputText(c.bytes, storage, c.how);
    EXPECT_EQ(decoded.invalid_utf8_at, c.invalid_at) << c.bytes.substr(0, 8);
    EXPECT_EQ(decoded.encoding, c.encoding) << c.bytes.substr(0, 8);
    if (c.invalid_at) {
      EXPECT_TRUE(decoded.text.empty());
    } else if (c.encoding == DetectedEncoding::kGbk) {
      EXPECT_EQ(decoded.text.data(), c.bytes.data());
      EXPECT_EQ(decoded.text.size(), c.bytes.size());
    }
    // The check alone finds the same byte, looking only before the first zero byte.
    const bool after_zero = c.invalid_at && c.bytes.find('\0') < *c.invalid_at;
    EXPECT_EQ(InvalidRequiredUtf8(c.bytes, c.how), after_zero ? std::nullopt : c.invalid_at)
        << c.bytes.substr(0, 8);
    // Detecting alone decides as decoding does.
    EXPECT_EQ(DetectInputEncoding(c.bytes), DecodeInputText(c.bytes, storage).encoding)
        << c.bytes.substr(0, 8);
  }
}

// The codes where GB18030 tables legitimately differ. The 2000 and 2005 editions put 24
// private-use code points on these two-byte codes; later editions, and glibc, put there the
// standard characters that replaced them. Ours reads the standard character and writes both
// on the code. (Older tables, Python's among them, also give those standard characters a
// four-byte code that glibc leaves unassigned.)
struct ReplacedCode {
  const char* bytes;
  const char* private_use;
  const char* standard;
};
constexpr ReplacedCode kReplacedCodes[] = {
    {"\xA6\xD9", "\uE78D", "\uFE10"},     {"\xA6\xDA", "\uE78E", "\uFE12"},
    {"\xA6\xDB", "\uE78F", "\uFE11"},     {"\xA6\xDC", "\uE790", "\uFE13"},
    {"\xA6\xDD", "\uE791", "\uFE14"},     {"\xA6\xDE", "\uE792", "\uFE15"},
    {"\xA6\xDF", "\uE793", "\uFE16"},     {"\xA6\xEC", "\uE794", "\uFE17"},
    {"\xA6\xED", "\uE795", "\uFE18"},     {"\xA6\xF3", "\uE796", "\uFE19"},
    {"\xFE\x51", "\uE816", "\U00020087"}, {"\xFE\x52", "\uE817", "\U00020089"},
    {"\xFE\x53", "\uE818", "\U000200CC"}, {"\xFE\x59", "\uE81E", "\u9FB4"},
    {"\xFE\x61", "\uE826", "\u9FB5"},     {"\xFE\x66", "\uE82B", "\u9FB6"},
    {"\xFE\x67", "\uE82C", "\u9FB7"},     {"\xFE\x6C", "\uE831", "\U000215D7"},
    {"\xFE\x6D", "\uE832", "\u9FB8"},     {"\xFE\x76", "\uE83B", "\U0002298F"},
    {"\xFE\x7E", "\uE843", "\u9FB9"},     {"\xFE\x90", "\uE854", "\u9FBA"},
    {"\xFE\x91", "\uE855", "\U000241FE"}, {"\xFE\xA0", "\uE864", "\u9FBB"},
};

TEST(Encoding, CodesWhereTablesDifferAreNamed) {
  for (const ReplacedCode& c : kReplacedCodes) {
    EXPECT_EQ(ToUtf8(std::string(c.bytes)), c.standard) << Hex(c.bytes);
    EXPECT_EQ(FromUtf8(c.standard), Text(c.bytes)) << Hex(c.bytes);
    // Never the private-use character's UTF-8 bytes in GB18030 text.
    EXPECT_EQ(FromUtf8(c.private_use), Text(c.bytes)) << Hex(c.bytes);
  }
  // The 2005 edition swapped U+1E3F and U+E7C7 between A8 BC and 81 35 F4 37; glibc follows
  // it, Python's codec the 2000 edition.
  EXPECT_EQ(FromUtf8("\u1E3F"), Text("\xA8\xBC"));
  EXPECT_EQ(FromUtf8("\uE7C7"), Text("\x81\x35\xF4\x37"));
}

// Checked against a table that is not ours: Python's gb18030 codec decodes every two-byte code
// and a sample of four-byte ones, and encodes what it decoded back. Ours must agree both ways
// except at the codes named above.
TEST(Encoding, AgreesWithPythonsGb18030Codec) {
  std::vector<std::string> codes;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail != 0x7F) codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  // Four-byte codes by their linear number: the BMP part, and the planes from 90 30 81 30 on.
  auto four = [](long n) {
    std::string code(4, '\0');
    code[3] = static_cast<char>(0x30 + n % 10);
    n /= 10;
    code[2] = static_cast<char>(0x81 + n % 126);
    n /= 126;
    code[1] = static_cast<char>(0x30 + n % 10);
    code[0] = static_cast<char>(0x81 + n / 10);
    return code;
  };
  for (long n = 0; n < 39420; n += 7) codes.push_back(four(n));
  for (long n = 189000; n < 189000 + 0x100000; n += 997) codes.push_back(four(n));

  TempDirectory dir;
  const auto in = dir.path() / "codes.txt";
  {
    std::ofstream out(in);
    for (const std::string& code : codes) out << Hex(code) << "\n";
  }
  // Per code: its UTF-8 and its bytes again, or "- -" where the codec has no character.
  const std::string command =
      "python3 -c \"import sys\n"
      "for line in open(sys.argv[1]):\n"
      "    try:\n"
      "        u = bytes.fromhex(line).decode('gb18030')\n"
      "        print(u.encode('utf-8').hex(), u.encode('gb18030').hex())\n"
      "    except UnicodeError:\n"
      "        print('- -')\n\" " +
      in.string();
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  auto named = [](const std::string& code, const std::string& theirs) {
    if (code == "\xA8\xBC" || code == "\x81\x35\xF4\x37") return true;
    for (const ReplacedCode& c : kReplacedCodes) {
      if (code == c.bytes || theirs == c.standard) return true;
    }
    return false;
  };
  std::size_t compared = 0, differ = 0;
  char utf8_hex[64], back_hex[64];
  for (const std::string& code : codes) {
    if (std::fscanf(pipe, "%63s %63s", utf8_hex, back_hex) != 2) break;
    const bool none = utf8_hex[0] == '-';
    const std::string theirs = none ? "\xEF\xBF\xBD" : FromHex(utf8_hex);
    ++compared;
    if (named(code, theirs)) continue;
    const bool same =
        ToUtf8(code) == theirs && (none || FromUtf8(theirs) == Text(FromHex(back_hex)));
    if (!same && ++differ <= 10) ADD_FAILURE() << Hex(code) << " is " << utf8_hex << " there";
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(compared, codes.size());
  EXPECT_EQ(differ, 0u);
}

// glibc's iconv, with what the program adds where iconv stops: in GB18030 -> UTF-8, a byte
// that starts no character becomes U+FFFD and the next byte is read afresh; in UTF-8 ->
// GB18030, a code point iconv has no code for takes its private-use code or U+FFFD, and a byte
// that is not UTF-8 is kept.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() { iconv_close(cd_); }

  std::string Gb18030ToUtf8(std::string_view in) {
    return Convert(in, [](std::string& out, std::string_view) {
      out += "\xEF\xBF\xBD";
      return std::size_t{1};
    });
  }
  std::string Utf8ToGb18030(std::string_view in) {
    return Convert(in, [](std::string& out, std::string_view rest) -> std::size_t {
      const std::size_t len = Utf8SequenceLength(rest, 0);
      if (len == 0) {
        out += rest.front();
        return 1;
      }
      const std::string_view character = rest.substr(0, len);
      for (const ReplacedCode& c : kReplacedCodes) {
        if (character == c.private_use) {
          out += c.bytes;
          return len;
        }
      }
      out += "\x84\x31\xA4\x37";
      return len;
    });
  }

 private:
  template <typename OnInvalid>
  std::string Convert(std::string_view in, OnInvalid on_invalid) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[4096];
    while (left > 0) {
      char* dst = buffer;
      std::size_t room = sizeof buffer;
      const std::size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
        const std::size_t taken = on_invalid(out, std::string_view(src, left));
        src += taken;
        left -= taken;
      }
    }
    return out;
  }
  iconv_t cd_;
};

std::string Utf8Of(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
  } else if (c < 0x10000) {
    s += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
  } else {
    s += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
          static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
  }
  return s;
}

// Compares a batch both ways; on a difference, finds the first item that differs alone.
template <typename Ours, typename Theirs>
void ExpectSameBatch(const std::vector<std::string>& items, Ours ours, Theirs theirs,
                     int& failures) {
  std::string batch;
  for (const std::string& item : items) batch += item;
  if (ours(batch) == theirs(batch)) return;
  for (const std::string& item : items) {
    if (ours(item) != theirs(item) && ++failures <= 10) {
      ADD_FAILURE() << Hex(item) << ": ours " << Hex(ours(item)) << ", iconv " << Hex(theirs(item));
      return;
    }
  }
  if (++failures <= 10) ADD_FAILURE() << "a batch from " << Hex(items.front()) << " differs";
}

// Every scalar value, every two- and four-byte GB18030 sequence (valid or not: each with a
// LF after it, so that a sequence iconv refuses is followed by the LF read afresh) and every
// class of ill-formed UTF-8 convert as iconv converts them. The sanitized build, many times
// slower, reads every seventh four-byte sequence and code point beyond the BMP.
TEST(Encoding, AgreesWithIconvEverywhere) {
  Iconv to_utf8("UTF-8", "GB18030");
  Iconv to_gb("GB18030", "UTF-8");
  auto ours_utf8 = [](const std::string& b) { return ToUtf8(b); };
  auto theirs_utf8 = [&](const std::string& b) { return to_utf8.Gb18030ToUtf8(b); };
  auto ours_gb = [](const std::string& b) { return FromUtf8(b).bytes(); };
  auto theirs_gb = [&](const std::string& b) { return to_gb.Utf8ToGb18030(b); };
  int failures = 0;
  const int step = kSanitized ? 7 : 1;
  std::vector<std::string> items;
  for (char32_t c = 0; c < 0x110000; c += c < 0x10000 ? 1 : step) {
    if (c >= 0xD800 && c < 0xE000) continue;
    items.push_back(Utf8Of(c));
    if (items.size() == 4096 || c + step >= 0x110000) {
      ExpectSameBatch(items, ours_gb, theirs_gb, failures);
      std::vector<std::string> back;
      for (const std::string& u : items) back.push_back(to_gb.Utf8ToGb18030(u) + "\n");
      ExpectSameBatch(back, ours_utf8, theirs_utf8, failures);
      items.clear();
    }
  }
  // Two bytes, every pair, and the one-byte sequences cut off by the end.
  for (int lead = 0; lead < 256; ++lead) {
    items.clear();
    for (int second = 0; second < 256; ++second) {
      items.push_back({static_cast<char>(lead), static_cast<char>(second), '\n'});
    }
    ExpectSameBatch(items, ours_utf8, theirs_utf8, failures);
    ExpectSameBatch(items, ours_gb, theirs_gb, failures);
    const std::string last(1, static_cast<char>(lead));
    EXPECT_EQ(ToUtf8(last), to_utf8.Gb18030ToUtf8(last)) << Hex(last);
    EXPECT_EQ(FromUtf8(last).bytes(), to_gb.Utf8ToGb18030(last)) << Hex(last);
  }
  // Four bytes: first and third bytes over 81..FE and the bytes around, second and fourth over
  // 30..39 and the bytes around; and cut off after two or three bytes.
  int count = 0;
  for (int b1 = 0x80; b1 <= 0xFF; ++b1) {
    for (int b2 = 0x2F; b2 <= 0x3A; ++b2) {
      items.clear();
      for (int b3 = 0x80; b3 <= 0xFF; ++b3) {
        for (int b4 = 0x2F; b4 <= 0x3A; ++b4) {
          if (count++ % step != 0) continue;
          items.push_back({static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3),
                           static_cast<char>(b4), '\n'});
        }
        const std::string cut = {static_cast<char>(b1), static_cast<char>(b2),
                                 static_cast<char>(b3)};
        EXPECT_EQ(ToUtf8(cut), to_utf8.Gb18030ToUtf8(cut)) << Hex(cut);
      }
      ExpectSameBatch(items, ours_utf8, theirs_utf8, failures);
    }
  }
  // Ill-formed UTF-8 of three and four bytes: every lead from E0 on with continuation bytes at
  // and beyond their edges, and cut off.
  const int edges[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
  items.clear();
  for (int lead = 0xE0; lead <= 0xFF; ++lead) {
    for (int b2 : edges) {
      for (int b3 : edges) {
        items.push_back({static_cast<char>(lead), static_cast<char>(b2), static_cast<char>(b3)});
        for (int b4 : edges) {
          items.push_back({static_cast<char>(lead), static_cast<char>(b2), static_cast<char>(b3),
                           static_cast<char>(b4)});
        }
      }
    }
  }
  ExpectSameBatch(items, ours_gb, theirs_gb, failures);
  EXPECT_EQ(failures, 0);
}

// Long texts convert in pieces into a buffer sized by a guess: a text of many characters that
// grow (U+0080 takes four GB18030 bytes for two), shrink or are invalid must come out as the
// characters converted one at a time.
TEST(Encoding, LongTextsConvertAsTheirCharactersDo) {
  struct Unit {
    std::string utf8;
    std::string gb18030;
  };
  const Unit units[] = {
      {"a", "a"},
      {"\r\n", "\r\n"},
      {"中", "\xD6\xD0"},
      {"\xC2\x80", "\x81\x30\x81\x30"},
      {"😀", "\x94\x39\xFC\x36"},
  };
  std::mt19937 rng(7);
  for (const int grow_share : {0, 50, 100}) {
    std::string utf8, gb18030, utf8_with_bad, gb18030_with_bad;
    while (gb18030.size() < 300000) {
      const Unit& u =
          (static_cast<int>(rng() % 100) < grow_share) ? units[3] : units[rng() % std::size(units)];
      utf8 += u.utf8;
      gb18030 += u.gb18030;
      if (rng() % 1000 == 0) {
        utf8_with_bad += "\xFF";
        gb18030_with_bad += "\xFF";
      }
      utf8_with_bad += u.utf8;
      gb18030_with_bad += u.gb18030;
    }
    EXPECT_TRUE(FromUtf8(utf8).bytes() == gb18030) << grow_share;
    EXPECT_TRUE(ToUtf8(gb18030) == utf8) << grow_share;
    EXPECT_TRUE(FromUtf8(utf8_with_bad).bytes() == gb18030_with_bad) << grow_share;
  }
}

// Where the blocks that fill the heap go, so that no allocation is left out as unused.
void* volatile filling;

// Out of memory, a thread's first conversion (the first builds the converter's tables) throws
// std::bad_alloc as any allocation does, and never ends the program. In a child process whose
// address space is then full: no mapping, no heap left.
TEST(Encoding, AThreadOutOfMemoryHearsBadAllocNotAnAbort) {
  if (kSanitized) GTEST_SKIP() << "a sanitized program cannot run under an address-space limit";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int go[2];
    if (pipe(go) != 0) _exit(3);
    int outcome = 1;
    std::thread converter([&] {  // started while its stack can still be mapped
      char byte = 0;
      if (read(go[0], &byte, 1) != 1) return;
      try {
        outcome = ToUtf8(Text("\xD6\xD0")) == "中" && FromUtf8("中") == Text("\xD6\xD0") ? 0 : 1;
      } catch (const std::bad_alloc&) {
        outcome = 0;
      }
    });
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) _exit(3);
    std::fclose(statm);
    const rlim_t in_use = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{in_use, in_use};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    for (const std::size_t size : {1 << 20, 1 << 14, 1 << 10, 64, 16}) {
      for (void* block = std::malloc(size); block != nullptr; block = std::malloc(size)) {
        filling = block;
      }
    }
    if (write(go[1], "x", 1) != 1) _exit(3);
    converter.join();
    _exit(outcome);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                              : "exit " + std::to_string(WEXITSTATUS(status)));
}

}  // namespace
}  // namespace lanzhou
