#include "pages/reorder.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "io/files.h"
#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "text/encoding.h"
#include "text/gbk_chars.h"
#include "text/text_primitives.h"
#include "ui/dropped_text.h"

namespace lanzhou {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

// Every row of the grid, one string per column.
Rows RowsOf(const GridData& grid) {
  Rows rows;
  for (int r = 0; r < grid.ItemCount(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < grid.ColumnCount(); ++c)
      rows.back().push_back(grid.GetCellText(r, c).bytes());
  }
  return rows;
}

std::vector<std::string> CaptionsOf(const GridData& grid) {
  std::vector<std::string> captions;
  for (const GridColumn& column : grid.columns()) captions.push_back(column.caption.bytes());
  return captions;
}

std::string Gbk(const char* utf8) { return FromUtf8(utf8).bytes(); }

GridData GridOf(const Rows& rows, int columns) {
  GridData grid;
  for (int c = 0; c < columns; ++c) grid.InsertColumn();
  for (const auto& row : rows) {
    std::vector<Text> cells;
    for (const auto& cell : row) cells.emplace_back(cell);
    grid.AppendRow(std::move(cells));
  }
  return grid;
}

struct LoadCase {
  const char* name;
  std::string bytes;
  std::string delimiter;
  Rows rows;
  InputEncoding how = InputEncoding::kAuto;
};

TEST(LoadDelimitedBytes, CutsLinesAndFieldsAsTheLineReaderDoes) {
  const std::string yi = "\x83\x7C";  // 億: its second byte is "|"
  const std::string comma = Gbk("，");
  const LoadCase cases[] = {
      {"crlf", "a|b|c\r\nd|e\r\n", "|", {{"a", "b", "c"}, {"d", "e", ""}}},
      {"lf only, last line open", "a|b\nc", "|", {{"a", "b"}, {"c", ""}}},
      {"empty lines are rows", "a\r\n\r\n\nb\r\n", "|", {{"a"}, {""}, {""}, {"b"}}},
      {"leading, doubled, trailing", "|a||b|\r\n", "|", {{"", "a", "", "b"}}},
      {"one CR dropped, inner CR kept", "a\rb\r\r\n", "|", {{"a\rb\r"}}},
      {"zero byte ends the load",
       std::string("a|b\r\nc\0d\r\ne\r\n", 13),
       "|",
       {{"a", "b"}, {"c", ""}}},
      {"0x1A ends the load", "x\r\n\x1Ay\r\n", "|", {{"x"}}},
      {"delimiter inside a character", yi + "|x\r\n", "|", {{yi, "x"}}},
      {"two-byte delimiter", "\xB0\xA3\xAC\x40" + comma + "b", comma, {{"\xB0\xA3\xAC\x40", "b"}}},
      {"several bytes", "a##b###c", "##", {{"a", "b", "#c"}}},
      {"empty delimiter keeps the line", "a|b", "", {{"a|b"}}},
      {"utf-8 decoded",
       "\xEF\xBB\xBF名字|年龄\n张三|20\n",
       "|",
       {{Gbk("名字"), Gbk("年龄")}, {Gbk("张三"), "20"}}},
      {"utf-8 delimiter matches", "张三，20", comma, {{Gbk("张三"), "20"}}},
      {"gbk kept", Gbk("张三|二十"), "|", {{Gbk("张三"), Gbk("二十")}}},
      {"empty file", "", "|", {}},
      // GBK 模|平 is also valid UTF-8 (ģ|ƽ).
      {"gbk that reads as utf-8", Gbk("模|平"), "|", {{Gbk("模"), Gbk("平")}}},
      {"told utf-8", Gbk("模|平"), "|", {{Gbk("ģ"), Gbk("ƽ")}}, InputEncoding::kUtf8},
      // UTF-8 bytes told to be GBK: A0 and 89 take "x" and "y" as their second bytes.
      {"told gbk", "张x|三y", "|", {{"\xE5\xBC\xA0x", "\xE4\xB8\x89y"}}, InputEncoding::kGbk},
  };
  for (const LoadCase& c : cases) {
    GridData grid;
    LoadDelimitedBytes(c.bytes, Text(c.delimiter), grid, {}, c.how);
    EXPECT_EQ(RowsOf(grid), c.rows) << c.name;
  }
}

TEST(LoadDelimitedBytes, AppendsRowsAndAddsNumberedColumnsAsNeeded) {
  GridData grid;
  LoadDelimitedBytes("a|b|c\r\nd|e\r\n", "|", grid);
  LoadDelimitedBytes("x|y|z|w\r\n", "|", grid);
  EXPECT_EQ(CaptionsOf(grid), (std::vector<std::string>{"1", "2", "3", "4"}));
  for (const GridColumn& column : grid.columns()) EXPECT_EQ(column.width, 50);
  EXPECT_EQ(RowsOf(grid), (Rows{{"a", "b", "c", ""}, {"d", "e", "", ""}, {"x", "y", "z", "w"}}));
}

// Fields must be exactly those of SplitText, on random mixes of delimiter and GBK bytes.
TEST(LoadDelimitedBytes, SplitsAsSplitText) {
  const std::string alphabet = "a|#,\x83\x7C\xA3\xAC";
  const std::string delimiters[] = {"|", "##", "\xA3\xAC", "|#", "\x7C\x83"};
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string line;
    for (std::size_t n = random() % 12; n > 0; --n) line += alphabet[random() % alphabet.size()];
    line += 'a';  // no lone lead byte at the end, which the line reader would drop
    const Text delimiter(delimiters[round % std::size(delimiters)]);
    GridData grid;
    LoadDelimitedBytes(line + "\n", delimiter, grid);
    std::vector<std::string> expected;
    for (const Text& field : SplitText(Text(line), delimiter)) expected.push_back(field.bytes());
    expected.resize(static_cast<std::size_t>(grid.ColumnCount()));
    ASSERT_EQ(RowsOf(grid), Rows{expected}) << testing::PrintToString(line);
  }
}

