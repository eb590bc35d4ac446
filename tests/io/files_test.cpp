#include "io/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "lanzhou-files-XXXXXX");
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // A path in the temporary directory, as the program builds paths: GB18030 Text.
  Text PathOf(const char* utf8_name) const { return FromUtf8(dir_ + "/" + utf8_name); }

  void Put(const char* utf8_name, const std::string& bytes) const {
    std::ofstream(dir_ + "/" + utf8_name, std::ios::binary) << bytes;
  }
  std::string Get(const char* utf8_name) const {
    std::ifstream in(dir_ + "/" + utf8_name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Every ReadLine until IsEndOfFile(…, true), as the import page reads.
  std::vector<Text> ReadAllLines(FileNumber f) {
    std::vector<Text> lines;
    for (int guard = 0; !IsEndOfFile(f, true) && guard < 100000; ++guard) {
      lines.push_back(ReadLine(f));
    }
    return lines;
  }

  std::string dir_;
};

TEST_F(FilesTest, RunDirectoryIsTheExecutablesFolder) {
  Text dir = RunDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.view().back(), '/');
  std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(ToUtf8(dir) + "/" + std::filesystem::path(exe).filename().string(), exe);
}

TEST_F(FilesTest, WriteToFileReplacesTheWholeContent) {
  const Text path = PathOf("分割后_2015年3月4日.txt");
  EXPECT_TRUE(WriteToFile(
      path, {Bytes(std::string("a\0b", 3)), Bytes(), Bytes(FromUtf8("中\r\n").view())}));
  EXPECT_EQ(Get("分割后_2015年3月4日.txt"), std::string("a\0b\xD6\xD0\r\n", 7));
  EXPECT_TRUE(WriteToFile(path, {Bytes(std::string("x"))}));
  EXPECT_EQ(Get("分割后_2015年3月4日.txt"), "x");
  EXPECT_TRUE(WriteToFile(path, {}));
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/分割后_2015年3月4日.txt"));
  EXPECT_EQ(Get("分割后_2015年3月4日.txt"), "");

  EXPECT_FALSE(WriteToFile(Text(), {Bytes(std::string("x"))}));
  EXPECT_FALSE(WriteToFile(PathOf("missing/dir.txt"), {Bytes(std::string("x"))}));
  EXPECT_FALSE(WriteToFile(FromUtf8(dir_), {Bytes(std::string("x"))}));
}

TEST_F(FilesTest, ReadWholeFileGivesEveryByteOrNothing) {
  std::string big(200000, 'z');
  big[100] = '\0';
  Put("big.bin", big);
  Put("empty.txt", "");
  EXPECT_EQ(ReadWholeFile(PathOf("big.bin")), Bytes(big));
  EXPECT_EQ(ReadWholeFile(PathOf("empty.txt")), Bytes());
  EXPECT_EQ(ReadWholeFile(PathOf("missing.txt")), Bytes());
  EXPECT_EQ(ReadWholeFile(Text()), Bytes());
  EXPECT_EQ(ReadWholeFile(FromUtf8(dir_)), Bytes());
}

