// lanzhou-cli against the pages: the same input through the page handler (with FakeUnits)
// and through the built program must give the same bytes, for GBK, UTF-8 and LF files.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "pages/clean.h"
#include "pages/dedupe.h"
#include "pages/extract.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/fake_units.h"
#include "text/encoding.h"

namespace lanzhou::cli_test {
namespace {

std::string Gbk(std::string_view utf8) { return FromUtf8(utf8).bytes(); }

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  std::string out;
  for (std::size_t at = s.find(from); at != std::string_view::npos; at = s.find(from)) {
    out.append(s.substr(0, at)).append(to);
    s.remove_prefix(at + from.size());
  }
  return out.append(s);
}

enum class Cmd { kExtract, kDedupe, kWrap, kReorder, kMerge, kNormalize };

// One input for both front ends. Texts are UTF-8 here, lines joined by CR LF; `option` is
// the page's box text and the command's value (-f, -w, -d).
struct PageCase {
  const char* name;
  Cmd cmd;
  std::string text;         // the edit box, the reorder file, or list A
  std::string option = "";  // 列1 / 字数_编辑框 / the import delimiter
  bool punctuation = false;
  std::optional<std::string> order = std::nullopt;      // reorder -c (编辑框_列); absent: 1..n
  std::optional<std::string> out_delim = std::nullopt;  // reorder -s; absent: "|"
  std::optional<std::string> text_b = std::nullopt;     // merge list B, or a second reorder file
  std::optional<std::string> datum = std::nullopt;      // merge --datum
  bool warns = false;  // extract: some line lacks a field asked for
};

const PageCase kCases[] = {
    {.name = "ExtractDashesAndBars",
     .cmd = Cmd::kExtract,
     .text = "a----b----c\r\nx|y|z\r\n中文|英文|數字",
     .option = "2"},
    {.name = "ExtractReorderedFields",
     .cmd = Cmd::kExtract,
     .text = "张三|男|25\r\n李四|女|30\r\n",
     .option = "3|1"},
    {.name = "ExtractFullWidthAndBlankNumbers",
     .cmd = Cmd::kExtract,
     .text = "a|b|c\r\n甲|乙|丙",
     .option = "３| 1"},
    {.name = "ExtractTooFewFieldsAndEmptyRecords",
     .cmd = Cmd::kExtract,
     .text = "x|y\r\n\r\nq\r\n\r\n",
     .option = "2、4",
     .warns = true},
    {.name = "ExtractFieldEndingInBarByte",
     .cmd = Cmd::kExtract,
     .text = "億|x\r\n說|y\r\n",
     .option = "1|2"},
    {.name = "ExtractFourByteCharacters",
     .cmd = Cmd::kExtract,
     .text = "😀|a\r\nb|𠀀",
     .option = "2|1"},
    {.name = "ExtractEmptyInput", .cmd = Cmd::kExtract, .text = "", .option = "1"},
    {.name = "DedupeFirstOccurrencesInOrder", .cmd = Cmd::kDedupe, .text = "b\r\na\r\nb\r\nc\r\na"},
    {.name = "DedupeIgnoringEverything",
     .cmd = Cmd::kDedupe,
     .text = "電話 \r\nＡｂ，\r\n电话\r\nab,\r\n　电话\r\n\r\n　",
     .option = "width,blanks,case,script"},
    {.name = "DedupeIgnoringWidthOnly",
     .cmd = Cmd::kDedupe,
     .text = "１３８\r\n138\r\n138 \r\nＡ\r\na",
     .option = "width"},
    {.name = "NormalizeFolds",
     .cmd = Cmd::kNormalize,
     .text = "　Ｚｈａｎｇ　　三，（１） \r\n\r\n\tTel:１３８\n",
     .option = "width,trim,squeeze,lower,drop-empty"},
    {.name = "NormalizePunctuationAndScript",
     .cmd = Cmd::kNormalize,
     .text = "頭髮，（Ａ）\r\n\r\n电话",
     .option = "width,punctuation,t2s"},
    {.name = "NormalizeToTraditional",
     .cmd = Cmd::kNormalize,
     .text = "头发\r\n发展",
     .option = "s2t"},
    {.name = "DedupeEmptyLinesKeepTheFirst",
     .cmd = Cmd::kDedupe,
     .text = "a\r\n\r\nb\r\n\r\nc\r\n"},
    {.name = "DedupeMixedChineseAscii",
     .cmd = Cmd::kDedupe,
     .text = "张三|13800\r\n李四\r\n张三|13800\r\nABC\r\nabc\r\nabc \r\n李四"},
    {.name = "DedupeOnlyALineEnd", .cmd = Cmd::kDedupe, .text = "\r\n"},
    {.name = "DedupeEmptyInput", .cmd = Cmd::kDedupe, .text = ""},
    {.name = "WrapChineseAtWidthTen",
     .cmd = Cmd::kWrap,
     .text = "一二三四五六七八九十壹贰",
     .option = "10"},
    {.name = "WrapMovesAWordDown", .cmd = Cmd::kWrap, .text = "ab cdefghij", .option = "8"},
    {.name = "WrapMarks",
     .cmd = Cmd::kWrap,
     .text = "我们说“好”。他说：（对）《书》",
     .option = "6"},
    {.name = "WrapFiltersPunctuation",
     .cmd = Cmd::kWrap,
     .text = "好，\r\n的。今天,天气、很好\r\n明天见",
     .option = "4",
     .punctuation = true},
    {.name = "WrapKeepsLineBreaksOutWithoutFilter",
     .cmd = Cmd::kWrap,
     .text = "第一行abc\r\n第二行 def ghi，",
     .option = "7"},
    {.name = "WrapWidthOneMakesProgress", .cmd = Cmd::kWrap, .text = "说，“好”。a", .option = "1"},
    {.name = "WrapSecondByteBelow7F", .cmd = Cmd::kWrap, .text = "說說，好說，", .option = "4"},
    {.name = "WrapFullWidthDigitsInWidth",
     .cmd = Cmd::kWrap,
     .text = "abc def ghi jkl",
     .option = "５"},
    {.name = "ReorderTypedOrder",
     .cmd = Cmd::kReorder,
     .text = "a|b|c\r\nd|e",
     .option = "|",
     .order = "3,1"},
    {.name = "ReorderDefaultOrder",
     .cmd = Cmd::kReorder,
     .text = "a|b|c\r\nd|e\r\n\r\nf",
     .option = "|"},
    {.name = "ReorderFullWidthCommaDelimiter",
     .cmd = Cmd::kReorder,
     .text = "张三，男，25\r\n李四，女",
     .option = "，",
     .order = "2,1",
     .out_delim = "、"},
    {.name = "ReorderSeveralByteDelimiter",
     .cmd = Cmd::kReorder,
     .text = "x::y::z\r\n1::2",
     .option = "::",
     .order = "3,2,1"},
    {.name = "ReorderRepeatsAndMissingColumns",
     .cmd = Cmd::kReorder,
     .text = "a|b|c\r\n億|x",
     .option = "|",
     .order = "9 1，1"},
    {.name = "ReorderKeepsHalfACharacterThatLooksLikeTheDelimiter",
     .cmd = Cmd::kReorder,
     .text = "a|億\r\nb|c",
     .option = "|",
     .order = "2"},
    {.name = "ReorderEmptyOutputDelimiter",
     .cmd = Cmd::kReorder,
     .text = "a|b|c",
     .option = "|",
     .order = "3,2,1",
     .out_delim = ""},
    {.name = "ReorderSecondFileAddsColumns",
     .cmd = Cmd::kReorder,
     .text = "a|b\r\nc",
     .option = "|",
     .text_b = "x|y|z|w"},
    {.name = "MergePairs",
     .cmd = Cmd::kMerge,
     .text = "x1\r\nx2\r\nx3",
     .text_b = "y1\r\ny2\r\ny3\r\n"},
    {.name = "MergePairsOfDifferentLengths",
     .cmd = Cmd::kMerge,
     .text = "张三\r\n李四\r\n王五",
     .text_b = "zhang@a.cn\r\nli@b.cn"},
    {.name = "MergeEmptyListB", .cmd = Cmd::kMerge, .text = "x1\r\nx2", .text_b = ""},
    {.name = "MergeKeepsEmptyLinesAndBars",
     .cmd = Cmd::kMerge,
     .text = "x1\r\n\r\na|b",
     .text_b = "y1\r\ny2\r\ny3"},
    {.name = "MergeWithDatum", .cmd = Cmd::kMerge, .text = "x1\r\n億\r\n", .datum = "数据|d"},
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

// How the input file is given to the program.
enum class Variant {
  kGbk,        // GBK, CR LF
  kGbkLf,      // GBK, LF only
  kUtf8,       // UTF-8, CR LF
  kUtf8BomLf,  // UTF-8 with a byte-order mark, LF only
  kZeroTail,   // GBK, then a zero byte and more text that must be ignored
  kStdin,      // GBK on standard input
};
constexpr Variant kVariants[] = {Variant::kGbk,       Variant::kGbkLf,    Variant::kUtf8,
                                 Variant::kUtf8BomLf, Variant::kZeroTail, Variant::kStdin};

const char* VariantName(Variant v) {
  switch (v) {
    case Variant::kGbk:
      return "gbk";
    case Variant::kGbkLf:
      return "gbk-lf";
    case Variant::kUtf8:
      return "utf8";
    case Variant::kUtf8BomLf:
      return "utf8-bom-lf";
    case Variant::kZeroTail:
      return "zero-tail";
    case Variant::kStdin:
      return "stdin";
  }
  return "";
}

bool IsUtf8(Variant v) { return v == Variant::kUtf8 || v == Variant::kUtf8BomLf; }

std::string FileBytes(const std::string& utf8_text, Variant v) {
  switch (v) {
    case Variant::kGbk:
    case Variant::kStdin:
      return Gbk(utf8_text);
    case Variant::kGbkLf:
      return ReplaceAll(Gbk(utf8_text), "\r\n", "\n");
    case Variant::kUtf8:
      return utf8_text;
    case Variant::kUtf8BomLf:
      return "\xEF\xBB\xBF" + ReplaceAll(utf8_text, "\r\n", "\n");
    case Variant::kZeroTail:
      return Gbk(utf8_text) + std::string("\0tail\r\nx|y|z", 12);
  }
  return "";
}

// The one file in `dir`, or "" when there is none.
std::string OnlyFileIn(const fs::path& dir) {
  std::vector<std::string> names = Listing(dir);
  EXPECT_LE(names.size(), 1u);
  return names.empty() ? std::string() : ReadFile(dir / names.front());
}

// What the page produces for the case, its inputs read from `files` where the page reads
// files (reorder, merge).
std::string PageOutput(const PageCase& c, const TempDirectory& dir,
                       const std::vector<std::string>& files) {
  const fs::path run = dir.path() / "run";
  fs::create_directory(run);
  FakeUnits units{Text(run.string())};
  switch (c.cmd) {
    case Cmd::kExtract:
      units.SetEditText(Unit::编辑框4, FromUtf8(c.text));
      units.SetEditText(Unit::列1, FromUtf8(c.option));
      OnExtractClicked(units);
      return OnlyFileIn(run);
    case Cmd::kDedupe:
      units.SetEditText(Unit::编辑框2, FromUtf8(c.text));
      units.SetTicked(Unit::选择框_忽略全半角, c.option.find("width") != std::string::npos);
      units.SetTicked(Unit::选择框_忽略空白, c.option.find("blanks") != std::string::npos);
      units.SetTicked(Unit::选择框_忽略大小写, c.option.find("case") != std::string::npos);
      units.SetTicked(Unit::选择框_忽略繁简, c.option.find("script") != std::string::npos);
      OnDedupeClicked(units);
      return units.EditText(Unit::编辑框3).bytes();
    case Cmd::kWrap:
      units.SetEditText(Unit::被折行_编辑框, FromUtf8(c.text));
      units.SetEditText(Unit::字数_编辑框, FromUtf8(c.option));
      units.SetTicked(Unit::选择框2, c.punctuation);
      OnWrapClicked(units);
      return OnlyFileIn(run);
    case Cmd::kReorder:
      for (const std::string& file : files) {
        units.dialogs().QueueText(FromUtf8(c.option));
        units.dialogs().QueueFile(Text(file));
        OnImportClicked(units);  // leaves 1,2,...,n in 编辑框_列
      }
      if (c.order) units.SetEditText(Unit::编辑框_列, FromUtf8(*c.order));
      units.dialogs().QueueText(FromUtf8(c.out_delim.value_or("|")));
      OnExportClicked(units);
      return OnlyFileIn(run);
    case Cmd::kMerge:
      // The window creates the two columns of both lists.
      for (Unit grid : {Unit::超级列表框A, Unit::超级列表框b}) {
        units.Grid(grid).InsertColumn(-1, Text("id"), 40);
        units.Grid(grid).InsertColumn(-1, Text("line"), 240);
      }
      OnListADropped(units, Text(files[0]));
      if (c.datum) {
        units.SetTicked(Unit::选择框1, true);
        units.SetEditText(Unit::编辑框1, FromUtf8(*c.datum));
      } else {
        OnListBDropped(units, Text(files[1]));
      }
      units.dialogs().QueueMessageAnswer(message_result::kYes);  // lists of different lengths
      OnMergeClicked(units);
      return OnlyFileIn(run);
    case Cmd::kNormalize: {
      units.SetEditText(Unit::清洗_编辑框, FromUtf8(c.text));
      const std::pair<const char*, Unit> boxes[] = {
          {"width", Unit::选择框_全角}, {"punctuation", Unit::选择框_标点},
          {"trim", Unit::选择框_首尾},  {"squeeze", Unit::选择框_空白},
          {"lower", Unit::选择框_小写}, {"drop-empty", Unit::选择框_空行},
          {"t2s", Unit::单选框_繁转简}, {"s2t", Unit::单选框_简转繁}};
      for (const auto& [name, box] : boxes) {
        units.SetTicked(box, c.option.find(name) != std::string::npos);
      }
      OnCleanClicked(units);
      return OnlyFileIn(run);
    }
  }
  return "";
}

std::vector<std::string> CommandArgs(const PageCase& c) {
  switch (c.cmd) {
    case Cmd::kExtract:
      return {"extract", "-f", c.option};
    case Cmd::kDedupe:
      if (!c.option.empty()) return {"dedupe", "--ignore", c.option};
      return {"dedupe"};
    case Cmd::kNormalize: {
      std::vector<std::string> args = {"normalize"};
      std::string_view rest = c.option;
      while (!rest.empty()) {
        const std::size_t comma = std::min(rest.find(','), rest.size());
        args.push_back("--" + std::string(rest.substr(0, comma)));
        rest.remove_prefix(std::min(comma + 1, rest.size()));
      }
      return args;
    }
    case Cmd::kWrap:
      if (c.punctuation) return {"wrap", "-p", "-w", c.option};
      return {"wrap", "-w", c.option};
    case Cmd::kReorder: {
      std::vector<std::string> args = {"reorder", "-d", c.option};
      if (c.order) args.insert(args.end(), {"-c", *c.order});
      if (c.out_delim) args.insert(args.end(), {"-s", *c.out_delim});
      return args;
    }
    case Cmd::kMerge:
      if (c.datum) return {"merge", "--datum", *c.datum};
      return {"merge"};
  }
  return {};
}

class CliMatchesPage : public testing::TestWithParam<PageCase> {};

TEST_P(CliMatchesPage, SameBytesForEveryKindOfInputFile) {
  const PageCase& c = GetParam();
  for (Variant v : kVariants) {
    // The window takes the grids' files as it takes a text box's, and refuses one with a zero
    // byte near its start as not text (`LooksLikeText`); the command line reads up to it.
    if (v == Variant::kZeroTail && (c.cmd == Cmd::kReorder || c.cmd == Cmd::kMerge)) continue;
    SCOPED_TRACE(VariantName(v));
    TempDirectory dir;
    std::vector<std::string> texts = {c.text};
    if (c.text_b) texts.push_back(*c.text_b);
    std::vector<std::string> files;
    std::string input;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      files.push_back(dir.WriteForCli("in" + std::to_string(i) + ".txt", FileBytes(texts[i], v)));
    }
    std::vector<std::string> args = CommandArgs(c);
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (v == Variant::kStdin && i == 0) {
        input = FileBytes(texts[0], v);
        args.push_back("-");
      } else {
        args.push_back(files[i]);
      }
    }
    const std::string page = PageOutput(c, dir, files);
    const std::string expected = IsUtf8(v) ? ToUtf8(std::string_view(page)) : page;

    CliResult cli = RunCli(args, input);
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, expected);
    // A warning is given exactly when merged lists differ in length or an extraction's
    // line lacks a field.
    const bool uneven = c.cmd == Cmd::kMerge && !c.datum &&
                        SplitListLines(Gbk(c.text)).size() != SplitListLines(Gbk(*c.text_b)).size();
    EXPECT_EQ(cli.err.find("warning") != std::string::npos, uneven || c.warns) << cli.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliMatchesPage, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What the page's message says of the fields and columns, told on standard error.
TEST(CliFieldsAndColumns, WarnsOfMissingFieldsAndRefusesAnOrderNamingNoColumn) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string out, err;
  } cases[] = {
      {{"extract", "-f", "3|1"},
       "a|b|c\nx|y\n",
       0,
       "c|a\r\nx",
       "lanzhou-cli: extract: warning: 1 line lacks a field asked for; the fields after it moved "
       "left\n"},
      {{"extract", "-f", "9 2"},
       "a|b|c\nx|y\nq\n",
       0,
       "b\r\ny\r\n",
       "lanzhou-cli: extract: warning: no line has field 9\n"
       "lanzhou-cli: extract: warning: 3 lines lack a field asked for; the fields after it "
       "moved left\n"},
      {{"extract", "-f", "9"},
       "a|b|c\n",
       0,
       "",
       "lanzhou-cli: extract: warning: no line has field 9\n"},
      {{"extract", "-f", "3|3"}, "a|b|c\nx\n", 0, "c|c\r\n", ""},
      {{"extract", "-f", "2"}, "", 0, "", ""},
      {{"reorder", "-d", "|", "-c", "5"},
       "a|b|c\n",
       1,
       "",
       "lanzhou-cli: reorder: -c names no column of the input, which has columns 1 to 3\n"},
      {{"reorder", "-d", "|", "-c", "9;4"},
       "a|b|c\nd\n",
       1,
       "",
       "lanzhou-cli: reorder: -c names no column of the input, which has columns 1 to 3\n"},
      {{"reorder", "-d", "|", "-c", "9、1"}, "a|b|c\n", 0, "a\r\n", ""},
      {{"reorder", "-d", "|", "-c", "5"}, "", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const CliResult cli = RunCli(c.args, c.input);
    EXPECT_EQ(cli.status, c.status);
    EXPECT_EQ(cli.out, c.out);
    EXPECT_EQ(cli.err, c.err);
  }
}