// The grid the file line reader and SplitText make of the file at `path`.
GridData ReadLineBySplitText(const Text& path, const Text& delimiter) {
  GridData expected;
  const FileNumber file = OpenFile(path, OpenMode::kRead);
  if (file == 0) return expected;
  while (!IsEndOfFile(file, true)) {
    TextArray fields = SplitText(ReadLine(file), delimiter);
    while (expected.ColumnCount() < static_cast<int>(fields.size())) expected.InsertColumn();
    expected.AppendRow(std::move(fields));
  }
  CloseFile(file);
  return expected;
}

// The loader must agree with the file line reader on awkward bytes.
TEST(LoadDelimitedFile, AgreesWithReadLine) {
  const std::string inputs[] = {
      "ab\x81",    "ab\x81\r\ncd", std::string("a\x81\0b", 4), "\x81\n|x\r\ny",
      "a\r\r\n\r", "\r\n\r\n",     std::string("\0a", 2),      "a|\x81\x1A|b\nc",
  };
  TempDirectory dir;
  for (const std::string& input : inputs) {
    const Text path = dir.Write("in.txt", input);
    GridData grid;
    // A zero byte makes a file that is not text: refused whole, as every dropped file is.
    ASSERT_EQ(LoadDelimitedFile(path, "|", grid), LooksLikeText(input));
    if (!LooksLikeText(input)) {
      EXPECT_EQ(grid.ItemCount(), 0);
      continue;
    }
    EXPECT_EQ(RowsOf(grid), RowsOf(ReadLineBySplitText(path, "|")))
        << testing::PrintToString(input);
  }
  GridData grid;
  EXPECT_FALSE(LoadDelimitedFile(dir.text() + Text("/missing.txt"), "|", grid));
}

// The same on random mixes of line ends, stops, lead bytes and delimiters (none of them
// UTF-8, so nothing is decoded).
TEST(LoadDelimitedFile, AgreesWithReadLineOnRandomBytes) {
  const std::string alphabet = std::string("a|#,\r\n\x83\x7C\xA3\xAC\x81\x1A\0", 13);
  const std::string delimiters[] = {"|", "##", "\xA3\xAC", "|#", "\x7C\x83", "\r", "\n|"};
  TempDirectory dir;
  std::mt19937 random(5);
  for (int round = 0; round < 1500; ++round) {
    std::string input;
    for (std::size_t n = random() % 30; n > 0; --n) {
      const std::size_t k = random() % (alphabet.size() + 20);
      input += k < alphabet.size() ? alphabet[k] : alphabet[k % 11];  // stops are rarer
    }
    const Text delimiter(delimiters[round % std::size(delimiters)]);
    const Text path = dir.Write("in.txt", input);
    GridData grid;
    ASSERT_EQ(LoadDelimitedFile(path, delimiter, grid), LooksLikeText(input));
    if (!LooksLikeText(input)) continue;
    ASSERT_EQ(RowsOf(grid), RowsOf(ReadLineBySplitText(path, delimiter)))
        << testing::PrintToString(input) << " " << testing::PrintToString(delimiter.bytes());
  }
}

struct ExportCase {
  const char* order;
  std::string delimiter;
  std::string expected;
};