TEST_F(FilesTest, OpenFileModesCreateTruncateOrRequireTheFile) {
  struct Case {
    OpenMode mode;
    bool exists_before;
    bool opens;
    std::string content_after;  // after writing "XY" through the number
  } cases[] = {
      {OpenMode::kRead, false, false, ""},        {OpenMode::kWrite, false, false, ""},
      {OpenMode::kReadWrite, false, false, ""},   {OpenMode::kWriteNew, false, true, "XY"},
      {OpenMode::kWriteKeep, false, true, "XY"},  {OpenMode::kReadWriteCreate, false, true, "XY"},
      {OpenMode::kRead, true, true, "abcd"},      {OpenMode::kWrite, true, true, "XYcd"},
      {OpenMode::kReadWrite, true, true, "XYcd"}, {OpenMode::kWriteNew, true, true, "XY"},
      {OpenMode::kWriteKeep, true, true, "XYcd"}, {OpenMode::kReadWriteCreate, true, true, "XYcd"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir_ + "/m.txt");
    if (c.exists_before) Put("m.txt", "abcd");
    FileNumber f = OpenFile(PathOf("m.txt"), c.mode, 1);
    EXPECT_EQ(f != 0, c.opens) << "mode " << static_cast<int>(c.mode);
    if (f == 0) continue;
    bool wrote = WriteText(f, {Text("XY")});
    EXPECT_EQ(wrote, c.mode != OpenMode::kRead) << "mode " << static_cast<int>(c.mode);
    CloseFile(f);
    EXPECT_EQ(Get("m.txt"), c.content_after) << "mode " << static_cast<int>(c.mode);
  }
}

TEST_F(FilesTest, OpenFileRejectsBadArguments) {
  Put("a.txt", "x");
  for (auto [mode, share] : {std::pair{0, 1}, {7, 1}, {3, 0}, {3, 5}, {-1, -1}}) {
    EXPECT_EQ(OpenFile(PathOf("a.txt"), static_cast<OpenMode>(mode), share), 0)
        << mode << "," << share;
  }
  EXPECT_EQ(OpenFile(Text(), OpenMode::kReadWriteCreate, 1), 0);
  EXPECT_EQ(OpenFile(FromUtf8(dir_), OpenMode::kRead, 1), 0);  // a folder is not a file
  for (int share = 1; share <= 4; ++share) {
    FileNumber f = OpenFile(PathOf("a.txt"), OpenMode::kRead, share);
    EXPECT_NE(f, 0) << share;
    CloseFile(f);
  }
  // Two numbers on one file are independent.
  FileNumber a = OpenFile(PathOf("a.txt"));
  FileNumber b = OpenFile(PathOf("a.txt"));
  EXPECT_NE(a, b);
  CloseFile(a);
  EXPECT_EQ(ReadLine(b), Text("x"));
  CloseFile(b);
}

TEST_F(FilesTest, ReadLineSplitsOnLineFeedsAndStopsAtZeroAnd1A) {
  struct Case {
    std::string bytes;
    std::vector<Text> lines;
  } cases[] = {
      {"a\r\nb\r\n", {Text("a"), Text("b")}},
      {"a\nb\n", {Text("a"), Text("b")}},
      {"a\r\nlast", {Text("a"), Text("last")}},
      {"a\n\nb", {Text("a"), Text(), Text("b")}},
      {"a\r\r\nb\rc\n", {Text("a\r"), Text("b\rc")}},
      {"\xD6\xD0|\x81\x7C\r\n", {Text("\xD6\xD0|\x81\x7C")}},
      // A lead byte never takes a line end with it: it stands alone and the line ends.
      {"\x8A\nx\r\n\x8A\r\ny", {Text("\x8A"), Text("x"), Text("\x8A"), Text("y")}},
      {std::string("ab\0cd\nef", 8), {Text("ab")}},
      {"ab\x1A"
       "cd\nef",
       {Text("ab")}},
      {std::string("\0", 1), {}},
      {"", {}},
      // A lead byte before a zero byte or the end is half a character: the line ends there.
      {std::string("ab\xD6\0cd", 6), {Text("ab")}},
      {"ab\xD6", {Text("ab")}},
      {"ab\n\xD6", {Text("ab"), Text()}},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Put("r.txt", cases[i].bytes);
    FileNumber f = OpenFile(PathOf("r.txt"));
    ASSERT_NE(f, 0);
    EXPECT_EQ(ReadAllLines(f), cases[i].lines) << "case " << i;
    CloseFile(f);
  }
}