// --output-encoding and --input-encoding against the encoding of the file.
struct EncodingCase {
  const char* name;
  std::string file;  // bytes
  std::vector<std::string> options;
  std::string expected;
};

// GBK "模平" is C4 A3 | C6 BD, which is also valid UTF-8 ("ģ|ƽ").
const std::string kLooksUtf8 = "\xC4\xA3|\xC6\xBD";

const EncodingCase kEncodingCases[] = {
    {"GbkInUtf8Out", Gbk("甲|乙\r\n丙|丁"), {"--output-encoding", "utf-8"}, "乙\r\n丁"},
    {"Utf8InGbkOut", "甲|乙\r\n丙|丁", {"--output-encoding", "gbk"}, Gbk("乙\r\n丁")},
    {"Utf8InSameOut", "甲|乙\r\n丙|丁", {"--output-encoding", "same"}, "乙\r\n丁"},
    // Field 2 is valid UTF-8 (ƽ), but far more plausible as GBK 平.
    {"AmbiguousBytesAutoReadAsGbk", kLooksUtf8, {"--output-encoding", "gbk"}, "\xC6\xBD"},
    {"AmbiguousBytesForcedGbk",
     kLooksUtf8,
     {"--input-encoding", "gbk", "--output-encoding", "utf-8"},
     "平"},
    {"ForcedGbkSameOut", kLooksUtf8, {"--input-encoding", "gbk"}, "\xC6\xBD"},
    {"ForcedUtf8OnAscii", "a|b", {"--input-encoding=utf-8", "--output-encoding=gbk"}, "b"},
};

