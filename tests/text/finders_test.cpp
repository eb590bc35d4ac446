#include "text/finders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/encoding.h"

namespace lanzhou {
namespace {

// What a finder set gives for a line, as "kind:item" joined by blanks, items in UTF-8.
std::string Found(const Finders& finders, std::string_view gbk_line) {
  static constexpr const char* kNames[] = {"phone", "email",  "qq",         "id",
                                           "url",   "custom", "invalid_id", "bank"};
  std::vector<FoundItem> items;
  finders.FindInLine(gbk_line, items);
  std::string out;
  for (const FoundItem& item : items) {
    if (!out.empty()) out += ' ';
    out += kNames[static_cast<int>(item.kind)] + std::string(":") + ToUtf8(item.item);
    // Every item starts and ends where the line's own bytes say.
    EXPECT_LE(item.begin, item.end);
    EXPECT_LE(item.end, gbk_line.size());
  }
  return out;
}

std::string Found(const FinderChoice& choice, const char* utf8_line) {
  return Found(Finders(choice), FromUtf8(utf8_line).view());
}

const FinderChoice kPhone{.phone = true};
const FinderChoice kEmail{.email = true};
const FinderChoice kQq{.qq = true};
const FinderChoice kQqAndPhone{.phone = true, .qq = true};
const FinderChoice kId{.id = true};
const FinderChoice kOldId{.id = true, .old_id = true};
const FinderChoice kUpgradedId{.id = true, .old_id = true, .upgrade_old_id = true};
const FinderChoice kInvalidId{.invalid_id = true};
const FinderChoice kBank{.bank = true};
const FinderChoice kUrl{.url = true};
const FinderChoice kAll{.phone = true, .email = true, .qq = true, .id = true, .url = true};

struct Case {
  const FinderChoice* choice;
  const char* line;  // UTF-8, converted to GBK
  const char* want;
};

TEST(Finders, HitsAndNearMisses) {
  const Case cases[] = {
      // Mobile numbers in every grouping, and what only looks like one.
      {&kPhone, "电话13800138000。", "phone:13800138000"},
      {&kPhone, "电话：１３８００１３８０００", "phone:13800138000"},
      {&kPhone, "＋８６ １３８-００１３-８０００", "phone:13800138000"},
      {&kPhone, "+86 138 0013 8000, 86-139-1234-5678", "phone:13800138000 phone:13912345678"},
      {&kPhone, "8613800138000和+8615912345678", "phone:13800138000 phone:15912345678"},
      {&kPhone, "138　0013　8000", "phone:13800138000"},  // ideographic spaces
      {&kPhone, "订单号2013800138000123", ""},
      {&kPhone, "订单20231380013800", ""},
      {&kPhone, "A13800138000 13800138000b", ""},
      {&kPhone, "12800138000 10012345678", ""},     // 1[3-9] only
      {&kPhone, "138-0013 8000 1380013-8000", ""},  // mixed or partial grouping
      {&kPhone, "1380013800", ""},                  // ten digits
      // QQ numbers: alone, after "QQ", in a qq.com address; not phones, decimals or parts.
      {&kQq, "QQ:123456 qq7654321 扣扣号10001", "qq:123456 qq:7654321 qq:10001"},
      {&kQq, "12345@qq.com 23456@163.com a34567@qq.com", "qq:12345"},
      {&kQq, "价格12345.67元 0123456 1234 123456789012", ""},
      {&kQq, "abc123456 123456xyz", ""},
      {&kQq, "13800138000", "qq:13800138000"},
      {&kQqAndPhone, "13800138000 QQ 88886666", "phone:13800138000 qq:88886666"},
      {&kQqAndPhone, "+86 138 0013 8000", "phone:13800138000"},
      // ID numbers: check character and birth date.
      {&kId, "身份证11010519491231002X。", "id:11010519491231002X"},
      {&kId, "44030419900307123x", "id:44030419900307123X"},
      {&kId, "１１０１０５１９４９１２３１００２Ｘ", "id:11010519491231002X"},
      {&kId, "110105194912310021", ""},                       // wrong check character
      {&kId, "110105199902301237", ""},                       // 1999-02-30, check character right
      {&kId, "320106200002294562", "id:320106200002294562"},  // 2000-02-29
      {&kId, "911010519491231002X 11010519491231002X1", ""},
      {&kId, "110105491231002", ""},
      {&kOldId, "旧号110105491231002，新号11010519491231002X",
       "id:110105491231002 id:11010519491231002X"},
      {&kOldId, "110105491331002", ""},  // month 13
      {&kUpgradedId, "旧号110105491231002", "id:11010519491231002X"},
      {&kId, "990105194912310023", ""},  // no province 99
      // Look-alikes that fail, with the reason; valid numbers are left to --id.
      {&kInvalidId, "110105194912310021，11010519491231002X",
       "invalid_id:110105194912310021 校验码错误"},
      {&kInvalidId, "110105199013450021", "invalid_id:110105199013450021 出生日期无效"},
      {&kInvalidId, "110105209901010020", "invalid_id:110105209901010020 出生日期无效"},
      {&kInvalidId, "990105194912310023", "invalid_id:990105194912310023 地区码无效"},
      {&kInvalidId, "订单20231380013800123 1101051949123100", ""},
      // Bank cards: Luhn over 16-19 digits, in one run or groups of 4.
      {&kBank, "卡号6222021234567890128，6222 0212 3456 7890 128",
       "bank:6222021234567890128 bank:6222021234567890128"},
      {&kBank, "6222-0212-3456-7894", "bank:6222021234567894"},
      {&kBank, "６２２２０２１２３４５６７８９０１２８", "bank:6222021234567890128"},
      {&kBank, "6222021234567890127", ""},        // Luhn fails
      {&kBank, "12345678901234567894", ""},       // 20 digits: an order number
      {&kBank, "6222 0212-3456 7890 128", ""},    // mixed separators
      {&kBank, "6222 0212 3456 78903", ""},  // a last group of 5
      {&kBank, "A6222021234567890128 6222021234567890128B", ""},
      // E-mail addresses, Chinese domains too, ended where the sentence goes on.
      {&kEmail, "发到zhang.san@example.com。", "email:zhang.san@example.com"},
      {&kEmail, "邮箱abc@sina.com请查收", "email:abc@sina.com"},
      {&kEmail, "a_b+c@mail.example.cn.", "email:a_b+c@mail.example.cn"},
      {&kEmail, "联系：yonghu@例子.中国，谢谢", "email:yonghu@例子.中国"},
      {&kEmail, "x@例子.中国人民", "email:x@例子.中国"},
      {&kEmail, "ａｂｃ＠ｅｘａｍｐｌｅ．ｃｏｍ", "email:abc@example.com"},
      {&kEmail, "a@b c@d.e f@g.123 h@-x.com @x.com", ""},
      {&kEmail, "a@b@c.com", "email:b@c.com"},
      // Links.
      {&kUrl, "见https://example.com/a?b=1&c=2。", "url:https://example.com/a?b=1&c=2"},
      {&kUrl, "(see http://example.com/x_(y)) and HTTP://A.B.",
       "url:http://example.com/x_(y) url:HTTP://A.B"},
      {&kUrl, "ｈｔｔｐ：／／ｅｘａｍｐｌｅ．ｃｏｍ／好", "url:http://example.com/"},
      {&kUrl, "http:// xhttp://a.com ftp://a.com", ""},
      // Several finders on one line, in order of where each item starts.
      {&kAll, "张三，13800138000，zs@qq.com，11010519491231002X，https://a.cn/",
       "phone:13800138000 email:zs@qq.com id:11010519491231002X url:https://a.cn/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Found(*c.choice, c.line), c.want) << c.line;
  }
}

TEST(Finders, NeverMatchAcrossACharacter) {
  // 東 is 96 7C: its second byte is "|". A lead byte before "@" takes it as its second byte.
  const std::string east =
      "\x96\x7C"
      "13800138000";
  EXPECT_EQ(Found(Finders(kPhone), east), "phone:13800138000");
  EXPECT_EQ(Found(Finders(kEmail), "abc\x96@example.com"), "");
  EXPECT_EQ(Found(Finders(kEmail),
                  "\x96"
                  "abc@example.com"),
            "email:bc@example.com");
  // A GB18030 four-byte character has digits as its second and fourth bytes.
  EXPECT_EQ(Found(Finders(kQq),
                  "\x81\x30\x81\x30"
                  "12345"),
            "qq:12345");
  EXPECT_EQ(Found(Finders(kQq),
                  "\x81"
                  "12345"),
            "");  // 81 takes the 1: four digits are left
  FinderChoice bar{.custom = Text("\\|")};
  EXPECT_EQ(Found(Finders(bar), "\x96\x7C|"), "custom:|");
  // A pattern sees each character of the line as one, bytes that are none included, and its
  // matches map back to exactly that character's bytes.
  const struct {
    std::string pattern;
    std::string line;
    std::string want;  // "begin-end" of each item
  } patterns[] = {
      {".",
       "x\xA1"
       "9 12",
       "0-1 1-3 3-4 4-5 5-6"},  // a lead byte takes a digit
      {"\\d+",
       "ab\xA1"
       "9999\xA1 38000",
       "4-7 9-14"},                                                  // and a blank
      {".", "\x95\x30\x95\x30\x94\x39\xAF\x38", "0-4 4-8"},          // 🛠🌀
      {"\x95\x30\x94\x39", "\x95\x30\x95\x30\x94\x39\xAF\x38", ""},  // 🛟 is in neither
      {".", "\x81\x30\x81", "0-2 2-3"},  // half a four-byte sequence, a lone lead byte
      {".",
       "\xFE\x39\xFE\x39"
       "a",
       "0-4 4-5"},  // four bytes that name no character
      {".",
       "\x81\x7F"
       "b\x80",
       "0-2 2-3 3-4"},  // no two-byte character
      {"(\\d)?",
       "\xA1\xA1"
       "1",
       "2-3"},  // empty matches step a character on
  };
  std::vector<FoundItem> items;
  for (const auto& c : patterns) {
    Finders(FinderChoice{.custom = Text(c.pattern)}).FindInLine(c.line, items);
    std::string spans;
    for (const FoundItem& item : items) {
      spans +=
          (spans.empty() ? "" : " ") + std::to_string(item.begin) + "-" + std::to_string(item.end);
      EXPECT_EQ(item.item, c.line.substr(item.begin, item.end - item.begin));
    }
    EXPECT_EQ(spans, c.want) << testing::PrintToString(c.line) << " " << c.pattern;
  }
}

TEST(Finders, CustomPatterns) {
  struct CustomCase {
    const char* pattern;
    const char* line;
    const char* want;
  } cases[] = {
      {"订单号(\\d+)", "订单号123，订单号456", "custom:123 custom:456"},
      {"[张李]三", "张三和李三", "custom:张三 custom:李三"},
      {"x*", "axxb", "custom:xx"},    // empty matches step on
      {"\\d+", "１２3", "custom:3"},  // the pattern sees full-width digits as they are
  };
  for (const auto& c : cases) {
    FinderChoice choice{.custom = FromUtf8(c.pattern)};
    EXPECT_EQ(Found(choice, c.line), c.want) << c.pattern;
  }
  std::string error;
  Finders bad(FinderChoice{.custom = Text("(a")}, &error);
  EXPECT_FALSE(bad.Any());
  EXPECT_NE(error, "");
  // \C matches one byte, inside a character too: refused, unless quoted.
  const struct {
    const char* pattern;
    bool refused;
  } single_bytes[] = {{"\\C", true},     {"a(\\C+)", true},    {"\\Qx\\E\\C", true},
                      {"\\\\C", false},  {"\\Q\\C\\E", false}, {"\\Q\\\\E\\C", true},
                      {"\\Q\\C", false}, {"C\\d", false}};
  for (const auto& c : single_bytes) {
    EXPECT_EQ(PatternMatchesSingleBytes(Text(c.pattern)), c.refused) << c.pattern;
    error.clear();
    const Finders finders(FinderChoice{.custom = Text(c.pattern)}, &error);
    EXPECT_EQ(error, c.refused ? "\\C matches a single byte, which may lie inside a character" : "")
        << c.pattern;
  }
}

TEST(CustomRuleProblem, SaysInChineseWhatIsWrongAndWhere) {
  const struct {
    const char* pattern;
    const char* problem;
  } cases[] = {
      {"订单(\\d+)", ""},
      {"(abc", "缺少右括号“)”，出错处：(abc"},
      {"ab)c", "多了右括号“)”，出错处：ab)c"},
      {"[张李", "缺少右方括号“]”，出错处：[张李"},
      {"*订单", "重复符号（*、+、?）前面缺少内容，出错处：*"},
      {"a**", "重复符号用法有误，出错处：**"},
      {"a{2,1}", "重复次数{}无效或太大，出错处：{2,1}"},
      {"订单\\", "末尾多了反斜杠“\\”"},
      {"[z-a]", "无效的字符范围，出错处：z-a"},
      {"\\q", "无效的转义“\\”写法，出错处：\\q"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CustomRuleProblem(FromUtf8(c.pattern)), FromUtf8(c.problem)) << c.pattern;
  }
}

TEST(Finders, HostileLinesTakeLinearTime) {
  // Each line takes a quadratic rule (or a backtracking engine) hours, and one pass seconds at
  // most; the test's time limit is what fails.
  std::string phones;
  for (int k = 0; k < 1000000; ++k) phones += "13800138000 ";
  const struct {
    FinderChoice choice;
    std::string line;
    std::size_t want;
  } cases[] = {
      {{.custom = Text("(a*)*b")}, std::string(200000, 'a'), 0},
      {{.custom = Text("(a*)*b")}, std::string(200000, 'a') + "b", 1},
      // Every phone is also a QQ-shaped number, which must not be one of the phones.
      {{.phone = true, .qq = true}, phones, 1000000},
      // A link followed by closing brackets that no bracket of its own opened.
      {{.url = true}, "http://a" + std::string(2000000, ')'), 1},
  };
  std::vector<FoundItem> items;
  for (const auto& c : cases) {
    Finders(c.choice).FindInLine(c.line, items);
    EXPECT_EQ(items.size(), c.want) << c.line.substr(0, 20);
  }
}

TEST(ResidentId, CheckCharacterAndDate) {
  EXPECT_TRUE(IsValidResidentId("11010519491231002X"));
  EXPECT_TRUE(IsValidResidentId("11010519491231002x"));
  EXPECT_FALSE(IsValidResidentId("110105194912310029"));
  EXPECT_FALSE(IsValidResidentId("11010519491231002"));
  EXPECT_FALSE(IsValidResidentId("110105190002290019"));  // 1900 was no leap year
}

}  // namespace
}  // namespace lanzhou
