#include "io/temp_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "io/system_calls.h"
#include "tests/support/temp_directory.h"

namespace lanzhou {
namespace {

// The way the unnamed file is made: O_TMPFILE refused as a file system without it refuses it,
// and the unlink of the fallback failing.
bool refuse_tmpfile = false;
bool fail_unlink = false;

int Open(const char* path, int flags, mode_t mode) {
  if (refuse_tmpfile && (flags & O_TMPFILE) == O_TMPFILE) return errno = EOPNOTSUPP, -1;
  return RealSystemCalls().open(path, flags, mode);
}
int Unlink(const char* path) {
  if (fail_unlink) return errno = EROFS, -1;
  return RealSystemCalls().unlink(path);
}

TEST(OpenUnnamedFile, LeavesNothingListedWhicheverWayItIsMade) {
  struct Case {
    bool refuse_tmpfile;
    bool fail_unlink;
    int err;  // 0: a file is made
  };
  for (const Case& c : {Case{false, false, 0}, Case{true, false, 0}, Case{true, true, EROFS}}) {
    SCOPED_TRACE(std::to_string(c.refuse_tmpfile) + std::to_string(c.fail_unlink));
    TempDirectory dir;
    SystemCalls calls = RealSystemCalls();
    calls.open = Open;
    calls.unlink = Unlink;
    refuse_tmpfile = c.refuse_tmpfile;
    fail_unlink = c.fail_unlink;
    int err = 0;
    int fd;
    {
      ScopedSystemCalls faults(calls);
      fd = OpenUnnamedFile(dir.path().string(), err);
    }
    EXPECT_TRUE(dir.Files().empty());
    if (c.err != 0) {
      EXPECT_EQ(fd, -1);
      EXPECT_EQ(err, c.err);
      continue;
    }
    ASSERT_GE(fd, 0) << err;
    char back[3] = {};
    EXPECT_EQ(::write(fd, "abc", 3), 3);
    EXPECT_EQ(::pread(fd, back, 3, 0), 3);
    EXPECT_EQ(std::string(back, 3), "abc");
    ::close(fd);
  }
  int err = 0;
  EXPECT_EQ(OpenUnnamedFile("/nonexistent-lanzhou-dir", err), -1);
  EXPECT_EQ(err, ENOENT);
}

TEST(TemporaryDirectory, AskedThenTmpdirThenTmp) {
  const char* saved = std::getenv("TMPDIR");
  const std::string kept = saved ? saved : "";
  ::setenv("TMPDIR", "/var/t", 1);
  EXPECT_EQ(TemporaryDirectory("/d"), "/d");
  EXPECT_EQ(TemporaryDirectory(), "/var/t");
  ::setenv("TMPDIR", "", 1);
  EXPECT_EQ(TemporaryDirectory(), "/tmp");
  if (saved)
    ::setenv("TMPDIR", kept.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace lanzhou