TEST(CliEncodings, InputAndOutputEncodingOptions) {
  for (const EncodingCase& c : kEncodingCases) {
    SCOPED_TRACE(c.name);
    TempDirectory dir;
    std::vector<std::string> args = {"extract", "-f", "2"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(dir.WriteForCli("in.txt", c.file));
    CliResult cli = RunCli(args);
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, c.expected);
  }
}

// find and filter on files in either encoding: the items and lines come out in the input's
// encoding, the keywords are read as the input is.
TEST(CliFindAndFilter, FindsItemsAndFiltersLines) {
  TempDirectory dir;
  const std::string gbk = dir.WriteForCli(
      "gbk.txt",
      Gbk("张三 ＋８６ １３８-００１３-８０００，zs@例子.中国\r\n订单2013800138000123\r\n"
          "李四 13800138000 QQ:88886666。\r\n"));
  const std::string utf8 = dir.WriteForCli("utf8.txt", "\xEF\xBB\xBF张三 13800138000\n");
  const std::string keywords = dir.WriteForCli("k.txt", Gbk("订单\n李四\n"));
  // What follows a zero byte is not read, not even to tell the encoding (a pipe stops there).
  const std::string zero = dir.WriteForCli("zero.txt", std::string("张三12\n\0\xFF", 11));
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"find", "--phone", gbk}, "13800138000\r\n13800138000"},
      {{"find", "--phone", "--distinct", gbk}, "13800138000"},
      {{"find", "--phone", "--email", "--qq", "--with-line", gbk},
       Gbk("1:13800138000\r\n1:zs@例子.中国\r\n3:13800138000\r\n3:88886666")},
      {{"find", "-e", "(\\d+)", "--distinct", gbk}, "2013800138000123\r\n13800138000\r\n88886666"},
      {{"find", "--phone", utf8}, "13800138000"},
      {{"find", "-e", "张.", utf8}, "张三"},
      {{"find", "-e", "张.", zero}, "张三"},
      {{"filter", "--keep", "-k", keywords, gbk},
       Gbk("订单2013800138000123\r\n李四 13800138000 QQ:88886666。")},
      {{"filter", "--drop", "-k", keywords, gbk},
       Gbk("张三 ＋８６ １３８-００１３-８０００，zs@例子.中国")},
      {{"filter", "--drop", "-k", keywords, "--whole-line", "--output-encoding", "utf-8", utf8},
       "张三 13800138000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    CliResult cli = RunCli(c.args);
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, c.out);
  }
  CliResult missing = RunCli({"filter", "--keep", "-k", (dir / "none.txt"), gbk});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "lanzhou-cli: filter: cannot read '" + (dir / "none.txt") +
                             "': No such file or directory\n");
}