TEST_F(FilesTest, ReadLineLeavesTheStopByteUnread) {
  Put("z.txt", std::string("ab\0cd\n", 6));
  FileNumber f = OpenFile(PathOf("z.txt"), OpenMode::kRead);
  EXPECT_EQ(ReadLine(f), Text("ab"));
  EXPECT_FALSE(IsEndOfFile(f));
  EXPECT_TRUE(IsEndOfFile(f, true));
  EXPECT_EQ(ReadLine(f), Text());
  EXPECT_TRUE(IsEndOfFile(f, true));
  CloseFile(f);

  // At a half character before a zero byte the reader moves on to the zero byte.
  Put("h.txt", std::string("ab\xD6\0", 4));
  f = OpenFile(PathOf("h.txt"), OpenMode::kRead);
  EXPECT_EQ(ReadLine(f), Text("ab"));
  EXPECT_TRUE(IsEndOfFile(f, true));
  EXPECT_FALSE(IsEndOfFile(f));
  CloseFile(f);
}

TEST_F(FilesTest, ReadLineCrossesBlockBoundaries) {
  // Lines longer than a block, and a two-byte character astride the 512-byte boundary.
  std::string first = std::string(511, 'a') + "\xD6\xD0" + std::string(700, 'b');
  std::string second = std::string(1000, 'c') + "\r";
  std::string third = FromUtf8("张三|李四").bytes();
  Put("long.txt", first + "\n" + second + "\n" + third);
  FileNumber f = OpenFile(PathOf("long.txt"));
  EXPECT_EQ(ReadAllLines(f),
            (std::vector<Text>{Text(first), Text(std::string(1000, 'c')), Text(third)}));
  EXPECT_TRUE(IsEndOfFile(f));
  CloseFile(f);
}

TEST_F(FilesTest, ManyLinesReadBackInOrder) {
  std::string content;
  std::vector<Text> want;
  for (int i = 0; i < 20000; ++i) {
    std::string line = std::to_string(i) + "|" + FromUtf8("数据").bytes();
    content += line + "\r\n";
    want.emplace_back(line);
  }
  Put("many.txt", content);
  FileNumber f = OpenFile(PathOf("many.txt"));
  EXPECT_EQ(ReadAllLines(f), want);
  CloseFile(f);
}

TEST_F(FilesTest, WriteLineConvertsValuesAndAppendsAfterSeekToEnd) {
  const Text path = PathOf("合并数据.txt");
  for (int run = 0; run < 2; ++run) {
    FileNumber f = OpenFile(path, OpenMode::kReadWriteCreate, 1);
    ASSERT_NE(f, 0);
    EXPECT_TRUE(SeekToEnd(f));
    EXPECT_TRUE(WriteLine(f, {FromUtf8("甲|乙")}));
    EXPECT_TRUE(WriteLine(f, {Text(), std::int32_t{-3}, 2.5, true, Bytes(std::string("skip")),
                              MakeTime(2015, 3, 4, 12)}));
    CloseFile(f);
  }
  const std::string once = FromUtf8("甲|乙\r\n\r\n-3\r\n2.5\r\n真\r\n2015年3月4日12时\r\n").bytes();
  EXPECT_EQ(Get("合并数据.txt"), once + once);

  // Written lines read back as written.
  FileNumber f = OpenFile(path);
  EXPECT_EQ(ReadLine(f), FromUtf8("甲|乙"));
  EXPECT_EQ(ReadLine(f), Text());
  EXPECT_EQ(ReadLine(f), Text("-3"));
  CloseFile(f);
}

TEST_F(FilesTest, WritesThroughOneNumberAreSeenByReadsThroughAnother) {
  Put("shared.txt", "old\n");
  FileNumber reader = OpenFile(PathOf("shared.txt"), OpenMode::kRead);
  FileNumber writer = OpenFile(PathOf("shared.txt"), OpenMode::kWrite);
  EXPECT_EQ(ReadLine(reader), Text("old"));
  EXPECT_TRUE(SeekToStart(reader));
  EXPECT_TRUE(WriteLine(writer, {Text("new")}));
  EXPECT_EQ(ReadLine(reader), Text("new"));
  CloseFile(reader);
  CloseFile(writer);
}