TEST(ExportColumns, BuildsEveryRowInTheTypedOrder) {
  const GridData grid = GridOf({{"a", "b", "c"}, {"d", "e"}}, 3);
  const ExportCase cases[] = {
      {"3,1", "|", "c|a\r\n|d\r\n"},
      {"1,9", "|", "a\r\nd\r\n"},  // column 1 exists, so its delimiter is written, then dropped
      {"9,1", "|", "a\r\nd\r\n"},
      {"2147483647,1", "|", "a\r\nd\r\n"},
      {"3、1", "|", "c|a\r\n|d\r\n"},
      {"3 1;2", "|", "c|a|b\r\n|d|e\r\n"},
      // An order that is not wholly numbers from 1 names no column: empty lines.
      {"0,1", "|", "\r\n\r\n"},
      {"-1,x,2", "|", "\r\n\r\n"},
      {"1.5", "|", "\r\n\r\n"},
      // Beyond int names no column (no wrapping to 1, or to -1 with its delimiter).
      {"4294967297,4294967295,2", "|", "b\r\ne\r\n"},
      {"1,1,2", "::", "a::a::b\r\nd::d::e\r\n"},
      {"３,1", Gbk("，"), "c" + Gbk("，") + "a\r\n" + Gbk("，") + "d\r\n"},
      {"3,1", "", "ca\r\nd\r\n"},
      {"", "|", "\r\n\r\n"},
  };
  for (const ExportCase& c : cases) {
    EXPECT_EQ(ExportColumns(grid, FromUtf8(c.order), Text(c.delimiter)).data(), c.expected)
        << c.order << " / " << c.delimiter;
  }
  EXPECT_EQ(ExportColumns(GridData(), "1", "|").data(), "");
}

TEST(ExportColumns, DropsATrailingDelimiterOnlyOnACharacterBoundary) {
  const std::string yi = "\x83\x7C";  // 億
  const GridData grid = GridOf({{"c|", "x"}, {"c||", "x"}, {yi, "x"}, {"a" + yi, "x"}}, 2);
  EXPECT_EQ(ExportColumns(grid, "1", "|").data(), "c\r\nc|\r\n" + yi + "\r\na" + yi + "\r\n");
  EXPECT_EQ(ExportColumns(grid, "2,1", "|").data(),
            "x|c\r\nx|c|\r\nx|" + yi + "\r\nx|a" + yi + "\r\n");
  EXPECT_EQ(ExportColumns(grid, "1,9", "|").data(), "c|\r\nc||\r\n" + yi + "\r\na" + yi + "\r\n");
}

// The export as the page describes it, spelled out with the primitives: every file's lines
// read with `ReadLine`, split with `SplitText`, then each row built number by number.
std::string ReferenceExport(const std::vector<std::string>& files, const std::string& delimiter,
                            const std::string& order, const std::string& out_delimiter) {
  std::vector<TextArray> rows;
  int columns = 0;
  for (const std::string& file : files) {
    const FileNumber memory = OpenMemoryFile();
    WriteText(memory, {Text(DecodeInput(file))});
    SeekToStart(memory);
    while (!IsEndOfFile(memory, true)) {
      rows.push_back(SplitText(ReadLine(memory), Text(delimiter)));
      columns = std::max(columns, static_cast<int>(rows.back().size()));
    }
    CloseFile(memory);
  }
  const std::vector<int> numbers = ReadNumberList(Text(order)).value_or(std::vector<int>());
  const Text d(out_delimiter);
  std::string out;
  for (const TextArray& row : rows) {
    Text line;
    for (std::size_t k = 0; k < numbers.size(); ++k) {
      const int column = numbers[k];
      if (column <= static_cast<int>(row.size())) line = line + row[column - 1];
      if (k + 1 < numbers.size() && columns >= column) line = line + d;
    }
    const int cut = TextLength(line) - TextLength(d);
    if (!d.empty() && RightText(line, TextLength(d)) == d && IsCharStart(line.view(), 0, cut)) {
      line = LeftText(line, cut);
    }
    out += line.bytes() + "\r\n";
  }
  return out;
}

// The page's form: each file loaded in turn into one new grid, then exported.
std::string LoadedThenExported(const std::vector<std::string>& files, const std::string& delimiter,
                               const std::string& order, const std::string& out_delimiter) {
  GridData grid;
  for (const std::string& file : files) LoadDelimitedBytes(file, Text(delimiter), grid);
  return ExportColumns(grid, Text(order), Text(out_delimiter)).data();
}

// As lanzhou-cli streams it: the files cut into pieces, columns counted over every piece up
// to the highest number asked, then each piece exported.
std::string ExportedInPieces(std::span<const std::string_view> files, const std::string& delimiter,
                             const std::optional<Text>& order, const std::string& out_delimiter) {
  const std::vector<std::string_view> pieces = DelimitedPieces(files);
  const int at_most = order ? HighestColumn(*order) : std::numeric_limits<int>::max();
  int columns = 0;
  for (const std::string_view& piece : pieces) {
    columns = std::max(columns, DelimitedColumnCount(std::span(&piece, 1), delimiter, at_most,
                                                     DelimitedParts::kPieces));
  }
  std::string out;
  for (const std::string_view& piece : pieces) {
    AppendDelimitedExport(std::span(&piece, 1), delimiter, columns, order, Text(out_delimiter), out,
                          DelimitedParts::kPieces);
  }
  return out;
}