// mask: every byte but the masked items as it was, line ends too; the counts on standard error,
// and on a failure no file under the output's name.
TEST(CliMask, MasksItemsAndCountsThem) {
  TempDirectory dir;
  const std::string in = dir.WriteForCli(
      "in.txt", Gbk("张三,13800138000,zs@qq.com\r\n欧阳娜娜,１３８００１３８０００\n"
                    "李四光,110105194912310021,6222021234567890128"));
  const struct {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  } cases[] = {
      {{"mask", "--phone", in},
       Gbk("张三,138****8000,zs@qq.com\r\n欧阳娜娜,１３８＊＊＊＊８０００\n"
           "李四光,110105194912310021,6222021234567890128"),
       "lanzhou-cli: mask: masked 2 phone numbers\n"},
      {{"mask", "--id", "--email", "--bank", "--name", "-f", "1", "-d", ",", "--char", "#", in},
       Gbk("张#,13800138000,z#@qq.com\r\n欧阳##,１３８００１３８０００\n"
           "李#光,110105########0021,622202#########0128"),
       "lanzhou-cli: mask: masked 1 ID number, 1 e-mail address, 1 bank card, 3 names\n"},
      {{"find", "--invalid-id", "--bank", in},
       Gbk("110105194912310021 校验码错误\r\n6222021234567890128"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    CliResult cli = RunCli(c.args);
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, c.out);
    EXPECT_EQ(cli.err, c.err);
  }
  CliResult failed = RunCli({"mask", "--phone", in, "-o", (dir / "none/out.txt")});
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(failed.err.find("8000"), std::string::npos) << failed.err;
}

// Values typed on the command line are UTF-8 when valid, else GBK bytes: both spellings of
// the full-width comma split the same file.
TEST(CliEncodings, CommandLineTextIsUtf8OrElseGbk) {
  TempDirectory dir;
  const std::string file = dir.WriteForCli("in.txt", Gbk("张三，男\r\n李四，女"));
  for (const std::string& delim : {std::string("，"), Gbk("，")}) {
    CliResult cli = RunCli({"reorder", "-d", delim, "-c", "2,1", "-s", delim, file});
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, Gbk("男，张三\r\n女，李四\r\n"));
  }
  CliResult datum = RunCli({"merge", file, "--datum", Gbk("数据")});
  EXPECT_EQ(datum.out, Gbk("张三，男||数据\r\n李四，女||数据\r\n"));
}

