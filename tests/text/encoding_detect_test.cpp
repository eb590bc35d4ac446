#include "text/encoding_detect.h"

#include <gtest/gtest.h>

#include <string>

#include "text/encoding.h"

namespace lanzhou {
namespace {

// Short texts whose bytes are valid UTF-8 either way: saved as GBK they must stay GBK, saved
// as UTF-8 they must read as UTF-8.
TEST(GuessEncoding, ShortWordsReadAsWhatTheyWereSavedAs) {
  struct Case {
    const char* text;  // as written here, in UTF-8
    bool gbk_too;      // also checked saved as GBK (its GBK bytes are valid UTF-8)
  } cases[] = {
      {"谢谢", true},  // лл
      {"叶", true},    // Ҷ
      {"郑", true},    // ֣
      {"小", true},    // С
      {"系统", true},  // ϵͳ
      {"学校", true},
      {"鲁迅", true},
      {"目录", true},  // Ŀ¼
      {"Debian 系统", true},
      {"中", false},
      {"中文", false},
      {"Größe", false},
      {"résumé", false},
      {"на", false},  // as GBK: 薪邪
      {"он", false},
      {"Москва", false},
      {"Příliš žluťoučký kůň", false},
      {"España", false},
      {"è", false},
      {"Ελλάδα", false},
      {"Тeпeрь", false},  // Latin e among Cyrillic letters
      // Ties: read as UTF-8 (ú κ ö ż ±) these GBK bytes cost exactly the prior less than read
      // as GBK, so only the strict comparison keeps them GBK; a UTF-8 reading must be cheaper
      // by more than the prior. Saved as UTF-8, they are clearly UTF-8.
      {"煤", true},
      {"魏", true},
      {"枚", true},
      {"偶", true},
      {"卤", true},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(GuessEncoding(c.text).utf8) << c.text;
    if (c.gbk_too) {
      const std::string gbk = FromUtf8(c.text).bytes();
      ASSERT_TRUE(IsValidUtf8(gbk)) << c.text;
      EXPECT_FALSE(GuessEncoding(gbk).utf8) << c.text;
    }
  }
  EXPECT_FALSE(GuessEncoding("").utf8);
  EXPECT_FALSE(GuessEncoding("plain ASCII").utf8);
  EXPECT_FALSE(GuessEncoding("\xD6\xD0").utf8);  // GBK 中, not UTF-8
}

// A long text is decided by its start; the guess says how far it read, so that the rest can
// still be checked.
TEST(GuessEncoding, StopsReadingOnceDecided) {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "中文";
  const EncodingGuess guess = GuessEncoding(text + "\xFF");
  EXPECT_TRUE(guess.utf8);
  EXPECT_LT(guess.checked, 1000u);
  EXPECT_TRUE(IsValidUtf8(std::string_view(text).substr(0, guess.checked)));
}

// Big5 read as GBK shows as kana and user-defined codes; Chinese GBK text, simplified or
// traditional, as hanzi and punctuation.
TEST(UnlikelyGbkCharacters, Big5ReadAsGbkStandsOut) {
  struct Case {
    std::string gbk;
    UnlikelyShare share;
  } cases[] = {
      {FromUtf8("用户一|北京市，朝阳区").bytes(), {10, 0}},
      {FromUtf8("這是一個用繁體中文寫的句子").bytes(), {13, 0}},
      // 這是一個用繁體中文寫的句子 in Big5
      {"\xB3\x6F\xAC\x4F\xA4\x40\xAD\xD3\xA5\xCE\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5\xBC\x67"
       "\xAA\xBA\xA5\x79\xA4\x6C",
       {13, 8}},
      {"ab\xFF\x81\xD6", {2, 2}},                                 // no GBK character at all
      {"\xA4\xA4" + std::string(110, 'a') + "\xA4\xA4", {1, 1}},  // only the sample is read
  };
  for (const Case& c : cases) {
    const UnlikelyShare share = UnlikelyGbkCharacters(c.gbk, 104);
    EXPECT_EQ(share.characters, c.share.characters) << c.gbk;
    EXPECT_EQ(share.unlikely, c.share.unlikely) << c.gbk;
  }
}

}  // namespace
}  // namespace lanzhou