// The streaming form: columns counted up to the highest number, then streamed, over the files
// whole and (the same bytes) in pieces.
std::string Streamed(const std::vector<std::string>& files, const std::string& delimiter,
                     const std::string& order, const std::string& out_delimiter) {
  std::vector<std::string> decoded;
  for (const std::string& file : files) decoded.push_back(DecodeInput(file));
  const std::vector<std::string_view> views(decoded.begin(), decoded.end());
  std::string out;
  AppendDelimitedExport(views, delimiter,
                        DelimitedColumnCount(views, delimiter, HighestColumn(Text(order))),
                        Text(order), Text(out_delimiter), out);
  EXPECT_EQ(ExportedInPieces(views, delimiter, Text(order), out_delimiter), out);
  return out;
}

// The command line's form without an order: every column, each line streamed, compared with
// the rule for the order 1,2,…,n.
void ExpectEveryColumnStreamed(const std::vector<std::string>& files, const std::string& delimiter,
                               const std::string& out_delimiter) {
  std::vector<std::string> decoded;
  for (const std::string& file : files) decoded.push_back(DecodeInput(file));
  const std::vector<std::string_view> views(decoded.begin(), decoded.end());
  const int columns = DelimitedColumnCount(views, delimiter);
  std::string out;
  AppendDelimitedExport(views, delimiter, columns, std::nullopt, Text(out_delimiter), out);
  EXPECT_EQ(out,
            ReferenceExport(files, delimiter, AllColumnsOrder(columns).bytes(), out_delimiter));
  EXPECT_EQ(ExportedInPieces(views, delimiter, std::nullopt, out_delimiter), out);
}

struct StreamCase {
  std::vector<std::string> files;
  std::string delimiter;
  std::string order;
  std::string out_delimiter;
  std::string expected;
};

TEST(ReorderExport, BothFormsFollowTheRule) {
  using namespace std::string_literals;
  const std::string yi = "\x83\x7C";  // 億: its second byte is "|"
  const StreamCase cases[] = {
      // The column count is that of all files: "9" is beyond, "3" exists only in the second.
      {{"a|b\n", "c|d|e\n"}, "|", "3,1", "|", "|a\r\ne|c\r\n"},
      {{"a|b\n", "c|d|e\n"}, "|", "2,3", "|", "b\r\nd|e\r\n"},
      {{"a|b\n", "c|d\n"}, "|", "2,3", "|", "b\r\nd\r\n"},
      {{"a|b|c\r\nd|e\r\n"}, "|", "3,1,9,1", "|", "c|a|a\r\n|d|d\r\n"},
      // A zero byte or 0x1A ends only its own file's load; a CR before LF goes, others stay.
      {{"a|b\0x|y\nz"s, "c\x1A|d\n", "e|f\r\r\n"}, "|", "2,1", ":", "b:a\r\n:c\r\nf\r:e\r\n"},
      // A lead byte takes the next byte with it ("\x81|" is no delimiter), but never a line
      // end: "\x81\n" ends its line.
      {{"a\x81|b|c\nd\x81\n|e\r\n"}, "|", "2,1", "|", "c|a\x81|b\r\n|d\x81\r\ne\r\n"},
      // A lone lead byte at the end of a file or before a zero byte is dropped.
      {{"a|b\x81", "c|d\x81\0"s}, "|", "2", "|", "b\r\nd\r\n"},
      {{"\n\n", "", "x\n"}, "|", "1,1", "-", "\r\n\r\nx-x\r\n"},
      {{"x\n"}, "|", "", "|", "\r\n"},
      {{"", ""}, "|", "1", "|", ""},
      // Trailing delimiters: one on a line adds no field; one left at the end of an exported
      // line is dropped only when it starts a character.
      {{"a|\n" + yi + "|x\n"}, "|", "1,2", "|", "a\r\n" + yi + "|x\r\n"},
      {{"a|\n" + yi + "|x\n"}, "|", "2,1", "|", "|a\r\nx|" + yi + "\r\n"},
      {{"a##b##\n##c\n"}, "##", "2,1,3", "|", "b|a\r\nc|\r\n"},
      {{"p\xA3\xACq\n"}, "\xA3\xAC", "2,1", "\xA3\xAC", "q\xA3\xACp\r\n"},
      // UTF-8 files are decoded first, as the loader does.
      {{"\xEF\xBB\xBFk|\xE4\xBD\xA0\n"}, "|", "2,1", "|", "\xC4\xE3|k\r\n"},
      {{"a|b"}, "", "1,2", "|", "a|b\r\n"},
  };
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.files) + " " + c.order);
    EXPECT_EQ(ReferenceExport(c.files, c.delimiter, c.order, c.out_delimiter), c.expected);
    EXPECT_EQ(LoadedThenExported(c.files, c.delimiter, c.order, c.out_delimiter), c.expected);
    EXPECT_EQ(Streamed(c.files, c.delimiter, c.order, c.out_delimiter), c.expected);
    ExpectEveryColumnStreamed(c.files, c.delimiter, c.out_delimiter);
  }
  // A line packed with delimiters: as many columns as delimiters, one line out.
  const std::string packed(100000, '|');
  for (const char* out_delimiter : {"::", "|"}) {
    ExpectEveryColumnStreamed({packed + "a\n|b\n" + packed + "\n"}, "|", out_delimiter);
  }
  EXPECT_EQ(Streamed({packed + "a\n|b\n"}, "|", "100001,2", "|"), "a\r\n|b\r\n");
  // Lines longer than the piece they end, whose ends are not searched for: the LF before the
  // first begins just before, at and just after a megabyte into the piece, and the file's last
  // line has neither LF nor its last lead byte's pair.
  for (const std::size_t first : {(1u << 20) - 2, (1u << 20) - 1, 1u << 20}) {
    std::string file(first, 'x');
    for (std::size_t i = 1; i + 3 < first; i += 89) file.replace(i, 3, i % 2 ? "|b\n" : "\r\n|");
    file +=
        "\n1|" + std::string(3 << 19, 'y') + "|2\r\nz|w\n" + std::string(3 << 19, 'v') + "|u\r\x81";
    for (const char* order : {"2,1"}) {
      EXPECT_EQ(Streamed({file}, "|", order, "|"), LoadedThenExported({file}, "|", order, "|"))
          << first << " / " << order;
    }
  }
}

