// The command line of lanzhou-cli: usage errors, help, option positions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/cli_runner.h"

namespace lanzhou::cli_test {
namespace {

struct UsageCase {
  std::vector<std::string> args;
  std::string message;  // the whole of standard error
};

// A value that would clear a terminal and set its title, and how messages quote it.
const std::string kEscapes = "\x1b[2J\x1b]0;x\a";
const std::string kQuotedEscapes = "''$'\\033''[2J'$'\\033'']0;x'$'\\a'";

const UsageCase kUsageErrors[] = {
    {{},
     "no command given: extract, dedupe, wrap, reorder, merge, normalize, find, filter or mask "
     "(see lanzhou-cli --help)"},
    {{"dedupe", "--ignore", "width,colour"},
     "dedupe: --ignore takes width, blanks, case and script, not 'colour' (see lanzhou-cli "
     "dedupe --help)"},
    {{"normalize", "--s2t", "--config", "tw2s"},
     "normalize: give only one of --s2t, --t2s and --config (see lanzhou-cli normalize --help)"},
    {{"wrap", "-w", "3", "--trim"}, "wrap: unknown option '--trim' (see lanzhou-cli wrap --help)"},
    {{"bogus"}, "unknown command 'bogus' (see lanzhou-cli --help)"},
    {{"-f", "2", "extract"}, "unknown option '-f' (see lanzhou-cli extract --help)"},
    {{"extract", "-x"}, "extract: unknown option '-x' (see lanzhou-cli extract --help)"},
    {{"extract", "-p"}, "extract: unknown option '-p' (see lanzhou-cli extract --help)"},
    {{"dedupe", "-f", "1"}, "dedupe: unknown option '-f' (see lanzhou-cli dedupe --help)"},
    {{"extract", "--fields=2"},
     "extract: unknown option '--fields=2' (see lanzhou-cli extract --help)"},
    {{"extract", "-f"}, "extract: option '-f' needs a value (see lanzhou-cli extract --help)"},
    {{"extract", "-f", "abc"},
     "extract: -f: 'abc' is not a field number from 1 (see lanzhou-cli extract --help)"},
    {{"extract", "-f0|-1"},
     "extract: -f: '0' is not a field number from 1 (see lanzhou-cli extract --help)"},
    {{"extract", "-f", "3、1.5"},
     "extract: -f: '1.5' is not a field number from 1 (see lanzhou-cli extract --help)"},
    {{"extract", "-f", "2,it's"},
     "extract: -f: \"it's\" is not a field number from 1 (see lanzhou-cli extract --help)"},
    {{"extract", "-f", ""},
     "extract: -f must name a field number from 1 (see lanzhou-cli extract --help)"},
    {{"extract", "-f", " ，|"},
     "extract: -f must name a field number from 1 (see lanzhou-cli extract --help)"},
    {{"reorder", "-d", "|", "-c", "abc"},
     "reorder: -c: 'abc' is not a column number from 1 (see lanzhou-cli reorder --help)"},
    {{"reorder", "-d", "|", "-c", "3,中"},
     "reorder: -c: '中' is not a column number from 1 (see lanzhou-cli reorder --help)"},
    {{"reorder", "-d", "|", "-c", ""},
     "reorder: -c must name a column number from 1 (see lanzhou-cli reorder --help)"},
    {{"extract", "a", "b"},
     "extract: only one input file is read, got 'b' too (see lanzhou-cli extract --help)"},
    {{"dedupe", "-", "-"},
     "dedupe: standard input ('-') can be read only once (see lanzhou-cli dedupe --help)"},
    {{"extract", "-o", ""}, "extract: -o needs a file name (see lanzhou-cli extract --help)"},
    {{"extract", "--input-encoding", "latin1"},
     "extract: --input-encoding must be auto, gbk, utf-8, utf-16le, utf-16be or big5, not 'latin1' "
     "(see lanzhou-cli "
     "extract --help)"},
    {{"--output-encoding=big5", "dedupe"},
     "--output-encoding must be same, gbk or utf-8, not 'big5' (see lanzhou-cli dedupe --help)"},
    {{"wrap", "in.txt"}, "wrap: -w WIDTH is required (see lanzhou-cli wrap --help)"},
    {{"wrap", "-w", "0"},
     "wrap: the width must be a number from 1 to 10000, not '0' (see lanzhou-cli wrap "
     "--help)"},
    {{"wrap", "-w", "-3"},
     "wrap: the width must be a number from 1 to 10000, not '-3' (see lanzhou-cli wrap "
     "--help)"},
    {{"wrap", "-wabc"},
     "wrap: the width must be a number from 1 to 10000, not 'abc' (see lanzhou-cli wrap "
     "--help)"},
    {{"wrap", "-w", ""},
     "wrap: the width must be a number from 1 to 10000, not '' (see lanzhou-cli wrap --help)"},
    {{"wrap", "-w", "4294967297"},
     "wrap: the width must be a number from 1 to 10000, not '4294967297' (see lanzhou-cli "
     "wrap --help)"},
    {{"wrap", "-w"}, "wrap: option '-w' needs a value (see lanzhou-cli wrap --help)"},
    {{"dedupe", "--threads", "0"},
     "dedupe: --threads must be a number from 1 to 1024, not '0' (see lanzhou-cli dedupe --help)"},
    {{"dedupe", "--threads", "1025"},
     "dedupe: --threads must be a number from 1 to 1024, not '1025' (see lanzhou-cli dedupe "
     "--help)"},
    {{"dedupe", "--threads", "4K"},
     "dedupe: --threads must be a number from 1 to 1024, not '4K' (see lanzhou-cli dedupe --help)"},
    {{"dedupe", "--threads", "99999999999"},
     "dedupe: --threads must be a number from 1 to 1024, not '99999999999' (see lanzhou-cli dedupe "
     "--help)"},
    {{"reorder", "in.txt"}, "reorder: -d DELIM is required (see lanzhou-cli reorder --help)"},
    {{"reorder", "-d", "", "in.txt"},
     "reorder: the delimiter (-d) must not be empty (see lanzhou-cli reorder --help)"},
    {{"reorder", "-d", "|", "-", "a", "-"},
     "reorder: standard input ('-') can be read only once (see lanzhou-cli reorder --help)"},
    {{"merge"}, "merge: FILE_A is required (see lanzhou-cli merge --help)"},
    {{"merge", "a"}, "merge: FILE_B or --datum D is required (see lanzhou-cli merge --help)"},
    {{"merge", "a", "b", "--datum", "x"},
     "merge: give either FILE_B or --datum, not both (see lanzhou-cli merge --help)"},
    {{"merge", "a", "b", "c"},
     "merge: at most two files (FILE_A FILE_B) are read, got 'c' too (see lanzhou-cli merge "
     "--help)"},
    {{"merge", "--datum"}, "merge: option '--datum' needs a value (see lanzhou-cli merge --help)"},
    {{"find", "in.txt"},
     "find: say what to find: --phone, --email, --qq, --id, --invalid-id, --bank, --url or -e "
     "PATTERN (see lanzhou-cli find --help)"},
    {{"mask", "in.txt"},
     "mask: say what to mask: --phone, --id, --email, --bank or --name -f K (see lanzhou-cli "
     "mask --help)"},
    {{"mask", "--name", "-d", ","},
     "mask: --name needs -f K, the field of the names (see lanzhou-cli mask --help)"},
    {{"mask", "--phone", "-f", "2"}, "mask: -f K goes with --name (see lanzhou-cli mask --help)"},
    {{"mask", "--phone", "-d", ","},
     "mask: -d DELIM goes with --name (see lanzhou-cli mask --help)"},
    {{"mask", "--name", "-f", "2,3"},
     "mask: -f must be one field number from 1, not '2,3' (see lanzhou-cli mask --help)"},
    {{"mask", "--name", "-f", "2、3"},
     "mask: -f must be one field number from 1, not '2、3' (see lanzhou-cli mask --help)"},
    {{"mask", "--name", "-f", "a"},
     "mask: -f: 'a' is not a field number from 1 (see lanzhou-cli mask --help)"},
    {{"mask", "--phone", "--char", "**"},
     "mask: --char must be one character, not '**' (see lanzhou-cli mask --help)"},
    {{"mask", "--qq"}, "mask: unknown option '--qq' (see lanzhou-cli mask --help)"},
    {{"extract", "--phone"}, "extract: unknown option '--phone' (see lanzhou-cli extract --help)"},
    {{"find", "-e", "(a"},
     "find: the pattern '(a' is not valid: missing ): (a (see lanzhou-cli find --help)"},
    {{"find", "-e", "a\\C"},
     "find: the pattern 'a\\C' is not valid: \\C matches a single byte, which may lie inside a "
     "character (see lanzhou-cli find --help)"},
    {{"find", "--keep"}, "find: unknown option '--keep' (see lanzhou-cli find --help)"},
    {{"filter", "-k", "k.txt"},
     "filter: --keep or --drop is required (see lanzhou-cli filter --help)"},
    {{"filter", "--keep"}, "filter: -k KEYWORDS_FILE is required (see lanzhou-cli filter --help)"},
    {{"filter", "--keep", "--drop", "-k", "k"},
     "filter: give either --keep or --drop, not both (see lanzhou-cli filter --help)"},
    {{"filter", "--drop", "-k", "-"},
     "filter: standard input ('-') can be read only once (see lanzhou-cli filter --help)"},
    // Every value the user gave is quoted, so that none of its bytes acts on the terminal.
    {{"find", "-e", kEscapes + "("},
     "find: the pattern ''$'\\033''[2J'$'\\033'']0;x'$'\\a''(' is not valid: missing ): "
     "\\033[2J\\033]0;x\\a( (see lanzhou-cli find --help)"},
    {{"dedupe", "--threads", "2" + kEscapes},
     "dedupe: --threads must be a number from 1 to 1024, not '2" + kQuotedEscapes.substr(1) +
         " (see lanzhou-cli dedupe --help)"},
    {{"wrap", "-w", kEscapes},
     "wrap: the width must be a number from 1 to 10000, not " + kQuotedEscapes +
         " (see lanzhou-cli wrap --help)"},
    {{"dedupe", "--ignore", "case," + kEscapes},
     "dedupe: --ignore takes width, blanks, case and script, not " + kQuotedEscapes +
         " (see lanzhou-cli dedupe --help)"},
    {{"dedupe", "--memory", kEscapes},
     "dedupe: --memory must be a size such as 512M or 4G, not " + kQuotedEscapes +
         " (see lanzhou-cli dedupe --help)"},
    {{"extract", "-f", kEscapes},
     // ";" separates numbers: the first piece is refused, quoted.
     "extract: -f: ''$'\\033''[2J'$'\\033'']0' is not a field number from 1 "
     "(see lanzhou-cli extract --help)"},
    {{"extract", "--input-encoding", kEscapes},
     "extract: --input-encoding must be auto, gbk, utf-8, utf-16le, utf-16be or big5, not " +
         kQuotedEscapes + " (see lanzhou-cli extract --help)"},
    {{"extract", "--output-encoding", kEscapes},
     "extract: --output-encoding must be same, gbk or utf-8, not " + kQuotedEscapes +
         " (see lanzhou-cli extract --help)"},
    {{kEscapes}, "unknown command " + kQuotedEscapes + " (see lanzhou-cli --help)"},
    {{"extract", "--x" + kEscapes},
     "extract: unknown option '--x" + kQuotedEscapes.substr(1) +
         " (see lanzhou-cli extract --help)"},
    {{"extract", "-" + kEscapes},
     "extract: unknown option '-'$'\\033' (see lanzhou-cli extract --help)"},
    {{"extract", "a", kEscapes},
     "extract: only one input file is read, got " + kQuotedEscapes +
         " too (see lanzhou-cli extract --help)"},
    {{"merge", "a", "b", kEscapes},
     "merge: at most two files (FILE_A FILE_B) are read, got " + kQuotedEscapes +
         " too (see lanzhou-cli merge --help)"},
};

TEST(CommandLine, UsageErrorsExitOneWithOneLine) {
  for (const UsageCase& c : kUsageErrors) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    CliResult cli = RunCli(c.args);
    EXPECT_EQ(cli.status, 1);
    EXPECT_EQ(cli.out, "");
    EXPECT_EQ(cli.err, "lanzhou-cli: " + c.message + "\n");
  }
}

TEST(CommandLine, EmptyListAIsAUsageError) {
  TempDirectory dir;
  const std::string empty = dir.WriteForCli("a.txt", "");
  const std::string zero_first = dir.WriteForCli("z.txt", std::string("\0x1\r\n", 5));
  const std::string b = dir.WriteForCli("b.txt", "y1\r\n");
  for (const std::string& a : {empty, zero_first}) {
    CliResult cli = RunCli({"merge", a, b, "-o", (dir / "out.txt")});
    EXPECT_EQ(cli.status, 1);
    EXPECT_EQ(cli.err, "lanzhou-cli: merge: list A '" + a + "' is empty: nothing to merge\n");
    EXPECT_FALSE(fs::exists((dir / "out.txt")));
  }
}

TEST(CommandLine, HelpForTheProgramAndEveryCommand) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-h"}, "Usage: lanzhou-cli COMMAND"},
      {{"--help"}, "Usage: lanzhou-cli COMMAND"},
      {{"extract", "-h"}, "Usage: lanzhou-cli extract "},
      {{"dedupe", "--help"}, "Usage: lanzhou-cli dedupe "},
      {{"wrap", "-w", "0", "--help"}, "Usage: lanzhou-cli wrap "},  // help before errors
      {{"reorder", "--bogus", "-h"}, "Usage: lanzhou-cli reorder "},
      {{"--help", "merge"}, "Usage: lanzhou-cli merge "},
      {{"normalize", "--help"}, "Usage: lanzhou-cli normalize "},
      {{"find", "-h"}, "Usage: lanzhou-cli find "},
      {{"filter", "-h"}, "Usage: lanzhou-cli filter "},
      {{"mask", "-h"}, "Usage: lanzhou-cli mask "},
  };
  for (const auto& [args, start] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    CliResult cli = RunCli(args);
    EXPECT_EQ(cli.status, 0);
    EXPECT_EQ(cli.err, "");
    EXPECT_EQ(cli.out.substr(0, start.size()), start);
    EXPECT_TRUE(cli.out.ends_with("\n"));
    // Every line fits a terminal of 80 columns; a character of three or four UTF-8 bytes
    // (Chinese punctuation) takes two.
    std::size_t columns = 0;
    for (unsigned char b : cli.out) {
      if (b == '\n') {
        columns = 0;
      } else {
        columns += b < 0x80 ? 1 : b >= 0xE0 ? 2 : 0;
        EXPECT_LE(columns, 80u);
      }
    }
  }
  // A value that looks like an option is a value.
  CliResult dash = RunCli({"merge", "-", "--datum", "-h"}, "x\n");
  EXPECT_EQ(dash.out, "x||-h\r\n");
}