TEST_F(FilesTest, FailedWritesReportFalse) {
  Put("ro.txt", "abc");
  FileNumber f = OpenFile(PathOf("ro.txt"), OpenMode::kRead);
  EXPECT_FALSE(WriteLine(f, {Text("x")}));
  EXPECT_EQ(ReadLine(f), Text("abc"));  // the position did not move
  CloseFile(f);
  EXPECT_EQ(Get("ro.txt"), "abc");
}

TEST_F(FilesTest, UnknownNumbersDoNothing) {
  for (FileNumber f : {0, -1, 12345678}) {
    EXPECT_EQ(ReadLine(f), Text());
    EXPECT_FALSE(WriteLine(f, {Text("x")}));
    EXPECT_FALSE(WriteText(f, {Text("x")}));
    EXPECT_EQ(ReadText(f), Text());
    EXPECT_TRUE(IsEndOfFile(f));
    EXPECT_TRUE(IsEndOfFile(f, true));
    EXPECT_FALSE(SeekToEnd(f));
    EXPECT_FALSE(SeekToStart(f));
    CloseFile(f);
  }
  FileNumber m = OpenMemoryFile();
  CloseFile(m);
  EXPECT_FALSE(WriteText(m, {Text("x")}));  // closed numbers are unknown again
}

TEST(MemoryFile, WriteTextReadsBackUnchanged) {
  FileNumber f = OpenMemoryFile();
  ASSERT_NE(f, 0);
  std::string big;
  for (int i = 0; i < 3000; ++i) big += FromUtf8("键=值;").bytes();  // well beyond 1024 bytes
  EXPECT_TRUE(WriteText(f, {Text("{"), Text(big), std::int32_t{7}, Text("}")}));
  EXPECT_TRUE(IsEndOfFile(f));
  EXPECT_TRUE(SeekToStart(f));
  EXPECT_EQ(ReadText(f), Text("{" + big + "7}"));
  EXPECT_TRUE(IsEndOfFile(f));
  CloseFile(f);
}

TEST_F(FilesTest, ReadTextStopsBeforeZeroAnd1A) {
  struct Case {
    std::string content;
    std::optional<int> count;
    Text first, second;
  } cases[] = {
      {"abc", 2, Text("ab"), Text("c")},
      {"abc", 0, Text(), Text("abc")},
      {"abc", -1, Text(), Text("abc")},
      {std::string("ab\0cd", 5), std::nullopt, Text("ab"), Text()},
      {"ab\x1A"
       "cd",
       std::nullopt, Text("ab"), Text()},
      {"", std::nullopt, Text(), Text()},
  };
  for (const auto& c : cases) {
    Put("t.bin", c.content);
    FileNumber f = OpenFile(PathOf("t.bin"), OpenMode::kRead);
    EXPECT_EQ(c.count ? ReadText(f, c.count) : ReadText(f), c.first) << c.content;
    EXPECT_EQ(ReadText(f), c.second) << c.content;  // the stop byte stays unread
    CloseFile(f);
  }
}

TEST(MemoryFile, ReadLineAndSeekToEndWorkAsOnDisk) {
  FileNumber f = OpenMemoryFile();
  EXPECT_TRUE(WriteLine(f, {FromUtf8("第一行"), Text("2")}));
  EXPECT_TRUE(SeekToStart(f));
  EXPECT_EQ(ReadLine(f), FromUtf8("第一行"));
  EXPECT_TRUE(SeekToEnd(f));
  EXPECT_TRUE(WriteText(f, {Text("3")}));
  EXPECT_TRUE(SeekToStart(f));
  EXPECT_EQ(ReadText(f), FromUtf8("第一行\r\n2\r\n3"));
  CloseFile(f);
}

}  // namespace
}  // namespace lanzhou