// reorder and merge read their inputs as --input-encoding says, bytes that are valid either
// way included; an input said to be UTF-8 that is not is refused, naming the file and the
// byte, and nothing is written.
TEST(CliEncodings, ReorderAndMergeObeyTheInputEncoding) {
  TempDirectory dir;
  const std::string looks = dir.WriteForCli("looks.txt", kLooksUtf8);
  const std::string gbk = dir.WriteForCli("gbk.txt", Gbk("名|单\n"));
  const std::string out = (dir / "out.txt");
  const std::string not_utf8 = "lanzhou-cli: reorder: cannot read '" + gbk +
                               "': it is not UTF-8 (--input-encoding utf-8) at byte ";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"reorder", "-d", "|", "-c", "2,1", "--input-encoding", "gbk", looks},
       0,
       "\xC6\xBD|\xC4\xA3\r\n",
       ""},
      {{"reorder", "-d", "|", "-c", "2,1", "--input-encoding", "utf-8", looks}, 0, "ƽ|ģ\r\n", ""},
      {{"merge", "--input-encoding", "gbk", looks, "--datum", "d"}, 0, kLooksUtf8 + "||d\r\n", ""},
      {{"merge", "--input-encoding", "utf-8", looks, "--datum", "d"}, 0, "ģ|ƽ||d\r\n", ""},
      {{"reorder", "-d", "|", "--input-encoding", "utf-8", looks, gbk}, 2, "", not_utf8 + "0\n"},
      {{"merge", "--input-encoding", "utf-8", "-o", out, looks, gbk},
       2,
       "",
       "lanzhou-cli: merge: cannot read '" + gbk +
           "': it is not UTF-8 (--input-encoding utf-8) at byte 0\n"},
  };
  for (const auto& c : cases) {
    CliResult cli = RunCli(c.args);
    EXPECT_EQ(cli.status, c.status) << c.args[0] << " " << cli.err;
    EXPECT_EQ(cli.out, c.out) << c.args[0];
    EXPECT_EQ(cli.err, c.err) << c.args[0];
  }
  EXPECT_FALSE(fs::exists(out));
}

