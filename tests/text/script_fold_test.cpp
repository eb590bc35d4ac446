#include "text/script_fold.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/temp_directory.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

std::string G(const char* utf8) { return FromUtf8(utf8).bytes(); }

// What the opencc command makes of `utf8` with `config`, in GB18030.
std::string OpenccCommand(const std::string& utf8, const std::string& config) {
  TempDirectory dir;
  const auto in = dir.path() / "in.txt", out = dir.path() / "out.txt";
  std::ofstream(in, std::ios::binary) << utf8;
  const std::string command =
      "opencc -c " + config + ".json -i '" + in.string() + "' -o '" + out.string() + "'";
  if (std::system(command.c_str()) != 0) return "opencc failed";
  std::ifstream file(out, std::ios::binary);
  return FromUtf8(std::string(std::istreambuf_iterator<char>(file), {})).bytes();
}

// Pairs of Simplified and Traditional texts, one-to-many characters among them (发 is 發 in
// 发展 and 髮 in 头发; 干 is 乾, 幹 or 干), each converted both ways as the opencc command
// converts the same text, and as written here.
TEST(ScriptFold, ConvertsAsTheOpenccCommand) {
  struct Pair {
    const char* simplified;
    const char* traditional;
  } pairs[] = {
      {"电话号码", "電話號碼"},
      {"发展", "發展"},
      {"头发", "頭髮"},
      {"干净的树干", "乾淨的樹幹"},
      {"张三 13800138000", "張三 13800138000"},
      {"后来的皇后", "後來的皇后"},
      {"面条和面子", "麪條和麪子"},
  };
  std::string s_all, t_all;
  for (const Pair& p : pairs) {
    s_all += std::string(p.simplified) + "\r\n";
    t_all += std::string(p.traditional) + "\n";
  }
  std::string error;
  ScriptFold s2t, t2s;
  ASSERT_TRUE(s2t.Open("s2t", error)) << error;
  ASSERT_TRUE(t2s.Open("t2s.json", error)) << error;
  EXPECT_EQ(s2t.Convert(G(s_all.c_str())), OpenccCommand(s_all, "s2t"));
  EXPECT_EQ(t2s.Convert(G(t_all.c_str())), OpenccCommand(t_all, "t2s"));
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.simplified);
    EXPECT_EQ(s2t.Convert(G(p.simplified)), G(p.traditional));
    EXPECT_EQ(t2s.Convert(G(p.traditional)), G(p.simplified));
  }
}

// Nothing is lost on the way through UTF-8: characters outside GBK and a U+FFFD survive, and
// a line that is not GB18030 (a stray lead byte) is kept as it is while the others convert.
TEST(ScriptFold, LosesNoBytes) {
  std::string error;
  ScriptFold t2s;
  ASSERT_TRUE(t2s.Open("t2s", error)) << error;
  const std::string emoji = G("電😀\xEF\xBF\xBD話");
  EXPECT_EQ(t2s.Convert(emoji), G("电😀\xEF\xBF\xBD话"));
  const std::string bad = G("電\r\n") + "\xD6\xD0\x81\r\n" + G("話");
  EXPECT_EQ(t2s.Convert(bad), G("电\r\n") + "\xD6\xD0\x81\r\n" + G("话"));
  EXPECT_EQ(t2s.Convert(""), "");

  ScriptFold none;
  EXPECT_FALSE(none.Open("no-such-configuration", error));
  EXPECT_NE(error.find("no-such-configuration"), std::string::npos);
  EXPECT_FALSE(none.is_open());
}

}  // namespace
}  // namespace lanzhou