std::string Repeat(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

// A line longer than a few megabytes, every column: written as it is made, a part at a time,
// with the bytes of the whole line. What ends it is judged from the last ASCII byte written.
TEST(ReorderExport, ALongLineIsWrittenAsItIsMade) {
  const std::string ascii = Repeat("ab|", 2'000'000);
  const std::string chinese = Repeat("\xD6\xD0", 2'600'000);  // no ASCII byte for 5 MB
  const std::string yi = "\x83\x7C";                          // 億: its second byte is "|"
  const StreamCase cases[] = {
      {{ascii + "end|\n"}, "|", "", "::", Repeat("ab::", 2'000'000) + "end\r\n"},
      {{ascii + "end|\n"}, "|", "", "|", ascii + "end\r\n"},
      {{chinese + "|x|" + yi + "|\n"},
       "|",
       "",
       "\xA3\xAC",
       chinese + "\xA3\xACx\xA3\xAC" + yi + "\r\n"},
      {{chinese + "|" + yi + "\n"}, "|", "", "|", chinese + "|" + yi + "\r\n"},
      {{chinese + "|" + yi}, "|", "", "::", chinese + "::" + yi + "\r\n"},
      {{chinese + yi + "\n"}, "|", "", "|", chinese + yi + "\r\n"},
      // The line lacks two of the three columns.
      {{ascii + "\np##q##r\n"}, "##", "", "|", ascii + "|\r\np|q|r\r\n"},
  };
  int writes = 0;
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.expected.substr(c.expected.size() - 12));
    const std::vector<std::string_view> views(c.files.begin(), c.files.end());
    const std::vector<std::string_view> pieces = DelimitedPieces(views);
    std::size_t heard = 0;
    const std::function<void(std::string_view)> scanned = [&](std::string_view part) {
      heard += part.size();
    };
    int columns = 0;
    for (const std::string_view& piece : pieces) {
      columns = std::max(columns, DelimitedColumnCount(std::span(&piece, 1), c.delimiter,
                                                       std::numeric_limits<int>::max(),
                                                       DelimitedParts::kPieces, scanned));
    }
    std::string written;
    const std::function<bool(std::string_view)> write = [&](std::string_view part) {
      written += part;
      ++writes;
      return true;
    };
    for (const std::string_view& piece : pieces) {
      std::string out;
      ASSERT_TRUE(AppendDelimitedExport(std::span(&piece, 1), c.delimiter, columns, std::nullopt,
                                        Text(c.out_delimiter), out, DelimitedParts::kPieces, write,
                                        scanned));
      EXPECT_LE(out.size(), std::size_t{8} << 20);
      written += out;
    }
    EXPECT_GT(heard, 0u);
    // Compared without printing megabytes.
    EXPECT_TRUE(written == c.expected) << written.size() << " bytes";
    EXPECT_TRUE(ExportedInPieces(views, c.delimiter, std::nullopt, c.out_delimiter) == c.expected);
  }
  EXPECT_GT(writes, 5);
  // Counted as ASCII for the first 64 MB, whose end lies inside a field, then field by field.
  const std::string mixed = Repeat("ab|", 23'000'000) + "\xD6\xD0|\xD6\xD0";
  const std::string_view view = mixed;
  EXPECT_EQ(DelimitedColumnCount(std::span(&view, 1), "|"), 23'000'002);
  EXPECT_EQ(DelimitedColumnCount(std::span(&view, 1), "|", 5), 5);
}