// UTF-16 with its mark is read by every command, from a file or a pipe; UTF-16 without one
// and Big5 when named. GBK that looks like another encoding, bytes written as U+FFFD, and a
// --keep with no keyword are said on standard error, the status staying 0.
TEST(CliEncodings, OtherEncodingsAndWhatCannotBeConvertedAreSaid) {
  TempDirectory dir;
  const std::string utf16le = std::string(
      "\xFF\xFE"
      "a\0|\0\x2D\x4E\r\0\n\0",
      12);
  const std::string utf16be = std::string("\xFE\xFF\0a\0|\x4E\x2D\0\r\0\n", 12);
  // 這是一個用繁體中文寫的句子 in Big5
  const std::string big5 =
      "\xB3\x6F\xAC\x4F\xA4\x40\xAD\xD3\xA5\xCE\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5\xBC\x67\xAA\xBA"
      "\xA5\x79\xA4\x6C";
  const std::string empty = dir.WriteForCli("empty.txt", "");
  const struct {
    const char* name;
    std::vector<std::string> args;  // "IN" stands for the file of `file`
    std::string file;
    bool piped;  // the file comes on standard input instead
    std::string out;
    std::string err;
  } cases[] = {
      {"Utf16LeFile", {"extract", "-f", "2", "IN"}, utf16le, false, "中", ""},
      {"Utf16BeFile", {"extract", "-f", "2", "IN"}, utf16be, false, "中", ""},
      {"Utf16LePiped",
       {"dedupe", "-"},
       utf16le + std::string("a\0|\0\x2D\x4E", 6),
       true,
       "a|中",
       ""},
      {"Utf16GbkOut",
       {"reorder", "-d", "|", "-c", "2,1", "--output-encoding", "gbk", "IN"},
       utf16le,
       false,
       "\xD6\xD0|a\r\n",
       ""},
      {"Utf16LeNamed",
       {"merge", "--input-encoding", "utf-16le", "--datum", "d", "IN"},
       std::string("a\0|\0\x2D\x4E", 6),
       false,
       "a|中||d\r\n",
       ""},
      {"Utf16LeNamedPiped",
       {"extract", "--input-encoding", "UTF-16LE", "-f", "2", "-"},
       std::string("a\0|\0\x2D\x4E", 6),
       true,
       "中",
       ""},
      {"Big5Named",
       {"extract", "--input-encoding", "big5", "-f", "1", "IN"},
       "\xA4\xA4\xA4\xE5",
       false,
       "\xD6\xD0\xCE\xC4",
       ""},
      {"Big5AsGbk",
       {"find", "--phone", "IN"},
       big5 + "|13800138000",
       false,
       "13800138000",
       "lanzhou-cli: find: warning: 61% of the characters of 'IN' are unlikely in GBK text; if "
       "it is in another encoding, name it with --input-encoding (such as big5)\n"},
      {"InvalidGb18030ToUtf8",
       {"normalize", "--input-encoding", "gbk", "--output-encoding", "utf-8", "IN"},
       "\xFF\x81",
       false,
       "\xEF\xBF\xBD\xEF\xBF\xBD",
       "lanzhou-cli: normalize: 2 bytes not valid GB18030 were written as U+FFFD\n"},
      {"OneInvalidByte",
       {"extract", "--output-encoding", "utf-8", "IN"},
       "a\x80",
       false,
       "a\xEF\xBF\xBD",
       "lanzhou-cli: extract: 1 byte not valid GB18030 was written as U+FFFD\n"},
      {"KeepWithoutKeywords",
       {"filter", "--keep", "-k", empty, "IN"},
       "a\nb\n",
       false,
       "",
       "lanzhou-cli: filter: warning: '" + empty +
           "' holds no keyword: no line can match, so none is kept\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.WriteForCli(std::string(c.name) + ".txt", c.file);
    CliCall call;
    for (const std::string& arg : c.args) call.args.push_back(arg == "IN" ? path : arg);
    if (c.piped) call.input = c.file;
    CliResult cli = RunCli(call);
    std::string err = c.err;
    if (const std::size_t at = err.find("'IN'"); at != std::string::npos) {
      err.replace(at, 4, "'" + path + "'");
    }
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(cli.out, c.out);
    EXPECT_EQ(cli.err, err);
  }
}

// Outputs of several megabytes are converted to UTF-8 a piece at a time: the pieces must join
// into exactly the conversion of the whole, also where a line is longer than a piece.
TEST(CliEncodings, LongOutputsConvertAsAWhole) {
  std::string lines;
  for (int i = 0; i < 60000; ++i) lines += "第" + std::to_string(i) + "行，数据|𠀀😀\r\n";
  const std::string long_line(3 << 20, 'x');
  for (const std::string& text : {lines, long_line + "\r\n中文" + long_line}) {
    TempDirectory dir;
    const std::string file = dir.WriteForCli("in.txt", Gbk(text));
    CliResult cli = RunCli({"dedupe", "--output-encoding", "utf-8", file});
    EXPECT_EQ(cli.status, 0) << cli.err;
    EXPECT_TRUE(cli.out == ToUtf8(DistinctLines(FromUtf8(text)))) << cli.out.size();
  }
}

}  // namespace
}  // namespace lanzhou::cli_test

