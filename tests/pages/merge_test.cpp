#include "pages/merge.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "tests/support/utf8_text.h"
#include "text/encoding.h"
#include "text/lines.h"

namespace lanzhou {
namespace {

using namespace std::string_literals;

std::vector<std::string> Strings(const TextArray& texts) {
  std::vector<std::string> out;
  for (const Text& text : texts) out.push_back(text.bytes());
  return out;
}

TEST(SplitListLines, LineEndsZeroBytesAndEncodings) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
    InputEncoding how = InputEncoding::kAuto;
  };
  const Case cases[] = {
      {"", {}},
      {"x1\r\nx2\r\n", {"x1", "x2"}},
      {"x1\r\n\r\nx2", {"x1", "", "x2"}},
      {"x1\nx2\n", {"x1", "x2"}},
      {"x1\nx2", {"x1", "x2"}},
      {"\r\n", {""}},
      {"\n\n", {"", ""}},
      // Only the CR right before the LF goes.
      {"a\r\r\nb\rc\r", {"a\r", "b\rc\r"}},
      {"a|b|c\r\nd----e\r\n", {"a|b|c", "d----e"}},
      // Nothing after the first zero byte counts; its line ends there.
      {"x1\r\nx\0y\r\nz"s, {"x1", "x"}},
      {"\0x1\r\n"s, {}},
      // GBK is taken as it is, a second byte 0x7C ("|") included.
      {"\xD6\xD0\r\n\x81|\r\n", {"\xD6\xD0", "\x81|"}},
      // UTF-8 becomes GB18030, with or without a byte-order mark.
      {"\xE4\xB8\xAD\n", {"\xD6\xD0"}},
      {"\xEF\xBB\xBF"
       "a\r\n\xE6\x96\x87\r\n",
       {"a", "\xCE\xC4"}},
      // GBK 谢谢 is also valid UTF-8 (лл): GBK unless the caller says UTF-8.
      {"\xD0\xBB\xD0\xBB\n", {"\xD0\xBB\xD0\xBB"}},
      {"\xD0\xBB\xD0\xBB\n", {"\xA7\xDD\xA7\xDD"}, InputEncoding::kUtf8},
      {"\xE4\xB8\xAD\n", {"\xE4\xB8\xAD"}, InputEncoding::kGbk},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Strings(SplitListLines(c.bytes, c.how)), c.lines) << testing::PrintToString(c.bytes);
  }
}

// What 合并数据.txt receives, spelled out line by line from the loaded lists: a||b| for each
// pair, or a||datum for each line of A.
std::string Joined(const TextArray& a, const TextArray& b) {
  std::string out;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    out += a[i].bytes() + "||" + b[i].bytes() + "|\r\n";
  }
  return out;
}
std::string Joined(const TextArray& a, const std::string& datum) {
  std::string out;
  for (const Text& line : a) out += line.bytes() + "||" + datum + "\r\n";
  return out;
}

// `WriteJoinedListWithDatum` on two threads, collected.
std::string StreamedWithDatum(std::string_view a_text, std::string_view datum) {
  std::string out;
  WriteJoinedListWithDatum(a_text, datum, 2, [&](std::string_view part) {
    out += part;
    return true;
  });
  return out;
}

// The joins straight from the decoded files, whole or a few lines at a time, must give the
// bytes of loading the lists as the page does and joining their lines.
void ExpectJoinsAgree(const std::string& a_file, const std::string& b_file,
                      const std::string& datum) {
  const TextArray a = SplitListLines(a_file);
  const TextArray b = SplitListLines(b_file);
  std::string a_storage, b_storage;
  const std::string_view a_text = DecodeListText(a_file, a_storage);
  const std::string_view b_text = DecodeListText(b_file, b_storage);
  EXPECT_EQ(CountLines(a_text), a.size());

  std::string actual = "kept\r\n";
  AppendJoinedListPairs(a_text, b_text, actual);
  EXPECT_EQ(actual, "kept\r\n" + Joined(a, b));
  actual = "kept\r\n";
  AppendJoinedListWithDatum(a_text, datum, actual);
  EXPECT_EQ(actual, "kept\r\n" + Joined(a, datum));
  EXPECT_EQ(StreamedWithDatum(a_text, datum), Joined(a, datum));

  for (const size_t lines : {1, 2, 3}) {
    std::string pieces;
    std::string_view a_rest = a_text, b_rest = b_text;
    while (!a_rest.empty() && !b_rest.empty()) {
      AppendJoinedListPairs(TakeLines(a_rest, lines), TakeLines(b_rest, lines), pieces);
    }
    EXPECT_EQ(pieces, Joined(a, b)) << lines;
  }
}

