// Every write path of every page and every command, with each system call of the file
// code (io/) failing in turn: the k-th call fails, for every k until a run makes fewer calls.
// Whatever fails, the output is the old content or the new one (an append: the old content
// or all of ours), no stray file is left, a message says what went wrong, and the command
// exits non-zero.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "io/system_calls.h"
#include "pages/extract.h"
#include "pages/merge.h"
#include "pages/reorder.h"
#include "pages/wrap.h"
#include "tests/support/fake_units.h"
#include "tests/support/temp_directory.h"
#include "text/clock.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

// The call that fails (1 = the first call) and the calls made so far.
int fail_at = 0;
int calls = 0;
// The failed call was the sync of a file's data (not of a directory): nothing promised that
// data is on the disk, so the save must fail.
bool data_sync_failed = false;

bool Fails() { return ++calls == fail_at; }

int Open(const char* path, int flags, mode_t mode) {
  if (Fails()) return errno = EIO, -1;
  return RealSystemCalls().open(path, flags, mode);
}
ssize_t Read(int fd, void* data, std::size_t size) {
  if (Fails()) return errno = EIO, -1;
  return RealSystemCalls().read(fd, data, size);
}
ssize_t Write(int fd, const void* data, std::size_t size) {
  if (Fails()) return errno = ENOSPC, -1;
  return RealSystemCalls().write(fd, data, size);
}
ssize_t Pwrite(int fd, const void* data, std::size_t size, off_t offset) {
  if (Fails()) return errno = ENOSPC, -1;
  return RealSystemCalls().pwrite(fd, data, size, offset);
}
int Fsync(int fd) {
  if (Fails()) {
    struct stat st {};
    data_sync_failed = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    return errno = EIO, -1;
  }
  return RealSystemCalls().fsync(fd);
}
int Rename(const char* from, const char* to) {
  if (Fails()) return errno = EIO, -1;
  return RealSystemCalls().rename(from, to);
}
int Linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
  if (Fails()) return errno = EIO, -1;
  return RealSystemCalls().linkat(from_dir, from, to_dir, to, flags);
}
int Ftruncate(int fd, off_t length) {
  if (Fails()) return errno = EIO, -1;
  return RealSystemCalls().ftruncate(fd, length);
}
int Flock(int fd, int operation) {
  if (Fails()) return errno = ENOLCK, -1;
  return RealSystemCalls().flock(fd, operation);
}
void* Mmap(void* address, std::size_t length, int protection, int flags, int fd, off_t offset) {
  if (Fails()) return errno = ENOMEM, MAP_FAILED;
  return RealSystemCalls().mmap(address, length, protection, flags, fd, offset);
}

ssize_t Pread(int fd, void* data, std::size_t size, off_t offset) {
  if (Fails()) return errno = EIO, -1;
  return RealSystemCalls().pread(fd, data, size, offset);
}
int Unlink(const char* path) {
  if (Fails()) return errno = EIO, -1;
  return RealSystemCalls().unlink(path);
}

const SystemCalls kFaulty = {Open,  Read, Write, Pwrite, Fsync,   Rename, Linkat,      Ftruncate,
                             Flock, Mmap, Pread, Unlink, ::close, ::stat, ::faccessat, ::mkdir};

// What one run left: whether it reported success, what it said, and the files of its folder.
struct Outcome {
  bool succeeded;
  std::string message;
  std::vector<std::pair<std::string, std::string>> files;
};

// One write path: `prepare` fills a fresh folder, `run` writes into it.
struct WritePath {
  std::string name;
  std::function<void(const TempDirectory&)> prepare;
  std::function<Outcome(const TempDirectory&)> run;
};

const std::string kOld = "old\r\n";
const std::string kRecords = "x1|a\r\nx2|b\r\nx1|a\r\n";

WritePath Page(std::string name, bool merge, std::function<void(FakeUnits&)> fill,
               std::function<void(FakeUnits&)> press) {
  return {
      name,
      [merge](const TempDirectory& dir) {
        if (merge) dir.Write("合并数据.txt", kOld);
      },
      [fill, press](const TempDirectory& dir) {
        FakeUnits units(dir.text());
        fill(units);
        {
          ScopedSystemCalls faults(kFaulty);
          press(units);
        }
        const auto& messages = units.dialogs().messages;
        Outcome outcome{false, messages.empty() ? "" : ToUtf8(messages.back().text), dir.Files()};
        outcome.succeeded = !outcome.message.starts_with("保存失败");
        return outcome;
      }};
}

void FillList(FakeUnits& units, Unit grid, std::vector<const char*> lines) {
  GridData& g = units.Grid(grid);
  g.InsertColumn(-1, Text("id"), 40);
  g.InsertColumn(-1, Text("line"), 240);
  for (const char* line : lines) g.AppendRow({Text("n"), Text(line)});
}

// Many records, some repeated: more than `dedupe --memory 16K` holds, so it spills them to
// temporary files.
std::string ManyRecords() {
  std::string records;
  for (int i = 0; i < 1500; ++i) records += "r" + std::to_string(i % 1000) + "|x\r\n";
  return records;
}

