#include "pages/wrap.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "tests/support/utf8_text.h"
#include "text/encoding.h"
#include "text/text_primitives.h"

namespace lanzhou {
namespace {

const char kSavedFile[] = "折行后_2015年3月4日12时30分45秒.txt";
const char* const kOpeningMarks[] = {"《", "（", "“", "〈", "‘"};
const char* const kClosingMarks[] = {"》", "）", "”", "〉", "，", "。",
                                     "？", "：", "’", "；", "、"};

struct WrapCase {
  const char* text;  // UTF-8, taken to GB18030
  int width;
  const char* wrapped;
};

void ExpectWraps(const WrapCase& c) {
  EXPECT_EQ(ToUtf8(WrapText(U(c.text), c.width)), c.wrapped) << c.text << " at width " << c.width;
}

TEST(CleanForWrap, RemovesLineEndsAndOptionallyPunctuation) {
  struct Case {
    const char* text;
    bool filter;
    const char* cleaned;
  } cases[] = {
      {"好，\r\n的。", false, "好，的。"},
      {"好，\r\n的。", true, "好的"},
      {"a,b、c，d。e\r\nf？g；h", true, "abcdef？g；h"},
      {"a,b、c\r\n", false, "a,b、c"},
      // Lone CR and LF stay; CR CR LF LF leaves one pair.
      {"a\rb\nc", true, "a\rb\nc"},
      {"ab\r\r\n\ncd", false, "ab\r\ncd"},
      {"", true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToUtf8(CleanForWrap(U(c.text), c.filter)), c.cleaned) << c.text;
  }
}

TEST(CleanForWrap, AgreesWithBatchReplaceOnAwkwardBytes) {
  const Text comma = U("，"), stop = U("。"), pause = U("、");
  const std::string pieces[] = {"\r",          "\n", ",",    comma.bytes(), stop.bytes(),
                                pause.bytes(), "a",  "\x81", "\xA3",        "\xAC"};
  std::mt19937 random(5);
  for (int n = 0; n < 3000; ++n) {
    std::string bytes;
    for (int k = random() % 12; k > 0; --k) bytes += pieces[random() % std::size(pieces)];
    const ReplacePair all[] = {{comma, Text()},
                               {stop, Text()},
                               {Text(","), Text()},
                               {Text("\r\n"), Text()},
                               {pause, Text()}};
    ASSERT_EQ(CleanForWrap(Text(bytes), true),
              BatchReplace(Text(bytes), std::nullopt, 1, false, all))
        << testing::PrintToString(bytes);
    ASSERT_EQ(CleanForWrap(Text(bytes), false),
              BatchReplace(Text(bytes), std::nullopt, 1, false, std::span(all + 3, 1)))
        << testing::PrintToString(bytes);
  }
}

TEST(WrapText, MixedChineseAndAscii) {
  const WrapCase cases[] = {
      {"", 3, ""},
      {"中文", 4, "中文"},
      {"abc", 3, "abc"},
      {"一二三四五六七八九十一二", 10, "一二三四五\r\n六七八九十\r\n一二"},
      {"中文中文中", 5, "中文\r\n中文\r\n中"},
      {"ab cdefghij", 8, "ab \r\ncdefghij"},
      {"abcdefghijk", 8, "abcdefgh\r\nijk"},
      {"ab中", 3, "ab\r\n中"},
      {"ab cd", 3, "ab \r\ncd"},
      // A word ending at the width before a two-byte character stays.
      {"ab cd中", 5, "ab cd\r\n中"},
      // ... but before a space or another ASCII byte it moves down.
      {"ab cd ef", 5, "ab \r\ncd ef"},
      {"a bcdefghijklm", 4, "a \r\nbcde\r\nfghi\r\njklm"},
      {"我们说“好”", 8, "我们说\r\n“好”"},
      {"我们说‘好’", 8, "我们说\r\n‘好’"},
      {"我们说“好”。", 6, "我们说\r\n“好\r\n”。"},
      {"我们说，好", 6, "我们\r\n说，好"},
  };
  for (const WrapCase& c : cases) ExpectWraps(c);
}

// One mixed text through every width, worked out by hand rule by rule.
TEST(WrapText, EveryWidthFromOneToTwelve) {
  const char* const text = "说“ab cd”，好";
  const WrapCase cases[] = {
      {text, 1, "说\r\n“\r\na\r\nb\r\n \r\nc\r\nd\r\n”\r\n，\r\n好"},
      {text, 2, "说\r\n“\r\nab\r\n \r\nc\r\nd\r\n”\r\n，\r\n好"},
      {text, 3, "说\r\n“\r\nab \r\nc\r\nd\r\n”\r\n，\r\n好"},
      {text, 4, "说\r\n“\r\nab \r\ncd\r\n”，\r\n好"},
      {text, 5, "说\r\n“ab \r\ncd\r\n”，\r\n好"},
      {text, 6, "说\r\n“ab \r\ncd”，\r\n好"},
      {text, 7, "说“ab \r\ncd”，\r\n好"},
      {text, 8, "说“ab \r\ncd”，好"},
      {text, 9, "说“ab c\r\nd”，好"},
      {text, 10, "说“ab c\r\nd”，好"},
      {text, 11, "说“ab cd\r\n”，好"},
      {text, 12, "说“ab cd\r\n”，好"},
  };
  for (const WrapCase& c : cases) ExpectWraps(c);
}

TEST(WrapText, OpeningMarkNeverEndsALine) {
  for (const char* mark : kOpeningMarks) {
    const std::string m = mark;
    ExpectWraps({("我们说" + m + "好").c_str(), 8, ("我们说\r\n" + m + "好").c_str()});
    ExpectWraps({("我们说a" + m + "好").c_str(), 9, ("我们说a\r\n" + m + "好").c_str()});
    // Just after the cut, or inside the line, a mark is left alone.
    ExpectWraps({("我们说啊" + m + "好").c_str(), 8, ("我们说啊\r\n" + m + "好").c_str()});
    ExpectWraps({("我们" + m + "说好啊").c_str(), 8, ("我们" + m + "说\r\n好啊").c_str()});
  }
}

TEST(WrapText, ClosingMarkNeverStartsALine) {
  for (const char* mark : kClosingMarks) {
    const std::string m = mark;
    ExpectWraps({("我们说啊" + m + "好").c_str(), 8, ("我们说\r\n啊" + m + "好").c_str()});
    ExpectWraps({("我们说ab" + m + "好").c_str(), 8, ("我们说a\r\nb" + m + "好").c_str()});
    // The mark crossing the width is the one that would start the line.
    ExpectWraps({("我们说a" + m + "好").c_str(), 8, ("我们说\r\na" + m + "好").c_str()});
    // At the end of the window, or inside the line, a mark is left alone.
    ExpectWraps({("我们说" + m + "好啊").c_str(), 8, ("我们说" + m + "\r\n好啊").c_str()});
    ExpectWraps({("我" + m + "们说好啊").c_str(), 8, ("我" + m + "们说\r\n好啊").c_str()});
  }
}

TEST(WrapText, ClosingMarkTakesTheWholeCharacterBeforeIt) {
  // 說 is D5 66: its second byte is below 0x7F, so only stepping from the line start finds
  // where it begins.
  ASSERT_EQ(U("說").bytes(), "\xD5\x66");
  const WrapCase cases[] = {
      {"ab說，好", 4, "ab\r\n說，\r\n好"},
      {"說說說，", 6, "說說\r\n說，"},
      {"a說x說。", 6, "a說x\r\n說。"},
  };
  for (const WrapCase& c : cases) ExpectWraps(c);
}

TEST(WrapText, FourByteCharactersStayWhole) {
  ASSERT_EQ(U("😀").size(), 4u);
  const WrapCase cases[] = {
      {"a😀b", 4, "a\r\n😀\r\nb"},   {"中😀", 5, "中\r\n😀"},     {"😀😀", 4, "😀\r\n😀"},
      {"😀😀", 6, "😀\r\n😀"},         {"😀😀", 2, "😀\r\n😀"},       {"ab😀cd", 2, "ab\r\n😀\r\ncd"},
      {"a😀，", 5, "a\r\n😀\r\n，"}, {"ab😀，", 6, "ab\r\n😀，"}, {"😀，😀", 6, "😀，\r\n😀"},
      {"😀“😀", 6, "😀\r\n“😀"},
  };
  for (const WrapCase& c : cases) ExpectWraps(c);
}

// Where the rules would leave a line empty, the line takes exactly one character.
TEST(WrapText, EveryLineTakesAtLeastOneCharacter) {
  const WrapCase cases[] = {
      {"中文", 1, "中\r\n文"},     {"中", 1, "中"},
      {"ab", 1, "a\r\nb"},         {"，，", 1, "，\r\n，"},
      {"中，", 2, "中\r\n，"},     {"“好", 2, "“\r\n好"},
      {"“好“", 2, "“\r\n好\r\n“"}, {"中文", 0, "中\r\n文"},
      {"ab", -5, "a\r\nb"},        {"😀", 3, "😀"},
      {"😀，", 3, "😀\r\n，"},
  };
  for (const WrapCase& c : cases) ExpectWraps(c);
}

TEST(WrapText, LineEndsInTheTextAreNeverSplit) {
  const WrapCase cases[] = {
      {"abc\r\nde", 4, "abc\r\nde"},
      // The LF may lie one byte past the width.
      {"abc\r\ndefg", 4, "abc\r\ndefg"},
      {"ab\r\ncd", 3, "ab\r\ncd"},
      // No punctuation rule after a pair.
      {"ab\r\n，cd", 4, "ab\r\n，cd"},
      {"a“\r\nb", 4, "a“\r\nb"},
      {"\r\nab", 2, "\r\nab"},
      {"\r\n\r\n", 1, "\r\n\r\n"},
      // Lone CR and LF are ordinary bytes.
      {"ab\rcd", 3, "ab\r\r\ncd"},
      {"ab\ncd", 2, "ab\r\n\nc\r\nd"},
  };
  for (const WrapCase& c : cases) ExpectWraps(c);
  // A lead byte before LF stands alone: with the byte before it, A1 AE, it looks like the
  // opening mark ‘ but is no character, so nothing moves down and ！ (A3 A1) stays whole.
  EXPECT_EQ(WrapText(Text("\xA3\xA1\xAE\nab"), 4), Text("\xA3\xA1\xAE\r\n\nab"));
}

// The rules walked one character at a time, as plainly as they read.
std::string WrapCharacterByCharacter(std::string_view rest, int width) {
  const std::size_t w = std::max(width, 1);
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(rest[k]); };
  const auto length = [&](std::size_t k) -> std::size_t {
    if (byte(k) < 0x7F) return 1;
    if (k + 3 < rest.size() && byte(k) >= 0x81 && byte(k) <= 0xFE && byte(k + 1) >= 0x30 &&
        byte(k + 1) <= 0x39 && byte(k + 2) >= 0x81 && byte(k + 2) <= 0xFE && byte(k + 3) >= 0x30 &&
        byte(k + 3) <= 0x39) {
      return 4;
    }
    // No wide byte takes CR, LF or NUL with it.
    return k + 1 < rest.size() && byte(k + 1) != '\r' && byte(k + 1) != '\n' && byte(k + 1) != 0
               ? 2
               : 1;
  };
  const auto is_one_of = [&](std::size_t k, const auto& marks) {
    for (const char* mark : marks) {
      if (k + 2 <= rest.size() && rest.substr(k, 2) == U(mark).bytes()) return true;
    }
    return false;
  };
  std::string out;
  while (rest.size() > w) {
    std::size_t i = 0, word_start = 0;
    bool in_word = false, line_end = false;
    while (i < w) {
      if (byte(i) >= 0x7F) {
        word_start = 0;
        in_word = false;
        if (i + length(i) > w) break;
        i += length(i);
      } else if (byte(i) == ' ') {
        ++i;
        word_start = 0;
        in_word = false;
      } else if (byte(i) == '\r' && byte(i + 1) == '\n') {
        i += 2;
        line_end = true;
        break;
      } else {
        if (!in_word) word_start = i;
        in_word = true;
        ++i;
      }
    }
    if (!line_end) {
      if (i >= w) i = (word_start == 0 || byte(w) >= 0x7F) ? w : word_start;
      std::size_t last = 0;  // where the character before the cut starts
      for (std::size_t k = 0; k < i; k += length(k)) last = k;
      if (i >= 2 && last == i - 2 && is_one_of(i - 2, kOpeningMarks)) {
        i -= 2;
      } else if (is_one_of(i, kClosingMarks)) {
        i = last;
      }
      if (i == 0) i = length(0);
    }
    out += rest.substr(0, i);
    rest.remove_prefix(i);
    if (!out.ends_with("\r\n") && !rest.empty()) out += "\r\n";
  }
  return out + std::string(rest);
}

TEST(WrapText, AgreesWithTheRulesWalkedCharacterByCharacter) {
  std::vector<std::string> pieces;
  for (const char* piece : {"a", "b", "1", " ", "中", "說", "😀", "，", "“", "”", "》", "（"}) {
    pieces.push_back(U(piece).bytes());
  }
  for (const char* piece : {"\r\n", "\r", "\n", "\x7F", "\xD5", "\x81\x30", "abcdefghijkl"}) {
    pieces.push_back(piece);
  }
  std::mt19937 random(3);
  for (int n = 0; n < 20000; ++n) {
    std::string text;
    for (int k = random() % 40; k > 0; --k) text += pieces[random() % pieces.size()];
    const int width = 1 + random() % (n % 2 ? 12 : 48);
    ASSERT_EQ(WrapText(Text(text), width).bytes(), WrapCharacterByCharacter(text, width))
        << testing::PrintToString(text) << " at width " << width;
  }
}

// Pieces cleaned on their own and wrapped from guessed line starts on several threads:
// wherever the pieces are cut and whether a guess meets the true lines or not, the bytes are
// those of cleaning the whole text and wrapping it.
TEST(WriteWrappedText, EveryThreadCountAndPieceSizeMakesTheWholeWrap) {
  // With ASCII words, and as Chinese text, where every byte below 0x80 is one a removal takes.
  std::vector<std::string> mixed, chinese;
  for (const char* piece : {"a", " ", "abcdefg"}) mixed.push_back(piece);
  for (const char* piece :
       {"中", "😀", "，", "。", ",", "、", "“", "》", "\r\n", "\r", "\n", "\xD5", "\xD5\r\n"}) {
    mixed.push_back(U(piece).bytes());
    chinese.push_back(mixed.back());
  }
  std::mt19937 random(13);
  for (int n = 0; n < 8000; ++n) {
    const std::vector<std::string>& pieces = n / 9 % 2 ? chinese : mixed;
    std::string text;
    for (int k = random() % 80; k > 0; --k) text += pieces[random() % pieces.size()];
    const int width = static_cast<int>(random() % 14) - 1;  // below 1 counts as 1
    const std::size_t piece_bytes = random() % 20;          // 0 still makes progress
    const int threads = 1 + n % 3;
    const auto cleaning = static_cast<WrapCleaning>(n / 3 % 3);
    const Text cleaned = cleaning == WrapCleaning::kNone
                             ? Text(text)
                             : CleanForWrap(Text(text), cleaning != WrapCleaning::kLineBreaks);
    std::string out = "kept";
    std::size_t last_done = 0;
    ASSERT_TRUE(WriteWrappedText(
        text, width, cleaning, threads,
        [&](std::string_view part) {
          out += part;
          return true;
        },
        [&](std::size_t done, std::size_t total) {
          ASSERT_EQ(total, text.size());
          ASSERT_GE(done, last_done);
          last_done = done;
        },
        piece_bytes));
    ASSERT_EQ(out, "kept" + WrapText(cleaned, width).bytes())
        << testing::PrintToString(text) << " at width " << width << ", pieces of " << piece_bytes
        << " on " << threads << " threads, cleaning " << static_cast<int>(cleaning);
  }
}

TEST(WrapText, OneAdjustmentPerLineMayLeaveAnOpeningMarkAtTheEnd) {
  EXPECT_EQ(WrapText(U("中文“好”"), 8), U("中文“\r\n好”"));
}

// Whatever the width, wrapping only inserts CR LF between whole characters.
TEST(WrapText, KeepsEveryByteAndEveryCharacterWhole) {
  const Text text = U("他說：“Hello, world”😀是（test）abc《书》，好‘x’。end 一二三 longword甲乙");
  for (int width = 1; width <= 12; ++width) {
    const std::string out = WrapText(text, width).bytes();
    ASSERT_FALSE(out.ends_with("\r\n")) << width;
    std::string joined;
    std::size_t start = 0;
    while (start <= out.size()) {
      std::size_t end = out.find("\r\n", start);
      if (end == std::string::npos) end = out.size();
      const std::string_view line(out.data() + start, end - start);
      joined += line;
      std::size_t k = 0, chars = 0;
      while (k < line.size()) {
        const auto b = static_cast<unsigned char>(line[k]);
        const bool four = b >= 0x81 && k + 1 < line.size() &&
                          static_cast<unsigned char>(line[k + 1]) >= 0x30 &&
                          static_cast<unsigned char>(line[k + 1]) <= 0x39;
        k += b < 0x7F ? 1 : (four ? 4 : 2);
        ++chars;
      }
      EXPECT_EQ(k, line.size()) << "width " << width << ": a character is cut: " << line;
      EXPECT_TRUE(line.size() <= static_cast<std::size_t>(width) || chars == 1)
          << "width " << width << ": " << ToUtf8(line);
      start = end + 2;
    }
    EXPECT_EQ(joined, text.bytes()) << width;
  }
}

TEST(OnWrapClicked, CleansWrapsShowsAndSaves) {
  struct Case {
    const char* input;
    bool ticked;
    const char* width;
    const char* cleaned;
    const char* wrapped;
    int lines;
  } cases[] = {
      {"你好，\r\n世界。\r\nab", false, "6", "你好，世界。ab", "你好，\r\n世界。\r\nab", 3},
      {"你好，\r\n世界。\r\nab", true, "6", "你好世界ab", "你好世\r\n界ab", 2},
      {"a,b、c\r\nd", true, "3", "abcd", "abc\r\nd", 2},
      {"ab\r\r\n\ncd", false, "3", "ab\r\ncd", "ab\r\ncd", 2},
      // Full-width digits, fractions and the largest width.
      {"一二三四五六", false, "１０", "一二三四五六", "一二三四五\r\n六", 2},
      {"abcd", false, "3.9", "abcd", "abc\r\nd", 2},
      {"abcd", false, "10000", "abcd", "abcd", 1},
  };
  for (const auto& c : cases) {
    TempDirectory dir;
    FakeUnits units(dir.text());
    units.SetEditText(Unit::被折行_编辑框, U(c.input));
    units.SetEditText(Unit::字数_编辑框, U(c.width));
    units.SetTicked(Unit::选择框2, c.ticked);

    OnWrapClicked(units);

    EXPECT_EQ(ToUtf8(units.EditText(Unit::被折行_编辑框)), c.cleaned) << c.input;
    EXPECT_EQ(ToUtf8(units.EditText(Unit::替换后_编辑框)), c.wrapped) << c.input;
    const auto files = dir.Files();
    ASSERT_EQ(files.size(), 1u) << c.input;
    EXPECT_EQ(files[0].first, kSavedFile);
    EXPECT_EQ(files[0].second, units.EditText(Unit::替换后_编辑框).bytes());
    const std::vector<ScriptedDialogs::Message> expected{
        {U("处理完毕，已保存在软件所在目录下\n已保存 " + std::to_string(c.lines) + " 行\n") +
             dir.text() + Text("/") + U(kSavedFile),
         message_flags::kOpenFolder, U("信息：")}};
    EXPECT_EQ(units.dialogs().messages, expected) << c.input;
  }
}

TEST(OnWrapClicked, SecondPressWorksOnTheCleanedText) {
  TempDirectory dir;
  FakeUnits units(dir.text());
  units.SetEditText(Unit::被折行_编辑框, U("甲，\r\n乙"));
  units.SetEditText(Unit::字数_编辑框, Text("2"));
  units.SetTicked(Unit::选择框2, false);
  OnWrapClicked(units);
  units.SetTicked(Unit::选择框2, true);
  OnWrapClicked(units);
  EXPECT_EQ(units.EditText(Unit::被折行_编辑框), U("甲乙"));
  EXPECT_EQ(units.EditText(Unit::替换后_编辑框), U("甲\r\n乙"));
  EXPECT_EQ(units.dialogs().messages.size(), 2u);
}

TEST(OnWrapClicked, WidthBelowOneOrBeyondTheLimitChangesNothing) {
  for (const char* width :
       {"", "0", "-3", "abc", "0.5", " ", "nan", "10001", "2147483648", "1e30"}) {
    TempDirectory dir;
    FakeUnits units(dir.text());
    units.SetEditText(Unit::被折行_编辑框, U("你好，\r\n世界"));
    units.SetEditText(Unit::替换后_编辑框, Text("old"));
    units.SetEditText(Unit::字数_编辑框, Text(width));
    units.SetTicked(Unit::选择框2, true);

    OnWrapClicked(units);

    EXPECT_EQ(units.EditText(Unit::被折行_编辑框), U("你好，\r\n世界")) << width;
    EXPECT_EQ(units.EditText(Unit::替换后_编辑框), Text("old")) << width;
    EXPECT_TRUE(dir.Files().empty()) << width;
    const std::vector<ScriptedDialogs::Message> expected{
        {U("请输入1到10000之间的每行字符数"), message_flags::kIconWarning, U("信息：")}};
    EXPECT_EQ(units.dialogs().messages, expected) << width;
  }
}

}  // namespace
}  // namespace lanzhou
