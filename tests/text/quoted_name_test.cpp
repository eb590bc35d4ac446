#include "text/quoted_name.h"

#include <gtest/gtest.h>

#include <string>

namespace lanzhou {
namespace {

// The forms that `ls --quoting-style=shell-escape-always` gives in a UTF-8 locale.
TEST(QuotedName, QuotesNamesAndEscapesWhatATerminalWouldActOn) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "'plain'"},
      {"a b", "'a b'"},
      {"", "''"},
      {"中文.txt", "'中文.txt'"},
      {"a\"b", "'a\"b'"},
      {"a$b", "'a$b'"},
      {"it's", "\"it's\""},
      {"'x", "\"'x\""},
      {"a\"b'c", "'a\"b'\\''c'"},
      {"a\nb", "'a'$'\\n''b'"},
      {"\nb", "''$'\\n''b'"},
      {"a\n", "'a'$'\\n'"},
      {"a\x01\x02z", "'a'$'\\001\\002''z'"},
      {"x\x1b[31my", "'x'$'\\033''[31my'"},
      {"x\x7f", "'x'$'\\177'"},
      {"a\xC2\x9B"
       "b",
       "'a'$'\\302\\233''b'"},          // U+009B, the C1 control sequence introducer
      {"\xD6\xD0", "''$'\\326\\320'"},  // GBK 中: not UTF-8
      {"it's\t", "'it'\\''s'$'\\t'"},
  };
  for (const auto& [name, quoted] : cases) {
    EXPECT_EQ(QuotedName(name), quoted) << name;
  }
}

// A library's message that repeats the user's bytes: the same escapes, no quotes added.
TEST(WithVisibleControls, EscapesWhatATerminalWouldActOnAndKeepsTheRest) {
  const std::pair<std::string, std::string> cases[] = {
      {"missing ): (a", "missing ): (a"},
      {"it's \"中文\" $x", "it's \"中文\" $x"},
      {"x\x1b[2J\x1b]0;t\a(", "x\\033[2J\\033]0;t\\a("},
      {"a\nb\tc\x7f", "a\\nb\\tc\\177"},
      {"a\xC2\x9B"
       "b\xD6\xD0",
       "a\\302\\233b\\326\\320"},
  };
  for (const auto& [text, shown] : cases) {
    EXPECT_EQ(WithVisibleControls(text), shown) << text;
  }
}

}  // namespace
}  // namespace lanzhou