TEST(JoinLists, ViewPathEqualsSplitThenJoinOnAwkwardInputs) {
  const std::string files[] = {
      "",
      "\n",
      "\r\n",
      "\r",
      "x",
      "x1\r\n\r\nx2",
      "a\r\r\nb\rc\r",
      "\n\n\n",
      "x1\r\nx\0y\r\nz"s,
      "\0x"s,
      "\xD6\xD0\r\n\x81|\r\n",
      "\xEF\xBB\xBF"
      "a\r\n\xE6\x96\x87\r\n",
      "\xE4\xB8\xAD\n\n",
      "a|b||c\nd\r",
  };
  const std::string datums[] = {"", "d", "p|q", "\xD6\xD0"};
  size_t k = 0;
  for (const std::string& a : files) {
    for (const std::string& b : files) {
      SCOPED_TRACE(testing::PrintToString(a) + " / " + testing::PrintToString(b));
      ExpectJoinsAgree(a, b, datums[k++ % std::size(datums)]);
    }
  }
}

TEST(JoinLists, ViewPathEqualsSplitThenJoinOnRandomInputs) {
  // Short texts over the bytes that matter to splitting and decoding.
  const char alphabet[] = {'\n', '\r', '\0', 'a', '|', '\xD6', '\xD0', '\xE4', '\xB8', '\xAD'};
  std::mt19937 rng(20261207);
  auto random_text = [&] {
    std::string s(rng() % 24, ' ');
    for (char& c : s) c = alphabet[rng() % std::size(alphabet)];
    return s;
  };
  for (int round = 0; round < 2000; ++round) {
    const std::string a = random_text();
    const std::string b = random_text();
    SCOPED_TRACE(testing::PrintToString(a) + " / " + testing::PrintToString(b));
    ExpectJoinsAgree(a, b, random_text().substr(0, 3));
  }
}

