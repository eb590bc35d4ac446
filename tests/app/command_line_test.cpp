#include "app/command_line.h"

#include <gtest/gtest.h>

namespace lanzhou {
namespace {

using A = CommandLine::Action;

TEST(ReadCommandLine, SeparatesFilesOwnOptionsAndQtOptions) {
  const struct {
    std::vector<std::string> arguments;
    A action;
    std::vector<std::string> files;
    std::string bad_option;
  } cases[] = {
      {{}, A::kRun, {}, ""},
      {{"a.txt", "数据.txt"}, A::kRun, {"a.txt", "数据.txt"}, ""},
      {{"--bogus"}, A::kUsageError, {}, "--bogus"},
      {{"a.txt", "-x", "--help"}, A::kUsageError, {}, "-x"},
      {{"a.txt", "--help"}, A::kHelp, {}, ""},
      {{"-h"}, A::kHelp, {}, ""},
      {{"--version", "--bogus"}, A::kVersion, {}, ""},
      // Qt's options are passed over with their values; "-" alone is a file.
      {{"-platform", "offscreen", "a.txt"}, A::kRun, {"a.txt"}, ""},
      {{"--style", "fusion", "-style=fusion", "-reverse", "-"}, A::kRun, {"-"}, ""},
      {{"-stylesheet=x.qss", "-platformx"}, A::kUsageError, {}, "-platformx"},
      // After "--" everything is a file.
      {{"--", "-x", "--help", "--"}, A::kRun, {"-x", "--help", "--"}, ""},
  };
  for (const auto& c : cases) {
    const CommandLine line = ReadCommandLine(c.arguments);
    const std::string at = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(line.action, c.action) << at;
    EXPECT_EQ(line.files, c.files) << at;
    EXPECT_EQ(line.bad_option, c.bad_option) << at;
  }
}

}  // namespace
}  // namespace lanzhou
