// Temporary files: fresh names beside a file, and unnamed files that go with their
// descriptor however the program ends.
#ifndef LANZHOU_IO_TEMP_FILE_H_
#define LANZHOU_IO_TEMP_FILE_H_

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace lanzhou {

// Temporary names carry the id of the process that made them, so that a later run tells a
// leftover (its writer is gone, killed by SIGKILL) from a file still being written.
inline constexpr std::string_view kTemporaryMark = ".lanzhou-";

// Creates a new name `directory` + ".<base>.lanzhou-<pid>-XXXXXX" (random letters) with
// `make`, which returns -1 and errno EEXIST when the name is taken; the name goes to `name`.
// What `make` returned, or -1 after 100 names taken.
//   MakeTemporaryName("/d/", "out.txt", name, open_new)   // "/d/.out.txt.lanzhou-4242-Zq81xA"
template <typename Make>
int MakeTemporaryName(const std::string& directory, const std::string& base, std::string& name,
                      Make make) {
  static unsigned long counter = 0;
  constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long seed = static_cast<unsigned long>(now.tv_nsec) * 2654435761UL ^
                         static_cast<unsigned long>(::getpid()) << 16 ^ ++counter * 40503UL;
    name = directory + "." + base + std::string(kTemporaryMark) + std::to_string(::getpid()) + "-";
    for (int i = 0; i < 6; ++i, seed /= 62) name += kLetters[seed % 62];
    const int result = make(name);
    if (result >= 0 || errno != EEXIST) return result;
  }
  return -1;
}

// The writer's process id in a name `MakeTemporaryName` makes, or 0 for any other name.
//   WriterOfTemporary(".out.txt.lanzhou-4242-aZ09xy") == 4242
pid_t WriterOfTemporary(std::string_view name);

// Removes the temporary files in `directory` (made by `MakeTemporaryName`) whose writers no
// longer run: what a writer killed while its file had a name left behind. A file whose
// writer's id belongs to a live process stays, whoever that process is.
void RemoveTemporariesOfDeadWriters(const std::string& directory);

// Where temporary files go: `asked` unless empty, else $TMPDIR unless empty, else "/tmp".
std::string TemporaryDirectory(const std::string& asked = {});

// What went wrong with a temporary file in `directory`, in one line: a full disk (ENOSPC,
// EDQUOT, EFBIG) whatever `what` was, else what could not be done and why.
//   TemporaryFileFailure("write", "/tmp", ENOSPC) == "no space left for temporary files in '/tmp'"
//   TemporaryFileFailure("make", "/t", ENOENT)
//     == "cannot make a temporary file in '/t': No such file or directory"
std::string TemporaryFileFailure(std::string_view what, const std::string& directory, int err);

// A new empty file in `directory`, open for reading and writing, that no directory lists: made
// unnamed (O_TMPFILE), or, where the file system cannot, created under a fresh name and
// unlinked at once. Every call it makes goes through `Sys()` (io/system_calls.h). The
// descriptor, or -1 with `err` set to the errno of the step that failed.
int OpenUnnamedFile(const std::string& directory, int& err);

}  // namespace lanzhou

#endif  // LANZHOU_IO_TEMP_FILE_H_