TEST(CommandLine, VersionIsOneLine) {
  CliResult cli = RunCli({"--version"});
  EXPECT_EQ(cli.status, 0);
  EXPECT_TRUE(cli.out.starts_with("lanzhou-cli "));
  EXPECT_EQ(cli.out.find('\n'), cli.out.size() - 1);
}

// Options before the command, before or after the file, attached or separate: one result.
TEST(CommandLine, OptionsMayStandAnywhere) {
  TempDirectory dir;
  const std::string file = dir.WriteForCli("in.txt", "a|b|c\r\nd|e|f\r\n");
  const std::vector<std::vector<std::string>> spellings = {
      {"extract", "-f", "3|1", file},
      {"extract", file, "-f", "3|1"},
      {"extract", "-f3|1", file},
      {"--input-encoding", "gbk", "extract", file, "-f", "3|1", "--output-encoding=same"},
      {"extract", "--", file, "-f", "3|1"},  // after "--" every argument is a file
  };
  for (const auto& args : spellings) {
    SCOPED_TRACE(testing::PrintToString(args));
    CliResult cli = RunCli(args);
    if (args[1] == "--") {
      EXPECT_EQ(cli.status, 1);
      continue;
    }
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, "c|a\r\nf|d");
  }
  // "--" lets a file whose name starts with "-" be read; "-" alone is standard input.
  dir.WriteForCli("-f", "x\r\nx\r\n");
  CliCall call;
  call.args = {"dedupe", "--", "-f"};
  call.cwd = dir.path().string();
  EXPECT_EQ(RunCli(call).out, "x");
  EXPECT_EQ(RunCli({"dedupe", "-"}, "y\ny\n").out, "y");
  EXPECT_EQ(RunCli({"dedupe"}, "z\r\nz").out, "z");
  EXPECT_EQ(RunCli({"reorder", "-d", "|", "-c", "2,1"}, "a|b\n").out, "b|a\r\n");
}

}  // namespace
}  // namespace lanzhou::cli_test
