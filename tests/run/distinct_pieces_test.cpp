#include "run/distinct_pieces.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "tests/support/temp_directory.h"
#include "text/gbk_chars.h"

namespace lanzhou {
namespace {

// The rule in its plainest form: step by character, split where the separator starts one,
// keep what was not seen.
std::string Reference(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  std::size_t p = 0;
  while (text.size() - p >= separator.size()) {
    if (text.substr(p, separator.size()) == separator) {
      pieces.push_back(text.substr(start, p - start));
      start = p += separator.size();
    } else {
      p = NextCharStart(text, p);
    }
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  std::unordered_set<std::string_view> seen;
  std::string out;
  for (std::string_view piece : pieces) {
    if (!seen.insert(piece).second) continue;
    if (seen.size() > 1) out += separator;
    out += piece;
  }
  return out;
}

std::string Distinct(std::string_view text, const DistinctPiecesOptions& options,
                     DistinctPiecesStats* stats = nullptr, std::string_view separator = "\r\n") {
  std::string out;
  std::string error;
  EXPECT_TRUE(WriteDistinctPieces(
      text, separator, options,
      [&](std::string_view part) {
        out += part;
        return true;
      },
      error, stats))
      << error;
  return out;
}

TEST(DistinctPiecesTest, SmallTextsAsTheRuleSays) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"\r\n", ""},
      {"a\r\nb\r\na", "a\r\nb"},
      {"b\r\na\r\nb\r\nc\r\na", "b\r\na\r\nc"},
      {"a\r\n\r\nb\r\n\r\nc\r\n", "a\r\n\r\nb\r\nc"},
      {"\r\na\r\n\r\n", "\r\na"},
      {"a\nb\na", "a\nb\na"},
      // 0xD6 never takes the CR of a separator with it: one piece, twice.
      {"x\xD6\r\nx\xD6\r\n", "x\xD6"},
      {"\xD6\xD0\r\n\xD6\xD0\r\n", "\xD6\xD0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Distinct(c.text, {}), c.expected) << c.text;
    EXPECT_EQ(Reference(c.text, "\r\n"), c.expected) << c.text;
  }
  EXPECT_EQ(Distinct("a|b|a", {}, nullptr, "|"), "a|b");
  EXPECT_EQ(Distinct("a\r\na", {}, nullptr, ""), "a\r\na");
}

// Lines drawn from a pool with repeats, over bytes that test the character rule at the
// separator (lead bytes before CR, "|" as a second byte).
std::string RandomLines(std::size_t bytes, unsigned seed) {
  std::mt19937 random(seed);
  const std::string alphabet[] = {"a", "b", "\xD6\xD0", "\xD6", "\r", "\n", "|", "\r\n"};
  std::vector<std::string> pool;
  std::string text;
  while (text.size() < bytes) {
    if (pool.empty() || random() % 3 == 0) {
      std::string line;
      for (unsigned n = random() % 12; n > 0; --n) line += alphabet[random() % 8];
      pool.push_back(line);
    }
    text += pool[random() % pool.size()];
    text += "\r\n";
  }
  return text;
}

// `count` distinct lines of `length` bytes, then a quarter of them again.
std::string LongLines(int count, std::size_t length) {
  std::mt19937 random(7);
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    std::string line = std::to_string(i) + ":";
    while (line.size() < length) line += static_cast<char>('a' + random() % 26);
    lines.push_back(line);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  for (int i = 0; i < count / 4; ++i) text += lines[random() % count] + "\r\n";
  return text;
}

TEST(DistinctPiecesTest, SameBytesForEveryThreadCountAndMemoryLimit) {
  // Above 4 MB the threads are used; a limit of 1 MB is reached after a few windows, one of
  // 16 KB at once and again inside the partitions (below 4 MB one thread works). Long lines
  // with a limit of 256 KB split a partition while it still reads the pieces written before
  // the limit was reached.
  const std::string large = RandomLines(6 << 20, 7);
  const std::string small = RandomLines(2 << 20, 5);
  const std::string long_lines = LongLines(8000, 6000);
  // Lines longer than the steps in which long pieces are searched, hashed, compared and
  // written, held in the partition files by reference.
  const std::string huge_lines = LongLines(8, 5 << 20);
  TempDirectory temp;
  const struct {
    const std::string& text;
    std::uint64_t limit;
    bool spills;
    std::vector<int> threads;
  } runs[] = {{large, 0, false, {1, 2, 7}},
              {large, 1 << 20, true, {1, 2, 7}},
              {small, 16 << 10, true, {1}},
              {long_lines, 256 << 10, true, {1}},
              {huge_lines, 16 << 10, true, {2}}};
  for (const auto& run : runs) {
    const std::string expected = Reference(run.text, "\r\n");
    for (int threads : run.threads) {
      DistinctPiecesOptions options;
      options.threads = threads;
      options.memory_limit = run.limit;
      options.temp_directory = temp.path().string();
      DistinctPiecesStats stats;
      EXPECT_TRUE(Distinct(run.text, options, &stats) == expected)
          << "limit " << run.limit << ", threads " << threads;
      EXPECT_EQ(stats.used_temporary_files, run.spills);
      EXPECT_TRUE(temp.Files().empty());
    }
  }
}

// A mapped file large enough to hand its pages back behind the work, with lines longer than
// the steps of every search: in memory and beyond it, the rule's bytes.
TEST(DistinctPiecesTest, AMappedFileOfLongLinesGivesTheSameBytes) {
  const std::string text = LongLines(14, 5 << 20);
  TempDirectory input;
  const std::filesystem::path path = input.path() / "in.txt";
  std::ofstream(path, std::ios::binary) << text;
  const int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  void* map = mmap(nullptr, text.size(), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  ASSERT_NE(map, MAP_FAILED);
  const std::string_view mapped(static_cast<const char*>(map), text.size());
  const std::string expected = Reference(text, "\r\n");
  TempDirectory temp;
  for (const std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{16} << 10}) {
    DistinctPiecesOptions options;
    options.threads = 2;
    options.memory_limit = limit;
    options.temp_directory = temp.path().string();
    options.text_is_file_mapping = true;
    EXPECT_TRUE(Distinct(mapped, options) == expected) << limit;
  }
  munmap(map, text.size());
}

TEST(DistinctPiecesTest, TemporaryFilesThatCannotBeWrittenFailTheRunAndLeaveNothing) {
  const std::string text = RandomLines(1 << 20, 3);
  TempDirectory temp;
  DistinctPiecesOptions options;
  options.memory_limit = 16 << 10;
  options.temp_directory = (temp.path() / "missing").string();
  std::string error;
  auto write = [](std::string_view) { return true; };
  EXPECT_FALSE(WriteDistinctPieces(text, "\r\n", options, write, error));
  EXPECT_NE(error.find("cannot make a temporary file in '" + options.temp_directory),
            std::string::npos);

  // A full disk, as a file size limit: writes past it fail with EFBIG.
  options.temp_directory = temp.path().string();
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 64 << 10;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const bool ok = WriteDistinctPieces(text, "\r\n", options, write, error);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, "no space left for temporary files in '" + options.temp_directory + "'");
  EXPECT_TRUE(temp.Files().empty());
}

}  // namespace
}  // namespace lanzhou
