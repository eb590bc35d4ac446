#include "pages/find.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

std::string G(const char* utf8) { return FromUtf8(utf8).bytes(); }

// The page's rule spelled out: every line's items in order, "line:" before each when asked,
// the first of equal items only when asked, joined by CR LF.
std::string ReferenceItems(std::string_view text, const Finders& finders, FoundItemsForm form) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  std::vector<FoundItem> items;
  std::string_view rest = text, line;
  for (std::size_t number = 1; NextLine(rest, line); ++number) {
    finders.FindInLine(line, items);
    for (const FoundItem& item : items) {
      if (form.distinct && !seen.insert(item.item).second) continue;
      out.push_back((form.with_line ? std::to_string(number) + ":" : "") + item.item);
    }
  }
  std::string joined;
  for (std::size_t k = 0; k < out.size(); ++k) joined += (k ? "\r\n" : "") + out[k];
  return joined;
}

TEST(FindItems, JoinsItemsOfAllLines) {
  const Finders finders(FinderChoice{.phone = true, .email = true});
  struct Case {
    std::string text;
    FoundItemsForm form;
    std::string want;
  } cases[] = {
      {"a 13800138000\r\nb zs@qq.com", {}, "13800138000\r\nzs@qq.com"},
      {"a 13800138000\r\n\r\nb zs@qq.com 13800138000\n",
       {.with_line = true},
       "1:13800138000\r\n3:zs@qq.com\r\n3:13800138000"},
      {"13800138000\r\n13800138000 zs@qq.com",
       {.distinct = true, .with_line = true},
       "1:13800138000\r\n2:zs@qq.com"},
      {G("没有号码\r\n"), {}, ""},
      {"", {}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindItems(Text(c.text), finders, c.form), Text(c.want)) << c.text;
  }
}

TEST(FindItems, PiecesOnThreadsGiveWhatTheLinesGive) {
  // Several megabytes, so the text is cut into pieces worked on two threads: line numbers
  // and the first-of-each rule must run on across the pieces. The second text is mostly one
  // line, which is cut inside where no item can reach across.
  std::mt19937 random(24);
  std::string lines;
  while (lines.size() < (5 << 20)) {
    lines += G("客户") + std::to_string(random() % 50) + " 1380013" +
             std::to_string(8000 + random() % 300) + (random() % 3 ? "\r\n" : "\n");
  }
  const std::vector<std::string> items = {"1380013" + std::to_string(8000 + random() % 300),
                                          "zs@qq.com",
                                          "http://a.cn/(x)",
                                          "11010519491231002X",
                                          "12345678",
                                          G("东"),
                                          "a",
                                          "(",
                                          ")"};
  const std::vector<std::string> between = {" ", "|", "<", "\t", G("，"), "", "-", "."};
  std::string line = "x\n";
  while (line.size() < (9 << 20)) {
    line += items[random() % items.size()] + between[random() % between.size()];
  }
  line += "\n13800138000";
  const Finders finders(
      FinderChoice{.phone = true, .email = true, .qq = true, .id = true, .url = true});
  for (const std::string& text : {lines, line}) {
    for (FoundItemsForm form :
         {FoundItemsForm{}, FoundItemsForm{.distinct = true, .with_line = true}}) {
      std::string got;
      std::size_t last_done = 0;
      WriteFoundItems(
          text, finders, form, 2,
          [&](std::string_view part) {
            got += part;
            return true;
          },
          [&](std::size_t done, std::size_t total) {
            EXPECT_GE(done, last_done);
            EXPECT_EQ(total, text.size());
            last_done = done;
          });
      // Where they part, not the whole of megabytes, when they differ.
      const std::string want = ReferenceItems(text, finders, form);
      const auto [g, w] = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
      EXPECT_EQ(std::string(g, got.end()).substr(0, 80), std::string(w, want.end()).substr(0, 80))
          << form.distinct << " at " << (g - got.begin());
      EXPECT_EQ(last_done, text.size());
    }
  }
}

TEST(FilterLines, KeepsOrDropsAcrossPieces) {
  std::string lines;
  for (int k = 0; lines.size() < (3 << 20); ++k) lines += "line " + std::to_string(k) + "\n";
  // Lines longer than a piece, kept and dropped, first and last.
  const std::string long_lines = "line 7" + std::string(5 << 20, 'y') + "\r\n" +
                                 std::string(5 << 20, 'z') + "\nline 7\n" +
                                 std::string(5 << 20, 'w') + "line 123456";
  const KeywordFilter filter("line 7\nline 123456\n", {});
  for (const std::string& text : {lines, long_lines}) {
    for (bool keep : {true, false}) {
      std::string got;
      WriteFilteredLines(text, filter, keep, 2, [&](std::string_view part) {
        got += part;
        return true;
      });
      std::string want;
      std::string_view rest = text, line;
      bool first = true;
      while (NextLine(rest, line)) {
        if (filter.LineMatches(line) != keep) continue;
        if (!first) want += "\r\n";
        first = false;
        want += line;
      }
      EXPECT_EQ(got.size(), want.size()) << keep;
      EXPECT_TRUE(got == want) << keep;
    }
  }
  EXPECT_EQ(FilterLines(Text(G("北京人\r\n上海人")), KeywordFilter(G("北京"), {}), true),
            FromUtf8("北京人"));
}

}  // namespace
}  // namespace lanzhou