// `old`: what out.txt holds before, if it exists; `a`: what a.txt holds.
WritePath Command(std::string name, std::vector<std::string> args,
                  std::optional<std::string> old = kOld, std::string a = kRecords) {
  return {name,
          [old, a](const TempDirectory& dir) {
            dir.Write("a.txt", a);
            dir.Write("b.txt", "y1\ny2\ny3\n");
            if (old) dir.Write("out.txt", *old);
          },
          [args](const TempDirectory& dir) {
            std::vector<std::string> expanded;
            for (const std::string& arg : args) {
              expanded.push_back(arg.ends_with(".txt") ? (dir.path() / arg).string() : arg);
            }
            const std::vector<std::string_view> views(expanded.begin(), expanded.end());
            const cli::ParseResult parsed = cli::ParseCommandLine(views);
            testing::internal::CaptureStderr();
            int status;
            {
              ScopedSystemCalls faults(kFaulty);
              status = cli::RunCommand(parsed.options);
            }
            const std::string message = testing::internal::GetCapturedStderr();
            EXPECT_TRUE(status == 0 || status == cli::kExitFile) << status;
            return Outcome{status == 0, message, dir.Files()};
          }};
}

std::vector<WritePath> WritePaths() {
  auto records = [](FakeUnits& units) {
    units.SetEditText(Unit::编辑框4, Text(kRecords));
    units.SetEditText(Unit::列1, Text("2|1"));
    units.SetEditText(Unit::被折行_编辑框, Text(kRecords));
    units.SetEditText(Unit::字数_编辑框, Text("4"));
    LoadDelimitedBytes(kRecords, Text("|"), units.Grid(Unit::超级列表框1));
    units.SetEditText(Unit::编辑框_列, Text("2,1"));
    units.dialogs().QueueText(Text("|"));
  };
  auto lists = [](FakeUnits& units) {
    FillList(units, Unit::超级列表框A, {"x1", "x2"});
    FillList(units, Unit::超级列表框b, {"y1", "y2"});
  };
  return {
      Page("extract page", false, records, OnExtractClicked),
      Page("wrap page", false, records, OnWrapClicked),
      Page("export page", false, records, OnExportClicked),
      Page("merge page", true, lists, OnMergeClicked),
      Command("extract", {"extract", "-f", "2|1", "a.txt", "-o", "out.txt"}),
      Command("dedupe", {"dedupe", "a.txt", "-o", "out.txt"}),
      Command("dedupe through temporary files",
              {"dedupe", "--memory", "16K", "a.txt", "-o", "out.txt"}, kOld, ManyRecords()),
      Command("wrap", {"wrap", "-w", "4", "a.txt", "-o", "out.txt"}),
      Command("reorder", {"reorder", "-d", "|", "-c", "2,1", "a.txt", "b.txt", "-o", "out.txt"}),
      Command("merge", {"merge", "a.txt", "b.txt", "-o", "out.txt"}),
      Command("merge into a new file", {"merge", "a.txt", "--datum", "d", "-o", "out.txt"},
              std::nullopt),
      Command("merge after half a line", {"merge", "a.txt", "b.txt", "-o", "out.txt"}, "half"),
  };
}

TEST(FaultInjection, EveryFailingCallLeavesOldOrNewContentAndSaysSo) {
  int injected = 0;
  for (const WritePath& path : WritePaths()) {
    SCOPED_TRACE(path.name);
    // The run without faults gives the folder as it was and as it should be.
    TempDirectory before_dir, clean_dir;
    path.prepare(before_dir);
    path.prepare(clean_dir);
    fail_at = 0;
    const Outcome clean = path.run(clean_dir);
    ASSERT_TRUE(clean.succeeded) << clean.message;
    ASSERT_NE(clean.files, before_dir.Files());
    for (int k = 1;; ++k) {
      SCOPED_TRACE("call " + std::to_string(k) + " fails");
      TempDirectory dir;
      path.prepare(dir);
      fail_at = k;
      calls = 0;
      data_sync_failed = false;
      const Outcome outcome = path.run(dir);
      if (calls < k) {  // no call failed: the path is done
        EXPECT_EQ(outcome.files, clean.files);
        break;
      }
      ++injected;
      if (outcome.succeeded) {
        // A fault that changes nothing promised (a mapping that falls back to reading, the
        // sync of the directory after the rename) may let the write succeed; a failed sync
        // of the data may not, though the files look as after a clean run.
        EXPECT_FALSE(data_sync_failed) << "the data's sync failed and the save succeeded";
        EXPECT_EQ(outcome.files, clean.files) << outcome.message;
      } else {
        EXPECT_EQ(outcome.files, before_dir.Files());
        EXPECT_FALSE(outcome.message.empty());
      }
    }
  }
  std::printf("fault injection: %d faults injected over %zu write paths\n", injected,
              WritePaths().size());
  EXPECT_GT(injected, 0);
}

}  // namespace
}  // namespace lanzhou