TEST(JoinLines, PairAndFixedDatumShapes) {
  struct Case {
    std::string a, b;  // decoded list texts; b is the datum in fixed-datum mode
    std::string pairs, with_datum;
  } cases[] = {
      {"x", "y", "x||y|\r\n", "x||y\r\n"},
      {"\n", "\n", "|||\r\n", "||\n\r\n"},
      {"a|b", "\xD6\xD0", "a|b||\xD6\xD0|\r\n", "a|b||\xD6\xD0\r\n"},
      {"x", "p|q", "x||p|q|\r\n", "x||p|q\r\n"},
      {"x", "", "", "x||\r\n"},
      // Pairs stop at the shorter list; a datum is used as it is.
      {"x1\nx2\nx3", "y1\r\ny2\n", "x1||y1|\r\nx2||y2|\r\n",
       "x1||y1\r\ny2\n\r\nx2||y1\r\ny2\n\r\nx3||y1\r\ny2\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.a) + " / " + testing::PrintToString(c.b));
    std::string out = "kept\r\n";
    AppendJoinedListPairs(c.a, c.b, out);
    EXPECT_EQ(out, "kept\r\n" + c.pairs);
    out.clear();
    AppendJoinedListWithDatum(c.a, c.b, out);
    EXPECT_EQ(out, c.with_datum);
  }
  // Lines longer than a piece, written from the list itself: first, with CR LF, with LF, and
  // last without a line end; and pieces of many lines around them.
  std::string lines;
  for (int k = 0; lines.size() < (5 << 20); ++k) lines += "line " + std::to_string(k) + "\n";
  const std::string a = "a" + std::string(5 << 20, 'y') + "\r\n" + lines +
                        std::string(5 << 20, 'z') + "\nshort\r\n" + std::string(5 << 20, 'w') +
                        "\r";
  std::string want;
  AppendJoinedListWithDatum(a, "d", want);
  EXPECT_TRUE(StreamedWithDatum(a, "d") == want);
}

// Records every caption and every repaint, in order.
class RecordingUnits : public FakeUnits {
 public:
  using FakeUnits::FakeUnits;
  void SetCaption(Unit unit, const Text& text) override {
    if (unit == Unit::标签2) captions.push_back(text);
    FakeUnits::SetCaption(unit, text);
  }
  void ProcessEvents() override {
    ++repaints;
    if (on_repaint) on_repaint();
  }
  std::vector<Text> captions;
  int repaints = 0;
  std::function<void()> on_repaint;
};

class MergePage : public testing::Test {
 protected:
  MergePage() {
    units_.emplace(dir_.text());
    // The grids as the window defines them.
    GridData& a = units_->Grid(Unit::超级列表框A);
    a.InsertColumn(-1, Text("id"), 40);
    a.InsertColumn(-1, U("邮箱账号"), 240);
    GridData& b = units_->Grid(Unit::超级列表框b);
    b.InsertColumn(-1, Text("id"), 40);
    b.InsertColumn(-1, U("姓名"), 240);
  }

  RecordingUnits& units() { return *units_; }
  ScriptedDialogs& dialogs() { return units_->dialogs(); }

  Text WriteInput(const std::string& name, const std::string& bytes) {
    const auto path = dir_.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return Text(path.string());
  }
  std::filesystem::path OutputPath() const { return dir_.path() / "合并数据.txt"; }
  std::optional<std::string> Output() const {
    std::ifstream in(OutputPath(), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Lists of 60,000 lines, more than two megabytes joined: several chunks to write.
  void FillLongLists(TextArray& a, TextArray& b) {
    for (int i = 0; i < 60000; ++i) {
      a.push_back(Text("account" + std::to_string(i) + "@example.com"));
      b.push_back(Text("name" + std::to_string(i)));
    }
    Fill(Unit::超级列表框A, a);
    Fill(Unit::超级列表框b, b);
  }
  void Fill(Unit grid, const TextArray& lines) {
    for (const Text& line : lines) {
      const int row = units().Grid(grid).InsertItem(-1, Text("n"));
      units().Grid(grid).SetCellText(row, 1, line);
    }
  }
  std::vector<std::pair<std::string, std::string>> RowsOf(Unit grid) {
    std::vector<std::pair<std::string, std::string>> rows;
    GridData& data = units().Grid(grid);
    for (int r = 0; r < data.ItemCount(); ++r) {
      rows.emplace_back(data.GetCellText(r, 0).bytes(), data.GetCellText(r, 1).bytes());
    }
    return rows;
  }
  static ScriptedDialogs::Message Question(std::string_view utf8) {
    return {U(utf8), 36, U("信息：")};
  }
  // What a merge of `rows` lines says once they are in 合并数据.txt.
  ScriptedDialogs::Message Merged(int rows) const {
    return {
        U("处理OK！\n已合并 " + std::to_string(rows) + " 行\n") + dir_.text() + U("/合并数据.txt"),
        message_flags::kOpenFolder, U("信息：")};
  }

  TempDirectory dir_;
  std::optional<RecordingUnits> units_;
};

using Rows = std::vector<std::pair<std::string, std::string>>;

TEST_F(MergePage, DropOntoEmptyGridNumbersRowsWithoutAsking) {
  OnListADropped(units(), WriteInput("a.txt", "x1\r\na|b|c\r\n"));
  EXPECT_EQ(RowsOf(Unit::超级列表框A), (Rows{{"1", "x1"}, {"2", "a|b|c"}}));
  EXPECT_TRUE(RowsOf(Unit::超级列表框b).empty());
  EXPECT_TRUE(dialogs().messages.empty());
}

TEST_F(MergePage, SecondDropAsksThenKeepsOrReplacesRows) {
  struct Case {
    int answer;
    Rows rows;
  };
  const Case cases[] = {
      {message_result::kNo, {{"1", "x1"}, {"2", "x2"}, {"3", "z1"}, {"4", "z2"}}},
      {message_result::kYes, {{"1", "z1"}, {"2", "z2"}}},
  };
  for (const Case& c : cases) {
    units().Grid(Unit::超级列表框b).DeleteAllItems();
    dialogs().messages.clear();
    OnListBDropped(units(), WriteInput("b.txt", "x1\r\nx2\r\n"));
    dialogs().QueueMessageAnswer(c.answer);
    OnListBDropped(units(), WriteInput("z.txt", "z1\nz2"));
    EXPECT_EQ(RowsOf(Unit::超级列表框b), c.rows) << c.answer;
    EXPECT_EQ(dialogs().messages,
              std::vector<ScriptedDialogs::Message>{Question("是否删除已有的数据？")});
  }
}

// A file that cannot be read or is not text is refused before the question, and a drop of
// nothing else leaves the list as it was, unasked.
TEST_F(MergePage, UnusableFilesAreRefusedBeforeTheQuestion) {
  const Text missing((dir_.path() / "missing.txt").string());
  const struct {
    Text path;
    const char* said;
  } kCases[] = {
      {missing, "无法打开文件："},
      {WriteInput("a.png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s), "不是文本文件："},
      {WriteInput("ls",
                  "\x7f"
                  "ELF\x02\x01\x01\0\0\0"s),
       "不是文本文件："},
      {WriteInput("nul.txt", "q\0dropped\r\n"s), "不是文本文件："},
  };
  for (const auto& c : kCases) {
    units().Grid(Unit::超级列表框A).DeleteAllItems();
    Fill(Unit::超级列表框A, {"old"});
    dialogs().messages.clear();
    OnListADropped(units(), c.path);
    EXPECT_EQ(dialogs().messages,
              (std::vector<ScriptedDialogs::Message>{{U(c.said) + c.path, 16, U("信息：")}}));
    EXPECT_EQ(RowsOf(Unit::超级列表框A), (Rows{{"n", "old"}}));
  }
}

TEST_F(MergePage, SeveralFilesLoadInOrderAfterOneQuestion) {
  Fill(Unit::超级列表框A, {"old"});
  const Text first = WriteInput("1.txt", "p1\r\n\r\np2");
  const Text second = WriteInput("2.txt", "q\r\n");
  dialogs().QueueMessageAnswer(message_result::kNo);
  OnListADropped(units(), first + "\r\n" + second + "\r\n");
  EXPECT_EQ(RowsOf(Unit::超级列表框A),
            (Rows{{"n", "old"}, {"2", "p1"}, {"3", ""}, {"4", "p2"}, {"5", "q"}}));
  EXPECT_EQ(dialogs().messages.size(), 1u);
}

TEST_F(MergePage, PairModeWritesFourFieldLines) {
  Fill(Unit::超级列表框A, {"x1", "x2", "x3"});
  Fill(Unit::超级列表框b, {"y1", "y2", "y3"});
  OnMergeClicked(units());
  EXPECT_EQ(Output(), "x1||y1|\r\nx2||y2|\r\nx3||y3|\r\n");
  EXPECT_EQ(units().captions, (std::vector<Text>{Text("3/1"), U("处理OK！")}));
  EXPECT_EQ(units().repaints, 1);
  EXPECT_EQ(dialogs().messages, std::vector{Merged(3)});
}

TEST_F(MergePage, DifferentLengthsAskAndYesStopsAtTheShorterList) {
  struct Case {
    TextArray b;
    int answer;
    std::optional<std::string> output;
    Text caption;
    std::optional<ScriptedDialogs::Message> then;
  };
  const Case cases[] = {
      {{"y1", "y2"}, message_result::kYes, "x1||y1|\r\nx2||y2|\r\n", U("处理OK！"), Merged(2)},
      {{"y1", "y2"}, message_result::kNo, std::nullopt, Text("before"), std::nullopt},
      // B empty and Yes: nothing to write, so no file either, and it is said.
      {{},
       message_result::kYes,
       std::nullopt,
       Text("before"),
       ScriptedDialogs::Message{U("B 没有资料，没有可合并的行"), message_flags::kIconWarning,
                                U("信息：")}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(OutputPath());
    units().Grid(Unit::超级列表框A).DeleteAllItems();
    units().Grid(Unit::超级列表框b).DeleteAllItems();
    dialogs().messages.clear();
    Fill(Unit::超级列表框A, {"x1", "x2", "x3"});
    Fill(Unit::超级列表框b, c.b);
    units().SetCaption(Unit::标签2, Text("before"));
    dialogs().QueueMessageAnswer(c.answer);
    OnMergeClicked(units());
    EXPECT_EQ(Output(), c.output) << c.answer;
    EXPECT_EQ(units().Caption(Unit::标签2), c.caption);
    std::vector<ScriptedDialogs::Message> said{
        Question("检测到您导入的A数据数量与B数据资料数量不一致，是否继续合并？")};
    if (c.then) said.push_back(*c.then);
    EXPECT_EQ(dialogs().messages, said);
  }
}

TEST_F(MergePage, EmptyListAStopsInEitherMode) {
  Fill(Unit::超级列表框b, {"y1"});
  for (bool ticked : {false, true}) {
    units().SetTicked(Unit::选择框1, ticked);
    units().SetCaption(Unit::标签2, Text("before"));
    OnMergeClicked(units());
    EXPECT_EQ(units().Caption(Unit::标签2), U("请先导入资料！"));
  }
  EXPECT_EQ(Output(), std::nullopt);
  EXPECT_TRUE(dialogs().messages.empty());
}

TEST_F(MergePage, FixedDatumJoinsEveryLineOfAWithoutLookingAtB) {
  struct Case {
    std::string datum;
    std::string output;
  };
  const Case cases[] = {
      {"d", "x1||d\r\nx2||d\r\n"},
      {"p|q|", "x1||p|q|\r\nx2||p|q|\r\n"},
  };
  Fill(Unit::超级列表框A, {"x1", "x2"});
  Fill(Unit::超级列表框b, {"y1", "y2", "y3"});
  units().SetTicked(Unit::选择框1, true);
  for (const Case& c : cases) {
    std::filesystem::remove(OutputPath());
    units().SetEditText(Unit::编辑框1, Text(c.datum));
    OnMergeClicked(units());
    EXPECT_EQ(Output(), c.output) << c.datum;
    EXPECT_EQ(units().Caption(Unit::标签2), U("处理OK！"));
  }
  EXPECT_EQ(dialogs().messages, std::vector(2, Merged(2)));
}

TEST_F(MergePage, EveryPressAppendsAndNothingIsEverCleared) {
  WriteInput("合并数据.txt", "earlier\r\n");
  Fill(Unit::超级列表框A, {"x1"});
  Fill(Unit::超级列表框b, {"y1"});
  OnMergeClicked(units());
  OnMergeClicked(units());
  EXPECT_EQ(Output(), "earlier\r\nx1||y1|\r\nx1||y1|\r\n");
}

// A merge stopped mid-line (SIGKILL) left half a line: this merge starts on a new line and
// says so, and the half line stays.
TEST_F(MergePage, AfterHalfALineTheMergeStartsOnANewLineAndSaysSo) {
  WriteInput("合并数据.txt", "earlier\r\nx9||y");
  Fill(Unit::超级列表框A, {"x1"});
  Fill(Unit::超级列表框b, {"y1"});
  OnMergeClicked(units());
  EXPECT_EQ(Output(), "earlier\r\nx9||y\r\nx1||y1|\r\n");
  ASSERT_FALSE(dialogs().messages.empty());
  EXPECT_EQ(dialogs().messages[0].text,
            U("合并数据.txt 的最后一行不完整（之前的写入被中断），本次合并的数据从新的一行开始。"));
  EXPECT_EQ(units().captions.back(), U("处理OK！"));
}

// Another program appending to the file holds its lock: the page says so and keeps the
// window repainting until the lock is free, then appends after that program's lines.
TEST_F(MergePage, WaitsVisiblyForAnotherProgramAppendingToTheFile) {
  WriteInput("合并数据.txt", "earlier\r\n");
  Fill(Unit::超级列表框A, {"x1"});
  Fill(Unit::超级列表框b, {"y1"});
  const int held = open(OutputPath().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  bool released = false;
  units().on_repaint = [&] {
    if (released || units().repaints < 3) return;
    EXPECT_EQ(write(held, "theirs\r\n", 8), 8);
    close(held);
    released = true;
  };
  OnMergeClicked(units());
  EXPECT_EQ(Output(), "earlier\r\ntheirs\r\nx1||y1|\r\n");
  ASSERT_GE(units().captions.size(), 3u);
  EXPECT_EQ(units().captions[0], U("等待其他程序写完合并数据.txt……"));
  EXPECT_EQ(units().captions[2], U("等待其他程序写完合并数据.txt……"));
  EXPECT_EQ(units().captions.back(), U("处理OK！"));
}

TEST_F(MergePage, DroppedFilesMergeIntoGbkLines) {
  // A is UTF-8 from a Linux editor, B is GBK with CR LF, and its 谢谢 is also valid UTF-8
  // (лл): the detector keeps it GBK.
  OnListADropped(units(), WriteInput("a.txt", "\xE4\xB8\xAD@a.cn\n\n"));
  OnListBDropped(units(), WriteInput("b.txt", "\xD0\xBB\xD0\xBB\r\nb|"));
  OnMergeClicked(units());
  EXPECT_EQ(Output(), "\xD6\xD0@a.cn||\xD0\xBB\xD0\xBB|\r\n||b||\r\n");
}

TEST_F(MergePage, LongListsComeOutWholeAcrossWriteChunks) {
  TextArray a, b;
  FillLongLists(a, b);
  OnMergeClicked(units());
  const std::string expected = Joined(a, b);
  ASSERT_GT(expected.size(), 2u << 20);
  EXPECT_EQ(Output(), expected);
}

TEST_F(MergePage, UnopenableOutputStopsWithAMessage) {
  std::filesystem::create_directory(OutputPath());
  Fill(Unit::超级列表框A, {"x1"});
  Fill(Unit::超级列表框b, {"y1"});
  units().SetCaption(Unit::标签2, Text("before"));
  OnMergeClicked(units());
  const Text path = dir_.text() + U("/合并数据.txt");
  EXPECT_EQ(dialogs().messages,
            (std::vector<ScriptedDialogs::Message>{
                {U("保存失败：") + path + U("（同名的文件夹已存在）"), 16, U("信息：")}}));
  EXPECT_EQ(units().Caption(Unit::标签2), Text("before"));
}

// Lets the process write files only up to `bytes`; writes beyond fail (EFBIG).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_DFL);
  }

 private:
  rlimit saved_;
};

// An output that did not exist before the merge is gone again, an earlier one is as it was.
TEST_F(MergePage, FailedWriteTakesBackWhatThisMergeAppended) {
  Fill(Unit::超级列表框A, {"x1", "x2", "x3", "x4"});
  units().SetTicked(Unit::选择框1, true);
  units().SetEditText(Unit::编辑框1, Text("datum"));  // lines of 11 bytes with CR LF
  for (const std::optional<std::string>& earlier :
       {std::optional<std::string>("earlier\r\n"), std::optional<std::string>()}) {
    SCOPED_TRACE(earlier.has_value());
    if (earlier) WriteInput("合并数据.txt", *earlier);
    {
      FileSizeLimit limit(9 + 11 + 11 + 5);  // room for two lines and part of the third
      OnMergeClicked(units());
    }
    EXPECT_EQ(Output(), earlier);
    ASSERT_EQ(dialogs().messages.size(), 1u);
    EXPECT_EQ(dialogs().messages[0].text,
              U("保存失败：") + dir_.text() + U("/合并数据.txt（文件超过大小上限）"));
    EXPECT_EQ(dialogs().messages[0].flags, 16);
    EXPECT_NE(units().Caption(Unit::标签2), U("处理OK！"));
    dialogs().messages.clear();
    std::filesystem::remove(OutputPath());
  }
}

// The user cancels while another program holds the file, or after a chunk of lines went
// in: the file is as it was, as after a failed write, and no message follows.
TEST_F(MergePage, CancelTakesBackWhatThisMergeAppended) {
  TextArray a, b;
  FillLongLists(a, b);
  for (const bool held_by_another : {true, false}) {
    SCOPED_TRACE(held_by_another);
    WriteInput("合并数据.txt", "earlier\r\n");
    const int held = open(OutputPath().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_EQ(flock(held, held_by_another ? LOCK_EX : LOCK_UN), 0);
    // Past the first megabyte of lines (about 30,000 rows), or while waiting.
    units().cancel_at_step = held_by_another ? 2 : 50000;
    OnMergeClicked(units());
    close(held);
    EXPECT_EQ(Output(), "earlier\r\n");
    EXPECT_EQ(units().Caption(Unit::标签2), U("已取消"));
    EXPECT_TRUE(dialogs().messages.empty());
  }
}

}  // namespace
}  // namespace lanzhou
