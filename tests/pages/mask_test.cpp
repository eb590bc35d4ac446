#include "pages/mask.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "text/encoding.h"
#include "text/personal_numbers.h"

namespace lanzhou {
namespace {

std::string Masked(const char* utf8, const MaskChoice& choice, MaskCounts* counts = nullptr) {
  return ToUtf8(MaskText(FromUtf8(utf8).view(), choice, counts));
}

const MaskChoice kPhone{.phone = true};
const MaskChoice kId{.id = true};
const MaskChoice kEmail{.email = true};
const MaskChoice kBank{.bank = true};
const MaskChoice kAll{.phone = true, .id = true, .email = true, .bank = true};

TEST(MaskText, EachKindKeepsItsHeadAndTail) {
  const struct {
    const MaskChoice* choice;
    const char* line;
    const char* want;
  } cases[] = {
      {&kPhone, "电话13800138000。", "电话138****8000。"},
      {&kPhone, "＋８６ １３８-００１３-８０００", "＋８６ １３８-＊＊＊＊-８０００"},
      {&kPhone, "+86 138 0013 8000,16612345678", "+86 138 **** 8000,166****5678"},
      {&kPhone, "订单号2013800138000123", "订单号2013800138000123"},
      {&kPhone, "12800138000", "12800138000"},
      {&kId, "身份证11010519491231002X。", "身份证110105********002X。"},
      // Valid or not, an ID number is masked; the old form too.
      {&kId, "110105194912310021 110105199013450021", "110105********0021 110105********0021"},
      {&kId, "旧号110105491231002", "旧号110105*****1002"},
      {&kId, "１１０１０５１９４９１２３１００２ｘ", "１１０１０５＊＊＊＊＊＊＊＊００２ｘ"},
      {&kId, "110105194912310", "110105*****2310"},
      {&kId, "1101051949123100211", "1101051949123100211"},
      {&kEmail, "发到zhang@qq.com。", "发到z****@qq.com。"},
      {&kEmail, "ａｂ＠例子.中国", "ａ＊＠例子.中国"},
      {&kBank, "卡号6222021234567890128", "卡号622202*********0128"},
      {&kBank, "6222 0212 3456 7894", "6222 02** **** 7894"},
      {&kBank, "62220212345678901280 6222021234567890127",
       "62220212345678901280 6222021234567890127"},
      // Items that overlap are masked once, the longer one.
      {&kAll, "13800138000@qq.com", "1**********@qq.com"},
      {&kPhone, "13800138000@qq.com", "138****8000@qq.com"},
      {&kAll, "张三 13800138000 zs@163.com 11010519491231002X 6222021234567890128",
       "张三 138****8000 z*@163.com 110105********002X 622202*********0128"},
  };
  for (const auto& c : cases) EXPECT_EQ(Masked(c.line, *c.choice), c.want) << c.line;
}

TEST(MaskText, NamesOfAField) {
  const MaskChoice name{.name_field = 2, .name_delimiter = Text(",")};
  EXPECT_EQ(Masked("1,张三,北京\r\n2,张三丰,上海\r\n3,欧阳修\r\n4,欧阳娜娜\r\n5,李\r\n6", name),
            "1,张*,北京\r\n2,张*丰,上海\r\n3,欧阳*\r\n4,欧阳**\r\n5,李\r\n6");
  EXPECT_EQ(Masked("1, 王小明 ,x\n", name), "1, 王*明 ,x\n");
  EXPECT_EQ(Masked("诸葛亮", {.name_field = 1}), "诸葛*");
}

TEST(MaskText, KeepsEveryOtherByteAndCountsByKind) {
  // Line ends of every kind, a lone lead byte, a last line without an end.
  const std::string in = FromUtf8("a 13800138000\r\nb\n\r\n").bytes() + "\x81" +
                         FromUtf8(" zs@qq.com\n11010519491231002X 13900139000").bytes();
  MaskCounts counts;
  const Text out = MaskText(in, kAll, &counts);
  EXPECT_EQ(out.bytes(), FromUtf8("a 138****8000\r\nb\n\r\n").bytes() + "\x81" +
                             FromUtf8(" z*@qq.com\n110105********002X 139****9000").bytes());
  EXPECT_EQ(counts.phone, 2u);
  EXPECT_EQ(counts.id, 1u);
  EXPECT_EQ(counts.email, 1u);
  EXPECT_EQ(counts.bank, 0u);
  EXPECT_EQ(ToUtf8(MaskCountsText(kAll, counts)),
            "手机号 2 个，身份证号 1 个，邮箱 1 个，银行卡号 0 个");
  EXPECT_EQ(ToUtf8(MaskCountsText(kPhone, counts)), "手机号 2 个");
}

TEST(MaskText, AnotherMaskCharacter) {
  EXPECT_EQ(Masked("13800138000 １３８００１３８０００", {.phone = true, .mask = Text("#")}),
            "138####8000 １３８＃＃＃＃８０００");
  EXPECT_EQ(Masked("13800138000", {.phone = true, .mask = FromUtf8("●")}), "138●●●●8000");
}

// Whatever surrounds them, the digits of a masked item that stay are its head and its tail,
// nothing more: no run of its digits longer than those survives.
TEST(MaskText, NoRunOfAnItemsDigitsSurvives) {
  std::mt19937 random(37);
  auto digits = [&](int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += static_cast<char>('0' + random() % 10);
    return s;
  };
  const char* around[] = {"", " ", "电话：", "，", "\t", "号码 "};
  for (int round = 0; round < 2000; ++round) {
    std::string number;
    std::size_t head = 6, tail = 4;
    switch (round % 3) {
      case 0:
        number = "1" + std::string(1, static_cast<char>('3' + random() % 7)) + digits(9);
        head = 3;
        break;
      case 1:
        number = digits(17);
        number += ResidentIdCheck(number);
        break;
      default:
        do number = "6" + digits(static_cast<int>(15 + random() % 4));
        while (!IsBankCardNumber(number));
        break;
    }
    const std::string line = std::string(around[random() % 6]) + number + around[random() % 6];
    const std::string out = Masked(line.c_str(), kAll);
    std::string kept;
    for (char c : out) {
      if ((c >= '0' && c <= '9') || c == 'X') kept += c;
    }
    ASSERT_EQ(kept, number.substr(0, head) + number.substr(number.size() - tail)) << line;
  }
}

TEST(OnMaskClicked, ShowsSavesAndCountsTheMaskedText) {
  TempDirectory dir;
  FakeUnits units(dir.text());
  units.SetEditText(Unit::清洗_编辑框, FromUtf8("张三 13800138000\r\n11010519491231002X"));
  OnMaskClicked(units);
  const Text masked = FromUtf8("张三 138****8000\r\n110105********002X");
  EXPECT_EQ(units.EditText(Unit::清洗后_编辑框), masked);
  EXPECT_EQ(dir.Files(), (std::vector<std::pair<std::string, std::string>>{
                             {"脱敏后_2015年3月4日12时30分45秒.txt", masked.bytes()}}));
  const std::vector<ScriptedDialogs::Message> expected{
      {FromUtf8(
           "脱敏完毕，已保存在软件所在目录下\n手机号 1 个，身份证号 1 个，邮箱 0 个，银行卡号 0 "
           "个\n") +
           dir.text() + FromUtf8("/脱敏后_2015年3月4日12时30分45秒.txt"),
       message_flags::kOpenFolder, FromUtf8("信息：")}};
  EXPECT_EQ(units.dialogs().messages, expected);
}

}  // namespace
}  // namespace lanzhou
