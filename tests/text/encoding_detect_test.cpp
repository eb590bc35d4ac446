#include "text/encoding_detect.h"

#include <gtest/gtest.h>

#include <sstream>
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

// Snippets of Tang and Song poems cut by bench/detection_corpus.py, most of them GBK bytes
// that are valid UTF-8 too. Their verdicts, a few of them wrong, are pinned: a change to the
// cost tables that moves any shows here, not only in the benchmark's accuracy table.
TEST(GuessEncoding, PinnedVerdictsOfPoemSnippets) {
  const struct {
    const char* snippets;  // as written here, in UTF-8, separated by spaces
    bool gbk_as_utf8;      // what their GBK bytes read as
  } groups[] = {
      {"夜 女 泉 系 猿 缘 圣 学 小 朔 莫 食 滩 沾 知 一 时 咏 "
       "毛 暮 元 应 耶 转 微 写 笑 为 山 头 睡 楼 遣 童 水 同 "
       "诗 思 战 稀 怨 牵 千 檄 胜 态 使 维 石 扫 飘 前 十 抹 "
       "然 虏 去 陆 鸳 识 却 取 师 英 郑 溪 苹 卢 压 住 漂 台 "
       "目 陌 影 谢 雪 佶 钱 贫 韦 每 芙 夕 涂 未 庭 缀 要 鸦 "
       "平 墙 野 寞 叶 始 眉 省 魏 揖 营 投 之 谁 盛 远 茫 频 "
       "俸 散 色 沙 约 涌 拥 预 妆 司 斋 喜 谓 尧 谋 拢 太 寻 "
       "鹿 露 牛 遥 探 犬 没 爪 群 蕲 母 准 直 图 冥 通 凭 枝 "
       "燃 源 矛 暖 园 尸 弄 蕃 职 梅 士 木 只 院 追 瑟 浅 祝 "
       "尾 全 裙 壮 盏 双 斯 偶 叹 丧 峡 指 莫笑 夜专 始为 台夜 "
       "平平 目: 庐山 一失 怨遥 :欧 媒去 尉墓 压枝 山谣 小园 杀戮 "
       "暮雪 去住 实要 兀压 远路 貌寻 韦应 十围 苔色 师一 桐叶 山石 "
       "茫然 叶稀 太平 只系 寻陆 墙头 为越 缘住 战取 :陆 暮去 冥冥 "
       "为千 楼台 山泉 头夜 使之 十时 太学 山色 僧惟 为取 为庐 瓶乍 "
       "穹。 牛远 笑农 夜思 同时 霜雪 谁知 偶然值 山前路 未展眉 平沙莽 "
       "掖垣暮 之坠露 瑟怨遥 道汉家天子使，九 菊 ，西风吹泪古藤州 清江 "
       "９６１－１０２３ 于郾城观公孙氏， 中王少府 炉华烛烛增辉，初 西窗 "
       "呼 ，长大一 山河在，城春草木 爱者谁， 目:《惠 丘酌 草木有本 吠，欲去问西家。 "
       "歌送武判官归京》 春喜见梅 月通禅寂，鱼龙听 游 橦布 终不改，西山寇盗 "
       "滁州 着雨蜗成字，老屋 今年 岂文章著，官应老 铁 ２ 粉黛 题目:《寓居吴兴 "
       "水清浅， 暇， 宿左省》 吟苦 成海水， 既 官无 十六君远行，瞿塘 "
       "归来视幼 任西东。 黾勉 沽酒饮我曹，心轻 白日，清 及 望夫 花浦，谁 "
       "更流，举杯消愁愁 家书到隔 五花马，千金裘， 水水更流 客思深。 ，无力蔷薇卧晓枝 "
       "见，今见功名胜古 飒飒 《旅宿》 冻马 ，御 ，香 垂钓坐溪上，忽复",
       false},
      {"莽 畏 渭 路 斜 戮 茅 庐 肖 窕丹 芦芽 暮暮 谓偷", true},
  };
  for (const auto& group : groups) {
    std::istringstream snippets(group.snippets);
    std::string snippet;
    int count = 0;
    for (; snippets >> snippet; ++count) {
      EXPECT_TRUE(GuessEncoding(snippet).utf8) << snippet;
      EXPECT_EQ(GuessEncoding(FromUtf8(snippet).bytes()).utf8, group.gbk_as_utf8) << snippet;
    }
    EXPECT_EQ(count, group.gbk_as_utf8 ? 13 : 300);
  }
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