namespace lanzhou::cli_test {
namespace {

// About 6 MB of records, a third of them repeats: above the size where threads start.
std::string ManyRecords() {
  std::string records;
  for (int i = 0; i < 150000; ++i) {
    const std::string n = std::to_string(i % 100000);
    records += "user" + n + "----pw" + n + "|张三" + n + "|北京市朝阳区|13800" + n + "\r\n";
  }
  return Gbk(records);
}

TEST(CliLargeInputs, SameBytesForEveryThreadCountAndMemoryLimit) {
  TempDirectory dir;
  const std::string records = ManyRecords();
  const std::string file = dir.WriteForCli("records.txt", records);
  const std::string name_records = ReplaceAll(records, "user", Gbk("名"));
  const std::string names = dir.WriteForCli("names.txt", name_records);
  const std::string distinct = DistinctLines(Text(records)).bytes();
  // The same records with LF line ends, and in UTF-8: pasted a piece at a time beyond --memory.
  const std::string lf = dir.WriteForCli("lf.txt", ReplaceAll(records, "\r\n", "\n"));
  const std::string utf8 = dir.WriteForCli("utf8.txt", ReplaceAll(ToUtf8(records), "\r\n", "\n"));
  const std::string_view both[] = {records, name_records};
  auto reorder = [&](std::span<const std::string_view> files, const char* delimiter, Text order) {
    std::string out;
    const int columns = DelimitedColumnCount(files, delimiter);
    AppendDelimitedExport(files, delimiter, columns,
                          order.empty() ? AllColumnsOrder(columns) : order, Text("|"), out);
    return out;
  };
  std::string pairs;
  AppendJoinedListPairs(both[0], both[1], pairs);
  std::string with_datum;
  AppendJoinedListWithDatum(records, "x", with_datum);
  const struct {
    std::vector<std::string> args;
    std::string expected;
  } commands[] = {
      {{"extract", "-f", "4|1", file}, ExtractFields(Text(records), Text("4|1")).bytes()},
      {{"dedupe", file}, distinct},
      // 256 KB and 16 KB: the records go to temporary files at once, and at 16 KB the
      // partitions are split again.
      {{"dedupe", "--memory", "256K", file}, distinct},
      {{"dedupe", "--memory", "16K", file}, distinct},
      {{"dedupe", "--memory", "16K", lf}, distinct},
      {{"dedupe", "--memory", "16K", utf8}, ToUtf8(distinct)},
      {{"dedupe", utf8}, ToUtf8(distinct)},
      {{"reorder", "-d", "|", "-c", "3,1", file, names}, reorder(both, "|", Text("3,1"))},
      {{"reorder", "-d", "----", file}, reorder(std::span(both, 1), "----", Text())},
      {{"merge", file, names}, pairs},
      {{"merge", "--datum", "x", file}, with_datum},
      {{"wrap", "-w", "40", file}, WrapText(CleanForWrap(Text(records), false), 40).bytes()},
  };
  for (const auto& command : commands) {
    for (const char* threads : {"1", "2", "7"}) {
      std::vector<std::string> args = command.args;
      args.insert(args.begin() + 1, {"--threads", threads});
      const CliResult cli = RunCli(args);
      EXPECT_EQ(cli.status, 0) << cli.err;
      EXPECT_TRUE(cli.out == command.expected) << args[0] << " " << args[3] << " " << threads;
    }
  }
}

TEST(CliLargeInputs, AFullTemporaryDiskLeavesTheOutputAsItWas) {
  TempDirectory dir;
  const std::string file = dir.WriteForCli("records.txt", ManyRecords());
  const std::string out = dir.WriteForCli("out.txt", "old");
  CliCall call;
  call.args = {"dedupe", "--memory", "64K", "-o", out, file};
  call.file_size_limit = 256 << 10;  // temporary files stop growing there
  const CliResult cli = RunCli(call);
  EXPECT_EQ(cli.status, 2);
  EXPECT_NE(cli.err.find("no space left for temporary files"), std::string::npos) << cli.err;
  EXPECT_EQ(ReadFile(out), "old");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"out.txt", "records.txt"}));
}