TEST(ReorderExport, BothFormsFollowTheRuleOnRandomInput) {
  const std::string alphabet = "a|#,\r\n\x83\x7C\xA3\xAC\x81";
  const std::string rare[] = {std::string(1, '\0'), "\x1A", "\r\n", "\n"};
  const std::string delimiters[] = {"|", "##", "\xA3\xAC", "|#", "\x7C\x83", "\r", "\n|"};
  const std::string out_delimiters[] = {"|", "", "\xA3\xAC", "::", "\x7C"};
  std::mt19937 random(11);
  for (int round = 0; round < 4000; ++round) {
    std::vector<std::string> files(random() % 4);
    for (std::string& file : files) {
      for (std::size_t n = random() % 40; n > 0; --n) {
        file += random() % 16 == 0 ? rare[random() % std::size(rare)]
                                   : std::string(1, alphabet[random() % alphabet.size()]);
      }
    }
    std::string order;
    for (std::size_t n = random() % 6; n > 0; --n) {
      if (!order.empty()) order += ',';
      order += std::to_string(static_cast<int>(random() % 9) - 2);
    }
    if (random() % 8 == 0) order += ",x";
    const std::string& delimiter = delimiters[random() % std::size(delimiters)];
    const std::string& out_delimiter = out_delimiters[random() % std::size(out_delimiters)];
    SCOPED_TRACE(testing::PrintToString(files) + " delimiter " + testing::PrintToString(delimiter) +
                 " order " + order + " out " + testing::PrintToString(out_delimiter));
    const std::string reference = ReferenceExport(files, delimiter, order, out_delimiter);
    ASSERT_EQ(LoadedThenExported(files, delimiter, order, out_delimiter), reference);
    ASSERT_EQ(Streamed(files, delimiter, order, out_delimiter), reference);
    ExpectEveryColumnStreamed(files, delimiter, out_delimiter);
    if (HasFailure()) return;
  }
}

TEST(DelimitedColumnCount, IsTheMostFieldsOfAnyLineOfAnyFile) {
  const std::vector<std::string_view> files = {"a|b\n", "", "c|d|e|\n\0x|y|z|w", "f"};
  EXPECT_EQ(DelimitedColumnCount(files, "|"), 3);
  EXPECT_EQ(DelimitedColumnCount(files, ""), 1);
  EXPECT_EQ(DelimitedColumnCount(files, "|", 2), 2);
  EXPECT_EQ(DelimitedColumnCount(files, "|", 5), 3);
  EXPECT_EQ(DelimitedColumnCount(files, "|", 0), 0);
  EXPECT_EQ(DelimitedColumnCount(files, "|", -1), 0);
  EXPECT_EQ(DelimitedColumnCount(std::vector<std::string_view>{"\n\r\n"}, "|"), 0);
}

class ReorderPage : public testing::Test {
 protected:
  ReorderPage() : units_(dir_.text()) { ImportDelimiter() = Text(); }
  ~ReorderPage() override { ImportDelimiter() = Text(); }

  GridData& grid() { return units_.Grid(Unit::超级列表框1); }
  ScriptedDialogs& dialogs() { return units_.dialogs(); }
  Text RowCountCaption() { return units_.Caption(Unit::标签_行数); }
  static Text Label(int rows) {
    return FromUtf8(("当前列表共: " + std::to_string(rows) + " 行").c_str());
  }
  static ScriptedDialogs::Question DelimiterPrompt() {
    return {FromUtf8("请输入导入的分隔符!"), FromUtf8("请输入："), "|", 1};
  }

  TempDirectory dir_;
  FakeUnits units_;
};

