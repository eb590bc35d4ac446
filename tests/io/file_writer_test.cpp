// Results replace a file as a whole: a failure of any kind leaves the earlier file as it was
// and no temporary file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "io/file_writer.h"
#include "io/files.h"
#include "tests/reliability/hostile_files.h"

namespace lanzhou {
namespace {

using namespace reliability;

const std::string kOld = "the earlier file, whole\r\n";

// Replaces `path` by `parts`; 0 when done, else the errno of the step that failed.
int Replace(const std::string& path, std::initializer_list<std::string_view> parts) {
  OutputFile out(path, OutputFile::Mode::kReplace);
  bool ok = out.Open();
  for (std::string_view part : parts) ok = ok && out.Write(part);
  return ok && out.Commit() ? 0 : out.error();
}

TEST(WriteToFile, ReplacesTheWholeFileAndLeavesNothingElse) {
  ScratchDir dir;
  Spill(dir / "out.txt", std::string(5000, 'o'));
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "out.txt"),
                          {Bytes(std::string("new ")), Bytes(), Bytes(std::string("text"))}));
  EXPECT_EQ(Slurp(dir / "out.txt"), "new text");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.txt"});
}

TEST(WriteToFile, AReaderOfTheOldFileKeepsReadingIt) {
  // Renaming over the file, not truncating it: whoever had it open still sees it whole.
  ScratchDir dir;
  Spill(dir / "out.txt", kOld);
  const int reader = ::open((dir / "out.txt").c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "out.txt"), {Bytes(std::string("new"))}));
  std::string seen(100, '\0');
  seen.resize(static_cast<std::size_t>(::read(reader, seen.data(), seen.size())));
  ::close(reader);
  EXPECT_EQ(seen, kOld);
  EXPECT_EQ(Slurp(dir / "out.txt"), "new");
}

TEST(WriteToFile, KeepsPermissionsOwnerAndSymbolicLinks) {
  ScratchDir dir;
  Spill(dir / "target.txt", kOld);
  ::chmod((dir / "target.txt").c_str(), 0640);
  fs::create_symlink("target.txt", dir / "link.txt");
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "link.txt"), {Bytes(std::string("through the link"))}));
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(Slurp(dir / "target.txt"), "through the link");
  EXPECT_EQ(StateOf(dir / "target.txt").mode & 07777, 0640u);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"link.txt", "target.txt"}));

  if (::geteuid() == 0) {
    // Root may give the new file the old one's owner, and does.
    ASSERT_EQ(::chown((dir / "target.txt").c_str(), 4321, 4321), 0);
    ASSERT_TRUE(WriteToFile(FromUtf8(dir / "target.txt"), {Bytes(std::string("owned"))}));
    struct stat st {};
    ::stat((dir / "target.txt").c_str(), &st);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);
  }

  const mode_t mask = ::umask(022);
  ASSERT_TRUE(WriteToFile(FromUtf8(dir / "new.txt"), {}));
  ::umask(mask);
  EXPECT_EQ(StateOf(dir / "new.txt").mode & 07777, 0644u);
  EXPECT_EQ(Slurp(dir / "new.txt"), "");
}

TEST(WriteToFile, DevicesAreWrittenInPlace) {
  EXPECT_EQ(Replace("/dev/null", {"discarded"}), 0);
  EXPECT_EQ(Replace("/dev/full", {"no room"}), ENOSPC);
}

// One way of failing: `prepare` makes the place and returns the path to write, or "" when
// this process cannot build the place (the case is then skipped).
struct Failure {
  const char* name;
  std::function<std::string(const ScratchDir&, std::vector<std::unique_ptr<TmpfsMount>>&)> prepare;
  std::vector<int> errors;  // the errno values that describe it
  bool old_file = true;     // whether an earlier file stands at the path
};

TEST(WriteToFile, EveryFailureKeepsTheEarlierFileAndLeavesNoTemporaryFile) {
  const std::string big(256 * 1024, 'n');
  const std::vector<Failure> failures = {
      {"path is a directory",
       [](const ScratchDir& dir, auto&) {
         fs::create_directory(dir / "out.txt");
         Spill(dir / "out.txt/inside", kOld);
         return dir / "out.txt";
       },
       {EISDIR},
       false},
      {"missing directory",
       [](const ScratchDir& dir, auto&) { return dir / "missing/out.txt"; },
       {ENOENT},
       false},
      {"read-only directory",
       [](const ScratchDir& dir, auto& mounts) -> std::string {
         const fs::path where = dir.path() / "ro";
         if (::geteuid() != 0) {
           fs::create_directory(where);
           Spill(where / "out.txt", kOld);
           fs::permissions(where, fs::perms::owner_read | fs::perms::owner_exec);
           return (where / "out.txt").string();
         }
         mounts.push_back(std::make_unique<TmpfsMount>(where, "size=64k"));
         if (!mounts.back()->ok()) return "";
         Spill(where / "out.txt", kOld);
         if (!mounts.back()->SetReadOnly(true)) return "";
         return (where / "out.txt").string();
       },
       {EROFS, EACCES}},
      {"full filesystem",
       [](const ScratchDir& dir, auto& mounts) -> std::string {
         const fs::path where = dir.path() / "full";
         mounts.push_back(std::make_unique<TmpfsMount>(where, "size=64k"));
         if (!mounts.back()->ok()) return "";
         Spill(where / "out.txt", kOld);
         return (where / "out.txt").string();
       },
       {ENOSPC}},
      {"file size limit",
       [](const ScratchDir& dir, auto&) {
         Spill(dir / "out.txt", kOld);
         return dir / "out.txt";
       },
       {EFBIG}},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.name);
    ScratchDir dir;
    std::vector<std::unique_ptr<TmpfsMount>> mounts;
    const std::string path = failure.prepare(dir, mounts);
    if (path.empty()) {
      std::printf("skipped \"%s\": this process may not mount a filesystem\n", failure.name);
      continue;
    }
    const fs::path folder = fs::path(path).parent_path();
    AgeFile(path);
    const FileState before = StateOf(path);
    const std::vector<std::string> names = Names(folder);

    int error = 0;
    {
      std::optional<FileSizeLimit> limit;
      if (std::string(failure.name) == "file size limit") limit.emplace(64 * 1024);
      error = Replace(path, {big, "tail"});
      EXPECT_FALSE(WriteToFile(FromUtf8(path), {Bytes(big)}));
    }
    EXPECT_NE(std::find(failure.errors.begin(), failure.errors.end(), error), failure.errors.end())
        << std::strerror(error);
    EXPECT_EQ(Names(folder), names);
    if (failure.old_file) {
      EXPECT_EQ(StateOf(path), before);
    }
  }
}

}  // namespace
}  // namespace lanzhou