// Beyond 64 MiB reorder, merge and find hand the pages of a mapped input back behind each
// pass, and UTF-8 is converted a piece at a time into a temporary file: the same bytes as the
// rules give in memory, whatever the line ends, and nothing after a zero byte counts. The
// files are made once for the three tests, each of which stays within the time limit under
// the sanitizers.
class CliLargeInputs64 : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDirectory;
    const std::string some = ManyRecords();
    records_ = new std::string;
    while (records_->size() <= (std::size_t{64} << 20)) *records_ += some;
    // The UTF-8 file has LF line ends, and after a zero byte a byte that is not UTF-8.
    gbk_ = new std::string(dir_->WriteForCli("gbk.txt", *records_));
    utf8_ = new std::string(dir_->WriteForCli(
        "utf8.txt", ReplaceAll(ToUtf8(*records_), "\r\n", "\n") + std::string("\0\xFF", 2)));
  }
  static void TearDownTestSuite() {
    delete gbk_;
    delete utf8_;
    delete records_;
    delete dir_;
  }
  static inline TempDirectory* dir_ = nullptr;
  static inline std::string* records_ = nullptr;
  static inline std::string* gbk_ = nullptr;
  static inline std::string* utf8_ = nullptr;
};

TEST_F(CliLargeInputs64, ReorderAndMergeGiveTheSameBytes) {
  const std::string_view text[] = {*records_};
  std::string every_column;
  AppendDelimitedExport(text, "|", DelimitedColumnCount(text, "|"), std::nullopt, Text("|"),
                        every_column);
  std::string with_datum;
  AppendJoinedListWithDatum(*records_, "x", with_datum);
  const std::string expected[][2] = {{every_column, with_datum},
                                     {ToUtf8(every_column), ToUtf8(with_datum)}};
  for (const std::string* file : {gbk_, utf8_}) {
    const bool in_utf8 = file == utf8_;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"reorder", "-d", "|", *file},
          std::vector<std::string>{"merge", "--datum", "x", *file}}) {
      const CliResult cli = RunCli(args);
      EXPECT_EQ(cli.status, 0) << cli.err;
      EXPECT_TRUE(cli.out == expected[in_utf8][args[0] == "merge"]) << args[0] << " " << *file;
    }
  }
}

TEST_F(CliLargeInputs64, TwoListsOneConvertedAreWrittenInUtf8) {
  // Any UTF-8 list makes the result UTF-8.
  std::string pairs;
  AppendJoinedListPairs(*records_, *records_, pairs);
  const CliResult cli = RunCli({"merge", *utf8_, *gbk_});
  EXPECT_EQ(cli.status, 0) << cli.err;
  EXPECT_TRUE(cli.out == ToUtf8(pairs));
}

TEST_F(CliLargeInputs64, FindReadsTheConvertedTextAsTheGbkText) {
  const CliResult gbk = RunCli({"find", "-e", "张三\\d+", "--with-line", *gbk_});
  const CliResult in_utf8 = RunCli({"find", "-e", "张三\\d+", "--with-line", *utf8_});
  EXPECT_EQ(in_utf8.status, 0) << in_utf8.err;
  EXPECT_FALSE(gbk.out.empty());
  EXPECT_TRUE(in_utf8.out == ToUtf8(gbk.out));
}

}  // namespace
}  // namespace lanzhou::cli_test