TEST_F(ReorderPage, ButtonImportLoadsRewritesTheOrderAndKeepsTheFileName) {
  const Text path = dir_.Write("in.txt", "a|b|c\r\nd|e\r\n");
  units_.SetEditText(Unit::编辑框_列, "3,1");
  dialogs().QueueText(Text("|"));
  dialogs().QueueFile(path);
  OnImportClicked(units_);

  EXPECT_EQ(dialogs().questions, std::vector{DelimiterPrompt()});
  ASSERT_EQ(dialogs().file_dialogs.size(), 1u);
  EXPECT_EQ(dialogs().file_dialogs[0].kind, 0);
  EXPECT_EQ(dialogs().file_dialogs[0].initial_folder, Text());  // the home folder
  EXPECT_EQ(dialogs().file_dialogs[0].filter, FromUtf8("文本文件|*.txt|所有文件|*"));
  EXPECT_EQ(RowsOf(grid()), (Rows{{"a", "b", "c"}, {"d", "e", ""}}));
  EXPECT_EQ(RowCountCaption(), Label(2));
  EXPECT_EQ(units_.EditText(Unit::编辑框_列), Text("1,2,3"));
  EXPECT_EQ(units_.autofit_calls, 1);
  EXPECT_TRUE(dialogs().messages.empty());

  // Cancelling the prompt now keeps "|"; the dialog offers the last file again.
  dialogs().QueueFile(dir_.Write("more.txt", "x|y|z|w"));
  OnImportClicked(units_);
  EXPECT_EQ(dialogs().file_dialogs[1].file_name, path);
  EXPECT_EQ(dialogs().file_dialogs[1].initial_folder, dir_.text());  // the folder used last
  EXPECT_EQ(CaptionsOf(grid()), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(RowCountCaption(), Label(3));
  EXPECT_EQ(units_.EditText(Unit::编辑框_列), Text("1,2,3,4"));
}

TEST_F(ReorderPage, ImportStopsQuietlyWithoutADelimiterOrAFile) {
  OnImportClicked(units_);  // prompt cancelled, no delimiter yet
  OnImportDropped(units_, dir_.Write("in.txt", "a|b"));
  EXPECT_TRUE(dialogs().file_dialogs.empty());
  dialogs().QueueText(Text(";"));
  OnImportClicked(units_);  // file dialog cancelled
  dialogs().QueueText(Text(""));
  OnImportDropped(units_, dir_.Write("in.txt", "a|b"));  // an empty delimiter confirmed
  EXPECT_EQ(dialogs().questions.size(), 4u);
  EXPECT_EQ(dialogs().file_dialogs.size(), 1u);
  EXPECT_EQ(grid().ItemCount(), 0);
  EXPECT_EQ(RowCountCaption(), Text());
  EXPECT_TRUE(dialogs().messages.empty());
}

TEST_F(ReorderPage, EmptyFileThroughTheButtonEmptiesTheOrder) {
  units_.SetEditText(Unit::编辑框_列, "1,2");
  dialogs().QueueText(Text("|"));
  dialogs().QueueFile(dir_.Write("empty.txt", ""));
  OnImportClicked(units_);
  EXPECT_EQ(grid().ColumnCount(), 0);
  EXPECT_EQ(units_.EditText(Unit::编辑框_列), Text());
  EXPECT_EQ(RowCountCaption(), Label(0));
}

TEST_F(ReorderPage, DropImportsEachFileInOrderAndLeavesTheOrderAlone) {
  units_.SetEditText(Unit::编辑框_列, "2");
  dialogs().QueueText(Text(","));
  const Text one = dir_.Write("one.txt", "1,2\r\n");
  const Text two = dir_.Write("two.txt", "3\r\n4,5,6\r\n");
  OnImportDropped(units_, one + Text("\r\n") + two + Text("\r\n"));
  EXPECT_EQ(dialogs().questions.size(), 1u);
  EXPECT_EQ(RowsOf(grid()), (Rows{{"1", "2", ""}, {"3", "", ""}, {"4", "5", "6"}}));
  EXPECT_EQ(RowCountCaption(), Label(3));
  EXPECT_EQ(units_.EditText(Unit::编辑框_列), Text("2"));
}

TEST_F(ReorderPage, UnreadableFileIsNamedAndTheCountRefreshed) {
  const Text missing = dir_.text() + Text("/missing.txt");
  const Text folder = dir_.text();
  // A line packed with more delimiters than a grid has columns is refused before its cells
  // multiply the memory; the rows before it stay.
  const Text packed = dir_.Write("packed.txt", "b|c\n" + std::string(70000, '|') + "\nd\n");
  dialogs().QueueText(Text("|"));
  OnImportDropped(units_, dir_.Write("in.txt", "a") + Text("\r\n") + missing + Text("\r\n") +
                              folder + Text("\r\n") + packed + Text("\r\n"));
  const Text caption = FromUtf8("信息：");
  const std::vector<ScriptedDialogs::Message> expected{
      {FromUtf8("无法打开文件：") + missing, 16, caption},
      {FromUtf8("无法打开文件：") + folder, 16, caption},
      {FromUtf8("第2行的列数超过表格最多能显示的65536列：") + packed, 16, caption}};
  EXPECT_EQ(dialogs().messages, expected);
  EXPECT_EQ(RowCountCaption(), Label(2));
  EXPECT_EQ(grid().ColumnCount(), 2);
}

TEST_F(ReorderPage, InputFilesAreNeverOpenedForWriting) {
  const Text path = dir_.Write("in.txt", "a|b\r\n");
  fs::permissions(dir_.path() / "in.txt", fs::perms::owner_read);
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, path.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);
  dialogs().QueueText(Text("|"));
  OnImportDropped(units_, path);
  EXPECT_EQ(grid().ItemCount(), 1);

  alignas(inotify_event) char buffer[4096];
  const ssize_t length = read(watch, buffer, sizeof buffer);
  close(watch);
  ASSERT_GT(length, 0);
  for (ssize_t at = 0; at < length;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
    EXPECT_FALSE(event->mask & IN_CLOSE_WRITE);
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
  }
}

TEST_F(ReorderPage, ExportWritesTheTimeStampedFileAndTellsSo) {
  GridData& g = grid();
  g = GridOf({{"a", "b", "c"}, {"d", "e", "f"}}, 3);
  units_.SetEditText(Unit::编辑框_列, "3,1");
  dialogs().QueueText(Text("|"));
  OnExportClicked(units_);
  const std::string name = "处理后_2015年3月4日12时30分45秒.txt";
  EXPECT_EQ(dir_.Read(name), "c|a\r\nf|d\r\n");
  const ScriptedDialogs::Question export_prompt{FromUtf8("请输入导出的分隔符!"),
                                                FromUtf8("请输入："), "|", 1};
  EXPECT_EQ(dialogs().questions, std::vector{export_prompt});
  const ScriptedDialogs::Message done{
      FromUtf8("导出数据成功！！！\n已保存 2 行\n") + dir_.text() + FromUtf8("/" + name),
      message_flags::kOpenFolder, FromUtf8("信息：")};
  EXPECT_EQ(dialogs().messages, std::vector{done});

  // Same second: the first file stays, the second gets "_2"; a cancelled prompt means no
  // delimiter.
  OnExportClicked(units_);
  EXPECT_EQ(dir_.Read(name), "c|a\r\nf|d\r\n");
  EXPECT_EQ(dir_.Read("处理后_2015年3月4日12时30分45秒_2.txt"), "ca\r\nfd\r\n");
  EXPECT_EQ(RowsOf(grid()).size(), 2u);
  EXPECT_EQ(units_.EditText(Unit::编辑框_列), Text("3,1"));
}

TEST_F(ReorderPage, ExportOfAnEmptyGridDoesNothingAndAFailedWriteIsReported) {
  OnExportClicked(units_);
  EXPECT_TRUE(dialogs().questions.empty());
  EXPECT_TRUE(fs::is_empty(dir_.path()));
  EXPECT_EQ(dialogs().messages,
            (std::vector<ScriptedDialogs::Message>{
                {FromUtf8("请先导入资料！"), message_flags::kIconWarning, FromUtf8("信息：")}}));

  FakeUnits elsewhere(dir_.text() + Text("/no-such-dir"));
  elsewhere.Grid(Unit::超级列表框1) = GridOf({{"a"}}, 1);
  elsewhere.SetEditText(Unit::编辑框_列, "1");
  OnExportClicked(elsewhere);
  const ScriptedDialogs::Message failed{
      FromUtf8("保存失败：") + dir_.text() +
          FromUtf8("/no-such-dir/处理后_2015年3月4日12时30分45秒.txt（文件夹不存在）"),
      16, FromUtf8("信息：")};
  EXPECT_EQ(elsewhere.dialogs().messages, std::vector{failed});
}

TEST_F(ReorderPage, ClearRemovesRowsAndColumnsOnly) {
  units_.SetEditText(Unit::编辑框_列, "2,1");
  dialogs().QueueText(Text("|"));
  OnImportDropped(units_, dir_.Write("in.txt", "a|b\r\n"));
  OnClearClicked(units_);
  EXPECT_EQ(grid().ItemCount(), 0);
  EXPECT_EQ(grid().ColumnCount(), 0);
  EXPECT_EQ(RowCountCaption(), Text());  // no count for no list, as at start
  EXPECT_EQ(units_.EditText(Unit::编辑框_列), Text("2,1"));
  EXPECT_EQ(ImportDelimiter(), Text("|"));
  OnClearClicked(units_);
  EXPECT_EQ(grid().ColumnCount(), 0);

  OnImportDropped(units_, dir_.Write("in.txt", "x"));  // prompt cancelled: "|" stays
  EXPECT_EQ(CaptionsOf(grid()), std::vector<std::string>{"1"});
}

// The user cancels a load at its first or a later row: nothing of the file is kept, and the
// count and the order are those of before.
TEST_F(ReorderPage, CancelledImportLeavesTheGridAsItWas) {
  const Text path = dir_.Write("long.txt", "p|q|r|s\r\nt\r\nu\r\n");
  for (const bool by_button : {true, false}) {
    for (const int step : {1, 3}) {
      SCOPED_TRACE(testing::Message() << by_button << " " << step);
      grid() = GridOf({{"a", "b"}}, 2);
      units_.SetCaption(Unit::标签_行数, Label(1));
      units_.SetEditText(Unit::编辑框_列, "2,1");
      dialogs().QueueText(Text("|"));
      if (by_button) dialogs().QueueFile(path);
      units_.cancel_at_step = step;
      if (by_button) {
        OnImportClicked(units_);
      } else {
        OnImportDropped(units_, path + Text("\r\n") + path + Text("\r\n"));
      }
      EXPECT_EQ(RowsOf(grid()), (Rows{{"a", "b"}}));
      EXPECT_EQ(grid().ColumnCount(), 2);
      EXPECT_EQ(RowCountCaption(), Label(1));
      EXPECT_EQ(units_.EditText(Unit::编辑框_列), Text("2,1"));
      EXPECT_TRUE(dialogs().messages.empty());
    }
  }
}

}  // namespace
}  // namespace lanzhou
